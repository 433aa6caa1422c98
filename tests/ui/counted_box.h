#pragma once

#include <cstdint>
#include <memory>

#include "box/box.h"

namespace bq::test {

// A box that tells a shared counter when it is destroyed, so ownership can be watched.
class CountedBox final : public Box {
  public:
    CountedBox(std::uint32_t payloadSize, int& destroyed)
        : Box(payloadSize, fourCC("test")), destroyed_(destroyed) {}
    ~CountedBox() override { ++destroyed_; }
    std::unique_ptr<Box> clone() const override { return std::make_unique<CountedBox>(*this); }

  private:
    int& destroyed_;
};

}  // namespace bq::test

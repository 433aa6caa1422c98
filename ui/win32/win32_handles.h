#pragma once
// One owner per handle kind, non-copyable; window handles themselves are never owned here
// (windows belong to their parents or to the shell that destroys them).

#include <windows.h>

#include <memory>
#include <type_traits>

namespace bq::win32 {

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const {
        if (object != nullptr) {
            DeleteObject(object);
        }
    }
};

using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

// The screen's device context for as long as the object lives.
class ScreenDc {
  public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc_ != nullptr) {
            ReleaseDC(nullptr, dc_);
        }
    }

    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

}  // namespace bq::win32

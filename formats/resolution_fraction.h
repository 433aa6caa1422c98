#pragma once

#include <optional>
#include <string>

#include "formats/jp2_header_boxes.h"

namespace bq {

enum class ResolutionUnit : std::uint8_t { PerInch, PerCentimetre, PerMetre };
std::optional<ResolutionUnit> parseResolutionUnit(const std::string& name);  // dpi, dpcm, ppm

struct ResolutionFit {
    ResolutionAxis axis;
    bool exact = false;  // N / D x 10^E is the value given, not the nearest the fields hold
};

// The fields that hold `value` dots per `unit` as pixels per metre: exactly where they can
// (300 dpi is 300/254 x 10^4), else the nearest with N and D below 65536. None for a value that
// is not finite and positive or beyond what the fields can hold.
std::optional<ResolutionFit> fitResolution(double value, ResolutionUnit unit);

}  // namespace bq

#include "formats/resolution_fraction.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace bq {

namespace {

constexpr std::uint64_t kMaxField = 0xFFFF;

// The nearest fraction to x > 0 with numerator and denominator at most kMaxField, from its
// continued fraction and the last semiconvergent.
bool nearestFraction(double x, std::uint64_t& n, std::uint64_t& d) {
    std::uint64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double rest = x;
    for (int step = 0; step < 64; ++step) {
        const double whole = std::floor(rest);
        if (whole > static_cast<double>(kMaxField)) {
            break;
        }
        const auto a = static_cast<std::uint64_t>(whole);
        const std::uint64_t p2 = a * p1 + p0;
        const std::uint64_t q2 = a * q1 + q0;
        if (p2 > kMaxField || q2 > kMaxField) {
            // The largest semiconvergent that still fits, when it beats the convergent.
            const std::uint64_t byP = p1 == 0 ? a : (kMaxField - p0) / p1;
            const std::uint64_t byQ = q1 == 0 ? a : (kMaxField - q0) / q1;
            const std::uint64_t k = std::min({a, byP, byQ});
            const std::uint64_t ps = k * p1 + p0;
            const std::uint64_t qs = k * q1 + q0;
            if (qs != 0 && ps != 0 &&
                std::fabs(static_cast<double>(ps) / static_cast<double>(qs) - x) <
                    std::fabs(static_cast<double>(p1) / static_cast<double>(q1) - x)) {
                p1 = ps;
                q1 = qs;
            }
            break;
        }
        p0 = p1;
        q0 = q1;
        p1 = p2;
        q1 = q2;
        const double fraction = rest - whole;
        if (fraction < 1e-12) {
            break;
        }
        rest = 1.0 / fraction;
    }
    if (p1 == 0 || q1 == 0) {
        return false;
    }
    n = p1;
    d = q1;
    return true;
}

}  // namespace

std::optional<ResolutionUnit> parseResolutionUnit(const std::string& name) {
    if (name == "dpi") {
        return ResolutionUnit::PerInch;
    }
    if (name == "dpcm") {
        return ResolutionUnit::PerCentimetre;
    }
    if (name == "ppm") {
        return ResolutionUnit::PerMetre;
    }
    return std::nullopt;
}

std::optional<ResolutionFit> fitResolution(double value, ResolutionUnit unit) {
    if (!std::isfinite(value) || value <= 0 || value > 1e120) {
        return std::nullopt;
    }
    // value dots per unit = value / D x 10^E pixels per metre.
    const std::uint64_t baseD = unit == ResolutionUnit::PerInch ? 254 : 1;
    const int baseE = unit == ResolutionUnit::PerInch         ? 4
                      : unit == ResolutionUnit::PerCentimetre ? 2
                                                              : 0;
    // Exact: the value is a decimal with few digits after the point.
    for (int digits = 0; digits <= 6; ++digits) {
        const double scaled = value * std::pow(10.0, digits);
        if (scaled > 1e15 || std::fabs(scaled - std::round(scaled)) > 1e-9 * scaled) {
            continue;
        }
        auto n = static_cast<std::uint64_t>(std::round(scaled));
        std::uint64_t d = baseD;
        int e = baseE - digits;
        while (n > kMaxField && n % 10 == 0) {
            n /= 10;
            ++e;
        }
        if (n > kMaxField) {
            const std::uint64_t common = std::gcd(n, d);
            n /= common;
            d /= common;
        }
        if (n != 0 && n <= kMaxField && e >= -128 && e <= 127) {
            return ResolutionFit{{static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(d),
                                  static_cast<std::int8_t>(e)},
                                 true};
        }
        break;
    }
    // Inexact: the exponent and fraction nearest in relative terms.
    const double perMetre = value / static_cast<double>(baseD) * std::pow(10.0, baseE);
    std::optional<ResolutionFit> best;
    double bestError = 0;
    for (int e = -128; e <= 127; ++e) {
        const double x = perMetre / std::pow(10.0, e);
        if (x < 1.0 / static_cast<double>(kMaxField) || x > static_cast<double>(kMaxField)) {
            continue;
        }
        std::uint64_t n = 0;
        std::uint64_t d = 0;
        if (!nearestFraction(x, n, d)) {
            continue;
        }
        const double error = std::fabs(static_cast<double>(n) / static_cast<double>(d) - x) / x;
        if (!best || error < bestError) {
            best = ResolutionFit{{static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(d),
                                  static_cast<std::int8_t>(e)},
                                 error < 1e-12};
            bestError = error;
        }
    }
    return best;
}

}  // namespace bq

#include "cli/progress.h"

#include <cstdio>

namespace bq::cli {

namespace {

std::string fixed1(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::string durationText(double seconds) {
    const auto whole = seconds > 0 && seconds < 1e12 ? static_cast<std::uint64_t>(seconds) : 0;
    char text[48];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02u:%02u",
                      static_cast<unsigned long long>(whole / 3600),
                      static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
    } else {
        std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(whole / 60),
                      static_cast<unsigned>(whole % 60));
    }
    return text;
}

std::string progressText(const ProgressCounts& counts) {
    const double rate = counts.seconds > 0 ? static_cast<double>(counts.done) / counts.seconds : 0;
    std::string text = std::to_string(counts.done);
    if (counts.total) {
        text += "/" + std::to_string(*counts.total);
    }
    text += " files  " + fixed1(rate) + " files/s  " + durationText(counts.seconds) + " elapsed";
    if (counts.total && rate > 0) {
        const std::uint64_t left = *counts.total > counts.done ? *counts.total - counts.done : 0;
        text += "  " + durationText(static_cast<double>(left) / rate) + " left";
    }
    text += "  " + std::to_string(counts.errors) + (counts.errors == 1 ? " error" : " errors");
    return text;
}

std::string summaryText(const CheckTally& tally, double seconds) {
    const std::uint64_t files = tally.valid + tally.invalid + tally.unreadable;
    return std::to_string(files) + (files == 1 ? " file: " : " files: ") +
           std::to_string(tally.valid) + " valid, " + std::to_string(tally.invalid) + " invalid, " +
           std::to_string(tally.unreadable) + " unreadable in " + fixed1(seconds) + " s";
}

ProgressLine::ProgressLine(bool shown)
    : shown_(shown), start_(std::chrono::steady_clock::now()), lastDrawn_(start_) {}

double ProgressLine::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressLine::update(ProgressCounts counts) {
    const auto now = std::chrono::steady_clock::now();
    if (!shown_ || now - start_ < std::chrono::seconds(1) ||
        (drawnWidth_ != 0 && now - lastDrawn_ < std::chrono::milliseconds(100))) {
        return;
    }
    lastDrawn_ = now;
    counts.seconds = seconds();
    std::string line = progressText(counts);
    const std::size_t width = line.size();
    // Spaces over what is left of a longer line before: no terminal escape needed.
    if (width < drawnWidth_) {
        line.append(drawnWidth_ - width, ' ');
    }
    line = "\r" + line;
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    drawnWidth_ = width;
}

void ProgressLine::clear() {
    if (drawnWidth_ == 0) {
        return;
    }
    const std::string blank = "\r" + std::string(drawnWidth_, ' ') + "\r";
    std::fwrite(blank.data(), 1, blank.size(), stderr);
    std::fflush(stderr);
    drawnWidth_ = 0;
}

}  // namespace bq::cli

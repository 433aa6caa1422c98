#pragma once
// The progress line of a long run over a collection, and the closing summary of `check`.
// The texts are pure functions; ProgressLine draws them on stderr.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace bq::cli {

struct ProgressCounts {
    std::uint64_t done = 0;
    std::optional<std::uint64_t> total;  // once the count of the collection has finished
    std::uint64_t errors = 0;            // files that make the exit status 1
    double seconds = 0;                  // since the start
};

// "120/1000 files  40.0 files/s  0:03 elapsed  0:22 left  2 errors" (the total and the time
// left only once the total is known).
std::string progressText(const ProgressCounts& counts);

struct CheckTally {
    std::uint64_t valid = 0;
    std::uint64_t invalid = 0;
    std::uint64_t unreadable = 0;
};

// "1000 files: 990 valid, 8 invalid, 2 unreadable in 3.2 s"
std::string summaryText(const CheckTally& tally, double seconds);

// "M:SS", or "H:MM:SS" from an hour on.
std::string durationText(double seconds);

// One line on stderr, redrawn in place with a carriage return. It draws only when `shown`
// was set (stderr a terminal, no --quiet) and the run has lasted a second, at most ten
// times a second.
class ProgressLine {
  public:
    explicit ProgressLine(bool shown);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine() { clear(); }

    double seconds() const;
    void update(ProgressCounts counts);
    // Blanks the line, so a message or the end of the run starts on a clean one.
    void clear();
    bool shown() const { return shown_; }

  private:
    bool shown_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
    std::size_t drawnWidth_ = 0;
};

}  // namespace bq::cli

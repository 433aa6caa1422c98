#include "cli/collection_run.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <thread>

#include "cli/progress.h"
#include "cli/shard.h"

namespace bq::cli {

namespace {

// More threads than this only wait on one another and the disk.
constexpr std::size_t kMostJobs = 256;
// Results that may wait for a slower file before them, per worker.
constexpr std::size_t kWindowPerWorker = 8;

struct CollectionOptions {
    std::vector<std::string> extensions = defaultExtensions();
    std::size_t jobs = 1;
    std::optional<Shard> shard;
};

// The options' values, or none with the usage message printed.
std::optional<CollectionOptions> collectionOptions(const CliArgs& args) {
    CollectionOptions options;
    options.jobs = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMostJobs);
    if (args.ext) {
        std::optional<std::vector<std::string>> extensions = parseExtensions(*args.ext);
        if (!extensions) {
            printError("--ext takes extensions separated by commas (jp2,jpx), not '" + *args.ext +
                       "'");
            return std::nullopt;
        }
        options.extensions = std::move(*extensions);
    }
    if (args.jobs) {
        const std::string& text = *args.jobs;
        std::size_t jobs = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
        if (error != std::errc() || end != text.data() + text.size() || jobs < 1 ||
            jobs > kMostJobs) {
            printError("--jobs takes a number of workers from 1 to " + std::to_string(kMostJobs) +
                       ", not '" + text + "'");
            return std::nullopt;
        }
        options.jobs = jobs;
    }
    if (args.shard) {
        options.shard = parseShard(*args.shard);
        if (!options.shard) {
            printError("--shard takes K/N with 1 <= K <= N, not '" + *args.shard + "'");
            return std::nullopt;
        }
    }
    return options;
}

// The walk with the shard's filter: what the run visits, in order.
class Visit {
  public:
    Visit(const CliArgs& args, const CollectionOptions& options)
        : walk_(args.positionals, args.recursive, options.extensions), shard_(options.shard) {}

    std::optional<CollectedFile> next() {
        while (std::optional<CollectedFile> file = walk_.next()) {
            if (!shard_ || inShard(file->shardKey, *shard_)) {
                return file;
            }
        }
        return std::nullopt;
    }

  private:
    FolderWalk walk_;
    std::optional<Shard> shard_;
};

// Counts what the run will visit with a walk of its own, for the progress line's total, so
// the run itself never holds the list of files.
class Count {
  public:
    Count(const CliArgs& args, const CollectionOptions& options)
        : thread_([this, visit = Visit(args, options)]() mutable {
              std::uint64_t counted = 0;
              while (!stop_ && visit.next()) {
                  ++counted;
              }
              if (!stop_) {
                  total_ = counted;
              }
          }) {}
    Count(const Count&) = delete;
    Count& operator=(const Count&) = delete;
    ~Count() {
        stop_ = true;
        thread_.join();
    }

    std::optional<std::uint64_t> total() const {
        const std::uint64_t total = total_;
        return total == kUnknown ? std::nullopt : std::optional(total);
    }

  private:
    static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> total_{kUnknown};
    std::thread thread_;  // last: it starts once the flags exist
};

}  // namespace

int runCollection(const CliArgs& args, const ProcessFile& process, bool summary) {
    const std::optional<CollectionOptions> options = collectionOptions(args);
    if (!options) {
        return kExitUsage;
    }
    // Lines name their file whenever the run could print more than one.
    const bool several = args.positionals.size() > 1 || FolderWalk::isFolder(args.positionals[0]);
    ProgressLine progress(!args.quiet && isTerminal(stderr));
    std::optional<Count> count;
    if (progress.shown()) {
        count.emplace(args, *options);
    }
    Visit visit(args, *options);

    ProgressCounts counts;
    CheckTally tally;
    const auto tick = [&] {
        counts.total = count ? count->total() : std::nullopt;
        progress.update(counts);
    };
    const auto deliver = [&](FileResult& result) {
        if (result.output.hasErrors()) {
            progress.clear();
        }
        result.output.flush();
        // Each file's lines are out before the next file's messages.
        std::fflush(stdout);
        ++counts.done;
        switch (result.outcome) {
            case FileOutcome::Ok:
                ++tally.valid;
                break;
            case FileOutcome::Invalid:
                ++tally.invalid;
                ++counts.errors;
                break;
            case FileOutcome::Unreadable:
                ++tally.unreadable;
                ++counts.errors;
                break;
        }
        tick();
    };

    // Output goes straight out unless a worker's file must wait its turn or the progress
    // line shares stderr; one worker on the caller's thread is the plain loop of old.
    const bool held = options->jobs > 1 || progress.shown();
    if (options->jobs == 1) {
        while (std::optional<CollectedFile> file = visit.next()) {
            FileResult result;
            result.output = FileOutput(held);
            result.outcome = process(*file, several, result.output);
            deliver(result);
        }
    } else {
        OrderedWork work;
        work.next = [&visit] { return visit.next(); };
        work.process = [&process, several](const CollectedFile& file) {
            FileResult result;
            result.outcome = process(file, several, result.output);
            return result;
        };
        work.deliver = deliver;
        work.idle = tick;
        work.failed = [](const CollectedFile& file) {
            FileResult result;
            result.output.err("boxquill-cli: " + file.path + ": not enough memory\n");
            result.outcome = FileOutcome::Unreadable;
            return result;
        };
        runOrdered(work, options->jobs, options->jobs * kWindowPerWorker);
    }
    progress.clear();
    if (summary && several && !args.quiet) {
        const std::string line = summaryText(tally, progress.seconds()) + "\n";
        std::fflush(stdout);
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
    return counts.errors == 0 ? kExitOk : kExitFailure;
}

int printEachFile(const CliArgs& args, PrintFile print) {
    return runCollection(
        args,
        [json = args.json, print](const CollectedFile& file, bool several, FileOutput& output) {
            if (!file.folderError.empty()) {
                reportFolderError(file.path, file.folderError, json, output);
                return FileOutcome::Unreadable;
            }
            return print(file.path, json, several, output) ? FileOutcome::Ok
                                                           : FileOutcome::Unreadable;
        },
        false);
}

}  // namespace bq::cli

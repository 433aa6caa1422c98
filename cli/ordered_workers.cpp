#include "cli/ordered_workers.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace bq::cli {

namespace {

struct Job {
    std::size_t sequence = 0;
    CollectedFile file;
};

// What the threads share, under one lock.
class Board {
  public:
    explicit Board(std::size_t window) : slots_(window) {}

    // A batch under one lock: a lock and a wake-up per small file would cost as much as the
    // file.
    void post(std::vector<Job>& jobs) {
        {
            const std::lock_guard lock(mutex_);
            for (Job& job : jobs) {
                jobs_.push_back(std::move(job));
            }
        }
        if (jobs.size() == 1) {
            jobReady_.notify_one();
        } else if (!jobs.empty()) {
            jobReady_.notify_all();
        }
        jobs.clear();
    }

    // The next job, or none once the board is closed.
    std::optional<Job> take() {
        std::unique_lock lock(mutex_);
        jobReady_.wait(lock, [this] { return closed_ || !jobs_.empty(); });
        if (closed_) {
            return std::nullopt;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        return job;
    }

    void finish(std::size_t sequence, FileResult result) {
        bool awaited = false;
        {
            const std::lock_guard lock(mutex_);
            slots_[sequence % slots_.size()] = std::move(result);
            awaited = sequence == awaited_;
        }
        // Only the result the caller waits for wakes it; the ones after it are taken with it.
        if (awaited) {
            resultReady_.notify_one();
        }
    }

    // The results from `sequence` on that are done, in order, once the first of them is;
    // nothing after `patience` without it.
    void collect(std::size_t sequence, std::chrono::milliseconds patience,
                 std::vector<FileResult>& done) {
        std::unique_lock lock(mutex_);
        awaited_ = sequence;
        const auto ready = [this](std::size_t at) {
            return slots_[at % slots_.size()].has_value();
        };
        if (!resultReady_.wait_for(lock, patience, [&] { return ready(sequence); })) {
            return;
        }
        for (std::size_t at = sequence; done.size() < slots_.size() && ready(at); ++at) {
            std::optional<FileResult>& slot = slots_[at % slots_.size()];
            done.push_back(std::move(*slot));
            slot.reset();
        }
    }

    void close() {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            jobs_.clear();
        }
        jobReady_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable resultReady_;
    std::deque<Job> jobs_;
    std::vector<std::optional<FileResult>> slots_;
    std::size_t awaited_ = 0;
    bool closed_ = false;
};

// Closes the board and joins the threads however the caller leaves (a broken stdout
// throws from `deliver`).
class Crew {
  public:
    explicit Crew(Board& board) : board_(board) {}
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;
    ~Crew() {
        board_.close();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    void hire(std::function<void()> loop) { threads_.emplace_back(std::move(loop)); }

  private:
    Board& board_;
    std::vector<std::thread> threads_;
};

}  // namespace

void runOrdered(const OrderedWork& work, std::size_t workers, std::size_t window) {
    workers = std::max<std::size_t>(workers, 1);
    window = std::max(window, workers);
    Board board(window);
    Crew crew(board);
    for (std::size_t i = 0; i < workers; ++i) {
        crew.hire([&board, &work] {
            while (std::optional<Job> job = board.take()) {
                FileResult result;
                try {
                    result = work.process(job->file);
                } catch (const std::exception&) {
                    try {
                        result = work.failed(job->file);
                    } catch (const std::exception&) {
                        result = FileResult{};
                        result.outcome = FileOutcome::Unreadable;
                    }
                }
                board.finish(job->sequence, std::move(result));
            }
        });
    }
    std::size_t posted = 0;
    std::size_t delivered = 0;
    bool walked = false;
    std::vector<Job> batch;
    std::vector<FileResult> done;
    while (true) {
        // Keep the window full; the walk runs here, between deliveries.
        while (!walked && posted - delivered < window) {
            std::optional<CollectedFile> file = work.next();
            if (!file) {
                walked = true;
                break;
            }
            batch.push_back(Job{posted++, std::move(*file)});
        }
        board.post(batch);
        if (delivered == posted) {
            return;
        }
        board.collect(delivered, std::chrono::milliseconds(100), done);
        if (done.empty() && work.idle) {
            work.idle();
        }
        for (FileResult& result : done) {
            work.deliver(result);
            ++delivered;
        }
        done.clear();
    }
}

}  // namespace bq::cli

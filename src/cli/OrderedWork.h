#pragma once

// Independent pieces of work (a batch of files) done by a few threads at
// once and handed back on the calling thread in their own order, each as
// soon as it and all before it are done: the output is the same as one
// thread's, only sooner. Workers take the next piece when free, so one slow
// piece does not hold the others back.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace corvane::cli {

// The threads a batch of `count` pieces is worth: one per core, at most
// kMaxThreads, never more than pieces.
inline std::size_t workThreads(std::size_t count) {
    constexpr std::size_t kMaxThreads = 8;
    const std::size_t cores = std::max<std::size_t>(1, std::thread::hardware_concurrency());
    return std::min({cores, kMaxThreads, count});
}

// work(k) -> Result for k in 0..count-1; done(k, Result&&) in order of k.
template <class Result, class Work, class Done>
void doInOrder(std::size_t count, std::size_t threads, const Work& work, const Done& done) {
    if (threads <= 1) {
        for (std::size_t k = 0; k < count; ++k) {
            done(k, work(k));
        }
        return;
    }
    std::vector<std::optional<Result>> results(count);
    std::mutex lock;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    {
        std::vector<std::jthread> workers;
        for (std::size_t t = 0; t < threads; ++t) {
            workers.emplace_back([&] {
                for (std::size_t k = next++; k < count; k = next++) {
                    Result result = work(k);
                    {
                        const std::scoped_lock guard(lock);
                        results[k] = std::move(result);
                    }
                    ready.notify_all();
                }
            });
        }
        for (std::size_t k = 0; k < count; ++k) {
            std::unique_lock guard(lock);
            ready.wait(guard, [&] { return results[k].has_value(); });
            Result result = std::move(*results[k]);
            results[k].reset();
            guard.unlock();
            done(k, std::move(result));
        }
    }  // the workers have nothing left and end here
}

}  // namespace corvane::cli

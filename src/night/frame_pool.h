// Frames measured several at a time and handed over in file order.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace orvel {

// The hand-over between the workers and the caller: items are taken in order, and outcomes
// are handed on in order. Workers run at most `window` items ahead of the hand-over.
template <typename Outcome>
class OrderedHandOver {
  public:
    OrderedHandOver(int first, int last, int window)
        : nextToTake_(first), nextToDeliver_(first), last_(last), window_(window) {}

    // The next item to measure; empty when there is none left or the caller stopped.
    std::optional<int> take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            return stopping_ || nextToTake_ > last_ || nextToTake_ < nextToDeliver_ + window_;
        });
        if (stopping_ || nextToTake_ > last_) return std::nullopt;
        return nextToTake_++;
    }

    void put(int i, Outcome outcome) {
        {
            std::lock_guard lock(mutex_);
            ready_.emplace(i, std::move(outcome));
        }
        changed_.notify_all();
    }

    // Waits for the next outcome in order; empty when every item has been handed over.
    std::optional<std::pair<int, Outcome>> next() {
        std::unique_lock lock(mutex_);
        if (nextToDeliver_ > last_) return std::nullopt;
        changed_.wait(lock, [&] { return ready_.count(nextToDeliver_) > 0; });
        auto it = ready_.find(nextToDeliver_);
        std::pair<int, Outcome> out{it->first, std::move(it->second)};
        ready_.erase(it);
        return out;
    }

    // The outcome just taken from next() has been handed on.
    void delivered() {
        {
            std::lock_guard lock(mutex_);
            ++nextToDeliver_;
        }
        changed_.notify_all();
    }

    // Wakes every waiting worker and lets none take another item.
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, Outcome> ready_;
    int nextToTake_;
    int nextToDeliver_;
    int last_;
    int window_;
    bool stopping_ = false;  // the delivery failed: workers stop taking items
};

// Measures items first..last with `workers` threads (each with its own State, so buffers are
// reused from item to item) and hands each outcome to deliver(i, outcome) in order, as soon as
// it and all before it are ready. An exception of deliver stops the workers and goes on to the
// caller.
template <typename State, typename Measure, typename Deliver>
void measureInOrder(int first, int last, int workers, Measure&& measure, Deliver&& deliver) {
    using Outcome = decltype(measure(first, std::declval<State&>()));
    OrderedHandOver<Outcome> handOver(first, last, 4 * workers);
    auto work = [&] {
        State state;
        while (const std::optional<int> i = handOver.take()) handOver.put(*i, measure(*i, state));
    };
    std::vector<std::jthread> pool;
    try {
        // Started inside the try: if a thread cannot be made, those already running are
        // stopped below before the pool is joined.
        for (int w = 0; w < workers; ++w) pool.emplace_back(work);
        while (auto outcome = handOver.next()) {
            deliver(outcome->first, std::move(outcome->second));
            handOver.delivered();
        }
    } catch (...) {
        handOver.stop();
        throw;
    }
}

}  // namespace orvel

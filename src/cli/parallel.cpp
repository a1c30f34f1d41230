#include "cli/parallel.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "cli/commands.h"

namespace cli {

namespace {

// What the workers and the calling thread share, under one lock.
class Run {
 public:
  Run(std::size_t count, const RunSettings& settings)
      : count_(count),
        settings_(settings),
        window_(std::min(count, InFlight(settings))),
        queues_(settings.affinity ? settings.jobs : 1),
        wake_(queues_.size()),
        finished_(window_, false),
        errors_(window_),
        stopAt_(count) {}

  // Hands out units up to the window past `next` (the next to deliver); then waits for
  // `next` and returns its exception, if it had one.
  std::exception_ptr Await(std::size_t next, const std::function<void(std::size_t)>& prepare) {
    std::unique_lock lock(mutex_);
    // Only this thread hands units out: what it prepares outside the lock stays its own
    // until the unit is queued.
    // Units go out in batches, once half the window is back: every wake-up of a worker
    // costs a switch of threads.
    const bool refill = !closed_ && stopAt_ == count_ && dispatched_ - next <= window_ / 2;
    const std::size_t end = refill ? std::min(count_, next + window_) : dispatched_;
    if (dispatched_ < end) {
      if (prepare) {
        lock.unlock();
        for (std::size_t unit = dispatched_; unit < end; ++unit) prepare(unit);
        lock.lock();
      }
      std::vector<bool> woken(queues_.size(), false);
      for (; dispatched_ < end; ++dispatched_) {
        const std::size_t queue = QueueOf(dispatched_);
        queues_[queue].push_back(dispatched_);
        woken[queue] = true;
      }
      for (std::size_t queue = 0; queue < queues_.size(); ++queue) {
        if (!woken[queue]) continue;
        // One worker takes from each worker's queue; all from the shared one.
        if (settings_.affinity) {
          wake_[queue].notify_one();
        } else {
          wake_[queue].notify_all();
        }
      }
    }
    const std::size_t slot = next % window_;
    awaited_ = next;
    ready_.wait(lock, [&] { return finished_[slot]; });
    finished_[slot] = false;
    return std::exchange(errors_[slot], nullptr);
  }

  // No more units are handed out; returns how many were.
  std::size_t Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    return dispatched_;
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    for (std::condition_variable& wake : wake_) wake.notify_all();
  }

  void Work(std::size_t worker,
            const std::function<void(std::size_t worker, std::size_t unit)>& run) {
    const std::size_t mine = settings_.affinity ? worker : 0;
    std::deque<std::size_t>& queue = queues_[mine];
    for (;;) {
      std::size_t unit = 0;
      {
        std::unique_lock lock(mutex_);
        wake_[mine].wait(lock, [&] { return stopped_ || !queue.empty(); });
        if (stopped_) return;
        unit = queue.front();
        queue.pop_front();
        // A unit past a failed one is never delivered: not worth its calls.
        if (unit > stopAt_) continue;
      }
      std::exception_ptr error;
      try {
        run(worker, unit);
      } catch (...) {
        error = std::current_exception();
      }
      bool awaited = false;
      {
        std::lock_guard lock(mutex_);
        if (error) {
          errors_[unit % window_] = error;
          stopAt_ = std::min(stopAt_, unit);
        }
        finished_[unit % window_] = true;
        awaited = unit == awaited_;
      }
      // Only the unit the calling thread waits for wakes it.
      if (awaited) ready_.notify_one();
    }
  }

 private:
  std::size_t QueueOf(std::size_t unit) const {
    return settings_.affinity ? settings_.affinity(unit) % settings_.jobs : 0;
  }

  const std::size_t count_;
  const RunSettings& settings_;
  const std::size_t window_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<std::deque<std::size_t>> queues_;
  std::vector<std::condition_variable> wake_;  // a queue's workers
  std::vector<bool> finished_;                 // by slot (unit modulo the window)
  std::vector<std::exception_ptr> errors_;
  std::size_t dispatched_ = 0;
  std::size_t awaited_ = 0;  // the unit the calling thread waits for
  std::size_t stopAt_;       // the first unit known to have failed; count_ while none has
  bool closed_ = false;
  bool stopped_ = false;
};

}  // namespace

std::size_t InFlight(const RunSettings& settings) {
  if (settings.inFlight > 0) return settings.inFlight;
  return std::max<std::size_t>(1, settings.jobs) * 32;
}

void RunUnits(std::size_t count, const RunSettings& settings,
              const std::function<void(std::size_t worker, std::size_t unit)>& run,
              const std::function<void(std::size_t unit)>& deliver,
              const std::function<void(std::size_t unit)>& prepare) {
  if (settings.jobs <= 1) {
    for (std::size_t unit = 0; unit < count; ++unit) {
      if (prepare) prepare(unit);
      run(0, unit);
      deliver(unit);
    }
    return;
  }
  if (count == 0) return;
  Run shared(count, settings);
  std::vector<std::jthread> workers;
  // Declared after the workers, so that they are told to stop before they are joined,
  // whichever way this returns.
  struct StopAtEnd {
    Run& run;
    ~StopAtEnd() { run.Stop(); }
  } stopAtEnd{shared};
  for (std::size_t worker = 0; worker < settings.jobs; ++worker) {
    workers.emplace_back([&shared, &run, worker] { shared.Work(worker, run); });
  }
  for (std::size_t unit = 0; unit < count; ++unit) {
    if (std::exception_ptr error = shared.Await(unit, prepare)) std::rethrow_exception(error);
    try {
      deliver(unit);
    } catch (...) {
      // The units already handed out are done or under way: each is finished and handed back
      // all the same (what it did is counted, though it cannot be told), up to any that failed.
      const std::exception_ptr first = std::current_exception();
      for (std::size_t more = unit + 1, handed = shared.Close(); more < handed; ++more) {
        if (shared.Await(more, prepare)) break;
        try {
          deliver(more);
        } catch (...) {
          // Told already: the first exception is the one thrown.
        }
      }
      std::rethrow_exception(first);
    }
  }
}

WorkerPlatforms::WorkerPlatforms(Context& context, std::size_t jobs) {
  if (jobs <= 1) {
    platforms_.push_back(&context.platform);
    return;
  }
  // Opened side by side, as each reads its own view of the network before its first call.
  std::vector<std::future<std::unique_ptr<nw::NetWarePlatform>>> opening;
  for (std::size_t worker = 0; worker < jobs; ++worker) {
    opening.push_back(
        std::async(std::launch::async, [&context] { return context.OpenPlatform(); }));
  }
  for (auto& platform : opening) {
    owned_.push_back(platform.get());
    platforms_.push_back(owned_.back().get());
  }
}

}  // namespace cli

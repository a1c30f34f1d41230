#pragma once
// Units of work run side by side on several workers, each with its own platform, their
// results handed back on the calling thread strictly in unit order, so that what a command
// writes is the same for every number of workers.

#include <algorithm>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "netware/platform.h"

namespace cli {

class Context;

// How a run spreads its units.
struct RunSettings {
  std::size_t jobs = 1;  // workers; 1 runs every unit on the calling thread, in order
  // Units taken but not yet handed back, at most; 0: a few per worker. Bounds the memory
  // a run holds whatever the number of units.
  std::size_t inFlight = 0;
  // When set, units with the same key run on the same worker, in unit order, so that what
  // a worker learns about one key stays true while it works on it.
  std::function<std::size_t(std::size_t unit)> affinity;
};

// The untyped core of RunOrdered: `run(worker, unit)` on a worker thread (worker
// 0..jobs-1), `deliver(unit)` on the calling thread, for unit 0, 1, ... in order. The first
// exception in unit order (of a unit's run or its delivery) ends the run: the units before
// it are still delivered, the workers stop, and it is thrown here.
void RunUnits(std::size_t count, const RunSettings& settings,
              const std::function<void(std::size_t worker, std::size_t unit)>& run,
              const std::function<void(std::size_t unit)>& deliver);

// The number of units a run keeps in flight at most.
std::size_t InFlight(const RunSettings& settings);

// Runs `work(worker, unit)` for units 0..count-1 and hands each result to
// `deliver(unit, result)` on the calling thread in unit order.
template <typename Result, typename Work, typename Deliver>
void RunOrdered(std::size_t count, const RunSettings& settings, Work&& work, Deliver&& deliver) {
  // A unit's slot is free again once it is delivered: no more than InFlight are out.
  std::vector<std::optional<Result>> slots(std::min(count, InFlight(settings)));
  RunUnits(
      count, settings,
      [&](std::size_t worker, std::size_t unit) {
        slots[unit % slots.size()].emplace(work(worker, unit));
      },
      [&](std::size_t unit) {
        std::optional<Result>& slot = slots[unit % slots.size()];
        Result result = std::move(*slot);
        slot.reset();
        deliver(unit, std::move(result));
      });
}

// One platform per worker: with one job the context's own (today's calls on today's
// connections), else a new one on the same network for each worker.
class WorkerPlatforms {
 public:
  WorkerPlatforms(Context& context, std::size_t jobs);
  nw::NetWarePlatform& operator[](std::size_t worker) const { return *platforms_[worker]; }
  std::size_t size() const { return platforms_.size(); }

 private:
  std::vector<std::unique_ptr<nw::NetWarePlatform>> owned_;
  std::vector<nw::NetWarePlatform*> platforms_;
};

}  // namespace cli

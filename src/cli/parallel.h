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
// exception in unit order ends the run and is thrown here once the workers stopped. A unit
// whose run threw is not delivered, nor any after it; the units before it are. When a
// delivery throws, the units already handed out (all run, or running) are still finished
// and delivered, their deliveries' exceptions dropped, so that nothing done goes uncounted.
// `prepare(unit)`, when set, runs on the calling thread in unit order before the unit is
// handed out (and before its affinity is asked): what reads a unit's input.
void RunUnits(std::size_t count, const RunSettings& settings,
              const std::function<void(std::size_t worker, std::size_t unit)>& run,
              const std::function<void(std::size_t unit)>& deliver,
              const std::function<void(std::size_t unit)>& prepare = {});

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

// As RunOrdered, over inputs read one by one on the calling thread: `read()` gives the
// next unit's input, `work(worker, input)` its result, `deliver(input, result)` takes both
// back in order; `key(input)`, when given, is the unit's affinity. No more inputs are held
// than units are in flight.
template <typename Input, typename Result, typename Read, typename Work, typename Deliver>
void RunOrderedOver(std::size_t count, RunSettings settings, Read&& read, Work&& work,
                    Deliver&& deliver, const std::function<std::size_t(const Input&)>& key = {}) {
  std::vector<std::optional<Input>> inputs(std::min(count, InFlight(settings)));
  std::vector<std::optional<Result>> results(inputs.size());
  if (key) {
    settings.affinity = [&](std::size_t unit) { return key(*inputs[unit % inputs.size()]); };
  }
  RunUnits(
      count, settings,
      [&](std::size_t worker, std::size_t unit) {
        const std::size_t slot = unit % inputs.size();
        results[slot].emplace(work(worker, std::as_const(*inputs[slot])));
      },
      [&](std::size_t unit) {
        const std::size_t slot = unit % inputs.size();
        Input input = std::move(*inputs[slot]);
        Result result = std::move(*results[slot]);
        inputs[slot].reset();
        results[slot].reset();
        deliver(std::move(input), std::move(result));
      },
      [&](std::size_t unit) { inputs[unit % inputs.size()].emplace(read()); });
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

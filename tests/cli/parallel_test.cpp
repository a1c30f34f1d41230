// The ordered runner: results in unit order whatever the workers' pace, a key's units on
// one worker in order, the first failure carried back, and the units in flight bounded.

#include "cli/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// A short random pause, so that workers finish out of order.
void Jitter(std::size_t unit) {
  std::minstd_rand random(static_cast<unsigned>(unit) * 7919u + 1u);
  std::this_thread::sleep_for(std::chrono::microseconds(random() % 400));
}

TEST(ParallelRun, ResultsComeBackInUnitOrderForEveryNumberOfJobs) {
  for (std::size_t jobs : {1u, 2u, 3u, 8u}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    std::vector<std::size_t> delivered;
    std::atomic<int> running{0}, mostRunning{0};
    const std::thread::id caller = std::this_thread::get_id();
    bool deliveredElsewhere = false;
    cli::RunOrdered<std::string>(
        200, {.jobs = jobs, .inFlight = 0, .affinity = {}},
        [&](std::size_t, std::size_t unit) {
          const int now = ++running;
          for (int most = mostRunning;
               now > most && !mostRunning.compare_exchange_weak(most, now);) {
          }
          Jitter(unit);
          --running;
          return "unit " + std::to_string(unit);
        },
        [&](std::size_t unit, std::string result) {
          deliveredElsewhere |= std::this_thread::get_id() != caller;
          EXPECT_EQ(result, "unit " + std::to_string(unit));
          delivered.push_back(unit);
        });
    ASSERT_EQ(delivered.size(), 200u);
    for (std::size_t unit = 0; unit < delivered.size(); ++unit) EXPECT_EQ(delivered[unit], unit);
    EXPECT_FALSE(deliveredElsewhere);
    EXPECT_LE(mostRunning.load(), static_cast<int>(jobs));
  }
}

TEST(ParallelRun, UnitsOfOneKeyRunOnOneWorkerInUnitOrder) {
  constexpr std::size_t kUnits = 300, kKeys = 7;
  std::mutex mutex;
  std::vector<std::vector<std::size_t>> seenByKey(kKeys);
  std::vector<std::vector<std::size_t>> workersByKey(kKeys);
  cli::RunOrdered<int>(
      kUnits,
      {.jobs = 4, .inFlight = 0, .affinity = [](std::size_t unit) { return (unit * 31) % kKeys; }},
      [&](std::size_t worker, std::size_t unit) {
        Jitter(unit);
        std::lock_guard lock(mutex);
        seenByKey[(unit * 31) % kKeys].push_back(unit);
        workersByKey[(unit * 31) % kKeys].push_back(worker);
        return 0;
      },
      [](std::size_t, int) {});
  for (std::size_t key = 0; key < kKeys; ++key) {
    SCOPED_TRACE("key " + std::to_string(key));
    EXPECT_TRUE(std::is_sorted(seenByKey[key].begin(), seenByKey[key].end()));
    ASSERT_FALSE(workersByKey[key].empty());
    EXPECT_EQ(
        std::count(workersByKey[key].begin(), workersByKey[key].end(), workersByKey[key].front()),
        static_cast<std::ptrdiff_t>(workersByKey[key].size()));
  }
}

TEST(ParallelRun, TheFirstFailureInUnitOrderEndsTheRunAndReachesTheCaller) {
  struct Case {
    std::string where;  // "run" or "deliver"
    std::size_t jobs;
  };
  for (const Case& test :
       {Case{"run", 1}, Case{"run", 4}, Case{"deliver", 1}, Case{"deliver", 4}}) {
    SCOPED_TRACE(test.where + " with jobs " + std::to_string(test.jobs));
    std::vector<std::size_t> delivered;
    std::atomic<std::size_t> ran{0};
    try {
      cli::RunOrdered<std::size_t>(
          1000, {.jobs = test.jobs, .inFlight = 16, .affinity = {}},
          [&](std::size_t, std::size_t unit) {
            ++ran;
            // A later unit fails too, and may fail first: the earlier one is the one told.
            if (test.where == "run" && (unit == 40 || unit == 45)) {
              if (unit == 40) Jitter(unit);
              throw std::runtime_error("unit " + std::to_string(unit) + " failed");
            }
            return unit;
          },
          [&](std::size_t unit, std::size_t) {
            if (test.where == "deliver" && unit == 40) throw std::runtime_error("unit 40 failed");
            delivered.push_back(unit);
          });
      ADD_FAILURE() << "no exception reached the caller";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "unit 40 failed");
    }
    // The workers stopped: no unit far past the window ran.
    EXPECT_LE(ran.load(), 40u + 16u);
    std::vector<std::size_t> expected(40);
    std::iota(expected.begin(), expected.end(), 0);
    // A failed delivery leaves no unit that ran untold: those in flight are still delivered.
    if (test.where == "deliver") {
      for (std::size_t unit = 41; unit < ran; ++unit) expected.push_back(unit);
    }
    EXPECT_EQ(delivered, expected);
  }
}

TEST(ParallelRun, NoMoreUnitsInFlightThanAllowed) {
  for (std::size_t inFlight : {1u, 5u, 64u}) {
    SCOPED_TRACE("in flight " + std::to_string(inFlight));
    std::atomic<std::size_t> started{0};
    std::size_t delivered = 0, mostOut = 0;
    cli::RunOrdered<std::size_t>(
        300, {.jobs = 8, .inFlight = inFlight, .affinity = {}},
        [&](std::size_t, std::size_t unit) {
          ++started;
          Jitter(unit);
          return unit;
        },
        [&](std::size_t, std::size_t) {
          // Started but not yet handed back, this unit included.
          mostOut = std::max(mostOut, started.load() - delivered);
          ++delivered;
        });
    EXPECT_EQ(delivered, 300u);
    EXPECT_LE(mostOut, inFlight);
  }
}

TEST(ParallelRun, NothingToRunCallsNothing) {
  bool called = false;
  cli::RunOrdered<int>(
      0, {.jobs = 4, .inFlight = 0, .affinity = {}},
      [&](std::size_t, std::size_t) { return called = true, 0; },
      [&](std::size_t, int) { called = true; });
  EXPECT_FALSE(called);
}

}  // namespace

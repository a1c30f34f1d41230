#include "netware/sim/round_trips.h"

#include <sys/prctl.h>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <string>
#include <thread>

namespace sim {
namespace {

// Workers on several threads cross the network at once.
std::atomic<std::uint64_t> clientCalls{0}, controlOperations{0}, listings{0};
std::atomic<std::int64_t> latencyUs{0};

}  // namespace

std::uint64_t RoundTrips::Total() const { return clientCalls + controlOperations + listings; }

RoundTrips CountedRoundTrips() { return {clientCalls, controlOperations, listings}; }

void ResetRoundTrips() { clientCalls = controlOperations = listings = 0; }

void SetLatency(std::chrono::microseconds wait) { latencyUs = wait.count(); }

void CrossNetwork(RoundTrip kind) {
  (kind == RoundTrip::kClientCall         ? clientCalls
   : kind == RoundTrip::kControlOperation ? controlOperations
                                          : listings)
      .fetch_add(1, std::memory_order_relaxed);
  const std::chrono::microseconds latency(latencyUs.load(std::memory_order_relaxed));
  if (latency.count() == 0) return;
  // The default slack of 50 microseconds would overshoot a short latency many times over.
  static thread_local const bool tight = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
  static_cast<void>(tight);
  std::this_thread::sleep_until(std::chrono::steady_clock::now() + latency);
}

void TakeLatencyFromEnvironment() {
  static const bool taken = [] {
    const char* value = std::getenv("TOLVANE_SIM_LATENCY_US");
    if (value == nullptr || *value == '\0') return true;
    const std::string text = value;
    long long microseconds = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), microseconds);
    if (error != std::errc() || end != text.data() + text.size() || microseconds < 0 ||
        microseconds > 10'000'000) {
      throw SimError("TOLVANE_SIM_LATENCY_US must be a number of microseconds from 0 to " +
                     std::string("10000000, not \"") + text + "\".");
    }
    SetLatency(std::chrono::microseconds(microseconds));
    return true;
  }();
  static_cast<void>(taken);
}

}  // namespace sim

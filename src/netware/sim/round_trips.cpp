#include "netware/sim/round_trips.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace sim {
namespace {

// The network is used from one thread; plain counters do.
RoundTrips counted;
std::chrono::microseconds latency{0};

}  // namespace

std::uint64_t RoundTrips::Total() const { return clientCalls + controlOperations + listings; }

RoundTrips CountedRoundTrips() { return counted; }
void ResetRoundTrips() { counted = {}; }
void SetLatency(std::chrono::microseconds wait) { latency = wait; }

void CrossNetwork(RoundTrip kind) {
  switch (kind) {
    case RoundTrip::kClientCall:
      ++counted.clientCalls;
      break;
    case RoundTrip::kControlOperation:
      ++counted.controlOperations;
      break;
    case RoundTrip::kListing:
      ++counted.listings;
      break;
  }
  if (latency.count() == 0) return;
  // A sleep this short overshoots by more than the latency itself; wait it out instead.
  const auto until = std::chrono::steady_clock::now() + latency;
  while (std::chrono::steady_clock::now() < until) {
  }
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

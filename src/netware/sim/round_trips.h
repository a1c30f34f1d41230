#pragma once
// Against a real server every client call, control operation and directory listing crosses
// the network. The simulated network counts each, and with a latency set waits that long for
// each, so that what a user would wait for can be measured here.

#include "netware/sim/sim_network.h"

namespace sim {

enum class RoundTrip { kClientCall, kControlOperation, kListing };

// Counts one round trip of `kind` and waits out the latency.
void CrossNetwork(RoundTrip kind);

// The latency TOLVANE_SIM_LATENCY_US asks for, once per process; throws SimError when it
// is no number of microseconds.
void TakeLatencyFromEnvironment();

}  // namespace sim

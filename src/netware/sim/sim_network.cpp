// Placeholder until the simulated network lands.
#include "netware/sim/sim_network.h"

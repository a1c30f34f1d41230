// Placeholder until the formats land.
#include "capture/rights_file.h"

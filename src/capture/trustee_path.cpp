// Placeholder until the formats land.
#include "capture/trustee_path.h"

// Placeholder until the formats land.
#include "capture/windows1252.h"

// Placeholder until the formats land.
#include "capture/byte_buffer.h"

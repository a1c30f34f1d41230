// Placeholder until the formats land.
#include "capture/field_reader.h"

// Placeholder until the formats land.
#include "capture/object_list_file.h"

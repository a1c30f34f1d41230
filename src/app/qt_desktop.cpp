// Placeholder until the desktop seam lands.
#include "app/desktop.h"

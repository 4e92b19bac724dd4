// Built as a source of the device layer: the layer below it is in reach.
#include "scan/primitives.h"

int vxLayerProbeAllowed() { return vx::scan::csidl::Startup; }

// Built as a source of the scan layer: <windows.h> must stop the build.
#include <windows.h>

int vxLayerProbeWindows() { return 0; }

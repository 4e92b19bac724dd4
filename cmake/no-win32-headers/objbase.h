// Stands in for the Win32 header <objbase.h> in every layer above the platform:
// those layers reach Windows only through platform/platform.h.
#error "<objbase.h> is included above the platform layer: use platform/platform.h"

// Stands in for the Win32 header <wingdi.h> in every layer above the platform:
// those layers reach Windows only through platform/platform.h.
#error "<wingdi.h> is included above the platform layer: use platform/platform.h"

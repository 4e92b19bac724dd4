// Stands in for the Win32 header <winbase.h> in every layer above the platform:
// those layers reach Windows only through platform/platform.h.
#error "<winbase.h> is included above the platform layer: use platform/platform.h"

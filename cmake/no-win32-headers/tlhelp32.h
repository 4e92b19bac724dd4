// Stands in for the Win32 header <tlhelp32.h> in every layer above the platform:
// those layers reach Windows only through platform/platform.h.
#error "<tlhelp32.h> is included above the platform layer: use platform/platform.h"

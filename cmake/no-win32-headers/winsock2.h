// Stands in for the Win32 header <winsock2.h> in every layer above the platform:
// those layers reach Windows only through platform/platform.h.
#error "<winsock2.h> is included above the platform layer: use platform/platform.h"

// A program that imports a function Windows XP does not export
// (GetTickCount64, Vista and later) and one of a later header (subsystem
// version 6.0): the import audit must refuse it.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

int main() { return static_cast<int>(::GetTickCount64() & 1); }

#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that is not part of Windows
# itself (a MinGW runtime DLL, say): Varrex.exe must run from a pen drive alone.
set -euo pipefail
exe="$1"
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || objdump=objdump
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
bad=0
for d in $dlls; do
  case "${d,,}" in
    kernel32.dll|user32.dll|gdi32.dll|shell32.dll|advapi32.dll|comctl32.dll|comdlg32.dll|ole32.dll|\
    oleaut32.dll|psapi.dll|msvcrt.dll|ntdll.dll|shlwapi.dll|version.dll|uxtheme.dll|api-ms-win-*) ;;
    *) echo "check-imports: $exe imports non-system DLL $d"; bad=1 ;;
  esac
done
echo "check-imports: $(basename "$exe") imports: $(echo $dlls | tr '\n' ' ')"
exit $bad

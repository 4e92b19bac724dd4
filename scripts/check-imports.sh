#!/usr/bin/env bash
# Checks what a Windows executable imports, as the Windows loader will see it:
#  - only DLLs that are part of Windows itself (no MinGW runtime DLL):
#    Varrex.exe must run from a pen drive alone;
#  - no function that Windows XP or Server 2003 does not export (the list, with
#    where each entry came from, is scripts/post-xp-imports.txt): the loader
#    would refuse to start the program there.
# Exits non-zero, naming each fault, when either check fails.
set -euo pipefail
exe="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || objdump=objdump
table="$("$objdump" -p "$exe")"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$table")
bad=0
for d in $dlls; do
  case "${d,,}" in
    kernel32.dll|user32.dll|gdi32.dll|shell32.dll|advapi32.dll|comctl32.dll|comdlg32.dll|ole32.dll|\
    oleaut32.dll|psapi.dll|msvcrt.dll|ntdll.dll|shlwapi.dll|version.dll|uxtheme.dll|api-ms-win-*) ;;
    *) echo "check-imports: $exe imports non-system DLL $d"; bad=1 ;;
  esac
done

# "dll function" for every function imported by name, DLL names in lower case.
imported=$(awk '/DLL Name:/ { dll = tolower($3); next }
                /^\t[0-9a-f]+\t +[0-9]+ / { print dll, $3 }' <<<"$table")
while read -r dll function _; do
  [ -z "$dll" ] || [ "${dll:0:1}" = "#" ] && continue
  if grep -qxF "$dll $function" <<<"$imported"; then
    echo "check-imports: $exe imports $function from $dll, which Windows XP does not export"
    bad=1
  fi
done <"$here/post-xp-imports.txt"

# The headers' versions: Windows XP loads a program whose subsystem version is
# at most 5.1 (32-bit) or 5.2 (64-bit, XP x64 and Server 2003).
field() { awk -v f="$1" '$1 == f { print $2; exit }' <<<"$table"; }
limit=51
[ "$(field Magic)" = 020b ] && limit=52
for kind in Subsystem OSystem; do
  version=$(( $(field "Major${kind}Version") * 10 + $(field "Minor${kind}Version") ))
  if [ "$version" -gt "$limit" ]; then
    echo "check-imports: $exe asks for Windows $(field "Major${kind}Version").$(field "Minor${kind}Version") (${kind}Version), later than XP"
    bad=1
  fi
done

echo "check-imports: $(basename "$exe") imports: $(echo $dlls | tr '\n' ' ')($(wc -l <<<"$imported") functions)"
exit $bad

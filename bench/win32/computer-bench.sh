#!/usr/bin/env bash
# Times the computer check and the computer disinfection of Varrex.exe under
# Wine on a large ordinary profile:
#
#   computer-bench.sh BUILD_DIR [ENTRIES]
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_computer_driver.exe. A fresh sanitised prefix (a copy of
# VX_WINE_TEMPLATE when it is set) gets ENTRIES (10000 by default) harmless
# files and folders spread over the folders both runs search: the profile,
# the roaming and local application data, program data, Program Files, the
# start-up folder and the two temporary folders, plus 50 ordinary Run values
# and a handful of worm signs so that both runs have something to find. The
# driver (in its --bench mode) presses the two buttons and measures each run
# from the click to its verdict box; it reads the peak memory of Varrex.exe
# with GetProcessMemoryInfo, and this script samples the peak resident size
# of its Wine process from /proc as well. Afterwards every ordinary entry must
# still be there with the same bytes, and every worm sign gone. The prefix,
# its wineserver and the X server are removed at the end.
#
# A benchmark prints figures; it is not a timed test. It exits non-zero only
# when the run fails or an ordinary entry was lost.
set -uo pipefail

# shellcheck source=SCRIPTDIR/../../tests/e2e/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../tests/e2e/e2e-common.sh"

run_timeout=1200

[ $# -ge 1 ] && [ $# -le 2 ] || vx_e2e_usage "BUILD_DIR [ENTRIES]"
vx_e2e_build "$1"
entries="${2:-10000}"
[[ "$entries" =~ ^[0-9]+$ ]] && [ "$entries" -ge 1000 ] || fail "ENTRIES must be a number of at least 1000"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_computer_driver.exe)" || exit 1
vx_e2e_require display
command -v python3 >/dev/null 2>&1 || fail "python3 is needed to generate the entries"

vx_e2e_session
vx_e2e_install "$drive_c/vxbench" "$varrex" "$driver"
vx_e2e_special_folders 'C:\vxbench\vx_e2e_computer_driver.exe' \
    STARTUP APPDATA LOCAL_APPDATA COMMON_APPDATA WINDOWS PROGRAM_FILES PROFILE TEMP

# --- the ordinary entries and a few worm signs ------------------------------------------

manifest="$prefix_dir/ordinary.txt"
worms="$prefix_dir/worms.txt"
python3 - "$entries" "$manifest" "$worms" "${L[PROFILE]}" "${L[APPDATA]}" "${L[LOCAL_APPDATA]}" \
    "${L[COMMON_APPDATA]}" "${L[PROGRAM_FILES]}" "${L[TEMP]}" "${L[STARTUP]}" "${L[WINDOWS]}/temp" <<'PY' ||
import os, sys
total, manifest, worms = int(sys.argv[1]), sys.argv[2], sys.argv[3]
profile, roaming, local, pdata, pfiles, temp, startup, wtemp = sys.argv[4:12]
made = []
place = "profile"
per_place = {}

def note(path):
    made.append(path)
    per_place[place] = per_place.get(place, 0) + 1

def file(path, size, seed):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(bytes((seed * 31 + i) % 251 for i in range(size)))
    note(path)

def folder(path):
    os.makedirs(path, exist_ok=True)
    note(path)

# Shares of the total per place: (place, share); folders hold a few files,
# never a small program together with a script where the runs look for
# that pair, and no script or program where the runs sweep.
n = total
def part(fraction):
    return max(1, int(n * fraction))

k = 0
for i in range(part(0.10)):                      # profile: folders with a document and a tool
    d = os.path.join(profile, "Pasta_%05d" % i); folder(d)
    file(os.path.join(d, "doc.txt"), 300 + i % 700, k); k += 1
    file(os.path.join(d, "tool.exe"), 2048, k); k += 1
for i in range(part(0.05)):                      # profile: loose notes
    file(os.path.join(profile, "nota_%05d.txt" % i), 200 + i % 300, k); k += 1
place = "roaming"
for i in range(part(0.04)):                      # roaming: application folders
    d = os.path.join(roaming, "App_%05d" % i); folder(d)
    file(os.path.join(d, "config.ini"), 120, k); k += 1
    file(os.path.join(d, "data.dat"), 900, k); k += 1
for i in range(part(0.03)):                      # roaming: programs nothing starts
    file(os.path.join(roaming, "tool_%05d.exe" % i), 3000, k); k += 1
for i in range(part(0.03)):
    file(os.path.join(roaming, "settings_%05d.ini" % i), 150, k); k += 1
place = "local"
for i in range(part(0.01)):                      # local
    d = os.path.join(local, "Cache_%05d" % i); folder(d)
    file(os.path.join(d, "index.db"), 700, k); k += 1
    file(os.path.join(d, "blob.bin"), 1500, k); k += 1
for i in range(part(0.03)):
    file(os.path.join(local, "cache_%05d.exe" % i), 2500, k); k += 1
for i in range(part(0.05)):
    file(os.path.join(local, "cache_%05d.dat" % i), 400, k); k += 1
place = "program data"
for i in range(part(0.02)):                      # program data
    file(os.path.join(pdata, "pd_%05d.dat" % i), 300, k); k += 1
for i in range(part(0.01)):
    d = os.path.join(pdata, "Vendor_%05d" % i); folder(d)
    for name in ("settings.ini", "helper.js", "service.exe"):
        file(os.path.join(d, name), 500, k); k += 1
place = "Program Files"
for i in range(part(0.02)):                      # Program Files: no scripts
    d = os.path.join(pfiles, "Vendor_%05d" % i); folder(d)
    for name in ("app.exe", "lib.dll", "readme.txt", "data.bin"):
        file(os.path.join(d, name), 800, k); k += 1
place = "user temp"
for i in range(part(0.10)):                      # the user's temporary folder
    file(os.path.join(temp, "tmp_%05d.tmp" % i), 256, k); k += 1
for i in range(part(0.01)):
    d = os.path.join(temp, "setup_%05d" % i); folder(d)
    for name in ("a.cab", "b.msi", "c.log"):
        file(os.path.join(d, name), 300, k); k += 1
place = "startup"
for i in range(part(0.005)):                     # start-up shortcuts of ordinary programs
    file(os.path.join(startup, "Programa_%04d.lnk" % i), 400, k); k += 1
# The rest, up to the total, in the Windows temporary folder.
place = "windows temp"
i = 0
while len(made) < total:
    file(os.path.join(wtemp, "wtmp_%05d.log" % i), 200, k); k += 1; i += 1
with open(manifest, "w") as f:
    f.write("\n".join(made[:total]) + "\n")
print("computer-bench: ordinary entries by place")
for name, count in per_place.items():
    print("    %-15s %6d entries" % (name, count))

# A few worm signs, so that both runs have something to report and remove.
signs = []
def sign(path, size=600):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"MZ" + b"w" * size)
    signs.append(path)
sign(os.path.join(profile, "MediaSync", "wupdate.exe")); sign(os.path.join(profile, "MediaSync", "wupdate.js"))
sign(os.path.join(roaming, "Meu_pc.zip")); sign(os.path.join(roaming, "x.vbs"))
sign(os.path.join(local, "cache.js")); sign(os.path.join(startup, "atajo.lnk"))
sign(os.path.join(pdata, "ASX", "xcv.exe")); sign(os.path.join(temp, "t.js"))
with open(worms, "w") as f:
    f.write("\n".join(signs + [os.path.join(profile, "MediaSync"), os.path.join(pdata, "ASX")]) + "\n")
PY
    fail "cannot generate the entries"
[ "$(grep -c . "$manifest")" -eq "$entries" ] || fail "the manifest does not list $entries entries"

run='Software\Microsoft\Windows\CurrentVersion\Run'
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\%s]\r\n' "$run"
    for i in $(seq -w 1 25); do printf '"Ordinary%s"="\\"C:\\\\Program Files\\\\Vendor_%s\\\\app.exe\\" /tray"\r\n' "$i" "$i"; done
    printf '"System"="C:\\\\windows\\\\system32\\\\svhost32.exe"\r\n\r\n[HKEY_LOCAL_MACHINE\\%s]\r\n' "$run"
    for i in $(seq -w 1 25); do printf '"Machine%s"="C:\\\\Program Files\\\\Vendor_%s\\\\app.exe"\r\n' "$i" "$i"; done
    printf '"xcv.exe"="C:\\\\ProgramData\\\\ASX\\\\xcv.exe"\r\n'
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$run_dir/seed.reg" || fail "cannot write seed.reg"
wine_step wine reg import 'C:\vxbench\seed.reg' >/dev/null 2>&1 || fail "reg import failed"
run_values() {
    wine_step wine reg query "$1\\$run" 2>/dev/null | tr -d '\r' | grep -E '^    (Ordinary|Machine)[0-9]+ ' | LC_ALL=C sort
}
values_before="$(run_values HKCU; run_values HKLM)"
[ "$(grep -c . <<<"$values_before")" -eq 50 ] || fail "the 50 ordinary Run values are not all there"

sums() { tr '\n' '\0' <"$manifest" | xargs -0 sha256sum -- 2>/dev/null | sort; }
folders_of() { while IFS= read -r p; do [ -d "$p" ] && echo "$p"; done <"$manifest" | sort; }
sums_before="$(sums)"
folders_before="$(folders_of)"
files_n="$(grep -c . <<<"$sums_before")"
folders_n="$(grep -c . <<<"$folders_before")"
echo "computer-bench: $entries ordinary entries ($files_n files, $folders_n folders), 50 ordinary Run values, $(grep -c . "$worms") worm entries"

# --- the run ------------------------------------------------------------------------------

# Wine is warm before the measured run.
wine_step wine cmd /c exit >/dev/null 2>&1
sync
cd "$run_dir" || fail "cannot enter $run_dir"
vx_wine_exec timeout -k 10 "$run_timeout" wine 'C:\vxbench\vx_e2e_computer_driver.exe' --bench >"$prefix_dir/driver.log" 2>&1 &
driver_pid=$!
# The peak resident size of Varrex.exe's Wine process, as Linux sees it.
real_prefix="$(realpath -- "$prefix")"
varrex_pid=""
hwm_kb=0
while kill -0 "$driver_pid" 2>/dev/null; do
    if [ -z "$varrex_pid" ]; then
        for p in $(pgrep -f 'varrex\.exe' 2>/dev/null); do
            tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" ||
                tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$real_prefix" || continue
            varrex_pid="$p"
            break
        done
    fi
    if [ -n "$varrex_pid" ]; then
        kb="$(awk '/^VmHWM:/ {print $2}' "/proc/$varrex_pid/status" 2>/dev/null)"
        [ -n "$kb" ] && [ "$kb" -gt "$hwm_kb" ] && hwm_kb="$kb"
    fi
    sleep 0.5
done
wait "$driver_pid"
rc=$?
driver_pid=""
vx_wine_server_stop
cd "$prefix_dir" || fail "cannot enter $prefix_dir"
tr -d '\r' <"$prefix_dir/driver.log" | sed 's/^/    driver: /'
[ $rc -eq 0 ] || fail "the driver failed (exit $rc)"

# --- what is left -------------------------------------------------------------------------

lost=0
[ "$(sums)" = "$sums_before" ] || lost=1
[ "$(folders_of)" = "$folders_before" ] || lost=1
[ "$(run_values HKCU; run_values HKLM)" = "$values_before" ] || lost=1
left=0
while IFS= read -r w; do [ -e "$w" ] && left=$((left + 1)); done <"$worms"

results="$run_dir/bench-results.txt"
value() { sed -n "s/^$1=//p" "$results"; }
echo "computer-bench: results"
printf '    entries            %d ordinary (%d files, %d folders) + %d worm entries\n' \
    "$entries" "$files_n" "$folders_n" "$(grep -c . "$worms")"
printf '    check              %s s from the click to the verdict box (%s log lines)\n' \
    "$(value check_seconds)" "$(value check_lines)"
printf '    disinfection       %s s from the click to the verdict box (%s log lines)\n' \
    "$(value disinfection_seconds)" "$(value disinfection_lines)"
printf '    Varrex.exe peak    working set %s MiB, pagefile %s MiB (GetProcessMemoryInfo)\n' \
    "$(value peak_working_set_mib)" "$(value peak_pagefile_mib)"
printf '    Wine process peak  resident %s MiB (VmHWM)\n' "$(awk -v k="$hwm_kb" 'BEGIN {printf "%.1f", k / 1024}')"
printf '    ordinary entries   %s\n' "$([ $lost -eq 0 ] && echo "all $entries intact, 50 Run values kept" || echo 'SOME LOST OR CHANGED')"
printf '    worm entries left  %d\n' "$left"
[ $lost -eq 0 ] || exit 1
exit 0

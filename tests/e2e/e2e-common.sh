# shellcheck shell=bash disable=SC2034  # the variables set here are read by the scripts
# The parts every end-to-end script of Varrex.exe (and the computer
# benchmark, which uses the computer driver) shares; sourced, never run:
#
#   fail, vx_e2e_usage             messages prefixed with the script's name
#   vx_e2e_build, vx_e2e_built     the build folder and the programs in it
#   vx_e2e_require                 Wine and an X server (missing ones fail)
#   vx_e2e_want_screenshots        ImageMagick's import, or no screenshots
#   check, failures                one line per check, and their count
#   wine_step                      a Wine command of the preparation, timed
#   vx_e2e_session                 the sanitised prefix, X server, WINEPREFIX
#   vx_e2e_removable_e, vx_e2e_demo_drive   a folder, the sample pen drive as E:
#   vx_e2e_file_tree               a large tree of empty files
#   vx_e2e_install                 the programs copied into the prefix
#   vx_e2e_run_driver              the driver run, its screenshots served
#   vx_e2e_special_folders         the shell's special folders, mapped
#   vx_e2e_copies ...              the automatic copies of the written files
#   vx_e2e_finish                  the summary line and the exit code
#
# The Wine safety comes from scripts/wine-prefix.sh: the session's prefix is a
# copy of a sanitised template (no z: drive, no link into the Linux home),
# and it is removed at exit together with its wineserver, the driver and the
# private X server.
#
# The functions share the script's variables: build, run_dir, prefix,
# prefix_dir, drive_c, driver_timeout, rc, failures and the ones named below;
# repo is the repository's top folder.

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# shellcheck source=SCRIPTDIR/../../scripts/wine-prefix.sh
. "$repo/scripts/wine-prefix.sh"

# Every message starts with the script's name (run-device-e2e, ...).
vx_e2e_name="$(basename -- "$0" .sh)"

fail() {
    echo "$vx_e2e_name: $*" >&2
    exit 1
}

vx_e2e_usage() { # ARGUMENTS
    echo "usage: $0 $1" >&2
    exit 2
}

# Sets build to the absolute path of the build folder.
vx_e2e_build() { # DIR
    build="$(cd "$1" && pwd)" || fail "no build folder '$1'"
}

# Prints the path of a built program, looked for in BUILD/tests and at the
# top of BUILD; fails when it is in neither. Use as
# var="$(vx_e2e_built NAME)" || exit 1.
vx_e2e_built() { # NAME
    local f
    for f in "$build/tests/$1" "$build/$1"; do
        [ -f "$f" ] && { echo "$f"; return 0; }
    done
    fail "missing $1 in $build (build the mingw64 preset first)"
}

# Wine is required, and an X server: with "display" the one DISPLAY names,
# else a private Xvfb; with "private-x" always a private Xvfb. A missing one
# is a failure, never a skip. Sets use_xvfb.
vx_e2e_require() { # display|private-x
    vx_wine_require || fail "Wine is required"
    use_xvfb=0
    if [ "$1" = private-x ]; then
        command -v Xvfb >/dev/null 2>&1 || fail "'Xvfb' is not installed (Debian package xvfb)"
        use_xvfb=1
    elif [ -z "${DISPLAY:-}" ]; then
        command -v Xvfb >/dev/null 2>&1 || fail "no DISPLAY and 'Xvfb' is not installed (Debian package xvfb)"
        use_xvfb=1
    fi
}

# The screenshots need ImageMagick's import; without it they are left out
# and the run goes on.
have_import=0
vx_e2e_want_screenshots() {
    have_import=1
    command -v import >/dev/null 2>&1 || {
        have_import=0
        echo "$vx_e2e_name: no 'import' (imagemagick): no screenshots" >&2
    }
}

failures=0
check() { # WHAT COMMAND...
    local what="$1"
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}

# How long a single Wine command of the preparation may take.
step_timeout=60
wine_step() { vx_wine_exec timeout -k 5 "$step_timeout" "$@"; }

# How long the driver may take before the run counts as hung; 0: no limit.
driver_timeout=0

# Begins the test's Wine session (vx_wine_session_begin): a fresh sanitised
# prefix, exported as WINEPREFIX, removed at exit. The X server comes first:
# the Wine session that the preparation starts keeps the display it found,
# and without one no window can be made in it. No window manager runs on a
# private X server: Wine draws the window frames itself, so the screenshots
# show the title bar. Sets started, prefix, prefix_dir and drive_c.
vx_e2e_session() {
    started=$(date +%s)
    vx_wine_session_begin || exit 1
    export WINEPREFIX="$prefix"
    drive_c="$prefix/drive_c"
    if [ "$use_xvfb" -eq 1 ]; then
        vx_xvfb_start || exit 1
    fi
    wine_step wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
}

# Maps the folder NAME beside the prefix (removed with it) as the removable
# drive E:, in place of the folder mapped before. Sets drive to the drive's
# Linux folder.
vx_e2e_removable_e() { # NAME
    drive="$prefix_dir/$1"
    ln -sfn "../../$1" "$prefix/dosdevices/e:" || fail "cannot map drive E:"
    vx_wine_exec wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /d floppy /f >/dev/null 2>&1 ||
        fail "cannot make E: a removable drive"
    # The drive types are read when the wineserver starts.
    vx_wine_server_stop
}

# Fills FOLDER (made when missing) with FOLDERS folders of FILES empty files
# each: grouped a hundred to a folder at the top when there are more than a
# hundred (1,000 folders of 10 files: 10 + 1,000 + 10,000 entries), else at
# the top themselves.
vx_e2e_file_tree() { # FOLDER FOLDERS FILES
    local folders
    mkdir -p -- "$1" || return 1
    folders="$(awk -v n="$2" 'BEGIN {
        for (i = 0; i < n; i++)
            if (n > 100) printf "grupo_%03d/pasta_%05d\n", int(i / 100), i
            else printf "pasta_%05d\n", i
    }')"
    (
        cd -- "$1" || exit 1
        printf '%s\n' "$folders" | xargs -d '\n' mkdir -p -- || exit 1
        awk -v n="$3" '{ for (j = 0; j < n; j++) printf "%s/arquivo_%05d.txt\n", $0, j }' <<<"$folders" |
            xargs -d '\n' touch -- || exit 1
    )
}

# Maps the sample infected pen drive of scripts/make-demo-pendrive.sh as the
# removable drive E:, in a folder beside the prefix (removed with it), and
# leaves only C: and E: as drives. Sets drive to the drive's Linux folder.
vx_e2e_demo_drive() {
    vx_e2e_removable_e pendrive
    "$repo/scripts/make-demo-pendrive.sh" "$drive" E: || fail "cannot write the sample pen drive"
    # Wine has run again: only C: and E: may be drives, and nothing under
    # drive_c may lead out of the prefix.
    vx_wine_sanitise "$prefix" e: ../../pendrive || fail "the prefix cannot be made safe again"
    [ "$(readlink -- "$prefix/dosdevices/e:")" = ../../pendrive ] || fail "drive E: is not the sample drive"
}

# Copies the programs into a folder of the prefix and makes it run_dir.
vx_e2e_install() { # FOLDER PROGRAM...
    run_dir="$1"
    shift
    mkdir -p "$run_dir" || fail "cannot copy the programs into the prefix"
    cp -- "$@" "$run_dir/" || fail "cannot copy the programs into the prefix"
}

# Runs the driver (its Windows path and arguments) from run_dir until it
# ends. The driver asks for each screenshot with a file "shot-request"
# holding a name and the window's rectangle, and waits for "shot-done"; the
# picture goes into the build folder as NAME.png. A driver still running
# after driver_timeout seconds is killed and the run fails. Afterwards the
# wineserver is stopped, so that everything the program wrote is on disk, and
# the script stands in prefix_dir. Sets rc, prepared and finished.
vx_e2e_run_driver() { # DRIVER [ARGUMENT...]
    local hung=0 name x y w h
    prepared=$(date +%s)
    cd "$run_dir" || fail "cannot enter $run_dir"
    vx_wine_exec wine "$@" &
    driver_pid=$!
    while kill -0 "$driver_pid" 2>/dev/null; do
        if [ "$driver_timeout" -gt 0 ] && [ $(($(date +%s) - prepared)) -gt "$driver_timeout" ]; then
            hung=1
            kill "$driver_pid" 2>/dev/null
            break
        fi
        if [ -f "$run_dir/shot-request" ]; then
            read -r name x y w h <"$run_dir/shot-request"
            rm -f "$run_dir/shot-request"
            if [ "$have_import" -eq 1 ] && [[ "$name" =~ ^[a-z0-9-]+$ ]]; then
                import -window root -crop "${w}x${h}+${x}+${y}" +repage "$build/$name.png" 2>/dev/null ||
                    echo "$vx_e2e_name: screenshot $name failed" >&2
            fi
            touch "$run_dir/shot-done"
        fi
        sleep 0.1
    done
    wait "$driver_pid"
    rc=$?
    driver_pid=""
    finished=$(date +%s)
    [ $hung -eq 0 ] || fail "the driver did not finish within $driver_timeout s"
    vx_wine_server_stop
    cd "$prefix_dir" || fail "cannot enter $prefix_dir"
}

vx_e2e_driver_line() {
    echo "$vx_e2e_name: driver exited with $rc (prefix $((prepared - started)) s, run $((finished - prepared)) s)"
}

# The driver's own checks count as one here.
vx_e2e_check_driver() {
    vx_e2e_driver_line
    check "the driver's checks passed" test "$rc" -eq 0
}

# A Windows path on drive C as a path under drive_c; existing components are
# matched without regard to letter case, as Windows matches them. A path off
# drive C, or one that climbs with "." or "..", has none.
vx_e2e_to_linux() { # WINDOWS_PATH
    local win="$1" rest cur part match parts
    [[ "$win" =~ ^[Cc]:\\ ]] || return 1
    rest="${win:3}"
    rest="${rest%\\}"
    cur="$drive_c"
    # shellcheck disable=SC1003,SC2141  # the separator is one backslash
    IFS='\' read -ra parts <<<"$rest"
    for part in "${parts[@]}"; do
        [ -n "$part" ] || continue
        [ "$part" != . ] && [ "$part" != .. ] || return 1
        match=""
        [ -d "$cur" ] && match="$(find "$cur" -mindepth 1 -maxdepth 1 -iname "$part" -printf '%f\n' -quit)"
        cur="$cur/${match:-$part}"
    done
    printf '%s\n' "$cur"
}

# The special folders as the prefix's shell gives them: the driver (its
# Windows path), run from run_dir with --folders, writes folders.txt there.
# Sets F[KEY] to each folder's Windows path and L[KEY] to its place under
# drive_c. Each KEY named must be given, and no folder may lead out of the
# prefix.
vx_e2e_special_folders() { # DRIVER KEY...
    local driver_exe="$1" key path
    shift
    (cd "$run_dir" && wine_step wine "$driver_exe" --folders) ||
        fail "the driver could not report the special folders"
    [ -s "$run_dir/folders.txt" ] || fail "no folders.txt"
    echo "--- special folders as Wine gives them (key, CSIDL, result, path):"
    sed 's/^/    /' "$run_dir/folders.txt"
    declare -gA F=() L=()
    while read -r key _ _ path; do
        F[$key]="$path"
    done <"$run_dir/folders.txt"
    for key in "$@"; do
        [ -n "${F[$key]:-}" ] || fail "Wine gives no $key folder"
    done
    for key in "${!F[@]}"; do
        [ -n "${F[$key]}" ] || continue
        L[$key]="$(vx_e2e_to_linux "${F[$key]}")" || fail "$key '${F[$key]}' is not on drive C"
        case "$(realpath -m -- "${L[$key]}")" in
            "$(realpath -- "$drive_c")"/*) ;;
            *) fail "$key leads out of the prefix: ${L[$key]}" ;;
        esac
    done
}

# The files the program wrote into its folder of the roaming or the local
# application data, by name pattern.
vx_e2e_copy_in() { # Roaming|Local PATTERN
    find "$prefix/drive_c/users" -path "*/AppData/$1/varrex/$2" -type f
}

# The program writes some files twice, once into each application-data
# folder. Checks there is exactly one of each, sets roaming and local_copy,
# and succeeds when both are there.
vx_e2e_copies() { # PATTERN WHAT
    roaming="$(vx_e2e_copy_in Roaming "$1")"
    local_copy="$(vx_e2e_copy_in Local "$1")"
    check "one $2 $1 in AppData/Roaming/varrex" test "$(printf '%s' "$roaming" | grep -c .)" -eq 1
    check "one $2 $1 in AppData/Local/varrex" test "$(printf '%s' "$local_copy" | grep -c .)" -eq 1
    [ -f "$roaming" ] && [ -f "$local_copy" ]
}

# The two copies are one file written twice: the same name, the same bytes.
vx_e2e_same_copies() { # WHAT (plural)
    echo "    $(basename -- "$roaming")"
    check "both $1 have the same name" test "$(basename -- "$roaming")" = "$(basename -- "$local_copy")"
    check "both $1 hold the same bytes" cmp -s "$roaming" "$local_copy"
}

# A log copy is the log as text in the ANSI code page with lines ending in
# CR LF: the version line first and the run's verdict last. Sets text.
vx_e2e_check_log_copy() { # FILE VERDICT
    text="$(iconv -f CP1252 -t UTF-8 "$1" | tr -d '\r')"
    check "the copy starts with the version line" test "$(head -n 1 <<<"$text")" = "[VX] - Varrex - Versão: 2.7.5 - "
    check "the copy ends with the verdict line" test "$(tail -n 1 <<<"$text")" = "$2"
    check "the copy's lines end in CR LF" test "$(grep -c $'\r$' "$1")" -eq "$(wc -l <"$1")"
}

# Names the screenshots taken, prints the count of failed checks and exits:
# 1 when any check failed, else 0.
# shellcheck disable=SC2120  # a test without screenshots names none
vx_e2e_finish() { # [SCREENSHOT...]
    local shot
    for shot in "$@"; do
        [ -f "$build/$shot.png" ] && echo "$vx_e2e_name: screenshot $build/$shot.png"
    done
    echo "$vx_e2e_name: $failures check(s) failed here, total $(($(date +%s) - started)) s"
    [ $failures -eq 0 ] || exit 1
    exit 0
}

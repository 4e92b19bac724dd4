#!/usr/bin/env bash
# Runs Varrex.exe under Wine as Windows XP, Windows 7 and Windows 10, and
# checks what each version changes:
#
#   run-versions-e2e.sh BUILD_DIR [xp|win7|win10 ...]
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_versions_driver.exe; the versions named (all three by default)
# run one after the other. Each gets its own sanitised prefix (a copy of
# VX_WINE_TEMPLATE when it is set) set to the version with winecfg (XP is
# "winxp64" in a 64-bit prefix: Windows XP x64, version 5.2) and the sample
# infected pen drive of scripts/make-demo-pendrive.sh as the removable E:,
# with the shortcut worm's own program (A1.exe, 250 500 bytes) added at its
# root. The driver runs the device check and disinfection, reads the process
# list and writes the system report (see versions_driver.cpp); this script
# then checks the report from Linux: its system line holds the product name,
# version and build the prefix's registry gives, "64 Bits", and the version
# number of the version asked for; its process lines are the list the driver
# read. The prefixes, their wineservers and the X servers (when started) are
# removed at the end of each version.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=150

[ $# -ge 1 ] || vx_e2e_usage "BUILD_DIR [xp|win7|win10 ...]"
vx_e2e_build "$1"
shift
versions=("$@")
[ ${#versions[@]} -gt 0 ] || versions=(xp win7 win10)
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_versions_driver.exe)" || exit 1
vx_e2e_require display

# The winecfg name of a version, and the version number Windows reports.
declare -A winecfg_name=([xp]=winxp64 [win7]=win7 [win10]=win10)
declare -A version_number=([xp]=5.2 [win7]=6.1 [win10]=10.0)
declare -A product_pattern=([xp]='XP$' [win7]='Windows 7' [win10]='Windows 10')
for v in "${versions[@]}"; do
    [ -n "${winecfg_name[$v]:-}" ] || vx_e2e_usage "BUILD_DIR [xp|win7|win10 ...]"
done

reg_text() { # NAME: a string value of Windows NT\CurrentVersion
    wine_step wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v "$1" 2>/dev/null |
        tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}

# One version in its own prefix; a subshell, so that its session (prefix,
# wineserver, X server) ends with it. Exits with 1 when a check failed.
run_version() { # VERSION
    local v="$1"
    vx_e2e_name="run-versions-e2e $v"
    vx_e2e_session
    wine_step winecfg -v "${winecfg_name[$v]}" >/dev/null 2>&1 || fail "winecfg -v ${winecfg_name[$v]} failed"
    vx_e2e_demo_drive
    # The shortcut worm's program: 250 001 to 250 999 bytes beside the
    # shortcuts.
    { printf 'MZ' && head -c 250498 /dev/zero; } >"$drive/A1.exe" || fail "cannot write A1.exe"

    product="$(reg_text ProductName)"
    version="$(reg_text CurrentVersion)"
    build_no="$(reg_text CurrentBuild)"
    echo "$vx_e2e_name: the prefix says '$product', version '$version', build '$build_no'"
    check "the prefix is ${winecfg_name[$v]}" test "$version" = "${version_number[$v]}"
    check "its product name matches '${product_pattern[$v]}'" grep -qE "${product_pattern[$v]}" <<<"$product"

    vx_e2e_install "$drive_c/vxver" "$varrex" "$driver"
    vx_e2e_run_driver 'C:\vxver\vx_e2e_versions_driver.exe' "$v"
    vx_e2e_check_driver

    vx_e2e_copies 'vx-relatorio-*.txt' report
    if [ -f "$roaming" ]; then
        text="$(iconv -f CP1252 -t UTF-8 "$roaming" | tr -d '\r')"
        echo "--- $(basename -- "$roaming"):"
        iconv -f CP1252 -t UTF-8 "$roaming" | tr -d '\r' | sed 's/^/    /'
        os_line="$(grep -m1 '^>>> Sistema Operacional: ' <<<"$text")"
        check "the system line is the prefix's" test "$os_line" = \
            ">>> Sistema Operacional: $product - Versão: ${version_number[$v]} - Build: $build_no - 64 Bits"
        # The process part: the lines after its heading and a blank line (the
        # blank line closing it went with the command substitution).
        listed="$(sed -n '/^>>> Lista de Processos em Execução:$/,$p' <<<"$text" | sed '1,2d')"
        check "the report's process lines are the list the driver read" \
            test "$listed" = "$(tr -d '\r' <"$run_dir/process-list.txt")"
    fi
    vx_e2e_finish
}

status=0
for v in "${versions[@]}"; do
    (run_version "$v") || status=1
done
echo "run-versions-e2e: ${versions[*]}: $([ $status -eq 0 ] && echo passed || echo FAILED)"
exit $status

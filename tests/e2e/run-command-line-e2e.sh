#!/usr/bin/env bash
# Runs the end-to-end test of Varrex.exe's command line under Wine:
#
#   run-command-line-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe and
# tests/vx_e2e_command_line_driver.exe. The test gets its own sanitised prefix
# (a copy of VX_WINE_TEMPLATE when it is set) with the sample infected pen
# drive of scripts/make-demo-pendrive.sh as the removable E:. From
# "wine cmd /c", as a scheduled task or a start-up script starts it, the
# program checks the drive (exit 1), disinfects it with /log: (exit 1: the
# automatic copies written, the worm's files kept in the quarantine and gone
# from the drive), checks it again (exit 0), refuses a usage error (exit 3,
# the usage text on the console) and prints its help (exit 0). Then the drive
# is put back as it was and the driver has the window disinfect it: its log
# must be the command line's log file line for line (the start line, which
# holds the time, aside); a command line started while the window's run shows
# its verdict ends with exit 4. Last, with the insertion check ticked, a
# removable K: is mapped while the program runs and is checked once. A
# screenshot goes into BUILD_DIR as e2e-command-line-insertion.png. The prefix,
# its wineserver and the X server (when one was started) are removed at the
# end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=150

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_command_line_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session

# --- the drives ----------------------------------------------------------------------

vx_e2e_demo_drive
sample="$prefix_dir/pendrive-sample"
cp -a -- "$drive" "$sample" || fail "cannot keep a copy of the sample drive"
# The drive mapped as K: while the window runs: a worm's shortcut at its root.
mkdir -p "$prefix_dir/stick-k" || fail "cannot make the folder of K:"
printf 'L' >"$prefix_dir/stick-k/Fotos.lnk"

vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver"

# --- the command lines, from cmd -------------------------------------------------------

# Runs Varrex.exe with the arguments from cmd in run_dir; sets code and out
# (what reached cmd's output, CR LF made LF). The output is a file here, so
# the program writes it in the ANSI code page, as its saved logs.
cli() { # ARGUMENT...
    local file="$prefix_dir/cli-out.txt"
    (cd "$run_dir" && vx_wine_exec timeout -k 5 120 wine cmd /c Varrex.exe "$@" >"$file" 2>/dev/null)
    code=$?
    out="$(iconv -f CP1252 -t UTF-8 "$file" | tr -d '\r')"
    echo "--- Varrex.exe $* -> exit $code, $(grep -c . <<<"$out") line(s) on the console"
}
has_line() { grep -qxF -- "$2" <<<"$1"; }

cli /check-device E:
check "a check of the infected drive ends with exit code 1" test "$code" -eq 1
check "its log reaches the console" has_line "$out" "[VX] - Verificando Dispositivo Externo - Unidade: E:\\"
check "its verdict line too" has_line "$out" \
    '[VX] *** O Dispositivo (E:\) está Infectado! Para remover use o botão "Desinfectar Dispositivo"'

cli /disinfect-device E: '/log:C:\vxtest\cli-disinfection.txt'
check "its disinfection ends with exit code 1" test "$code" -eq 1
cli_log="$run_dir/cli-disinfection.txt"
check "the log file is written" test -s "$cli_log"
[ -s "$cli_log" ] && check "its lines end in CR LF" test "$(grep -c $'\r$' "$cli_log")" -eq "$(wc -l <"$cli_log")"
if vx_e2e_copies 'vx-pen-*.txt' 'automatic copy'; then
    vx_e2e_same_copies copies
    vx_e2e_check_log_copy "$roaming" '[VX] > Vírus Encontrados na Unidade E:\! Verifique o relatório!'
fi
kept="$(find "$drive_c" -ipath '*varrex/quarantine/*' -name manifest.txt | head -n 1)"
check "what it deleted is kept in the quarantine" test -n "$kept"
for worm in x.vbs USB.exe Fotos.lnk; do
    check "$worm is gone from the drive" test ! -e "$drive/$worm"
done
check "the user's folder is back in sight" test -d "$drive/Fotos"

cli /check-device E:
check "a second check ends with exit code 0" test "$code" -eq 0

cli /check-device
check "a missing drive is a usage error: exit code 3" test "$code" -eq 3
check "the usage text is on the console" has_line "$out" "Varrex 2.7.5 - uso na linha de comando:"

cli '/?' /lang:en
check "help ends with exit code 0" test "$code" -eq 0
check "help is in the language asked for" has_line "$out" "Varrex 2.7.5 - command line use:"

# --- the window's run of the same disinfection, and the insertion check ------------------

rm -rf -- "${drive:?}"/* "${drive:?}"/.[!.]* 2>/dev/null
cp -a -- "$sample"/. "$drive"/ || fail "cannot put the sample drive back"

vx_e2e_run_driver 'C:\vxtest\vx_e2e_command_line_driver.exe' 'C:\vxtest\window-disinfection.txt' \
    "$prefix_dir/stick-k"
vx_e2e_check_driver

window_log="$run_dir/window-disinfection.txt"
check "the window's log was written" test -s "$window_log"
if [ -s "$window_log" ] && [ -s "$cli_log" ]; then
    # The start line holds the time of each run; every other line is the same.
    unstamped() { sed -e 's/\r$//' -e '2s/^\(\[VX\] - Início da Verificação - \).*/\1.../'; }
    cli_text="$(iconv -f CP1252 -t UTF-8 "$cli_log" | unstamped)"
    window_text="$(unstamped <"$window_log")"
    echo "    $(grep -c . <<<"$cli_text") lines in the command line's log"
    check "the command line's log file is the window's log line for line" test "$cli_text" = "$window_text"
    [ "$cli_text" = "$window_text" ] || diff <(echo "$cli_text") <(echo "$window_text") | head -n 20 | sed 's/^/    /'
fi
check "the command line beside the window's run wrote why it ended" \
    grep -q 'Outra execução do Varrex está em andamento' <(iconv -f CP1252 -t UTF-8 "$run_dir/beside.txt" 2>/dev/null)
check "the inserted drive was only checked" test -f "$prefix_dir/stick-k/Fotos.lnk"

vx_e2e_finish e2e-command-line-insertion

#!/usr/bin/env bash
# Runs the end-to-end test of the tools tab of Varrex.exe under Wine:
#
#   run-tools-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe, tests/standin.exe and
# tests/vx_e2e_tools_driver.exe (each is also looked for at the top of
# BUILD_DIR). The test gets its own sanitised prefix (a copy of
# VX_WINE_TEMPLATE when it is set). Before the run it fills the user's and the
# Windows temporary folders with files and folders, some read-only, puts a
# copy of the stand-in (lulu.exe) in the user's one for the driver to run from
# there, and adds Explorer file-extension settings to the registry. The driver
# presses the tools tab's buttons; afterwards this script checks from Linux
# what is left in the temporary folders, the two clean-up logs, the moved
# registry key and the system report. A second run in the same prefix sets
# TEMP and TMP in HKCU\Environment to the profile folder, seeds files and a
# folder at the profile's top, presses the clean-up again and checks that
# nothing in the profile changed and that the log calls the profile not
# found. The prefix, its wineserver and the X server (when one was started)
# are removed at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=240

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
standin="$(vx_e2e_built standin.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_tools_driver.exe)" || exit 1
vx_e2e_require display

vx_e2e_session

# --- the temporary folders ---------------------------------------------------------

# The user's temporary folder as Windows names it, and where it is on Linux.
user_temp_win="$(wine_step wine cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r' | tail -n 1)"
[[ "$user_temp_win" =~ ^[Cc]:\\ ]] || fail "cannot read the user's temporary folder (got '$user_temp_win')"
user_temp="$(wine_step winepath -u "$user_temp_win" 2>/dev/null | tail -n 1)"
user_temp="$(realpath -m -- "$user_temp")"
case "$user_temp" in
    "$(realpath -- "$prefix")"/drive_c/users/*/Temp) ;;
    *) fail "the user's temporary folder '$user_temp' is not under the prefix's users" ;;
esac
win_temp="$prefix/drive_c/windows/temp"
mkdir -p "$user_temp" "$win_temp" || fail "cannot make the temporary folders"
echo "run-tools-e2e: user temp $user_temp_win = ${user_temp#*/prefix/}"

to_win() { printf 'C:\\%s' "$(printf '%s' "${1#*/drive_c/}" | tr / '\\')"; }
# One switch per call: Wine's attrib takes only one.
read_only() { wine_step wine attrib +r "$(to_win "$1")" >/dev/null 2>&1 || fail "attrib +r $1 failed"; }

seed_folder() {
    local t="$1" tag="$2"
    head -c 3000 /dev/urandom >"$t/$tag-plain.tmp"
    mkdir -p "$t/$tag-dir/deeper" "$t/$tag-rodir" "$t/$tag-innerro"
    head -c 40000 /dev/urandom >"$t/$tag-dir/big.bin"
    printf 'x%.0s' $(seq 500) >"$t/$tag-dir/deeper/small.txt"
    printf 'in a read-only folder\n' >"$t/$tag-rodir/inside.txt"
    printf 'read-only file in a folder\n' >"$t/$tag-innerro/locked.txt"
    printf 'read-only file\n' >"$t/$tag-readonly.txt"
    read_only "$t/$tag-readonly.txt"
    read_only "$t/$tag-rodir"
    read_only "$t/$tag-innerro/locked.txt"
}
seed_folder "$user_temp" usr
seed_folder "$win_temp" win
cp -- "$standin" "$user_temp/lulu.exe" || fail "cannot copy lulu.exe"
echo "--- seeded user temp:"
(cd "$user_temp" && find . -mindepth 1 | sort | sed 's/^/    /')
echo "--- seeded windows temp:"
(cd "$win_temp" && find . -mindepth 1 | sort | sed 's/^/    /')

# --- the Explorer file-extension settings ---------------------------------------------

exts='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts'
backup='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExtsoldvx'
reg_seed() { wine_step wine reg add "$@" /f >/dev/null 2>&1 || fail "reg add $* failed"; }
reg_seed "$exts" /v VxTop /t REG_SZ /d 'top value'
reg_seed "$exts\\.vxa" /v Application /t REG_SZ /d 'vxviewer.exe'
reg_seed "$exts\\.vxa" /v Count /t REG_DWORD /d 7
reg_seed "$exts\\.vxa\\OpenWithList" /v a /t REG_SZ /d 'notepad.exe'
reg_seed "$exts\\.vxa\\OpenWithList" /v MRUList /t REG_SZ /d 'a'
reg_seed "$exts\\.vxb\\UserChoice" /v Progid /t REG_SZ /d 'VxFile.B'
reg_seed "$exts\\.vxb" /v Blob /t REG_BINARY /d 01ff7e00
reg_seed "$exts\\.vxb" /v Paths /t REG_EXPAND_SZ /d '%TEMP%\vx'
reg_seed "$exts\\.vxb" /v Names /t REG_MULTI_SZ /d 'one\0two'
reg_seed "$exts\\.vxc" /v Big /t REG_QWORD /d 0x1122334455
reg_query() { wine_step wine reg query "$@" 2>/dev/null | tr -d '\r'; }
seeded_tree="$(reg_query "$exts" /s | sed "s/FileExts/FILEEXTS/")"

vx_e2e_install "$drive_c/vxtools" "$varrex" "$standin" "$driver"

# --- the run ---------------------------------------------------------------------

vx_e2e_run_driver 'C:\vxtools\vx_e2e_tools_driver.exe'
vx_e2e_check_driver

# --- the temporary folders, seen from Linux -------------------------------------------

for t in "$user_temp" "$win_temp"; do
    echo "--- left in ${t#*/prefix/}:"
    (cd "$t" && find . -mindepth 1 | sort | sed 's/^/    /')
done
left_in() { (cd "$1" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' '); }
# Read-only entries are made writable before they are deleted, so they go
# too. The image of a running program cannot be deleted under Wine either:
# lulu.exe stays.
check "the user's temporary folder holds only the running lulu.exe" test "$(left_in "$user_temp")" = "lulu.exe "
check "the Windows temporary folder is empty" test -z "$(left_in "$win_temp")"
check "the driver saw lulu.exe still there after the clean-up" grep -qx 'lulu-exists=1' "$run_dir/driver-facts.txt"
# What the program showed for the user's folder afterwards: lulu.exe alone.
shown_after="$(sed -n 's/^sizes=[^|]*|\([^|]*\)|.*/\1/p' "$run_dir/driver-facts.txt")"
lulu_bytes="$(stat -c %s "$user_temp/lulu.exe" 2>/dev/null || echo 0)"
size_matches() {
    awk -v shown="$shown_after" -v b="$lulu_bytes" 'BEGIN {
        n = split(shown, w, ": "); v = w[n]; gsub(",", ".", v); kb = v + 0
        exit !(v ~ /KB$/ && kb - b / 1024 < 0.011 && b / 1024 - kb < 0.011) }'
}
check "the user's folder then shows the size of lulu.exe ($lulu_bytes bytes): $shown_after" size_matches

if vx_e2e_copies 'vx-temp*.txt' "clean-up log"; then
    vx_e2e_same_copies "clean-up logs"
    log="$(iconv -f CP1252 -t UTF-8 "$roaming" | tr -d '\r')"
    echo "--- $(basename -- "$roaming"):"
    sed 's/^/    /' <<<"$log"
    check "the log starts with the in-use remark" grep -q 'Obs.: Aquivos ou pastas não deletados podem estar em uso...' <<<"$log"
    check "the log names lulu.exe as not deleted" grep -qE '(Arquivo|File) .*lulu\.exe (não pode ser deletado|can not be deleted)\.' <<<"$log"
    check "the log names the read-only file as deleted" grep -qE '(Arquivo|File) .*usr-readonly\.txt (deletado|deleted)\.' <<<"$log"
    check "the log names the read-only folder as deleted" grep -qE '(Pasta|Folder) .*usr-rodir (deletada|deleted)\.' <<<"$log"
    check "the log ends with the completion line" grep -qE '(Processo concluído com sucesso!|Process completed successfully!)$' <<<"$(tail -n 1 <<<"$log")"
fi

# --- the registry ------------------------------------------------------------------

after_tree="$(reg_query "$backup" /s)"
echo "--- $backup after the run:"
sed 's/^/    /' <<<"$after_tree"
exts_after="$(vx_wine_exec timeout -k 5 "$step_timeout" wine reg query "$exts" /s 2>&1 | tr -d '\r')"
check "FileExts is gone" test -z "$(grep -i 'FileExts' <<<"$exts_after")"
grep -qi 'FileExts' <<<"$exts_after" && sed 's/^/    FileExts: /' <<<"$exts_after"
check "FileExtsoldvx exists" test -n "$after_tree"
# The whole tree, line by line: every subkey and every value with its type
# and data (the order of the subkeys may differ).
seeded_sorted="$(LC_ALL=C sort <<<"$seeded_tree" | grep .)"
after_sorted="$(sed 's/FileExtsoldvx/FILEEXTS/' <<<"$after_tree" | LC_ALL=C sort | grep .)"
check "FileExtsoldvx holds the seeded tree exactly" test "$after_sorted" = "$seeded_sorted"
[ "$after_sorted" = "$seeded_sorted" ] || diff <(echo "$seeded_sorted") <(echo "$after_sorted") | sed 's/^/    /'
has_value() { grep -qE "^ +$1 +$2 +$3\$" <<<"$(reg_query "$backup$4" /v "$1")"; }
check "the top value is kept" has_value VxTop REG_SZ 'top value' ''
check "a DWORD value is kept" has_value Count REG_DWORD 0x7 '\.vxa'
check "a value two levels down is kept" has_value a REG_SZ notepad.exe '\.vxa\OpenWithList'
check "a binary value is kept" has_value Blob REG_BINARY 01FF7E00 '\.vxb'
check "a multi-string value is kept" has_value Names REG_MULTI_SZ 'one\\0two' '\.vxb'
check "an expandable value is kept" has_value Paths REG_EXPAND_SZ '%TEMP%\\vx' '\.vxb'
# Wine's reg query does not show QWORD data; its export does.
wine_step wine reg export "$backup" 'C:\vxtools\backup.reg' /y >/dev/null 2>&1
check "a QWORD value is kept" grep -q '^"Big"=hex(b):55,44,33,22,11,00,00,00' \
    <<<"$(iconv -f UTF-16 -t UTF-8 "$run_dir/backup.reg" 2>/dev/null | tr -d '\r')"
check "the subkey UserChoice is kept" has_value Progid REG_SZ VxFile.B '\.vxb\UserChoice'

# --- the system report -------------------------------------------------------------

vx_e2e_copies 'vx-relatorio-*.txt' report
report="$roaming" report_local="$local_copy"
if [ -f "$report" ]; then
    text="$(iconv -f CP1252 -t UTF-8 "$report" | tr -d '\r')"
    echo "--- $(basename -- "$report"):"
    sed 's/^/    /' <<<"$text"
    product="$(reg_query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v ProductName | sed -n 's/^ *ProductName *REG_SZ *//p')"
    build_no="$(reg_query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber | sed -n 's/^ *CurrentBuildNumber *REG_SZ *//p')"
    os_line="$(grep -m1 '^>>> Sistema Operacional: ' <<<"$text")"
    echo "    (product '$product', build '$build_no')"
    check "the report has the operating system line" test -n "$os_line"
    check "the system line names the product" test -n "$product" -a -z "${os_line##*"$product"*}"
    check "the system line has the build" test -n "$build_no" -a -z "${os_line##*"$build_no"*}"
    check "the system line has a version" grep -qE '[0-9]+\.[0-9]+' <<<"$os_line"
    check "the system line says 64 Bits" grep -q '64 Bits' <<<"$os_line"
    check "the report has the processor line" grep -qE '^>>> Processador: .+' <<<"$text"
    check "the report lists Varrex.exe" grep -qiE '(^|[\\:])varrex\.exe$' <<<"$text"
    check "the report lists the running lulu.exe" grep -qiE '(^|[\\:])lulu\.exe$' <<<"$text"
    check "the report no longer lists the ended wscript2.exe" test -z "$(grep -iE 'wscript2\.exe$' <<<"$text")"
fi
if [ -f "$report_local" ]; then
    check "the local report copy has exactly one line" test "$(tr -d '\r' <"$report_local" | grep -c '')" -eq 1
    check "its line is the report's first line" test "$(head -n 1 "$report_local")" = "$(head -n 1 "$report")"
fi

# --- a temporary folder that is the profile ----------------------------------------

# Old set-ups point TEMP and TMP at the profile itself; the clean-up must then
# leave everything there alone. The next Wine process, after the server has
# stopped, takes its environment from the registry again.
echo "--- second run: TEMP and TMP name the profile"
for var in TEMP TMP; do
    wine_step wine reg add 'HKCU\Environment' /v "$var" /t REG_EXPAND_SZ /d '%USERPROFILE%' /f >/dev/null 2>&1 ||
        fail "cannot set $var in HKCU\\Environment"
done
vx_wine_server_stop
win_echo() { wine_step wine cmd /c "echo $1" 2>/dev/null | tr -d '\r' | tail -n 1; }
profile_win="$(win_echo '%USERPROFILE%')"
temp_now="$(win_echo '%TEMP%')"
echo "    USERPROFILE $profile_win, TEMP $temp_now, TMP $(win_echo '%TMP%')"
check "TEMP now names the profile" test -n "$profile_win" -a "${temp_now,,}" = "${profile_win,,}"
profile_dir="$(vx_e2e_to_linux "$profile_win")" || fail "the profile '$profile_win' is not on drive C"
case "$(realpath -m -- "$profile_dir")" in
    "$(realpath -- "$prefix")"/drive_c/users/?*) ;;
    *) fail "the profile '$profile_dir' is not under the prefix's users" ;;
esac

# Plain files and a plain folder at the profile's top, one of them read-only.
head -c 5000 /dev/urandom >"$profile_dir/vx-keep.bin"
printf 'notas do usuario\r\n' >"$profile_dir/vx-keep.txt"
printf 'somente leitura\r\n' >"$profile_dir/vx-keep-ro.txt"
mkdir -p "$profile_dir/vx-keep-dir/deeper"
head -c 2000 /dev/urandom >"$profile_dir/vx-keep-dir/a.bin"
printf 'fundo\r\n' >"$profile_dir/vx-keep-dir/deeper/b.txt"
read_only "$profile_dir/vx-keep-ro.txt"
# The first run's clean-up logs go, so that the new one is the only one.
find "$drive_c/users" -path '*/AppData/*/varrex/vx-temp*.txt' -type f -delete
# Every folder and file of the profile with its bytes, but for the program's
# own data folders, where the new log is written.
profile_state() {
    (cd "$profile_dir" && find . -mindepth 1 -not -path './AppData/*/varrex' -not -path './AppData/*/varrex/*' \
        \( -type d -printf 'dir  %P\n' -o -type f -printf '%P\n' \) | LC_ALL=C sort |
        while IFS= read -r entry; do
            case "$entry" in
                'dir  '*) printf '%s\n' "$entry" ;;
                *) printf '%s  %s\n' "$(sha256sum <"$entry" | cut -c1-64)" "$entry" ;;
            esac
        done)
}
profile_before="$(profile_state)"
echo "    $(grep -c . <<<"$profile_before") entries in the profile before the clean-up"

vx_e2e_run_driver 'C:\vxtools\vx_e2e_tools_driver.exe' --profile-temp
vx_e2e_check_driver

profile_after="$(profile_state)"
check "every file and folder of the profile is still there, byte for byte" test "$profile_after" = "$profile_before"
if [ "$profile_after" = "$profile_before" ]; then
    echo "    $(grep -c . <<<"$profile_after") entries unchanged, the seeded ones among them:"
    grep 'vx-keep' <<<"$profile_after" | sed 's/^/      /'
else
    diff <(echo "$profile_before") <(echo "$profile_after") | sed 's/^/    /'
fi
ro_attr="$(wine_step wine attrib "$(to_win "$profile_dir/vx-keep-ro.txt")" 2>/dev/null | tr -d '\r' | head -n 1)"
echo "    attrib: $ro_attr"
check "the read-only file is still read-only" grep -q R <<<"${ro_attr%%[A-Za-z]:\\*}"

if vx_e2e_copies 'vx-temp*.txt' "clean-up log"; then
    vx_e2e_same_copies "clean-up logs"
    log="$(iconv -f CP1252 -t UTF-8 "$roaming" | tr -d '\r')"
    echo "--- $(basename -- "$roaming"):"
    sed 's/^/    /' <<<"$log"
    expected_log="$(printf '%s\n' 'Obs.: Aquivos ou pastas não deletados podem estar em uso...' \
        'Iniciando Limpeza...' "Pasta ${profile_win%\\}\\ não encontrada.")"
    check "the log is the two opening lines and the profile's not-found line" test "${log,,}" = "${expected_log,,}"
fi

vx_e2e_finish

#!/usr/bin/env bash
# Runs the end-to-end test of the computer check and the computer
# disinfection of Varrex.exe under Wine:
#
#   run-computer-e2e.sh BUILD_DIR
#
# BUILD_DIR is a 64-bit cross build holding Varrex.exe, tests/standin.exe and
# tests/vx_e2e_computer_driver.exe (each is also looked for at the top of
# BUILD_DIR). The test gets its own sanitised prefix (a copy of
# VX_WINE_TEMPLATE when it is set). The driver first reports the special
# folders as the shell gives them; this script then seeds the profile, the
# application-data folders, the start-up folders, the temporary folders and
# the Run and policy keys with worm signs, beside ordinary files and values of
# the user that must survive. The driver runs the stand-in worm processes,
# presses the two computer buttons and reads the boxes and the log;
# afterwards this script checks from Linux, and with Wine's reg, that every
# sign is gone and everything else is intact, byte for byte, and that the two
# automatic log copies were written. Screenshots go into BUILD_DIR as
# e2e-computer-check.png and e2e-computer.png. The prefix, its wineserver and
# the X server (when one was started) are removed at the end.
#
# A missing Wine or Xvfb is an error (exit 1), never a skip; a missing
# ImageMagick 'import' only leaves the screenshots out.
set -uo pipefail

# shellcheck source=SCRIPTDIR/e2e-common.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

driver_timeout=300

[ $# -eq 1 ] || vx_e2e_usage BUILD_DIR
vx_e2e_build "$1"
varrex="$(vx_e2e_built Varrex.exe)" || exit 1
standin="$(vx_e2e_built standin.exe)" || exit 1
driver="$(vx_e2e_built vx_e2e_computer_driver.exe)" || exit 1
vx_e2e_require display
vx_e2e_want_screenshots

vx_e2e_session
vx_e2e_install "$drive_c/vxtest" "$varrex" "$driver" "$standin"
# The worm processes the driver starts from here.
for name in wscript.exe rundll32.exe lulu.exe notepad.exe calc.exe; do
    cp -- "$standin" "$run_dir/$name" || fail "cannot copy the stand-in as $name"
done

# --- the special folders -----------------------------------------------------------

vx_e2e_special_folders 'C:\vxtest\vx_e2e_computer_driver.exe' \
    STARTUP COMMON_STARTUP APPDATA LOCAL_APPDATA COMMON_APPDATA WINDOWS PROGRAM_FILES PROFILE SYSTEMX86 TEMP
for key in ALTSTARTUP COMMON_ALTSTARTUP; do
    [ -z "${F[$key]:-}" ] && echo "run-computer-e2e: Wine gives no $key folder; the program must treat it as absent"
done

# --- the seeding -------------------------------------------------------------------

gone=()   # worm files and folders the disinfection must remove
keep=()   # the user's files and folders, which must stay as they are

put() { # PATH BYTES: a file of random bytes
    mkdir -p -- "$(dirname -- "$1")" && head -c "$2" /dev/urandom >"$1" || fail "cannot write $1"
}
put_text() { # PATH TEXT
    mkdir -p -- "$(dirname -- "$1")" && printf '%s\r\n' "$2" >"$1" || fail "cannot write $1"
}
worm() { put "$1" "${2:-700}"; gone+=("$1"); }
worm_script() { put_text "$1" 'var s = new ActiveXObject("WScript.Shell");'; gone+=("$1"); }
worm_exe() { put "$1" 2048; printf 'MZ' | dd of="$1" conv=notrunc status=none; gone+=("$1"); }
worm_program() { cp -- "$standin" "$1" || fail "cannot copy the stand-in to $1"; gone+=("$1"); }
user() { put "$1" "${2:-1500}"; keep+=("$1"); }
user_text() { put_text "$1" "$2"; keep+=("$1"); }

P="${L[PROFILE]}" A="${L[APPDATA]}" LA="${L[LOCAL_APPDATA]}" PD="${L[COMMON_APPDATA]}"
W="${L[WINDOWS]}" PF="${L[PROGRAM_FILES]}" ST="${L[STARTUP]}" CST="${L[COMMON_STARTUP]}"
T="${L[TEMP]}" SYS86="${L[SYSTEMX86]}"

# The profile: a folder with a small program and a script goes as a whole;
# folders with only one of the two, or with a program of 180000 bytes, stay.
worm_exe "$P/MediaSync/wupdate.exe"
worm_script "$P/MediaSync/wupdate.js"
put_text "$P/MediaSync/leia.txt" "sync cache"
put "$P/MediaSync/cache/blob.bin" 4000
gone+=("$P/MediaSync")
user "$P/Projetos/setup.exe" 3000
user_text "$P/Projetos/notas.txt" "Reunião às 10h"
user "$P/Jogos/game.exe" 180000
user_text "$P/Jogos/config.js" 'var volume = 7;'
user_text "$P/Documents/carta.txt" "Prezado senhor, segue o relatório."
user "$P/Documents/planilha.xlsx" 25000
user_text "$P/Documents/macro.js" 'function soma(a, b) { return a + b; }'
# The user's own folders are never taken for a worm's folder, whatever they hold.
user "$P/Downloads/instalador.exe" 50000
user_text "$P/Downloads/pagina_salva.js" 'var pagina = 1;'
user "$P/Downloads/ferias.jpg" 30000

# Roaming application data.
worm_program "$A/breakini.exe"
worm_exe "$A/yotsleks.exe"
worm "$A/Meu_pc.zip" 5000
worm_exe "$A/Lnzyzj.exe"
worm_exe "$A/sysguard.exe"
worm_script "$A/autoplay.js"
worm_script "$A/x.vbs"
worm_script "$A/y.vbe"
worm_exe "$A/google_i9/g.exe"
worm "$A/google_i9/g.dat"
gone+=("$A/google_i9")
worm_exe "$A/WindowsUpdate/Live.exe"
gone+=("$A/WindowsUpdate")
worm_exe "$A/Windows Live/wl.exe"
gone+=("$A/Windows Live")
worm_script "$A/Microsoft Office/macro.WsF"
user "$A/Microsoft Office/Normal.dotm" 9000
worm_script "$A/Plugins/loader.js"
user_text "$A/Plugins/readme.txt" "plugin list"
worm_exe "$A/Updater/upd.exe"
worm_script "$A/Updater/upd.js"
put_text "$A/Updater/log.txt" "updated"
gone+=("$A/Updater")
user "$A/portable-app.exe" 4096

# Local application data.
worm_exe "$LA/nefcb/nefcb.exe"
worm "$LA/nefcb/nefcb.dll"
worm "$LA/nefcb/cfg.dat"
gone+=("$LA/nefcb")
worm_exe "$LA/google_pdf/pdf.exe"
gone+=("$LA/google_pdf")
worm_script "$LA/cache.js"
worm "$LA/Meu_pc.zip" 3000
worm_exe "$LA/DriverAudio.exe"
worm_exe "$LA/Lnzyzj.exe"
worm_exe "$LA/lcl.exe"
user "$LA/Notes/notes.db" 8000
user "$LA/updater-helper.exe" 4096

# Program data: the folder ASX, programs and scripts at its root; its
# sub-folders are not searched.
worm_exe "$PD/ASX/xcv.exe"
worm "$PD/ASX/asx.cpl"
gone+=("$PD/ASX")
worm_exe "$PD/msupd.exe"
worm_script "$PD/pd.js"
worm_script "$PD/pd.vbs"
user_text "$PD/VendorApp/settings.ini" "[main]"
user_text "$PD/VendorApp/helper.js" 'var vendor = 1;'
user_text "$PD/license.txt" "license"

# The start-up folders.
worm "$ST/atajo.lnk" 400
worm "$ST/start.lnk" 400
worm "$ST/Image.lnk" 400
worm_script "$ST/a.js"
worm_script "$ST/b.vbs"
user "$ST/Agenda.lnk" 400
worm "$CST/windows explorer.lnk" 400
worm "$CST/empezar.lnk" 400
worm_script "$CST/c.vbe"
user "$CST/Backup.lnk" 400

# The temporary folders; their sub-folders are not searched.
worm_script "$T/t.js"
worm_script "$T/t.vbs"
worm "$T/SysinfY2X.db" 900
worm "$T/dw.dll" 1200
user_text "$T/install.log" "setup finished"
user_text "$T/sub/keep.js" 'var keep = true;'
worm_script "$W/temp/wt.js"
worm_script "$W/temp/wt.vbe"
worm "$W/temp/dw.dll" 1200
user_text "$W/temp/keep.txt" "windows temp"

# The Windows folder, the 32-bit system folder and the drive root.
worm_program "$W/svccscsvc.exe"
worm_exe "$SYS86/install/win32.exe"
user_text "$SYS86/install/readme.txt" "install notes"
worm_exe "$drive_c/Win/lsass.exe"
worm "$drive_c/Win/cfg.ini"
gone+=("$drive_c/Win")
# Names the missing alternate start-up folders would give at the drive root.
user "$drive_c/desktop.exe" 3000
user "$drive_c/pccai.lnk" 400
user "$drive_c/empezar.lnk" 400

# Program Files: scripts at the root and one level down; Logmein and AVG
# Secure Search are passed over.
worm_script "$PF/pf.js"
worm_script "$PF/pf.vbs"
worm_script "$PF/AppX/loader.js"
user "$PF/AppX/app.exe" 6000
user_text "$PF/Logmein/keep.js" 'var lmi = 1;'
user_text "$PF/AVG Secure Search/keep.js" 'var avg = 1;'

# Worms hide and protect their files: some are read-only or hidden (one
# switch per attrib call under Wine, all in one Wine process).
to_win() { printf 'C:\\%s' "$(printf '%s' "${1#"$drive_c"/}" | tr / '\\')"; }
{
    printf '@echo off\r\n'
    for f in "$A/x.vbs" "$P/MediaSync/wupdate.js" "$A/google_i9/g.dat" "$ST/atajo.lnk" "$PD/msupd.exe"; do
        printf 'attrib +r "%s"\r\n' "$(to_win "$f")"
    done
    for f in "$A/x.vbs" "$T/dw.dll" "$LA/nefcb/nefcb.exe" "$A/sysguard.exe"; do
        printf 'attrib +h "%s"\r\n' "$(to_win "$f")"
    done
} >"$run_dir/attrib.cmd"
wine_step wine cmd /c 'C:\vxtest\attrib.cmd' >/dev/null 2>&1 || fail "cannot set the worm files' attributes"

# --- the registry ------------------------------------------------------------------

regstr() { # a .reg string: backslashes and quotes escaped
    local s="${1//\\/\\\\}"
    s="${s//\"/\\\"}"
    printf '"%s"' "$s"
}
value() { printf '%s=%s\r\n' "$(regstr "$1")" "$(regstr "$2")"; }
run='Software\Microsoft\Windows\CurrentVersion\Run'
a="${F[APPDATA]}" la="${F[LOCAL_APPDATA]}" pd="${F[COMMON_APPDATA]}" t="${F[TEMP]}" sys86="${F[SYSTEMX86]}"
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\%s]\r\n' "$run"
    value System 'C:\windows\system32\svhost32.exe'
    value 'Microsoft Excel' "wscript.exe //B \"$a\\Microsoft Office\\macro.WsF\""
    value HKCU "$sys86\\install\\win32.exe"
    value Lnzyzj "$a\\Lnzyzj.exe"
    value xcv.exe "$pd\\ASX\\xcv.exe"
    value nefcbsvc "$la\\nefcb\\nefcb.exe"
    value Helper "rundll32.exe $la\\nefcb\\nefcb.dll,Start"
    value LiveUpdate "$a\\WindowsUpdate\\Live.exe"
    value 'Windows Live' "$a\\Windows Live\\wl.exe /silent"
    value Live "$a\\Windows Live\\live.exe"
    value Fundo '"C:\users\Public\fundo.jpg"'
    value SysGuard "$a\\sysguard.exe"
    value autoplay "wscript.exe //B \"$a\\autoplay.js\""
    value SysinfY2X "$t""SysinfY2X.db"
    value SyncClient '"C:\Program Files\SyncClient\sync.exe" /background'
    value Notes "$a\\portable-app.exe /tray"
    printf '"Counter"=dword:00000005\r\n'
    printf '"Blob"=hex:de,ad,be,ef\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\%s]\r\n' "$run"
    value System 'C:\windows\system32\svhost32.exe'
    value 'Microsoft Excel' "wscript.exe //B \"$a\\Microsoft Office\\macro.WsF\""
    value HKLM "$sys86\\install\\win32.exe"
    value xcv.exe "$pd\\ASX\\xcv.exe"
    value Wallpaper 'C:\users\Public\Pictures\fundo.jpg'
    value LocalSvc "\"$la\\lcl.exe\""
    value msupd "$pd\\msupd.exe"
    value AudioTray 'C:\Program Files\AudioTray\tray.exe'
    value UpperJpg 'C:\Fotos\FUNDO.JPG'
    printf '"Level"=dword:00000001\r\n'
    printf '"Blob2"=hex:00,01,02\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Run]\r\n'
    value pd "$pd\\pd.js"
    value KeepPolicy 'C:\Program Files\Policy\keep.exe'
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\r\n'
    printf '"NofolderOptions"=dword:00000001\r\n"NoControlPanel"=dword:00000001\r\n'
    printf '"NoDriveTypeAutoRun"=dword:000000ff\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Internet Explorer\\control panel]\r\n'
    printf '"HomePage"=dword:00000001\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Internet Explorer\\control panel]\r\n'
    printf '"HomePage"=dword:00000001\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Windows NT\\SystemRestore]\r\n'
    printf '"DisableConfig"=dword:00000001\r\n"DisableSR"=dword:00000000\r\n'
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$run_dir/seed.reg" || fail "cannot write seed.reg"
wine_step wine reg import 'C:\vxtest\seed.reg' >/dev/null 2>&1 || fail "reg import of the seeded values failed"

# The keys the run changes, read in one Wine process.
keys=(
    "HKCU\\$run"
    "HKLM\\$run"
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Policies\Run'
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer'
    'HKCU\Software\Policies\Microsoft\Internet Explorer\control panel'
    'HKLM\Software\Policies\Microsoft\Internet Explorer\control panel'
    'HKLM\Software\Policies\Microsoft\Windows NT\SystemRestore'
)
{
    printf '@echo off\r\n'
    for k in "${keys[@]}"; do printf 'echo ==== %s\r\nreg query "%s"\r\n' "$k" "$k"; done
} >"$run_dir/regquery.cmd"
# Prints "KEY|NAME|TYPE|DATA" for every value of the keys above.
reg_values() {
    wine_step wine cmd /c 'C:\vxtest\regquery.cmd' 2>/dev/null | tr -d '\r' | awk '
        /^==== / { key = substr($0, 6); next }
        /^    [^ ]/ {
            line = substr($0, 5)
            n = split(line, f, /    /)
            if (n >= 2) printf "%s|%s|%s|%s\n", key, f[1], f[2], (n >= 3 ? f[3] : "")
        }'
}
values_of() { # TEXT KEY [NAME]: the lines of that key (and value)
    awk -F'|' -v k="$2" -v n="${3:-}" '$1 == k && (n == "" || $2 == n)' <<<"$1"
}
names_in() { # KEY: the value names of a key afterwards, sorted, on one line
    values_of "$reg_after" "$1" | cut -d'|' -f2 | LC_ALL=C sort | tr '\n' ' '
}
reg_before="$(reg_values)"
echo "--- seeded values:"
sed 's/^/    /' <<<"$reg_before"
[ "$(grep -c . <<<"$reg_before")" -eq 38 ] || fail "the seeded values are not all in the registry"

# --- what must survive ----------------------------------------------------------------

roots=("$P" "$PD" "$PF" "$W/temp" "$SYS86" "$drive_c/Win")
listing() { find "${roots[@]}" -path "$A/varrex" -prune -o -path "$LA/varrex" -prune -o -print 2>/dev/null | LC_ALL=C sort; }
sums() { for f in "${keep[@]}"; do [ -f "$f" ] && sha256sum -- "$f" || echo "missing $f"; done; }
list_before="$(listing)"
sums_before="$(sums)"
root_files_before="$(find "$drive_c" -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort)"
echo "run-computer-e2e: seeded ${#gone[@]} worm entries, ${#keep[@]} user entries, $(grep -c . <<<"$list_before") entries in the searched folders"

# --- the run ---------------------------------------------------------------------

vx_e2e_run_driver 'C:\vxtest\vx_e2e_computer_driver.exe'
vx_e2e_check_driver

# --- the files, seen from Linux ------------------------------------------------------

absent() { [ ! -e "$1" ] && [ ! -L "$1" ]; }
left=()
for g in "${gone[@]}"; do absent "$g" || left+=("${g#"$drive_c"/}"); done
check "all ${#gone[@]} worm files and folders are gone" test ${#left[@]} -eq 0
for g in "${left[@]}"; do echo "    still there: $g"; done

sums_after="$(sums)"
check "the ${#keep[@]} user files are all there with the same bytes" test "$sums_after" = "$sums_before"
[ "$sums_after" = "$sums_before" ] || diff <(echo "$sums_before") <(echo "$sums_after") | sed 's/^/    /'

# Nothing was removed but the worm entries and what they held.
is_gone_item() {
    local p="$1" g
    for g in "${gone[@]}"; do
        [ "$p" = "$g" ] || [[ "$p" == "$g/"* ]] && return 0
    done
    return 1
}
unexpected=()
while IFS= read -r p; do
    [ -n "$p" ] || continue
    is_gone_item "$p" || unexpected+=("${p#"$drive_c"/}")
done < <(comm -23 <(echo "$list_before") <(listing))
check "nothing else in the searched folders was removed" test ${#unexpected[@]} -eq 0
for p in "${unexpected[@]}"; do echo "    removed: $p"; done
check "the files at the drive root are untouched" \
    test "$(find "$drive_c" -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort)" = "$root_files_before"

# --- the registry ----------------------------------------------------------------------

reg_after="$(reg_values)"
echo "--- values afterwards:"
sed 's/^/    /' <<<"$reg_after"
check "HKCU Run keeps only the user's values" test "$(names_in "HKCU\\$run")" = "Blob Counter Notes SyncClient "
check "HKLM Run keeps only the machine's values" test "$(names_in "HKLM\\$run")" = "AudioTray Blob2 Level UpperJpg "
check "HKLM Policies Run keeps KeepPolicy only" \
    test "$(names_in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Policies\Run')" = "KeepPolicy "
check "the Explorer policies keep only NoDriveTypeAutoRun" \
    test "$(names_in 'HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer')" = "NoDriveTypeAutoRun "
check "HomePage is gone under HKCU" \
    test -z "$(names_in 'HKCU\Software\Policies\Microsoft\Internet Explorer\control panel')"
check "HomePage is gone under HKLM" \
    test -z "$(names_in 'HKLM\Software\Policies\Microsoft\Internet Explorer\control panel')"
check "SystemRestore keeps DisableSR only" \
    test "$(names_in 'HKLM\Software\Policies\Microsoft\Windows NT\SystemRestore')" = "DisableSR "
# shellcheck disable=SC2317  # called through check
same_value() {
    local after
    after="$(values_of "$reg_after" "$1" "$2")"
    [ -n "$after" ] && [ "$after" = "$(values_of "$reg_before" "$1" "$2")" ]
}
for v in Counter Blob SyncClient Notes; do check "HKCU Run $v is unchanged" same_value "HKCU\\$run" "$v"; done
for v in Level Blob2 AudioTray UpperJpg; do check "HKLM Run $v is unchanged" same_value "HKLM\\$run" "$v"; done

# --- the automatic log copies ----------------------------------------------------------

if vx_e2e_copies 'vx-pc-*.txt' "log copy"; then
    vx_e2e_same_copies copies
    check "the copy's name is vx-pc- and a date-time stamp" \
        grep -qE '^vx-pc-[0-9]{1,2}-[0-9]{1,2}-[0-9]{2,4}-[0-9]{1,2}-[0-9]{2}-[0-9]{2}( [AP]M)?\.txt$' <<<"$(basename -- "$roaming")"
    vx_e2e_check_log_copy "$roaming" '[VX] > Vírus Encontrados e eliminados do Computador! Verifique o relatório!'
    check "the copy leaves out the completion line" test -z "$(grep -F 'Processo Concluído com Sucesso' <<<"$text")"
    # shellcheck disable=SC2317  # called through check
    is_ansi() { LC_ALL=C grep -q $'\xed' "$1" && ! iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1; }
    check "the copy is ANSI text (í as the single byte 0xED)" is_ansi "$roaming"
    check "the copy names the deleted folder MediaSync" grep -qF "MediaSync Deletada com Sucesso!" <<<"$text"
fi

vx_e2e_finish e2e-computer-check e2e-computer

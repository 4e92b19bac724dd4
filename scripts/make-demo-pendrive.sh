#!/usr/bin/env bash
# Builds a small, harmless sample of a pen drive infected by a shortcut worm,
# for demonstrating Varrex:
#
#   make-demo-pendrive.sh FOLDER [DRIVE]
#
# FOLDER becomes the root of the sample drive; it is emptied and filled again
# on every call, so a disinfection can be repeated. DRIVE (for instance E:)
# is the letter under which the Wine prefix named by WINEPREFIX maps FOLDER;
# when it is given, the worm's hidden and system attributes are set through
# Wine (which keeps them in extended attributes of the Linux files) and then
# read back with "dir".
#
# What the sample holds, at its root:
#   Fotos\, Documentos\, Trabalho escolar\   the user's folders, hidden+system
#   Fotos.lnk, Documentos.lnk, ...            one worm shortcut per folder,
#                                             running wscript.exe x.vbs
#   x.vbs                                     worm script: comments and a MsgBox
#   USB.exe                                   "MZ" and zeros, not a program
#   RECYCLER\S-1-5-...\ssvichosst.exe         the same, in a fake recycle bin
#   Drive\ and Drive.bat                      hiding folder and its launcher
#   autorun.inf                               [AutoRun] open=USB.exe
# Nothing in it can do harm: the scripts only show a message and the
# executables hold no code.
#
# A folder that is not empty is only emptied when it was made by this script
# (a stamp file ".NAME.vx-demo" beside it records that); anything else is
# refused.
set -uo pipefail
export LC_ALL=C

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

fail() {
    echo "make-demo-pendrive: $*" >&2
    exit 1
}

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 FOLDER [DRIVE]" >&2; exit 2; }
target="${1%/}"
drive="${2:-}"
[ -n "$target" ] || fail "the folder must not be '/'"
if [ -n "$drive" ]; then
    [[ "$drive" =~ ^[D-Yd-y]:$ ]] || fail "DRIVE must be a letter D to Y and a colon, as E:"
    drive="${drive^^}"
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX/drive_c" ] ||
        fail "DRIVE needs WINEPREFIX to name the Wine prefix that maps $target"
fi

parent="$(dirname -- "$target")"
name="$(basename -- "$target")"
stamp="$parent/.$name.vx-demo"

# --- emptying the folder ----------------------------------------------------

[ -d "$parent" ] || fail "no folder '$parent'"
[ -L "$target" ] && fail "'$target' is a symbolic link; give a real folder"
if [ -e "$target" ]; then
    [ -d "$target" ] || fail "'$target' exists and is not a folder"
    if [ -n "$(ls -A -- "$target")" ]; then
        [ -f "$stamp" ] || fail "'$target' is not empty and was not made by this script; refusing to empty it"
    fi
    # A disinfection under Wine may leave read-only entries; make the tree
    # writable so it can go. Links met inside are neither followed nor changed.
    chmod -R u+rwX -- "$target" 2>/dev/null
    rm -rf --one-file-system -- "$target" || fail "cannot empty '$target'"
fi
touch -- "$stamp" || fail "cannot write '$stamp'"
mkdir -- "$target" || fail "cannot create '$target'"

# --- binary helpers ---------------------------------------------------------

# Writes the given byte values (0 to 255).
bytes() {
    local out="" b
    local hex
    for b in "$@"; do printf -v hex '\\x%02x' "$b"; out+="$hex"; done
    printf '%b' "$out"
}
le16() { bytes $(($1 & 255)) $((($1 >> 8) & 255)); }
le32() { bytes $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
zeros() { head -c "$1" /dev/zero; }
# A counted UTF-16LE string as shell links store it (ASCII text only).
counted_utf16() {
    local s="$1" i
    le16 ${#s}
    for ((i = 0; i < ${#s}; i++)); do printf '%s\x00' "${s:i:1}"; done
}
# Text with CRLF line ends, one argument per line.
crlf_text() {
    local line
    for line in "$@"; do printf '%s\r\n' "$line"; done
}

# A Windows Shell Link (.lnk) whose target is wscript.exe with the given
# arguments and whose icon is the folder icon, as the worms make them:
# header, LinkInfo with the local path, the argument and icon strings, and
# the terminal block.
shell_link() {
    local arguments="$1"
    local base_path='C:\Windows\System32\wscript.exe'
    local icon_path='C:\Windows\System32\shell32.dll'
    local volume_id_size=$((16 + 1))           # fixed part and an empty label
    local info_header=28
    local base_offset=$((info_header + volume_id_size))
    local suffix_offset=$((base_offset + ${#base_path} + 1))
    local info_size=$((suffix_offset + 1))
    # HasLinkInfo | HasArguments | HasIconLocation | IsUnicode
    local flags=$((0x02 | 0x20 | 0x40 | 0x80))

    le32 76                                     # header size
    bytes 0x01 0x14 0x02 0x00 0x00 0x00 0x00 0x00 \
          0xC0 0x00 0x00 0x00 0x00 0x00 0x00 0x46  # CLSID 00021401-0000-0000-C000-000000000046
    le32 $flags
    le32 0x20                                   # target attributes: archive
    zeros 24                                    # creation, access, write times
    le32 0                                      # target size
    le32 3                                      # icon index: closed folder
    le32 7                                      # show minimised, not active
    zeros 2                                     # no hot key
    zeros 10                                    # reserved

    le32 $info_size
    le32 $info_header
    le32 1                                      # VolumeIDAndLocalBasePath
    le32 $info_header                           # volume ID offset
    le32 $base_offset
    le32 0                                      # no network part
    le32 $suffix_offset
    le32 $volume_id_size
    le32 3                                      # fixed drive
    le32 0x1A2B3C4D                             # volume serial number
    le32 16                                     # label offset
    zeros 1                                     # empty label
    printf '%s\0' "$base_path"
    zeros 1                                     # empty common path suffix

    counted_utf16 "$arguments"
    counted_utf16 "$icon_path"
    zeros 4                                     # terminal block
}

# "MZ" followed by zeros: shaped like an executable, but with no header a
# loader accepts and no code.
inert_exe() {
    printf 'MZ'
    zeros $(($1 - 2))
}

# A tiny picture; ImageMagick makes a real JPEG when it is present.
picture() {
    local file="$1" colour="$2"
    if command -v convert >/dev/null 2>&1 &&
        convert -size 32x24 "gradient:$colour-white" -strip -quality 70 jpeg:- >"$file" 2>/dev/null; then
        return 0
    fi
    crlf_text "Varrex demo: imagem de exemplo." >"$file"
}

# --- the user's files -------------------------------------------------------

made() { [ $? -eq 0 ] || fail "cannot write the sample files in '$target'"; }

mkdir -p -- "$target/Fotos" "$target/Documentos" "$target/Trabalho escolar"; made
picture "$target/Fotos/praia.jpg" skyblue; made
picture "$target/Fotos/aniversario.jpg" orange; made
crlf_text "praia.jpg - ferias de verao" "aniversario.jpg - festa da Ana" \
    >"$target/Fotos/legendas.txt"; made
crlf_text "Querida tia," "" "Obrigada pelo presente. Ate o Natal!" "" "Beijos," "Marina" \
    >"$target/Documentos/Carta.txt"; made
crlf_text "- comprar pao" "- pagar a conta de luz" "- levar o cachorro ao veterinario" \
    >"$target/Documentos/Lista de tarefas.txt"; made
crlf_text "Redacao: O meio ambiente na minha cidade" "" "Introducao..." \
    >"$target/Trabalho escolar/Redação.txt"; made
crlf_text "Bibliografia" "- Atlas escolar, 2019" \
    >"$target/Trabalho escolar/Bibliografia.txt"; made

# --- what the worm left -----------------------------------------------------

for folder in "Fotos" "Documentos" "Trabalho escolar"; do
    shell_link "x.vbs" >"$target/$folder.lnk"; made
done

crlf_text \
    "' Varrex demo sample: stands in for a shortcut worm's script." \
    "' It is harmless: it only shows the message below." \
    "MsgBox \"Varrex demo: este script e uma amostra inofensiva.\", 64, \"Varrex demo\"" \
    >"$target/x.vbs"; made

inert_exe 512 >"$target/USB.exe"; made

recycler="$target/RECYCLER/S-1-5-21-1177238915-1004336348-682003330-500"
mkdir -p -- "$recycler"; made
inert_exe 384 >"$recycler/ssvichosst.exe"; made

mkdir -- "$target/Drive"; made
crlf_text \
    "// Varrex demo sample: stands in for a worm's script in its hiding folder." \
    "// It is harmless: it only prints the line below." \
    "WScript.Echo(\"Varrex demo: amostra inofensiva.\");" \
    >"$target/Drive/update.js"; made
crlf_text \
    "@echo off" \
    "rem Varrex demo sample: stands in for a worm's launcher. It only prints a line." \
    "echo Varrex demo: amostra inofensiva." \
    >"$target/Drive.bat"; made

crlf_text \
    "[AutoRun]" \
    "open=USB.exe" \
    "shellexecute=USB.exe" \
    "shell\\open\\command=USB.exe" \
    "shell\\explore\\command=USB.exe" \
    "action=Abrir pasta para ver os arquivos" \
    "icon=%SystemRoot%\\system32\\SHELL32.dll,4" \
    >"$target/autorun.inf"; made

hidden=("Fotos" "Documentos" "Trabalho escolar" "x.vbs" "USB.exe" "RECYCLER" "Drive" "Drive.bat" "autorun.inf")
visible=("Fotos.lnk" "Documentos.lnk" "Trabalho escolar.lnk")

echo "make-demo-pendrive: sample drive written to $target"
[ -n "$drive" ] || exit 0

# --- hiding, through Wine ---------------------------------------------------

# shellcheck source-path=SCRIPTDIR
. "$here/wine-prefix.sh"
vx_wine_require || exit 1
# Wine must not start in a folder it cannot map (the prefix has no z:).
cd "$WINEPREFIX/drive_c" || fail "cannot enter $WINEPREFIX/drive_c"

# One cmd for all: attrib takes one + switch per call, and each path is its
# own argument so Wine quotes the names with blanks for cmd.
commands=()
for entry in "${hidden[@]}"; do
    commands+=(attrib +h "$drive\\$entry" "&" attrib +s "$drive\\$entry" "&")
done
unset 'commands[${#commands[@]}-1]'

# Reads back what Windows sees: every hidden entry must be listed as hidden
# and as system, and a plain "dir" must show only the shortcuts.
listing() { vx_wine_exec wine cmd /c dir "$@" /b "$drive\\" 2>/dev/null | tr -d '\r' | sort; }
expected_hidden="$(printf '%s\n' "${hidden[@]}" | sort)"
attributes_taken() {
    [ "$(listing /a:h)" = "$expected_hidden" ] &&
        [ "$(listing /a:s)" = "$expected_hidden" ] &&
        [ "$(listing)" = "$(printf '%s\n' "${visible[@]}" | sort)" ]
}
# A Wine session that is still starting may drop the first commands: the
# attributes are set again, up to three times, until they read back.
for attempt in 1 2 3; do
    vx_wine_exec wine cmd /c "${commands[@]}" >/dev/null 2>&1
    attributes_taken && break
    echo "make-demo-pendrive: the attributes did not read back (attempt $attempt)" >&2
done
attributes_taken ||
    fail "the hidden and system attributes did not take on $drive (does the file system of '$target' keep extended attributes?); Wine shows:
$(vx_wine_exec wine cmd /c dir /a "$drive\\" 2>&1 | tr -d '\r')"

echo "make-demo-pendrive: $drive ready: ${#hidden[@]} entries hidden (hidden+system), ${#visible[@]} worm shortcuts visible"

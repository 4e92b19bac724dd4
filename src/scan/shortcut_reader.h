// Reads a shell link (".lnk") file's bytes into the fields that say what it
// runs. The bytes come from whoever wrote the file, a worm included: the
// reader never reads outside them, never allocates more than their size,
// uses no recursion and refuses files over 1 MiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vx::scan {

inline constexpr size_t kMaxShortcutBytes = 1024 * 1024;

struct ShortcutFields {
    // What the shortcut runs: the local path of its LinkInfo (base path and
    // common path suffix), else the target of its environment-variable block
    // (as written, "%windir%\system32\cmd.exe"), else the path its ID list's
    // file-system items spell. Empty when it names none.
    std::string target;
    std::string arguments;      // never cut
    std::string workingFolder;  // cut at 260 characters, as Windows does
    std::string relativePath;   // cut at 260 characters
    std::string name;           // the description, cut at 260 characters
    std::string iconLocation;
    // From the LinkInfo's volume block, when it has one: the drive type
    // (Windows numbers: 2 removable, 3 fixed, ...) and serial of the volume
    // the target lay on when the shortcut was made.
    std::optional<uint32_t> driveType;
    std::optional<uint32_t> volumeSerial;
};

// The fields of the shell link `data`, every text as UTF-8 (the ANSI forms
// read as Windows-1252); std::nullopt when the bytes are not one (too large,
// a header size other than 0x4C, another class id, or a structure whose
// size runs past the end of the file).
std::optional<ShortcutFields> readShortcut(const uint8_t* data, size_t size);

}  // namespace vx::scan

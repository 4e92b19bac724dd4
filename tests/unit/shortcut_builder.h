// Writes the bytes of a shell link (".lnk") file for tests: the 76-byte
// header, an optional ID list, an optional LinkInfo with a local base path
// and a volume block (drive type, serial), the string data, an optional
// environment-variable block and the terminal block.
//
//   vx::test::ShortcutRecipe recipe;
//   recipe.target = "E:\\_\\DeviceManager.exe";
//   recipe.arguments = "/c start _";
//   machine.writeFile("E:\\Fotos.lnk", vx::test::shortcutBytes(recipe));
//
// Texts are given in UTF-8. The Unicode fields (string data when `unicode`,
// the environment block's Unicode target, the LinkInfo's Unicode base path)
// are written as UTF-16LE; the ANSI fields take the bytes exactly as given,
// so a test can write Windows-1252 bytes there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vx::test {

struct ShortcutRecipe {
    // The LinkInfo's local base path; no LinkInfo when empty (unless
    // `linkInfo` is set).
    std::string target;
    std::string commonPathSuffix;  // appended to the base path by readers
    bool linkInfo = false;         // write a LinkInfo even when `target` is empty
    bool unicodeLinkInfo = false;  // a 0x24-byte LinkInfo header with the Unicode base path too
    uint32_t driveType = 2;        // removable
    uint32_t serial = 0x1A2B3C4D;
    std::string volumeLabel;

    // The environment-variable block's targets; no block when both are empty.
    // `envTarget` is written in both forms unless `envTargetAnsi` is given.
    std::string envTarget;
    std::optional<std::string> envTargetAnsi;

    // The string data, each written when not empty.
    std::string name;
    std::string relativePath;
    std::string workingFolder;
    std::string arguments;
    std::string iconLocation;
    bool unicode = true;  // the IsUnicode link flag: string data in UTF-16LE, else the bytes as given

    // The ID list's items, each a whole item with its size (see driveItem
    // and fileItem); no ID list when empty.
    std::string idList;

    // Bytes placed after the string data, before the environment block
    // (other extra-data blocks, junk).
    std::string extraBlocks;
    bool terminalBlock = true;
};

inline void putU16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

inline void putU32(std::string& out, uint32_t v) {
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

inline void setU32(std::string& out, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) out[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

// UTF-8 to UTF-16LE bytes (no terminator). Invalid UTF-8 is not expected in
// tests; each stray byte becomes U+FFFD.
inline std::string utf16le(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = 0xFFFD;
        size_t n = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            cp = ((b & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            n = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            cp = ((b & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            n = 3;
        } else if ((b & 0xF8) == 0xF0 && i + 3 < utf8.size()) {
            cp = ((b & 0x07u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) | ((utf8[i + 2] & 0x3Fu) << 6) |
                 (utf8[i + 3] & 0x3Fu);
            n = 4;
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            putU16(out, 0xD800 + (cp >> 10));
            putU16(out, 0xDC00 + (cp & 0x3FF));
        } else {
            putU16(out, cp);
        }
    }
    return out;
}

// An ID list item for a drive: "E:\".
inline std::string driveItem(const std::string& root) {
    std::string data = "\x2F" + root;
    data.resize(1 + 22, '\0');  // the shell pads drive items to 25 bytes
    std::string item;
    putU16(item, static_cast<uint32_t>(data.size() + 2));
    return item + data;
}

// An ID list item for a file (or, with `folder`, a folder): the 8.3 name in
// ANSI and, when `longName` is given, the extension block holding the long
// name in UTF-16LE, as the shell writes them.
inline std::string fileItem(const std::string& shortName, const std::string& longName = "", bool folder = false) {
    std::string data;
    data += folder ? '\x31' : '\x32';
    data += '\0';
    putU32(data, 0);  // file size
    putU32(data, 0);  // modification date and time
    putU16(data, folder ? 0x10 : 0x20);
    data += shortName;
    data += '\0';
    if ((2 + data.size()) % 2) data += '\0';
    if (!longName.empty()) {
        const size_t start = 2 + data.size();
        std::string ext;
        putU16(ext, 0);  // size, set below
        putU16(ext, 3);  // version
        putU32(ext, 0xBEEF0004);
        putU32(ext, 0);  // creation date and time
        putU32(ext, 0);  // access date and time
        putU16(ext, 0x14);
        putU16(ext, 0);  // localised name size
        ext += utf16le(longName);
        putU16(ext, 0);
        putU16(ext, static_cast<uint32_t>(start));  // the block's offset in the item
        ext[0] = static_cast<char>(ext.size() & 0xFF);
        ext[1] = static_cast<char>(ext.size() >> 8);
        data += ext;
    }
    std::string item;
    putU16(item, static_cast<uint32_t>(data.size() + 2));
    return item + data;
}

namespace shortcut_flags {
inline constexpr uint32_t kHasIdList = 0x1, kHasLinkInfo = 0x2, kHasName = 0x4, kHasRelativePath = 0x8,
                          kHasWorkingDir = 0x10, kHasArguments = 0x20, kHasIconLocation = 0x40, kIsUnicode = 0x80,
                          kHasExpString = 0x200;
}

inline std::string shortcutBytes(const ShortcutRecipe& recipe) {
    using namespace shortcut_flags;
    const bool hasLinkInfo = recipe.linkInfo || !recipe.target.empty();
    const bool hasEnv = !recipe.envTarget.empty() || recipe.envTargetAnsi;
    uint32_t flags = 0;
    if (!recipe.idList.empty()) flags |= kHasIdList;
    if (hasLinkInfo) flags |= kHasLinkInfo;
    if (!recipe.name.empty()) flags |= kHasName;
    if (!recipe.relativePath.empty()) flags |= kHasRelativePath;
    if (!recipe.workingFolder.empty()) flags |= kHasWorkingDir;
    if (!recipe.arguments.empty()) flags |= kHasArguments;
    if (!recipe.iconLocation.empty()) flags |= kHasIconLocation;
    if (recipe.unicode) flags |= kIsUnicode;
    if (hasEnv) flags |= kHasExpString;

    std::string out;
    putU32(out, 0x4C);
    out += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    putU32(out, flags);
    putU32(out, 0x20);                // file attributes: archive
    out.append(24, '\0');             // creation, access and write times
    putU32(out, 0);                   // file size
    putU32(out, 0);                   // icon index
    putU32(out, 1);                   // show normal
    out.append(2 + 2 + 4 + 4, '\0');  // hot key, reserved

    if (!recipe.idList.empty()) {
        putU16(out, static_cast<uint32_t>(recipe.idList.size() + 2));
        out += recipe.idList;
        putU16(out, 0);
    }

    if (hasLinkInfo) {
        const uint32_t headerSize = recipe.unicodeLinkInfo ? 0x24 : 0x1C;
        std::string volume;
        putU32(volume, 0);  // size, set below
        putU32(volume, recipe.driveType);
        putU32(volume, recipe.serial);
        putU32(volume, 0x10);
        volume += recipe.volumeLabel;
        volume += '\0';
        setU32(volume, 0, static_cast<uint32_t>(volume.size()));

        std::string body = volume;
        const uint32_t baseAt = headerSize + static_cast<uint32_t>(body.size());
        body += recipe.target + '\0';
        const uint32_t suffixAt = headerSize + static_cast<uint32_t>(body.size());
        body += recipe.commonPathSuffix + '\0';
        uint32_t baseUnicodeAt = 0, suffixUnicodeAt = 0;
        if (recipe.unicodeLinkInfo) {
            if (body.size() % 2) body += '\0';
            baseUnicodeAt = headerSize + static_cast<uint32_t>(body.size());
            body += utf16le(recipe.target) + std::string(2, '\0');
            suffixUnicodeAt = headerSize + static_cast<uint32_t>(body.size());
            body += utf16le(recipe.commonPathSuffix) + std::string(2, '\0');
        }
        std::string info;
        putU32(info, headerSize + static_cast<uint32_t>(body.size()));
        putU32(info, headerSize);
        putU32(info, 1);  // VolumeIDAndLocalBasePath
        putU32(info, headerSize);
        putU32(info, baseAt);
        putU32(info, 0);
        putU32(info, suffixAt);
        if (recipe.unicodeLinkInfo) {
            putU32(info, baseUnicodeAt);
            putU32(info, suffixUnicodeAt);
        }
        out += info + body;
    }

    for (const std::string* text :
         {&recipe.name, &recipe.relativePath, &recipe.workingFolder, &recipe.arguments, &recipe.iconLocation}) {
        if (text->empty()) continue;
        const std::string bytes = recipe.unicode ? utf16le(*text) : *text;
        putU16(out, static_cast<uint32_t>(recipe.unicode ? bytes.size() / 2 : bytes.size()));
        out += bytes;
    }

    out += recipe.extraBlocks;

    if (hasEnv) {
        std::string ansi = recipe.envTargetAnsi ? *recipe.envTargetAnsi : recipe.envTarget;
        std::string wide = recipe.envTarget.empty() ? std::string() : utf16le(recipe.envTarget);
        ansi.resize(260, '\0');
        wide.resize(520, '\0');
        putU32(out, 0x314);
        putU32(out, 0xA0000001);
        out += ansi + wide;
    }

    if (recipe.terminalBlock) putU32(out, 0);
    return out;
}

}  // namespace vx::test

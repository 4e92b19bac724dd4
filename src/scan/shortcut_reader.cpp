#include "scan/shortcut_reader.h"

#include "platform/platform.h"

#include <cstring>

// Layout of a shell link file, in the order the structures follow each other:
//
//   header        76 bytes: size 0x4C, the link class id, the link flags
//   ID list       when HasLinkTargetIDList: a 16-bit size, then item ids
//   LinkInfo      when HasLinkInfo: a 32-bit size, then the volume and paths
//   string data   per flag: name, relative path, working folder, arguments,
//                 icon location; each a 16-bit count of characters
//   extra data    blocks of (32-bit size, signature), ended by a size < 4
//
// Every read goes through Cursor, which checks what is left of the file
// before it reads and never trusts a size for anything but a bound. Sizes
// are compared against what is left instead of being added to offsets, so
// no sum can wrap.

namespace vx::scan {
namespace {

constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

constexpr uint32_t kHasIdList = 0x1;
constexpr uint32_t kHasLinkInfo = 0x2;
constexpr uint32_t kHasName = 0x4;
constexpr uint32_t kHasRelativePath = 0x8;
constexpr uint32_t kHasWorkingDir = 0x10;
constexpr uint32_t kHasArguments = 0x20;
constexpr uint32_t kHasIconLocation = 0x40;
constexpr uint32_t kIsUnicode = 0x80;
constexpr uint32_t kForceNoLinkInfo = 0x100;

constexpr uint32_t kEnvironmentBlock = 0xA0000001;
constexpr uint32_t kEnvironmentBlockSize = 0x314;  // size, signature, 260 ANSI bytes, 260 UTF-16 units

constexpr size_t kWindowsTextLimit = 260;  // characters Windows keeps of the name, paths and working folder

uint16_t u16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32At(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}


// Windows-1252 bytes 0x80-0x9F; the five the code page leaves undefined map
// to the C1 controls of the same number, as Windows maps them.
constexpr uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// `count` ANSI bytes as UTF-8, ended early by a NUL.
std::string ansiText(const uint8_t* p, size_t count) {
    std::string out;
    for (size_t i = 0; i < count && p[i] != 0; ++i) {
        const uint8_t b = p[i];
        platform::appendUtf8(out, b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : b);
    }
    return out;
}

// `units` UTF-16LE units as UTF-8, ended early by a NUL; an unpaired
// surrogate becomes U+FFFD.
std::string unicodeText(const uint8_t* p, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        uint32_t cp = u16At(p + 2 * i);
        if (cp == 0) break;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units) {
            const uint32_t low = u16At(p + 2 * (i + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        platform::appendUtf8(out, cp);
    }
    return out;
}

// A NUL-terminated ANSI or UTF-16LE string at `offset` inside the span
// [base, base + size). False when the offset lies outside the span or no
// terminator comes before the span's end: the structure is broken.
bool terminatedText(const uint8_t* base, size_t size, uint32_t offset, bool unicode, std::string& out) {
    if (offset >= size) return false;
    const uint8_t* p = base + offset;
    const size_t left = size - offset;
    if (unicode) {
        for (size_t i = 0; i + 1 < left; i += 2) {
            if (p[i] == 0 && p[i + 1] == 0) {
                out = unicodeText(p, i / 2);
                return true;
            }
        }
        return false;
    }
    const void* nul = std::memchr(p, 0, left);
    if (!nul) return false;
    out = ansiText(p, static_cast<size_t>(static_cast<const uint8_t*>(nul) - p));
    return true;
}

// The local path of a LinkInfo: base path + common path suffix, the Unicode
// forms when the header has them and they are set. Also fills the volume
// fields. A LinkInfo whose offsets or strings fall outside its own size
// yields no path; the other sources of the target are then used.
void readLinkInfo(const uint8_t* info, size_t size, ShortcutFields& fields, std::string& path) {
    if (size < 0x1C) return;
    const uint32_t headerSize = u32At(info + 4);
    const uint32_t flags = u32At(info + 8);
    if (headerSize < 0x1C || headerSize > size) return;
    if ((flags & 0x1) == 0) return;  // no volume and local base path

    const uint32_t volumeAt = u32At(info + 12);
    if (volumeAt <= size && size - volumeAt >= 12) {
        const uint32_t volumeSize = u32At(info + volumeAt);
        if (volumeSize >= 12 && volumeSize <= size - volumeAt) {
            fields.driveType = u32At(info + volumeAt + 4);
            fields.volumeSerial = u32At(info + volumeAt + 8);
        }
    }

    std::string base, suffix;
    bool haveBase = false, haveSuffix = false;
    if (headerSize >= 0x24) {
        const uint32_t baseUnicodeAt = u32At(info + 28);
        const uint32_t suffixUnicodeAt = u32At(info + 32);
        haveBase = baseUnicodeAt != 0 && terminatedText(info, size, baseUnicodeAt, true, base) && !base.empty();
        haveSuffix = suffixUnicodeAt != 0 && terminatedText(info, size, suffixUnicodeAt, true, suffix);
    }
    if (!haveBase && !terminatedText(info, size, u32At(info + 16), false, base)) return;
    if (!haveSuffix) {
        const uint32_t suffixAt = u32At(info + 24);
        if (suffixAt != 0 && !terminatedText(info, size, suffixAt, false, suffix)) suffix.clear();
    }
    path = base + suffix;
}

// The long name of a file-entry item, from its extension block: the item's
// last 16 bits give the block's offset in the item. The shell marks the block
// with version >= 3 and signature BEEF0004; Wine writes zeros there, with the
// layout of version 3. Empty when there is no such block.
std::string longNameOf(const uint8_t* item, size_t size) {
    if (size < 4) return {};
    const uint16_t at = u16At(item + size - 2);
    if (at < 4 || at >= size - 2) return {};
    const uint8_t* ext = item + at;
    const size_t left = size - 2 - at;  // the block, without the trailing offset
    if (left < 20) return {};
    const uint16_t version = u16At(ext + 2);
    const uint32_t signature = u32At(ext + 4);
    size_t nameAt;
    if (signature == 0xBEEF0004) {
        if (version < 3) return {};
        nameAt = version >= 9 ? 46 : version == 8 ? 42 : version >= 7 ? 38 : 20;
    } else if (signature == 0 && version == 0) {
        nameAt = 20;
    } else {
        return {};
    }
    std::string name;
    if (nameAt >= left || !terminatedText(ext, left, static_cast<uint32_t>(nameAt), true, name)) return {};
    return name;
}

// The path the ID list's file-system items spell: the last drive item
// ("E:\") followed by each file-entry item's name (its long name when it has
// one). Items are walked by their sizes within the list; an item of another
// kind after the drive means the list names no file-system path.
std::string idListPath(const uint8_t* list, size_t size) {
    std::string path;
    bool inDrive = false;
    size_t at = 0;
    while (size - at >= 2) {
        const uint16_t itemSize = u16At(list + at);
        if (itemSize < 3 || itemSize > size - at) break;  // the terminal 0, or a broken item
        const uint8_t* item = list + at;
        const uint8_t type = item[2];
        at += itemSize;
        if (type >= 0x20 && type <= 0x2F) {
            // A drive: its root "X:\" in ANSI after the type byte.
            if (itemSize >= 5 && item[4] == ':' &&
                ((item[3] >= 'A' && item[3] <= 'Z') || (item[3] >= 'a' && item[3] <= 'z'))) {
                path.assign(1, static_cast<char>(item[3] & ~0x20));
                path += ":\\";
                inDrive = true;
            } else {
                inDrive = false;
                path.clear();
            }
        } else if (inDrive && type >= 0x30 && type <= 0x3F) {
            // A file entry: type, a byte, size, date and time, attributes,
            // then the primary name (UTF-16 when bit 0x04 of the type is set).
            std::string name = longNameOf(item, itemSize);
            if (name.empty()) {
                const bool unicode = (type & 0x04) != 0;
                if (itemSize <= 14 || !terminatedText(item, itemSize, 14, unicode, name)) name.clear();
            }
            if (name.empty()) {
                inDrive = false;
                path.clear();
                continue;
            }
            if (path.back() != '\\') path += '\\';
            path += name;
        } else if (inDrive) {
            inDrive = false;
            path.clear();
        }
    }
    return inDrive ? path : std::string();
}

}  // namespace

std::optional<ShortcutFields> readShortcut(const uint8_t* data, size_t size) {
    if (!data || size > kMaxShortcutBytes || size < kHeaderSize) return std::nullopt;
    if (u32At(data) != kHeaderSize || std::memcmp(data + 4, kLinkClsid, sizeof kLinkClsid) != 0) return std::nullopt;
    const uint32_t flags = u32At(data + 20);
    size_t at = kHeaderSize;
    ShortcutFields fields;

    std::string idPath;
    if (flags & kHasIdList) {
        if (size - at < 2) return std::nullopt;
        const uint16_t listSize = u16At(data + at);
        at += 2;
        if (listSize > size - at) return std::nullopt;
        idPath = idListPath(data + at, listSize);
        at += listSize;
    }

    std::string infoPath;
    if (flags & kHasLinkInfo) {
        if (size - at < 4) return std::nullopt;
        const uint32_t infoSize = u32At(data + at);
        if (infoSize < 4 || infoSize > size - at) return std::nullopt;
        // Windows ignores the LinkInfo of a link marked ForceNoLinkInfo.
        if ((flags & kForceNoLinkInfo) == 0) readLinkInfo(data + at, infoSize, fields, infoPath);
        at += infoSize;
    }

    const bool unicode = (flags & kIsUnicode) != 0;
    struct StringField {
        uint32_t flag;
        std::string* out;
        bool cut;
    };
    const StringField strings[] = {
        {kHasName, &fields.name, true},
        {kHasRelativePath, &fields.relativePath, true},
        {kHasWorkingDir, &fields.workingFolder, true},
        {kHasArguments, &fields.arguments, false},
        {kHasIconLocation, &fields.iconLocation, false},
    };
    for (const StringField& s : strings) {
        if ((flags & s.flag) == 0) continue;
        if (size - at < 2) return std::nullopt;
        const size_t count = u16At(data + at);
        at += 2;
        const size_t bytes = unicode ? 2 * count : count;
        if (bytes > size - at) return std::nullopt;
        const size_t kept = s.cut && count > kWindowsTextLimit ? kWindowsTextLimit : count;
        *s.out = unicode ? unicodeText(data + at, kept) : ansiText(data + at, kept);
        at += bytes;
    }

    // Extra data: a size below 4 (the terminal block, or fewer than four
    // bytes left) ends the walk. A block that runs past the end stops it too
    // and the fields read so far stand, like a file cut after its strings;
    // only an environment block cut short makes the file unreadable, since
    // the target would be whatever it held.
    std::string envPath;
    while (size - at >= 4) {
        const uint32_t blockSize = u32At(data + at);
        if (blockSize < 4) break;
        if (blockSize > size - at) {
            if (size - at >= 8 && u32At(data + at + 4) == kEnvironmentBlock) return std::nullopt;
            break;
        }
        if (blockSize >= kEnvironmentBlockSize && u32At(data + at + 4) == kEnvironmentBlock) {
            envPath = unicodeText(data + at + 8 + 260, 260);
            if (envPath.empty()) envPath = ansiText(data + at + 8, 260);
        }
        at += blockSize;
    }

    fields.target = !infoPath.empty() ? infoPath : !envPath.empty() ? envPath : idPath;
    return fields;
}

}  // namespace vx::scan

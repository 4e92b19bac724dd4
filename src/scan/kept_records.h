// The quarantine's manifest: the record types, the writer's text and the
// strict reader. Bytes in, fields out: nothing here touches the disk, so the
// reader can be fed anything (a manifest another program appended to, torn by
// a crash, or written from scratch by a worm).
//
// A manifest is UTF-8 text, one record a line, fields separated by tabs;
// "%", tab, CR and LF inside a field are written %25, %09, %0D, %0A. Every
// line after the first ends in a seal: the first 16 hexadecimal digits of
// the SHA-256 of the line's text before it. The seal tells a line torn or
// edited by hand from one written; it is no defence against a writer who
// recomputes it, so what a record may name is checked strictly as well, and
// only a store that only administrators can write is trusted by a process
// with administrator rights.
//
// Version 2 (written now):
//   VARREX-QUARANTINE 2
//   run     device|computer  root  date  time  key(32 hex)
//   file    id  content  offset  path  serial  fsName  label  attributes  size  sha256
//   folder  id  path  serial  fsName  label  attributes
//   value   id  HKCU|HKLM  keyPath  name  type  data(hex)
//   key     id  HKCU|HKLM  keyPath  count  {name  type  data(hex)} x count
//   gone    id
// Version 1 (read only, stores of earlier versions): no key in the run line;
//   file    id  number  path  serial  attributes  size  sha256
//   folder  id  path  serial  attributes
// (content "%06d.vxq" at offset 0, masked with the fixed mask).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vx::scan {

inline constexpr const char* kQuarantineVersionLine = "VARREX-QUARANTINE 2";
inline constexpr const char* kQuarantineVersion1Line = "VARREX-QUARANTINE 1";

// The limits the writer keeps to and the reader enforces; an item the reader
// would refuse is never kept (and so never deleted).
inline constexpr size_t kMaxRecordBytes = 8 * 1024 * 1024;  // one manifest line
inline constexpr size_t kMaxRecords = 1000000;              // lines of one manifest
inline constexpr size_t kMaxValueBytes = 1024 * 1024;       // one registry value's data
inline constexpr size_t kMaxKeyValues = 16384;              // values of one key record
inline constexpr size_t kMaxPathBytes = 32767 * 3;          // UTF-8 bytes of a path
inline constexpr uint64_t kMaxContentBytes = uint64_t{1} << 62;  // offset + size in a content file
inline constexpr int kMaxContentNumber = 999999;                // version 1 content numbers

// The key of a run's content mask.
using MaskKey = std::array<uint8_t, 16>;

enum class KeptKind { File, Folder, Value, Key };

// One registry value as kept: its name, type and raw data.
struct KeptValue {
    std::string name;
    platform::RegValue value;
};

// One item of a run's store, as its record tells it.
struct KeptItem {
    KeptKind kind = KeptKind::File;
    // The record's place among the run's records (1 for the first item), by
    // which a "gone" record names it.
    int id = 0;
    // Files and folders: the original full path; for items of a removable
    // drive, that drive's volume serial number, file system name and label
    // (the last two empty in version 1 records).
    std::string path;
    std::optional<uint32_t> volumeSerial;
    std::string fileSystem;
    std::string label;
    uint32_t attributes = 0;
    // Files: the content file's name inside the run's folder, where the
    // masked bytes start in it, the size and SHA-256 (lower-case hex) of the
    // original bytes.
    std::string content;
    uint64_t offset = 0;
    uint64_t size = 0;
    std::string sha256;
    // Registry values and keys: root and key path; a value's name, type and
    // data; a key's values.
    platform::RootKey root = platform::RootKey::CurrentUser;
    std::string keyPath;
    KeptValue value;
    std::vector<KeptValue> keyValues;
    // Set when the item cannot be restored, with the reason in English words
    // for the log ("the record is damaged", "the kept copy is missing", ...).
    bool damaged = false;
    std::string damage;
};
// Kept sizes are 64-bit in the 32-bit build too.
static_assert(sizeof(KeptItem::size) == 8 && sizeof(KeptItem::offset) == 8, "kept sizes are 64-bit everywhere");

// What the run was: a device disinfection of a root, or a computer one.
struct KeptRunHeader {
    bool device = false;
    std::string deviceRoot;  // "E:\" for a device run
    std::string date, time;  // as the user's formats showed them
    // The content mask's key (version 2); version 1 runs use the fixed mask.
    std::optional<MaskKey> maskKey;
};

// A manifest as read: its version (0 when the first line is no version line
// this program knows), the run line and the items not recorded as gone, in
// the order of their records.
struct ParsedManifest {
    int version = 0;
    bool headerOk = false;  // the run line is a sealed, well-formed run line
    KeptRunHeader header;
    std::vector<KeptItem> items;
};

// --- strict text rules ---------------------------------------------------------

// UTF-8 as RFC 3629 defines it: no overlong form, no surrogate, nothing above
// U+10FFFF, no truncated sequence.
bool isStrictUtf8(std::string_view text);

// A path a file or folder record may name: "X:\" and one or more components,
// strict UTF-8, no character below 0x20 and none of  / : * ? " < > |  after
// the drive's colon, no empty component, none that is "." or "..", ends in a
// dot or a blank, or is a reserved device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9 and COM or LPT with a superscript 1, 2 or 3, with or
// without blanks and an extension after it), at most kMaxPathBytes.
// So no "\\?\", "\\.\" or UNC form and no alternate data stream.
bool isKeepablePath(std::string_view path);

// A registry key path a value or key record may name: strict UTF-8, no
// character below 0x20, components of 1 to 255 characters separated by one
// "\" (no leading or trailing one), at most 512 of them.
bool isKeepableKeyPath(std::string_view keyPath);

// A content file name: 1 to 40 of A-Z a-z 0-9 _ - and an optional extension
// of 1 to 8 of A-Z a-z 0-9 after one dot ("000001.vxq", "pack.vxp"), and no
// reserved device name ("con.vxq").
bool isContentName(std::string_view name);

// --- the writer's text ------------------------------------------------------------

// A header without a mask key gets an empty key field, so its line does not
// read back as a run line.
std::string formatRunLine(platform::Crypto& crypto, const KeptRunHeader& header);
// The record line of an item (without line end), seal included, in the
// current version.
std::string formatRecord(platform::Crypto& crypto, const KeptItem& item);
std::string formatGoneRecord(platform::Crypto& crypto, int id);

// --- the reader --------------------------------------------------------------------

// Parses one item record of a manifest of `version` (1 or 2). The item comes
// back marked damaged when the line is not a sealed, well-formed record of a
// known kind, is kMaxRecordBytes long or longer (the platform cuts longer
// lines there), when a text field is not strict UTF-8, a path or key path
// breaks the rules above ("the path is not allowed"), a value name holds a
// NUL or more than 16383 UTF-16 units, a number does not fit, or a key
// record's value count does not match its fields. A damaged item carries its
// kind and id when the line told them, and no other field. Never throws,
// never reads past the line.
KeptItem parseRecord(platform::Crypto& crypto, const std::string& line, int version);

// Parses a whole manifest. Items of an unknown version are read as records
// of the current version and marked damaged ("the store's version is
// unknown"); an id met twice, or a content range that
// shares a byte with one met before in the same content file (names compared
// without regard to letter case; an empty range holds no byte), marks the
// later item damaged ("the record is damaged"); items that a "gone" record
// names are left out. Empty lines are passed over. Never throws.
ParsedManifest parseManifest(platform::Crypto& crypto, const std::vector<std::string>& lines);

// True when `line` is a well-formed record of the current version whose
// parse gives back exactly `item` (what the writer checks before it keeps).
bool readsBack(platform::Crypto& crypto, const std::string& line, const KeptItem& item);

}  // namespace vx::scan

#include "scan/kept_records.h"

#include <cstdio>
#include <iterator>
#include <limits>
#include <map>

namespace vx::scan {

namespace {

constexpr const char* kDamaged = "the record is damaged";
constexpr const char* kPathNotAllowed = "the path is not allowed";
constexpr const char* kUnknownVersion = "the store's version is unknown";

// Windows' own limits, in UTF-16 units: a value name, one key name.
constexpr size_t kMaxValueNameUnits = 16383;
constexpr size_t kMaxKeyNameUnits = 255;
constexpr size_t kMaxKeyLevels = 512;
// The most fields a record can have (a key record with its most values),
// so a line of nothing but tabs is refused before it is split.
constexpr size_t kMaxFields = 5 + 3 * kMaxKeyValues;

constexpr size_t kSealDigits = 16;
constexpr size_t kKeyDigits = 32;
constexpr size_t kSha256Digits = 64;

// --- text ------------------------------------------------------------------------

// The length of the strict UTF-8 sequence at text[i] and its code point; 0
// when the bytes there are no such sequence.
size_t decodeAt(std::string_view text, size_t i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    size_t length = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;  // a continuation byte, C0, C1 or F5 and above
    }
    if (text.size() - i < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

// The UTF-16 units `text` takes in Windows, or nothing when it is not strict
// UTF-8.
std::optional<size_t> utf16Units(std::string_view text) {
    size_t units = 0;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t n = decodeAt(text, i, cp);
        if (n == 0) return std::nullopt;
        units += cp >= 0x10000 ? 2 : 1;
        i += n;
    }
    return units;
}

bool hasControl(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

char upperAsciiChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperAsciiChar(a[i]) != upperAsciiChar(b[i])) return false;
    return true;
}

// A name Windows opens as a device wherever it stands in a path: the part
// before the first dot, trailing blanks dropped, is CON, PRN, AUX, NUL, or
// COM or LPT followed by a digit 1 to 9 or a superscript 1, 2 or 3.
bool isDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (equalAsciiNoCase(base, device)) return true;
    if (base.size() < 4 || (!equalAsciiNoCase(base.substr(0, 3), "COM") && !equalAsciiNoCase(base.substr(0, 3), "LPT")))
        return false;
    const std::string_view number = base.substr(3);
    if (number.size() == 1) return number[0] >= '1' && number[0] <= '9';
    return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

// One component of a keepable path (the UTF-8 of the whole path is checked
// by the caller).
bool isKeepableComponent(std::string_view name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        switch (c) {
            case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|': return false;
            default: break;
        }
    }
    return !isDeviceName(name);
}

// --- fields ----------------------------------------------------------------------

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '%': out += "%25"; break;
            case '\t': out += "%09"; break;
            case '\r': out += "%0D"; break;
            case '\n': out += "%0A"; break;
            default: out += c;
        }
    }
    return out;
}

// The text of an escaped field, strict UTF-8; nothing for any "%" that is
// not one of the four escapes the writer makes, or for bytes that are no
// UTF-8. Each text has one spelling, so a record reads back as written.
std::optional<std::string> unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        const std::string_view code = field.substr(i + 1, 2);
        if (code == "25") out += '%';
        else if (code == "09") out += '\t';
        else if (code == "0D") out += '\r';
        else if (code == "0A") out += '\n';
        else return std::nullopt;
        i += 2;
    }
    if (!isStrictUtf8(out)) return std::nullopt;
    return out;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isLowerHex(std::string_view text, size_t digits) {
    if (text.size() != digits) return false;
    for (char c : text)
        if (!isAsciiDigit(c) && !(c >= 'a' && c <= 'f')) return false;
    return true;
}

// Decimal, no sign, at most 20 digits, within 64 bits.
std::optional<uint64_t> parseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (!isAsciiDigit(c)) return std::nullopt;
        const auto d = static_cast<uint64_t>(c - '0');
        if (v > (std::numeric_limits<uint64_t>::max() - d) / 10) return std::nullopt;
        v = v * 10 + d;
    }
    return v;
}

std::optional<uint32_t> parseDecimal32(std::string_view text) {
    const auto v = parseDecimal(text);
    if (!v || *v > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

// 1 to 8 hexadecimal digits of either case.
std::optional<uint32_t> parseHex32(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t v = 0;
    for (char c : text) {
        const int d = hexDigitValue(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return v;
}

std::optional<std::vector<uint8_t>> parseHexBytes(std::string_view text, size_t maxBytes) {
    if (text.size() % 2 != 0 || text.size() / 2 > maxBytes) return std::nullopt;
    std::vector<uint8_t> out(text.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = hexDigitValue(text[2 * i]), lo = hexDigitValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return out;
}

std::string hexBytes(const uint8_t* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string hex32(uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

std::string serialField(const std::optional<uint32_t>& serial) { return serial ? hex32(*serial) : "-"; }

bool parseSerial(std::string_view text, std::optional<uint32_t>& out) {
    if (text == "-") {
        out.reset();
        return true;
    }
    out = parseHex32(text);
    return out.has_value();
}

const char* rootName(platform::RootKey root) { return root == platform::RootKey::LocalMachine ? "HKLM" : "HKCU"; }

bool parseRoot(std::string_view text, platform::RootKey& out) {
    if (text == "HKLM") out = platform::RootKey::LocalMachine;
    else if (text == "HKCU") out = platform::RootKey::CurrentUser;
    else return false;
    return true;
}

std::string contentNameOfNumber(uint64_t number) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%06llu.vxq", static_cast<unsigned long long>(number));
    return buf;
}

// --- the seal --------------------------------------------------------------------

// The first 16 hexadecimal digits of the SHA-256 of `text`; nothing when
// the system offers no SHA-256, so that no line is taken as sealed then.
std::optional<std::string> sealOf(platform::Crypto& crypto, std::string_view text) {
    auto hash = crypto.sha256();
    if (!hash) return std::nullopt;
    hash->update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return platform::hexDigest(hash->finish()).substr(0, kSealDigits);
}

// Without a SHA-256 the seal is left empty: such a line never reads back, so
// the writer keeps nothing with it.
std::string sealed(platform::Crypto& crypto, const std::string& text) {
    return text + "\t" + sealOf(crypto, text).value_or("");
}

// The fields of a sealed line, its seal checked and dropped; nothing when the
// line is not one the writer made. The fields point into `line`.
std::optional<std::vector<std::string_view>> openSealed(platform::Crypto& crypto, std::string_view line) {
    // The platform cuts longer lines at kMaxRecordBytes: a line that long
    // may have lost its end.
    if (line.size() >= kMaxRecordBytes) return std::nullopt;
    const size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    const std::string_view text = line.substr(0, tab), seal = line.substr(tab + 1);
    if (!isLowerHex(seal, kSealDigits)) return std::nullopt;
    size_t fields = 1;
    for (char c : text)
        if (c == '\t' && ++fields > kMaxFields) return std::nullopt;
    const auto expected = sealOf(crypto, text);
    if (!expected || *expected != seal) return std::nullopt;

    std::vector<std::string_view> out;
    out.reserve(fields);
    size_t start = 0;
    while (true) {
        const size_t next = text.find('\t', start);
        if (next == std::string_view::npos) {
            out.push_back(text.substr(start));
            break;
        }
        out.push_back(text.substr(start, next - start));
        start = next + 1;
    }
    return out;
}

std::optional<int> parseId(std::string_view text) {
    const auto v = parseDecimal(text);
    if (!v || *v == 0 || *v > kMaxRecords) return std::nullopt;
    return static_cast<int>(*v);
}

// --- records ---------------------------------------------------------------------

enum class Verdict { Ok, Damaged, PathNotAllowed };

using Fields = std::vector<std::string_view>;

// A file or folder path: damaged when the field is malformed, not allowed
// when it decodes to a path the rule refuses.
Verdict readPath(std::string_view field, std::string& out) {
    auto path = unescape(field);
    if (!path) return Verdict::Damaged;
    if (!isKeepablePath(*path)) return Verdict::PathNotAllowed;
    out = std::move(*path);
    return Verdict::Ok;
}

bool readText(std::string_view field, std::string& out) {
    auto text = unescape(field);
    if (!text) return false;
    out = std::move(*text);
    return true;
}

bool readAttributes(std::string_view field, uint32_t& out) {
    const auto v = parseHex32(field);
    if (!v) return false;
    out = *v;
    return true;
}

// A value's name (empty for the key's default value), type and data.
bool readValue(std::string_view name, std::string_view type, std::string_view data, KeptValue& out) {
    auto text = unescape(name);
    if (!text || text->find('\0') != std::string::npos) return false;
    const auto units = utf16Units(*text);
    if (!units || *units > kMaxValueNameUnits) return false;
    const auto t = parseDecimal32(type);
    auto bytes = parseHexBytes(data, kMaxValueBytes);
    if (!t || !bytes) return false;
    out.name = std::move(*text);
    out.value.type = *t;
    out.value.data = std::move(*bytes);
    return true;
}

bool readSize(std::string_view offsetField, std::string_view sizeField, KeptItem& item) {
    const auto offset = parseDecimal(offsetField), size = parseDecimal(sizeField);
    if (!offset || !size || *offset > kMaxContentBytes || *size > kMaxContentBytes - *offset) return false;
    item.offset = *offset;
    item.size = *size;
    return true;
}

//   file  id  content  offset  path  serial  fsName  label  attributes  size  sha256
//   file  id  number  path  serial  attributes  size  sha256            (version 1)
Verdict readFile(const Fields& f, int version, KeptItem& item) {
    if (version == 2) {
        if (f.size() != 11 || !isContentName(f[2]) || !readSize(f[3], f[9], item) ||
            !parseSerial(f[5], item.volumeSerial) || !readText(f[6], item.fileSystem) || !readText(f[7], item.label) ||
            !readAttributes(f[8], item.attributes) || !isLowerHex(f[10], kSha256Digits))
            return Verdict::Damaged;
        item.content = std::string(f[2]);
        item.sha256 = std::string(f[10]);
        return readPath(f[4], item.path);
    }
    if (f.size() != 8) return Verdict::Damaged;
    const auto number = parseDecimal(f[2]);
    if (!number || *number == 0 || *number > static_cast<uint64_t>(kMaxContentNumber) ||
        !parseSerial(f[4], item.volumeSerial) || !readAttributes(f[5], item.attributes) || !readSize("0", f[6], item) ||
        !isLowerHex(f[7], kSha256Digits))
        return Verdict::Damaged;
    item.content = contentNameOfNumber(*number);
    item.sha256 = std::string(f[7]);
    return readPath(f[3], item.path);
}

//   folder  id  path  serial  fsName  label  attributes
//   folder  id  path  serial  attributes                                 (version 1)
Verdict readFolder(const Fields& f, int version, KeptItem& item) {
    if (version == 2) {
        if (f.size() != 7 || !parseSerial(f[3], item.volumeSerial) || !readText(f[4], item.fileSystem) ||
            !readText(f[5], item.label) || !readAttributes(f[6], item.attributes))
            return Verdict::Damaged;
    } else if (f.size() != 5 || !parseSerial(f[3], item.volumeSerial) || !readAttributes(f[4], item.attributes)) {
        return Verdict::Damaged;
    }
    return readPath(f[2], item.path);
}

Verdict readKeyPath(std::string_view field, std::string& out) {
    auto text = unescape(field);
    if (!text) return Verdict::Damaged;
    if (!isKeepableKeyPath(*text)) return Verdict::PathNotAllowed;
    out = std::move(*text);
    return Verdict::Ok;
}

//   value  id  HKCU|HKLM  keyPath  name  type  data
Verdict readValueRecord(const Fields& f, KeptItem& item) {
    if (f.size() != 7 || !parseRoot(f[2], item.root) || !readValue(f[4], f[5], f[6], item.value))
        return Verdict::Damaged;
    return readKeyPath(f[3], item.keyPath);
}

//   key  id  HKCU|HKLM  keyPath  count  {name  type  data} x count
Verdict readKeyRecord(const Fields& f, KeptItem& item) {
    if (f.size() < 5 || !parseRoot(f[2], item.root)) return Verdict::Damaged;
    const auto count = parseDecimal(f[4]);
    // The count is bounded before it is multiplied, and the fields must be
    // exactly the ones it announces: the loop below stays inside them.
    if (!count || *count > kMaxKeyValues || f.size() != 5 + 3 * static_cast<size_t>(*count)) return Verdict::Damaged;
    item.keyValues.resize(static_cast<size_t>(*count));
    for (size_t i = 0; i < item.keyValues.size(); ++i) {
        const size_t at = 5 + 3 * i;
        if (!readValue(f[at], f[at + 1], f[at + 2], item.keyValues[i])) return Verdict::Damaged;
    }
    return readKeyPath(f[3], item.keyPath);
}

bool sameValue(const KeptValue& a, const KeptValue& b) {
    return a.name == b.name && a.value.type == b.value.type && a.value.data == b.value.data;
}

bool sameItem(const KeptItem& a, const KeptItem& b) {
    if (a.keyValues.size() != b.keyValues.size()) return false;
    for (size_t i = 0; i < a.keyValues.size(); ++i)
        if (!sameValue(a.keyValues[i], b.keyValues[i])) return false;
    return a.kind == b.kind && a.id == b.id && a.path == b.path && a.volumeSerial == b.volumeSerial &&
           a.fileSystem == b.fileSystem && a.label == b.label && a.attributes == b.attributes &&
           a.content == b.content && a.offset == b.offset && a.size == b.size && a.sha256 == b.sha256 &&
           a.root == b.root && a.keyPath == b.keyPath && sameValue(a.value, b.value) && a.damaged == b.damaged &&
           a.damage == b.damage;
}

bool parseRunLine(platform::Crypto& crypto, const std::string& line, int version, KeptRunHeader& out) {
    const auto fields = openSealed(crypto, line);
    if (!fields || fields->size() != (version == 2 ? 6u : 5u) || (*fields)[0] != "run") return false;
    const Fields& f = *fields;
    KeptRunHeader header;
    if (f[1] == "device") header.device = true;
    else if (f[1] != "computer") return false;
    if (!readText(f[2], header.deviceRoot) || !readText(f[3], header.date) || !readText(f[4], header.time))
        return false;
    const std::string& root = header.deviceRoot;
    if (header.device ? !(root.size() == 3 && isAsciiLetter(root[0]) && root[1] == ':' && root[2] == '\\')
                      : !root.empty())
        return false;
    if (version == 2) {
        if (!isLowerHex(f[5], kKeyDigits)) return false;
        MaskKey key{};
        for (size_t i = 0; i < key.size(); ++i)
            key[i] = static_cast<uint8_t>(hexDigitValue(f[5][2 * i]) * 16 + hexDigitValue(f[5][2 * i + 1]));
        header.maskKey = key;
    }
    out = std::move(header);
    return true;
}

// The id of a sealed "gone" record; nothing for any other line.
std::optional<int> goneId(platform::Crypto& crypto, const std::string& line) {
    if (line.compare(0, 5, "gone\t") != 0) return std::nullopt;
    const auto f = openSealed(crypto, line);
    if (!f || f->size() != 2 || (*f)[0] != "gone") return std::nullopt;
    return parseId((*f)[1]);
}

// Content ranges met so far, by content file (names compared without regard
// to letter case, as Windows opens them): start -> end, none overlapping.
class ContentRanges {
public:
    // Adds [offset, offset + size) unless it shares a byte with a range met
    // before. An empty range holds no byte and always fits.
    bool add(const std::string& content, uint64_t offset, uint64_t size) {
        if (size == 0) return true;
        std::string key = content;
        for (char& c : key) c = upperAsciiChar(c);
        auto& ranges = byContent_[key];
        const uint64_t end = offset + size;
        const auto next = ranges.lower_bound(offset);
        if (next != ranges.end() && next->first < end) return false;
        if (next != ranges.begin() && std::prev(next)->second > offset) return false;
        ranges.emplace_hint(next, offset, end);
        return true;
    }

private:
    std::map<std::string, std::map<uint64_t, uint64_t>> byContent_;
};

}  // namespace

// --- strict text rules ---------------------------------------------------------------

bool isStrictUtf8(std::string_view text) { return utf16Units(text).has_value(); }

bool isKeepablePath(std::string_view path) {
    if (path.size() < 4 || path.size() > kMaxPathBytes) return false;
    if (!isAsciiLetter(path[0]) || path[1] != ':' || path[2] != '\\' || !isStrictUtf8(path)) return false;
    size_t start = 3;
    while (true) {
        const size_t next = path.find('\\', start);
        const size_t end = next == std::string_view::npos ? path.size() : next;
        if (!isKeepableComponent(path.substr(start, end - start))) return false;
        if (end == path.size()) return true;
        start = end + 1;
    }
}

bool isKeepableKeyPath(std::string_view keyPath) {
    if (keyPath.empty() || hasControl(keyPath)) return false;
    size_t levels = 0, start = 0;
    while (true) {
        const size_t next = keyPath.find('\\', start);
        const size_t end = next == std::string_view::npos ? keyPath.size() : next;
        const auto units = utf16Units(keyPath.substr(start, end - start));
        if (!units || *units == 0 || *units > kMaxKeyNameUnits || ++levels > kMaxKeyLevels) return false;
        if (end == keyPath.size()) return true;
        start = end + 1;
    }
}

bool isContentName(std::string_view name) {
    const size_t dot = name.find('.');
    const std::string_view stem = name.substr(0, dot);
    if (stem.empty() || stem.size() > 40) return false;
    for (char c : stem)
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '_' && c != '-') return false;
    if (dot != std::string_view::npos) {
        const std::string_view extension = name.substr(dot + 1);
        if (extension.empty() || extension.size() > 8) return false;
        for (char c : extension)
            if (!isAsciiLetter(c) && !isAsciiDigit(c)) return false;
    }
    // "con.vxq" inside the run's folder would open the console.
    return !isDeviceName(name);
}

// --- the writer's text ---------------------------------------------------------------

std::string formatRunLine(platform::Crypto& crypto, const KeptRunHeader& header) {
    // A header without a key gets an empty key field: the line does not read
    // back as a run line, rather than naming a key nobody chose.
    const std::string key = header.maskKey ? hexBytes(header.maskKey->data(), header.maskKey->size()) : "";
    return sealed(crypto, std::string("run\t") + (header.device ? "device" : "computer") + "\t" +
                              escape(header.deviceRoot) + "\t" + escape(header.date) + "\t" + escape(header.time) +
                              "\t" + key);
}

std::string formatRecord(platform::Crypto& crypto, const KeptItem& item) {
    const std::string id = std::to_string(item.id);
    auto valueFields = [](const KeptValue& v) {
        return escape(v.name) + "\t" + std::to_string(v.value.type) + "\t" +
               hexBytes(v.value.data.data(), v.value.data.size());
    };
    switch (item.kind) {
        case KeptKind::File:
            return sealed(crypto, "file\t" + id + "\t" + item.content + "\t" + std::to_string(item.offset) + "\t" +
                                      escape(item.path) + "\t" + serialField(item.volumeSerial) + "\t" +
                                      escape(item.fileSystem) + "\t" + escape(item.label) + "\t" +
                                      hex32(item.attributes) + "\t" + std::to_string(item.size) + "\t" + item.sha256);
        case KeptKind::Folder:
            return sealed(crypto, "folder\t" + id + "\t" + escape(item.path) + "\t" + serialField(item.volumeSerial) +
                                      "\t" + escape(item.fileSystem) + "\t" + escape(item.label) + "\t" +
                                      hex32(item.attributes));
        case KeptKind::Value:
            return sealed(crypto, "value\t" + id + "\t" + rootName(item.root) + "\t" + escape(item.keyPath) + "\t" +
                                      valueFields(item.value));
        case KeptKind::Key: {
            std::string text = "key\t" + id + "\t" + rootName(item.root) + "\t" + escape(item.keyPath) + "\t" +
                               std::to_string(item.keyValues.size());
            for (const KeptValue& v : item.keyValues) text += "\t" + valueFields(v);
            return sealed(crypto, text);
        }
    }
    return {};
}

std::string formatGoneRecord(platform::Crypto& crypto, int id) {
    return sealed(crypto, "gone\t" + std::to_string(id));
}

// --- the reader ----------------------------------------------------------------------

KeptItem parseRecord(platform::Crypto& crypto, const std::string& line, int version) {
    KeptItem item;
    // A damaged item carries only its kind and id: no field of a record that
    // failed a rule is handed on.
    auto damaged = [&item](const char* why) {
        KeptItem out;
        out.kind = item.kind;
        out.id = item.id;
        out.damaged = true;
        out.damage = why;
        return out;
    };
    if (version != 1 && version != 2) return damaged(kUnknownVersion);
    const auto fields = openSealed(crypto, line);
    if (!fields || fields->size() < 2) return damaged(kDamaged);
    const Fields& f = *fields;
    const auto id = parseId(f[1]);
    if (!id) return damaged(kDamaged);
    item.id = *id;

    Verdict verdict = Verdict::Damaged;
    if (f[0] == "file") {
        item.kind = KeptKind::File;
        verdict = readFile(f, version, item);
    } else if (f[0] == "folder") {
        item.kind = KeptKind::Folder;
        verdict = readFolder(f, version, item);
    } else if (f[0] == "value") {
        item.kind = KeptKind::Value;
        verdict = readValueRecord(f, item);
    } else if (f[0] == "key") {
        item.kind = KeptKind::Key;
        verdict = readKeyRecord(f, item);
    }
    if (verdict == Verdict::Damaged) return damaged(kDamaged);
    if (verdict == Verdict::PathNotAllowed) return damaged(kPathNotAllowed);
    return item;
}

ParsedManifest parseManifest(platform::Crypto& crypto, const std::vector<std::string>& lines) {
    ParsedManifest manifest;
    if (lines.empty()) return manifest;
    if (lines[0] == kQuarantineVersionLine) manifest.version = 2;
    else if (lines[0] == kQuarantineVersion1Line) manifest.version = 1;
    if (manifest.version != 0 && lines.size() >= 2)
        manifest.headerOk = parseRunLine(crypto, lines[1], manifest.version, manifest.header);

    std::set<int> gone, ids;
    ContentRanges ranges;
    std::vector<KeptItem> items;
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) continue;
        if (const auto id = goneId(crypto, line)) {
            gone.insert(*id);
            continue;
        }
        if (manifest.version == 0) {
            // What the record names is still shown, read as the current
            // version would; none of it is ever acted on.
            KeptItem item = parseRecord(crypto, line, 2);
            item.damaged = true;
            item.damage = kUnknownVersion;
            items.push_back(std::move(item));
            continue;
        }
        KeptItem item = parseRecord(crypto, line, manifest.version);
        // An id met twice, or kept bytes that another record already names,
        // is a record copied or forged: the first one written stands.
        if (!item.damaged && (!ids.insert(item.id).second ||
                              (item.kind == KeptKind::File && !ranges.add(item.content, item.offset, item.size)))) {
            item.damaged = true;
            item.damage = kDamaged;
        }
        items.push_back(std::move(item));
    }
    for (KeptItem& item : items)
        if (item.id == 0 || !gone.count(item.id)) manifest.items.push_back(std::move(item));
    return manifest;
}

bool readsBack(platform::Crypto& crypto, const std::string& line, const KeptItem& item) {
    const KeptItem parsed = parseRecord(crypto, line, 2);
    return !parsed.damaged && sameItem(parsed, item);
}

}  // namespace vx::scan

// Text helpers and registry value helpers shared by both platform implementations.
#include "platform/platform.h"

namespace vx::platform {

std::string upperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

namespace {

// Windows-1252 bytes 0x80..0x9F and their Unicode code points (0 = undefined).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};


// Decodes UTF-8 into code points; a malformed byte stands for itself (as
// Latin-1) so that no input is ever rejected.
std::u32string decodeUtf8(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            out += static_cast<char32_t>(b);
            ++i;
        } else {
            out += cp;
            i += len;
        }
    }
    return out;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char16_t foldCaseUnit(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    // Greek and Cyrillic, which Windows folds as well.
    if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return static_cast<char16_t>(c - 32);
    if (c == 0x3C2) return 0x3A3;  // final sigma
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 63);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x178 && c != 0x17F) {
        bool pairedEvenOdd = (c < 0x138) || (c > 0x148 && c < 0x178);
        if (pairedEvenOdd) return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
        return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;  // 0x139..0x148, 0x179..0x17E
    }
    return c;
}

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() == b.size() && a == b) return true;
    std::u16string ua = utf8ToUtf16(a), ub = utf8ToUtf16(b);
    if (ua.size() != ub.size()) return false;
    for (size_t i = 0; i < ua.size(); ++i)
        if (foldCaseUnit(ua[i]) != foldCaseUnit(ub[i])) return false;
    return true;
}

std::string utf8ToCp1252(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char32_t cp : decodeUtf8(utf8)) {
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[k] != 0 && kCp1252High[k] == cp) mapped = static_cast<char>(0x80 + k);
        out += mapped;
    }
    return out;
}

std::string cp1252ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        char32_t cp = b;
        if (b >= 0x80 && b <= 0x9F) cp = kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : b;
        appendUtf8(out, cp);
    }
    return out;
}

std::u16string utf8ToUtf16(const std::string& utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (char32_t cp : decodeUtf8(utf8)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, cp);
    }
    return out;
}

RegValue RegValue::text(const std::string& utf8, uint32_t type) {
    RegValue v;
    v.type = type;
    std::u16string w = utf8ToUtf16(utf8);
    w.push_back(u'\0');
    for (char16_t c : w) {
        v.data.push_back(static_cast<uint8_t>(c & 0xFF));
        v.data.push_back(static_cast<uint8_t>(c >> 8));
    }
    return v;
}

RegValue RegValue::dword(uint32_t x) {
    RegValue v;
    v.type = regtype::Dword;
    for (int k = 0; k < 4; ++k) v.data.push_back(static_cast<uint8_t>(x >> (8 * k)));
    return v;
}

RegValue RegValue::binary(std::vector<uint8_t> bytes) {
    RegValue v;
    v.type = regtype::Binary;
    v.data = std::move(bytes);
    return v;
}

std::optional<std::string> RegValue::asText() const {
    if (type != regtype::Sz && type != regtype::ExpandSz) return std::nullopt;
    std::u16string w;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) break;
        w.push_back(c);
    }
    return utf16ToUtf8(w);
}

Status copyRegistryTree(Registry& registry, RootKey root, const std::string& from, const std::string& to) {
    // Explicit work list instead of recursion: key depth comes from data.
    struct Pending {
        std::string from, to;
    };
    std::vector<Pending> work{{from, to}};
    bool first = true;
    while (!work.empty()) {
        Pending p = std::move(work.back());
        work.pop_back();
        auto src = registry.open(root, p.from, RegAccess::Read);
        if (!src) {
            if (first) return src.status();
            continue;
        }
        auto dst = registry.create(root, p.to);
        if (!dst) {
            if (first) return dst.status();
            continue;
        }
        first = false;
        // A value that cannot be read or written is skipped, as documented.
        for (const std::string& name : src->valueNames())
            if (auto v = src->readValue(name)) dst->writeValue(name, *v).ignore();
        auto subs = src->subkeyNames();
        for (auto it = subs.rbegin(); it != subs.rend(); ++it)
            work.push_back({p.from + "\\" + *it, p.to + "\\" + *it});
    }
    return {};
}

}  // namespace vx::platform

namespace vx::platform {

std::string hexDigest(const Sha256Digest& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(digest.size() * 2);
    for (uint8_t b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    return out;
}

}  // namespace vx::platform

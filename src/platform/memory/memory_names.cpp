// Entry names: case folding for lookups and ordering, validity of new names,
// and the wildcard matching of find masks.
#include <algorithm>

#include "platform/memory/memory_state.h"

namespace vx::memory::detail {

namespace {

// The DOS wildcards FindFirstFile hands to the file system, kept in the
// private-use area so that they never collide with a character of a name.
constexpr char16_t kDosStar = 0xE000;  // '*' before a '.': any run up to the last dot
constexpr char16_t kDosQm = 0xE001;    // '?': one character, or none at a dot or the end
constexpr char16_t kDosDot = 0xE002;   // '.' before a wildcard or at the end: a dot, or the end
constexpr char16_t kStar = 0xE003;     // '*': any run

bool isWildcard(char16_t c) { return c >= kDosStar && c <= kStar; }

}  // namespace

NameKey nameKey(std::string_view name) {
    NameKey key;
    key.reserve(name.size());
    bool ascii = true;
    for (char ch : name) {
        auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80) {
            ascii = false;
            break;
        }
        key.push_back(static_cast<char16_t>(b >= 'a' && b <= 'z' ? b - 32 : b));
    }
    if (ascii) return key;
    key = platform::utf8ToUtf16(std::string(name));
    for (char16_t& c : key) c = platform::foldCaseUnit(c);
    return key;
}

namespace {

// Characters an 8.3 name may hold (folded), Latin-1 letters included as the
// OEM code page has them.
bool isShortNameChar(char16_t c) {
    if (c >= u'A' && c <= u'Z') return true;
    if (c >= u'0' && c <= u'9') return true;
    if (c >= 0xC0 && c <= 0xFF) return true;
    return std::u16string_view(u"!#$%&'()-@^_`{}~").find(c) != std::u16string_view::npos;
}

bool isValidShortName(const NameKey& key) {
    size_t dot = key.find(u'.');
    size_t base = dot == NameKey::npos ? key.size() : dot;
    if (base < 1 || base > 8) return false;
    if (dot != NameKey::npos) {
        size_t ext = key.size() - dot - 1;
        if (ext < 1 || ext > 3 || key.find(u'.', dot + 1) != NameKey::npos) return false;
    }
    for (char16_t c : key)
        if (c != u'.' && !isShortNameChar(c)) return false;
    return true;
}

// Appends up to `limit` characters of `part` as a short name holds them:
// blanks and dots dropped, other unusable characters made "_".
void appendShortPart(NameKey& out, std::u16string_view part, size_t limit) {
    size_t taken = 0;
    for (char16_t c : part) {
        if (taken == limit) break;
        if (c == u' ' || c == u'.') continue;
        out.push_back(isShortNameChar(c) ? c : u'_');
        ++taken;
    }
}

}  // namespace

NameKey shortNameKey(const NameKey& key) {
    if (key.empty() || key == u"." || key == u".." || isValidShortName(key)) return {};
    size_t lastDot = key.rfind(u'.');
    std::u16string_view all(key);
    std::u16string_view base = (lastDot == NameKey::npos || lastDot == 0) ? all : all.substr(0, lastDot);
    std::u16string_view ext = (lastDot == NameKey::npos || lastDot == 0) ? std::u16string_view() : all.substr(lastDot + 1);
    NameKey out;
    appendShortPart(out, base, 6);
    out += u"~1";
    NameKey extension;
    appendShortPart(extension, ext, 3);
    if (!extension.empty()) out += u"." + extension;
    return out;
}

bool isValidName(std::string_view name) {
    if (name.empty()) return false;
    for (char ch : name) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x20) return false;
        switch (ch) {
            case '\\':
            case '/':
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}

Mask compileMask(std::string_view mask) {
    std::u16string w = platform::utf8ToUtf16(std::string(mask));
    Mask m;
    m.literal = true;
    for (size_t i = 0; i < w.size(); ++i) {
        char16_t c = w[i];
        char16_t next = i + 1 < w.size() ? w[i + 1] : 0;
        bool atEnd = i + 1 == w.size();
        char16_t out;
        switch (c) {
            case u'*':
                out = next == u'.' ? kDosStar : kStar;
                break;
            case u'?':
            case u'>':
                out = kDosQm;
                break;
            case u'<':
                out = kDosStar;
                break;
            case u'"':
                out = kDosDot;
                break;
            case u'.':
                out = (atEnd || next == u'*' || next == u'?') ? kDosDot : u'.';
                break;
            default:
                out = platform::foldCaseUnit(c);
                break;
        }
        if (isWildcard(out)) m.literal = false;
        m.expression.push_back(out);
    }
    // "*" and "*.*" take every name.
    const std::u16string& e = m.expression;
    m.everything = (e.size() == 1 && e[0] == kStar) || e == std::u16string{kDosStar, kDosDot, kStar};
    // "*.lnk", "*abc": one star, then plain text that must end the name (a
    // star before a dot stops at the last dot, which the text then holds).
    if (e.size() > 1 && (e[0] == kStar || e[0] == kDosStar) &&
        std::none_of(e.begin() + 1, e.end(), isWildcard)) {
        m.suffixOnly = true;
        m.suffix = e.substr(1);
    }
    return m;
}

// Simulates the pattern as a set of expression positions, one name character
// at a time; wildcards that match nothing are followed forward at once.
bool maskMatches(const Mask& mask, const NameKey& key) {
    if (mask.literal) return mask.expression == key;
    const std::u16string& e = mask.expression;
    if (mask.everything) return true;
    if (mask.suffixOnly)
        return key.size() >= mask.suffix.size() &&
               key.compare(key.size() - mask.suffix.size(), mask.suffix.size(), mask.suffix) == 0;
    const size_t m = e.size();
    const size_t n = key.size();
    const size_t lastDot = key.rfind(u'.');

    // Two position sets; on the stack for the usual short masks.
    char small[2][64];
    std::vector<char> large;
    char* cur = small[0];
    char* nxt = small[1];
    if (m + 1 > sizeof small[0]) {
        large.assign(2 * (m + 1), 0);
        cur = large.data();
        nxt = large.data() + m + 1;
    }
    auto close = [&](char* set, size_t pos) {
        bool atEnd = pos == n;
        for (size_t i = 0; i < m; ++i) {
            if (!set[i]) continue;
            char16_t c = e[i];
            if (c == kStar || c == kDosStar || (c == kDosQm && (atEnd || key[pos] == u'.')) ||
                (c == kDosDot && atEnd))
                set[i + 1] = 1;
        }
    };
    std::fill(cur, cur + m + 1, 0);
    cur[0] = 1;
    close(cur, 0);
    for (size_t pos = 0; pos < n; ++pos) {
        const char16_t ch = key[pos];
        std::fill(nxt, nxt + m + 1, 0);
        bool any = false;
        for (size_t i = 0; i < m; ++i) {
            if (!cur[i]) continue;
            char16_t c = e[i];
            if (c == kStar) {
                nxt[i] = 1;
            } else if (c == kDosStar) {
                // Any character but the last dot, which a following '.' must match.
                if (ch != u'.' || pos != lastDot) nxt[i] = 1;
            } else if (c == kDosQm) {
                if (ch != u'.') nxt[i + 1] = 1;
            } else if (c == kDosDot) {
                if (ch == u'.') nxt[i + 1] = 1;
            } else if (c == ch) {
                nxt[i + 1] = 1;
            } else {
                continue;
            }
            any = true;  // a position may stay set without a move; only the end decides
        }
        if (!any) return false;
        close(nxt, pos + 1);
        std::swap(cur, nxt);
    }
    return cur[m] != 0;
}

}  // namespace vx::memory::detail

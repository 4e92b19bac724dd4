#include "scan/shown_names.h"

#include <cstdint>
#include <cstdio>

namespace vx::scan {

namespace {

// Decodes the character at `text[i]`: its code point and length, or a
// length of 0 when the bytes there are not UTF-8.
struct Decoded {
    char32_t code = 0;
    size_t length = 0;
};
Decoded decodeAt(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t b = byte(i);
    if (b < 0x80) return {b, 1};
    size_t length = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return {};
    char32_t code = b & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, length};
}

bool showsNothing(char32_t c) {
    if (c < 0x20) return c != '\t' && c != '\r' && c != '\n';
    if (c >= 0x7F && c <= 0xA0) return true;  // DEL, the C1 controls, no-break space
    switch (c) {
        case 0x00AD: case 0x034F: case 0x115F: case 0x1160: case 0x17B4: case 0x17B5: case 0x180E:
        case 0x2800: case 0x3000: case 0x3164: case 0xFEFF: case 0xFFA0:
            return true;
        default:
            break;
    }
    return (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) || (c >= 0x205F && c <= 0x206F) ||
           (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0xE0000 && c <= 0xE007F);
}

std::string codeText(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "[U+%04X]", static_cast<unsigned>(c));
    return buffer;
}

// Any byte that may begin a character of showsNothing: lines without one
// (nearly all) are passed through untouched.
bool mayHold(const std::string& text) {
    for (char ch : text) {
        const auto b = static_cast<uint8_t>(ch);
        if (b < 0x20 || b == 0x7F || b == 0xC2 || b == 0xCD || b == 0xE1 || b == 0xE2 || b == 0xE3 ||
            b == 0xEF || b == 0xF3)
            return true;
    }
    return false;
}

std::string mark(const std::string& text, bool blanksToo) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) {
        const Decoded d = decodeAt(text, i);
        if (d.length == 0) {
            out += text[i++];
            continue;
        }
        if (showsNothing(d.code) || (blanksToo && d.code == ' '))
            out += codeText(d.code);
        else
            out.append(text, i, d.length);
        i += d.length;
    }
    return out;
}

}  // namespace

std::string markInvisible(std::string text) {
    if (!mayHold(text)) return text;
    return mark(text, false);
}

std::string shownName(const std::string& name) {
    bool visible = false;
    for (size_t i = 0; i < name.size() && !visible;) {
        const Decoded d = decodeAt(name, i);
        if (d.length == 0) return markInvisible(name);
        visible = d.code != ' ' && !showsNothing(d.code);
        i += d.length;
    }
    return mark(name, !visible);
}

bool hasLetterOrDigit(const std::string& name) {
    for (size_t i = 0; i < name.size();) {
        const Decoded d = decodeAt(name, i);
        if (d.length == 0) return true;  // not UTF-8: never taken for a nameless folder
        const char32_t c = d.code;
        i += d.length;
        if (c < 0x80) {
            if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
            continue;
        }
        if (showsNothing(c)) continue;
        // Latin-1 punctuation and symbols, the general punctuation, super-
        // and subscripts' neighbours, arrows to geometric shapes, and the
        // CJK symbols: none is a letter or digit.
        const bool symbol = (c >= 0xA1 && c <= 0xBF && c != 0xAA && c != 0xB2 && c != 0xB3 && c != 0xB5 &&
                             c != 0xB9 && c != 0xBA) ||
                            c == 0xD7 || c == 0xF7 || (c >= 0x2010 && c <= 0x205E) || (c >= 0x2190 && c <= 0x2BFF) ||
                            (c >= 0x3001 && c <= 0x3003) || (c >= 0xFE30 && c <= 0xFE4F);
        if (!symbol) return true;
    }
    return false;
}

}  // namespace vx::scan

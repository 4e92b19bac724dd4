#include "scan/autorun_reader.h"

#include "platform/platform.h"

#include <algorithm>
#include <string_view>

// The file is first decoded to UTF-8 (UTF-16LE after the BOM FF FE, UTF-8
// after EF BB BF, Windows-1252 otherwise), then split into lines at CR LF,
// LF or a lone CR. NUL bytes and the other control characters a worm pads
// the file with are dropped, so a key hidden behind them still reads as
// Windows reads it.

namespace vx::scan {
namespace {


// Windows-1252 bytes 0x80-0x9F; the five undefined ones map to the C1
// controls of the same number, as Windows maps them.
constexpr uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Controls other than the line ends and tab carry nothing in an INI line.
bool dropped(uint32_t cp) { return (cp < 0x20 && cp != '\t' && cp != '\r' && cp != '\n') || cp == 0x7F; }

void put(std::string& out, uint32_t cp) {
    if (!dropped(cp)) platform::appendUtf8(out, cp);
}

std::string decodeUtf16(const uint8_t* p, size_t size) {
    std::string out;
    const size_t units = size / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t cp = static_cast<uint32_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units) {
            const uint32_t low = static_cast<uint32_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        put(out, cp);
    }
    return out;
}

// UTF-8 taken as it stands where it is well formed; a byte that starts no
// valid sequence becomes U+FFFD.
std::string decodeUtf8(const uint8_t* p, size_t size) {
    std::string out;
    for (size_t i = 0; i < size;) {
        const uint8_t b = p[i];
        size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
        bool ok = n != 0 && n <= size - i;
        for (size_t k = 1; ok && k < n; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (p[i + k] & 0x3Fu);
        }
        static constexpr uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            put(out, 0xFFFD);
            ++i;
            continue;
        }
        put(out, cp);
        i += n;
    }
    return out;
}

std::string decodeAnsi(const uint8_t* p, size_t size) {
    std::string out;
    for (size_t i = 0; i < size; ++i) put(out, p[i] >= 0x80 && p[i] <= 0x9F ? kCp1252High[p[i] - 0x80] : p[i]);
    return out;
}

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// [autorun] or [autorun.<anything>], any letter case.
bool isAutorunSection(std::string_view name) {
    const std::string lower = lowerAscii(trimmed(name));
    return lower == "autorun" || (lower.size() > 8 && lower.compare(0, 8, "autorun.") == 0);
}

// "open", "shellexecute" or "shell\<verb>\command" with a verb of at least
// one character and no further backslash.
bool isCommandKey(const std::string& key) {
    if (key == "open" || key == "shellexecute") return true;
    static constexpr std::string_view kPrefix = "shell\\", kSuffix = "\\command";
    if (key.size() <= kPrefix.size() + kSuffix.size()) return false;
    if (key.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    if (key.compare(key.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) return false;
    const std::string_view verb =
        std::string_view(key).substr(kPrefix.size(), key.size() - kPrefix.size() - kSuffix.size());
    return verb.find('\\') == std::string_view::npos && !trimmed(verb).empty();
}

}  // namespace

std::vector<AutorunCommand> readAutorun(const uint8_t* data, size_t size) {
    std::vector<AutorunCommand> commands;
    if (!data) return commands;
    size = std::min(size, kMaxAutorunBytes);

    std::string text;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        text = decodeUtf16(data + 2, size - 2);
    else if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        text = decodeUtf8(data + 3, size - 3);
    else
        text = decodeAnsi(data, size);

    bool inAutorun = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trimmed(std::string_view(text).substr(at, end - at));
        at = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inAutorun = close != std::string_view::npos && isAutorunSection(line.substr(1, close - 1));
            continue;
        }
        if (!inAutorun) continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string key = lowerAscii(trimmed(line.substr(0, equals)));
        if (!isCommandKey(key)) continue;
        commands.push_back({std::move(key), std::string(trimmed(line.substr(equals + 1)))});
    }
    return commands;
}

}  // namespace vx::scan

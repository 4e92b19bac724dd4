// libFuzzer target for the shell link reader. Beyond the sanitizers' checks,
// whatever the reader returns must be valid UTF-8, keep the name, relative
// path and working folder within 260 characters, and hold no more text than
// the input can spell (one input byte gives at most three UTF-8 bytes; the
// LinkInfo's base path and suffix may share their bytes, so the target may
// take them twice).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scan/shortcut_reader.h"

namespace {

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_shortcut: %s\n", what);
    std::abort();
}

// Counts the code points of a valid UTF-8 text; -1 when it is not one
// (overlong forms, surrogates and values past U+10FFFF included).
long utf8Length(const std::string& s) {
    long count = 0;
    for (size_t i = 0; i < s.size(); ++count) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || n > s.size() - i) return -1;
        uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
        for (size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return -1;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        static constexpr uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
        i += n;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = vx::scan::readShortcut(data, size);
    if (!fields) return 0;
    require(size >= 0x4C && size <= vx::scan::kMaxShortcutBytes, "a size the reader should refuse");
    for (const std::string* text : {&fields->arguments, &fields->iconLocation}) {
        require(utf8Length(*text) >= 0, "a field that is not UTF-8");
        require(text->size() <= 3 * size, "a field longer than the input can spell");
    }
    for (const std::string* text : {&fields->workingFolder, &fields->relativePath, &fields->name}) {
        const long length = utf8Length(*text);
        require(length >= 0, "a field that is not UTF-8");
        require(length <= 260, "a field past 260 characters");
    }
    require(utf8Length(fields->target) >= 0, "a target that is not UTF-8");
    require(fields->target.size() <= 6 * size, "a target longer than the input can spell");
    require(fields->target.find('\0') == std::string::npos && fields->arguments.find('\0') == std::string::npos,
            "a NUL inside a text");
    require(fields->driveType.has_value() == fields->volumeSerial.has_value(), "half a volume block");
    return 0;
}

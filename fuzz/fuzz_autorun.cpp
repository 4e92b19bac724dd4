// libFuzzer target for the autorun.inf reader. Beyond the sanitizers'
// checks, every command must come from one of the keys the reader names, in
// lower case, be valid UTF-8 without line ends or blanks around it, and the
// input past the first 64 KiB must change nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scan/autorun_reader.h"

namespace {

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_autorun: %s\n", what);
    std::abort();
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || n > s.size() - i) return false;
        uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
        for (size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        static constexpr uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

bool knownKey(const std::string& key) {
    if (key == "open" || key == "shellexecute") return true;
    return key.size() > 14 && key.compare(0, 6, "shell\\") == 0 && key.compare(key.size() - 8, 8, "\\command") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto commands = vx::scan::readAutorun(data, size);
    for (const auto& c : commands) {
        require(knownKey(c.key), "a key the reader does not name");
        for (char ch : c.key) require(ch < 'A' || ch > 'Z', "a key not in lower case");
        require(validUtf8(c.command), "a command that is not UTF-8");
        require(c.command.find_first_of("\r\n", 0) == std::string::npos, "a line end inside a command");
        require(c.command.find('\0') == std::string::npos, "a NUL inside a command");
        require(c.command.empty() || (c.command.front() != ' ' && c.command.back() != ' '), "blanks kept");
    }
    if (size > vx::scan::kMaxAutorunBytes) {
        const auto cut = vx::scan::readAutorun(data, vx::scan::kMaxAutorunBytes);
        require(cut.size() == commands.size(), "bytes past the limit were read");
    }
    return 0;
}

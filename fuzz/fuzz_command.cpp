// libFuzzer target for the command reader. The bytes up to the first NUL are
// the program, the rest its arguments; they are read as a command and, joined
// by a blank, as a whole command line. Every path returned must be a non-empty
// piece of the input (never longer), the entries stay under their cap, and a
// read must finish quickly whatever the nesting; any breach aborts, and the
// sanitizers catch the rest.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scan/command_reader.h"

namespace {

using namespace vx;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_command: %s\n", what);
    std::abort();
}

void check(const std::vector<scan::CommandFile>& files, size_t inputSize) {
    require(files.size() <= 256, "more entries than the cap");
    for (const auto& f : files) {
        require(!f.path.empty(), "an empty path");
        require(f.path.size() <= inputSize, "a path longer than the input");
        require(f.role == scan::RunRole::Code || f.role == scan::RunRole::Program || f.role == scan::RunRole::Opened,
                "a role out of range");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t nul = bytes.find('\0');
    const std::string program = bytes.substr(0, nul);
    const std::string arguments = nul == std::string::npos ? std::string{} : bytes.substr(nul + 1);

    const auto begin = std::chrono::steady_clock::now();
    check(scan::readCommand(program, arguments), size);
    const std::string line = program + " " + arguments;
    check(scan::readCommandLine(line), line.size());
    scan::isInterpreter(program);
    // Generous for sanitizer builds; a quadratic walk over a long input takes seconds.
    const auto spent = std::chrono::steady_clock::now() - begin;
    require(size < 4096 || spent < std::chrono::seconds(2), "a read that took too long");
    return 0;
}

// Reads the commands an autorun.inf names. The file comes from the drive,
// so a worm may have written it: any bytes are taken, only the first 64 KiB
// are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vx::scan {

inline constexpr size_t kMaxAutorunBytes = 64 * 1024;

struct AutorunCommand {
    std::string key;      // in lower case: "open", "shellexecute", "shell\open\command"
    std::string command;  // the value as written, blanks around it removed, UTF-8
};

// The "open", "shellexecute" and "shell\<verb>\command" keys of the
// [autorun] sections (and [autorun.<platform>] ones), in file order; section
// and key names compared case-insensitively.
std::vector<AutorunCommand> readAutorun(const uint8_t* data, size_t size);

}  // namespace vx::scan

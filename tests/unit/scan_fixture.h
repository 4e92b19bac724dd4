// A memory machine with a run context around it, as the routines receive it.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_machine.h"
#include "scan/primitives.h"
#include "scan/run_context.h"

namespace vx::test {

using platform::Answer;
using platform::DriveType;
using platform::RootKey;
namespace attr = platform::attr;

struct ScanFixture : ::testing::Test {
    memory::Machine machine;
    scan::ActivityLog log;
    scan::RunFlags flags;
    scan::Language language = scan::kPortuguese;
    scan::RunContext ctx{machine.platform(), log, flags, language};

    ScanFixture() {
        machine.addDrive('E', DriveType::Removable, "PENDRIVE");
        // The data folders that start-up creates.
        machine.addFolder("C:\\Users\\Usuario\\AppData\\Roaming\\varrex");
        machine.addFolder("C:\\Users\\Usuario\\AppData\\Local\\varrex");
    }

    const std::vector<std::string>& lines() const { return log.lines(); }
    // The bytes the program writes for these lines: code page 1252, CR LF after each.
    static std::string ansiFile(const std::vector<std::string>& textLines) {
        std::string out;
        for (const auto& l : textLines) out += platform::utf8ToCp1252(l) + "\r\n";
        return out;
    }
};

}  // namespace vx::test

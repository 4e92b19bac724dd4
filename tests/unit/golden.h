// Whole-run logs compared line by line with expected files under
// tests/golden/. VX_UPDATE_GOLDEN=1 rewrites the files from the current
// output instead; review every rewritten file before keeping it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vx::test {

inline std::filesystem::path goldenFolder(const char* run) {
    return std::filesystem::path(__FILE__).parent_path() / ".." / "golden" / run;
}

inline std::vector<std::string> readLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline void writeLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines) out << line << '\n';
}

// Compares a whole log with its golden file, or rewrites the file when asked.
inline void expectGolden(const std::filesystem::path& file, const std::vector<std::string>& actual) {
    const char* update = std::getenv("VX_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        writeLines(file, actual);
        GTEST_SKIP() << "rewrote " << file.string();
    }
    ASSERT_TRUE(std::filesystem::exists(file)) << "missing golden file " << file.string();
    const std::vector<std::string> expected = readLines(file);
    const size_t common = std::min(expected.size(), actual.size());
    for (size_t i = 0; i < common; ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "first difference at line " << (i + 1) << " of " << file.string();
    }
    ASSERT_EQ(actual.size(), expected.size())
        << "first difference at line " << (common + 1) << " of " << file.string() << ": "
        << (actual.size() > common ? "unexpected \"" + actual[common] + "\"" : "missing \"" + expected[common] + "\"");
}

}  // namespace vx::test

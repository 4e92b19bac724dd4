#include "scan/autorun_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "unit/shortcut_builder.h"

namespace {

using Commands = std::vector<std::pair<std::string, std::string>>;

Commands read(const std::string& bytes) {
    Commands out;
    for (const auto& c : vx::scan::readAutorun(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
        out.emplace_back(c.key, c.command);
    return out;
}

TEST(AutorunReader, ReadsTheCommandKeysOfTheAutorunSections) {
    const std::string file =
        "open=outside.exe\r\n"
        "[Info]\r\n"
        "open=info.exe\r\n"
        "[AUtoRuN]\r\n"
        "; open=commented.exe\r\n"
        "\r\n"
        "  OPEN   =   _\\DeviceManager.exe  \r\n"
        "ShEllExECUte=wscript.exe //e:vbscript x.dat\n"
        "icon=drive.ico\r"
        "shell\\Abrir\\Command = rundll32.exe ~$WQQAS.FAT32,_ldr@16\r"
        "shell\\open\\default=1\n"
        "shell\\\\command=nothing.exe\n"
        "shell\\a\\b\\command=nothing.exe\n"
        "label=Pen\n"
        "[autorun.amd64]\n"
        "open=x64.exe\n"
        "[autorunner]\n"
        "open=not-a-section.exe\n"
        "[Autorun.]\n"
        "open=empty-platform.exe\n"
        "[autorun";
    EXPECT_EQ(read(file), (Commands{
                              {"open", "_\\DeviceManager.exe"},
                              {"shellexecute", "wscript.exe //e:vbscript x.dat"},
                              {"shell\\abrir\\command", "rundll32.exe ~$WQQAS.FAT32,_ldr@16"},
                              {"open", "x64.exe"},
                          }));
}

TEST(AutorunReader, ToleratesJunkNulsAndPadding) {
    std::string file = std::string("\x00\x01\xFF\xFE junk\x00\r\n", 11) + "[autorun]" + std::string(3000, ' ') +
                       "\r\n" + std::string("\x00\x00\x00", 3) + std::string("\x7F\x1Bopen\x00=\x00", 9) + "a.exe\r\n" +
                       std::string(5000, '\n') + "\x80\x90\xFF\r\n" + "shellexecute=Cora\xE7\xE3o \x80.exe\r\n";
    EXPECT_EQ(read(file), (Commands{{"open", "a.exe"}, {"shellexecute", "Cora\u00e7\u00e3o \u20ac.exe"}}));
}

TEST(AutorunReader, DecodesUtf16AndUtf8ByTheirMarks) {
    const std::string text = "[AutoRun]\r\nopen=\u00e7\u00e3o.exe\r\nshell\\x\\command=\U0001F600.exe\r\n";
    EXPECT_EQ(read("\xFF\xFE" + vx::test::utf16le(text)),
              (Commands{{"open", "\u00e7\u00e3o.exe"}, {"shell\\x\\command", "\U0001F600.exe"}}));
    EXPECT_EQ(read("\xEF\xBB\xBF" + text),
              (Commands{{"open", "\u00e7\u00e3o.exe"}, {"shell\\x\\command", "\U0001F600.exe"}}));
    // A lone surrogate and a bad UTF-8 byte become U+FFFD.
    EXPECT_EQ(read("\xFF\xFE" + vx::test::utf16le("[autorun]\nopen=") + std::string("\x00\xD8", 2)),
              (Commands{{"open", "\uFFFD"}}));
    EXPECT_EQ(read("\xEF\xBB\xBF[autorun]\nopen=a\xC3"), (Commands{{"open", "a\uFFFD"}}));
}

TEST(AutorunReader, ReadsOnlyTheFirst64KiB) {
    std::string file = "[autorun]\r\n";
    file += std::string(vx::scan::kMaxAutorunBytes - file.size() - 12, ';') + "\r\n";
    file += "open=cut.exe\r\n";  // crosses the limit: its end is cut off
    file += "shellexecute=beyond.exe\r\n";
    EXPECT_EQ(read(file), (Commands{{"open", "cut.e"}}));
}

}  // namespace

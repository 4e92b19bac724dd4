#include "computer/computer_check.h"

#include <algorithm>

#include "computer/computer_disinfection.h"
#include "computer/computer_texts.h"
#include "scan/scan_texts.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using platform::Icon;
using platform::RegValue;
using ::testing::ElementsAre;
using Kind = memory::DialogRecord::Kind;
using scan::fill;
namespace texts = computer::texts::check;

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kProfile = "C:\\Users\\Usuario";
const std::string kRoaming = kProfile + "\\AppData\\Roaming";
const std::string kLocal = kProfile + "\\AppData\\Local";
const std::string kPrograms = "C:\\Program Files";
const char* const kItemFound = scan::texts::check_routines::FileFound;
const std::string kNoVirusLine = fill(texts::VerdictLine, {texts::NoVirusBox.pt});

std::string heading(const std::string& id) { return fill(texts::StepHeading, {fill(texts::StepType, {id})}); }
std::string found(const std::string& id) { return fill(texts::StepFound, {fill(texts::StepType, {id})}); }
std::string notFound(const std::string& id) { return fill(texts::StepNotFound, {fill(texts::StepType, {id})}); }
std::string process(const char* pattern, const std::string& number) { return fill(pattern, {number}); }

const std::string kLastStepLine = notFound("52");

struct ComputerCheck : ScanFixture {
    scan::SaveDialogMemory saveDialog;

    void run(scan::SaveOffer saveOffer = scan::SaveOffer::Skip) {
        computer::runComputerCheck(ctx, saveOffer, saveDialog);
    }
    long count(const std::string& line) const { return std::count(lines().begin(), lines().end(), line); }
    bool logHas(const std::string& line) const { return count(line) > 0; }
    // The line written right after the first `line`.
    std::string after(const std::string& line) const {
        auto it = std::find(lines().begin(), lines().end(), line);
        return it == lines().end() || it + 1 == lines().end() ? "<none>" : *(it + 1);
    }
    void runValue(RootKey root, const std::string& name, const std::string& text) {
        machine.setText(root, kRun, name, text);
    }
    const memory::DialogRecord& lastBox() const { return machine.transcript().back(); }
};

TEST_F(ComputerCheck, Rundll32IsReportedButIsNoSignAndProcess4IsWrittenTwice) {
    machine.addProcess("rundll32.exe");
    run();
    EXPECT_TRUE(logHas(process(texts::ProcessFound, "3")));
    EXPECT_TRUE(logHas(process(texts::ProcessNotFound, "4")));
    EXPECT_EQ(lines().back(), kNoVirusLine);
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(lastBox().text, texts::NoVirusBox.pt);
    EXPECT_EQ(lastBox().caption, texts::NoVirusCaption.pt);
    EXPECT_EQ(lastBox().icon, Icon::Information);

    machine.addProcess("lulu.exe");
    machine.addProcess("svccscsvc.exe");
    run();
    EXPECT_EQ(count(process(texts::ProcessFound, "4")), 2);
    EXPECT_EQ(count("[VX] - Verificando Computador"), 1) << "the second run starts a fresh log";
    EXPECT_EQ(lastBox().caption, texts::VirusesFoundCaption.pt);
}

TEST_F(ComputerCheck, VerdictBoxesByLanguage) {
    machine.addProcess("wscript.exe");
    machine.addProcess("wscript.exe");
    run();
    EXPECT_TRUE(logHas(process(texts::ProcessFound, "1")));
    EXPECT_EQ(lastBox().text, fill(texts::InfectedBoxText, {texts::VirusesFoundBox.pt, texts::RemovalAdvice}));
    EXPECT_EQ(lastBox().caption, texts::VirusesFoundCaption.pt);
    EXPECT_EQ(lastBox().icon, Icon::Warning);
    EXPECT_EQ(lines().back(), fill(texts::InfectedLine, {texts::VirusesFoundBox.pt, texts::RemovalAdvice}));
    EXPECT_FALSE(machine.isRunning("wscript.exe")) << "the script host is ended before the Portuguese box";

    machine.addProcess("wscript.exe");
    language = scan::kEnglish;
    run();
    EXPECT_EQ(lastBox().text, texts::VirusesFoundBox.en);
    EXPECT_EQ(lastBox().caption, texts::VirusesFoundCaption.en);
    EXPECT_EQ(lastBox().icon, Icon::Warning);
    EXPECT_EQ(lines().end()[-3], kLastStepLine);
    EXPECT_EQ(lines().back(), computer::texts::run_commands::NothingRun.en) << "no verdict line in English";
    EXPECT_TRUE(machine.isRunning("wscript.exe"));

    for (const auto& p : machine.processList())
        if (p.exeName == "wscript.exe") machine.removeProcess(p.pid);
    run();
    EXPECT_EQ(lastBox().text, texts::NoVirusBox.en);
    EXPECT_EQ(lastBox().caption, texts::NoVirusCaption.en);
    EXPECT_EQ(lastBox().icon, Icon::Information);
    EXPECT_EQ(lines().end()[-3], kLastStepLine);
}

TEST_F(ComputerCheck, SaveOfferOnlyWithTheSwitchAndInPortuguese) {
    run(scan::SaveOffer::Skip);
    EXPECT_EQ(machine.transcript().size(), 1u);

    language = scan::kEnglish;
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("C:\\Users\\Usuario\\Documents\\check.txt");
    run(scan::SaveOffer::Make);
    ASSERT_EQ(machine.transcript().size(), 4u);
    EXPECT_EQ(machine.transcript()[2].text, "Deseja salvar o Relatório de Verificação?");
    EXPECT_EQ(machine.transcript()[3].kind, Kind::Save);
    EXPECT_EQ(machine.transcript()[3].save.title, "Salvar Log de Verificação de Computador");
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\Documents\\check.txt"), ansiFile(lines()));
    EXPECT_FALSE(machine.exists(kRoaming + "\\varrex\\vx-pc-07-12-2026-09-15-42.txt")) << "a check keeps no copies";
}

TEST_F(ComputerCheck, RunValueSignsByRootAndLetterCase) {
    runValue(RootKey::LocalMachine, "System", "C:\\Windows\\sys.exe");
    runValue(RootKey::LocalMachine, "Fotos", "C:\\fotos\\praia.jpg");
    runValue(RootKey::LocalMachine, "Maiusculas", "C:\\fotos\\praia.JPG");
    runValue(RootKey::CurrentUser, "Citada", "\"C:\\fotos\\praia.jpg\"");
    runValue(RootKey::CurrentUser, "ComArgumento", "\"C:\\fotos\\praia.jpg\" /s");
    run();
    EXPECT_EQ(after(heading("7")), found("7"));
    EXPECT_EQ(after(heading("8")), notFound("8"));
    EXPECT_EQ(count(found("53")), 1);
    EXPECT_EQ(count(found("54")), 1);
    // Without headings, the image lines close the steps, before the block
    // on what Startup shortcuts and Run values run, and the verdict.
    EXPECT_THAT(std::vector<std::string>(lines().end() - 5, lines().end()),
                ElementsAre(found("53"), found("54"), computer::texts::run_commands::Checking.pt,
                            computer::texts::run_commands::NothingRun.pt,
                            fill(texts::InfectedLine, {texts::VirusesFoundBox.pt, texts::RemovalAdvice})));
}

TEST_F(ComputerCheck, NefcbAnywhereButLiveExeOnlyAsTheBarePath) {
    const std::string live = kRoaming + "\\WindowsUpdate\\Live.exe";
    runValue(RootKey::CurrentUser, "Atualizar", "\"" + live + "\"");
    runValue(RootKey::CurrentUser, "Servico", "rundll32 C:\\Temp\\nefcb.dll,Start");
    runValue(RootKey::CurrentUser, "Outro", "C:\\NEFCB\\x.exe");
    run();
    EXPECT_EQ(after(heading("A1")), notFound("A1"));
    EXPECT_EQ(count(texts::NefcbValueFound), 1);
    EXPECT_FALSE(logHas(notFound("A1.1")));

    machine.deleteKey(RootKey::CurrentUser, kRun);
    machine.createKey(RootKey::CurrentUser, kRun);
    runValue(RootKey::CurrentUser, "Atualizar", live);
    machine.addFolder(kLocal + "\\nefcb");
    run();
    EXPECT_EQ(after(heading("A1")), found("A1"));
    EXPECT_EQ(after(heading("A1.1")), found("A1.1"));
    EXPECT_FALSE(logHas(texts::NefcbValueFound));
}

TEST_F(ComputerCheck, KnownProgramFoldersAreSkippedOnlyByTheirExactName) {
    machine.addFile(kPrograms + "\\Logmein\\a.js", "x");
    machine.addFile(kPrograms + "\\AVG Secure Search\\b.js", "x");
    run();
    EXPECT_EQ(count(kItemFound), 0);
    EXPECT_EQ(after(heading("19")), heading("20"));
    EXPECT_EQ(lines().back(), kNoVirusLine);

    ASSERT_TRUE(machine.fileSystem().move(kPrograms + "\\Logmein", kPrograms + "\\logmein"));
    run();
    // The 64-bit preset's native program folder is the same folder: steps 19 and 20.
    EXPECT_EQ(count(kItemFound), 2);
    EXPECT_EQ(after(heading("19")), kItemFound);
}

TEST_F(ComputerCheck, ChangesNothingAndASecondRunWritesTheSameLines) {
    machine.addProcess("rundll32.exe");
    machine.addProcess("xcv.exe");
    runValue(RootKey::LocalMachine, "System", "C:\\Windows\\sys.exe");
    runValue(RootKey::CurrentUser, "nefcb", "C:\\nefcb\\a.exe");
    machine.addFile(kRoaming + "\\Startup.js", "x", attr::Hidden);
    machine.addFile(kProfile + "\\Jogo\\setup.exe", "MZ");
    machine.addFile(kProfile + "\\Jogo\\run.js", "x");
    machine.addFolder(kLocal + "\\google_i9");
    machine.addFile(kProfile + "\\NTUSER.DAT", "regf", attr::Hidden | attr::System);
    const auto tree = machine.listTree("C:\\");
    const auto values = machine.valueNames(RootKey::CurrentUser, kRun);
    run();
    const auto first = lines();
    EXPECT_EQ(after(heading("1")), notFound("1")) << "AppData is the first entry of the profile";
    EXPECT_TRUE(logHas(found("1")));
    const long profileEntries = std::count_if(tree.begin(), tree.end(), [](const memory::EntryInfo& e) {
        return e.path.starts_with(kProfile + "\\") && e.path.find('\\', kProfile.size() + 1) == std::string::npos;
    });
    EXPECT_EQ(count(found("1")) + count(notFound("1")), profileEntries) << "one line per entry, files included";
    EXPECT_EQ(after(heading("49")), found("49"));
    machine.clearTranscript();
    run();
    EXPECT_EQ(lines(), first);
    EXPECT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.listTree("C:\\"), tree);
    EXPECT_EQ(machine.valueNames(RootKey::CurrentUser, kRun), values);
    EXPECT_TRUE(machine.isRunning("xcv.exe"));
}

TEST_F(ComputerCheck, RunKeysThatCannotBeOpenedHaveNoValuesAndAreNotCreated) {
    machine.denyLocalMachineFullAccess(true);
    runValue(RootKey::LocalMachine, "System", "C:\\Windows\\sys.exe");
    runValue(RootKey::LocalMachine, "Fotos", "C:\\fotos\\praia.jpg");
    machine.deleteKey(RootKey::CurrentUser, kRun);
    run();
    EXPECT_EQ(after(heading("7")), notFound("7"));
    EXPECT_EQ(after(heading("8")), notFound("8"));
    EXPECT_FALSE(logHas(found("53")));
    EXPECT_EQ(lines().back(), kNoVirusLine);
    EXPECT_FALSE(machine.keyExists(RootKey::CurrentUser, kRun));
}

// Little-endian UTF-16 bytes of an ASCII text with its terminating zero.
std::vector<uint8_t> utf16Bytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (char c : text + '\0') bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
    return bytes;
}

TEST_F(ComputerCheck, RunValuesThatAreNotTextAreNeverSigns) {
    const std::string sign = "C:\\nefcb\\foto.jpg";
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
        machine.setValue(root, kRun, "Numero", RegValue::dword(0x6765706a));
        machine.setValue(root, kRun, "Bytes", RegValue::binary(utf16Bytes(sign)));
        machine.setValue(root, kRun, "Varios", RegValue::text(sign, platform::regtype::MultiSz));
    }
    run();
    EXPECT_EQ(after(heading("A1.1")), notFound("A1.1"));
    EXPECT_EQ(lines().back(), kNoVirusLine);

    // A very long command is still text, read to its end.
    runValue(RootKey::LocalMachine, "Longo", std::string(100000, 'a') + ".jpg");
    run();
    EXPECT_EQ(count(found("53")), 1);
}

// A special folder that Windows cannot give, or no temporary folder: the
// steps built on it report absence and touch nothing at the drive root or in
// the current directory, where the relative paths would otherwise lead.
struct ComputerUnavailableFolders : ComputerCheck, ::testing::WithParamInterface<std::vector<int>> {};

TEST_P(ComputerUnavailableFolders, NothingOutsideTheRealFoldersIsSearchedOrDeleted) {
    for (int csidl : GetParam()) machine.failSpecialFolder(csidl);
    machine.setTemporaryPath("");
    for (const std::string& base : {std::string("C:"), kProfile + "\\Downloads"}) {
        for (const char* f : {"x.js", "x.vbs", "x.vbe", "SysinfY2X.db", "dw.dll", "desktop.exe", "lulu.exe",
                              "pccai.lnk", "atajo.lnk", "windows explorer.lnk", "Meu_pc.zip", "breakini.exe",
                              "yotsleks.exe", "DriverAudio.exe", "Lnzyzj.exe", "svccscsvc.exe",
                              "install\\win32.exe", "temp\\y.js", "Microsoft Office\\a.WsF", "Worm\\a.exe",
                              "Worm\\b.js", "google_i9\\k.dat", "google_pdf\\k.dat", "nefcb\\k.dat", "ASX\\k.dat",
                              "WindowsUpdate\\Live.exe"})
            machine.addFile(base + "\\" + f, "x");
    }
    machine.setText(RootKey::CurrentUser, kRun, "Lnzyzj", "C:\\Lnzyzj.exe");
    auto outside = [&] {
        auto all = machine.listTree("C:\\");
        std::erase_if(all, [](const memory::EntryInfo& e) { return e.path.find("\\varrex\\") != std::string::npos; });
        return all;
    };
    const auto before = outside();

    run();
    EXPECT_EQ(outside(), before);
    EXPECT_EQ(lines().back(), kNoVirusLine);

    log.clear();
    machine.clearTranscript();
    computer::runComputerDisinfection(ctx, scan::SaveOffer::Skip, saveDialog);
    EXPECT_EQ(outside(), before) << machine.describe("C:\\");
    namespace removed = computer::texts::disinfection;
    EXPECT_TRUE(logHas(fill(removed::VirusesRemovedLine, {removed::VirusesRemovedBox.pt})))
        << "the Lnzyzj value alone is found";
    EXPECT_EQ(machine.transcript().at(0).text, removed::VirusesRemovedBox.pt);
}

INSTANTIATE_TEST_SUITE_P(Computer, ComputerUnavailableFolders,
                         ::testing::Values(std::vector<int>{26}, std::vector<int>{29, 30, 7, 24},
                                           std::vector<int>{7, 24, 26, 28, 29, 30, 35, 36, 38, 40, 41}));

}  // namespace
}  // namespace vx::test

#include "computer/computer_disinfection.h"

#include <algorithm>
#include <functional>

#include "computer/computer_check.h"
#include "computer/computer_texts.h"
#include "scan/scan_texts.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using platform::Icon;
using platform::RegValue;
using scan::fill;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
namespace texts = computer::texts::disinfection;
namespace removal = scan::texts::worm_removal;
std::string process(const char* pattern, const std::string& tag) { return fill(pattern, {tag}); }

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kProfile = "C:\\Users\\Usuario";
const std::string kRoaming = kProfile + "\\AppData\\Roaming";
const std::string kLocal = kProfile + "\\AppData\\Local";
const std::string kCopyName = "vx-pc-07-12-2026-09-15-42.txt";
const char* const kNothingFound = texts::NoVirusFound.pt;
const std::string kFoundAndDeleted = fill(texts::VirusesRemovedLine, {texts::VirusesRemovedBox.pt});
const char* const kCompleted = "[VX] - Processo Concluído com Sucesso!";
const char* const kSafeMode = texts::SafeModeBox;
const char* const kRestartQuestion = texts::RestartQuestion.pt;
const char* const kSaveQuestion = "Deseja salvar o Relatório?";

struct ComputerDisinfection : ScanFixture {
    scan::SaveDialogMemory saveDialog;

    void run(scan::SaveOffer saveOffer = scan::SaveOffer::Skip) {
        machine.clearTranscript();
        computer::runComputerDisinfection(ctx, saveOffer, saveDialog);
    }
    long count(const std::string& line) const { return std::count(lines().begin(), lines().end(), line); }
    bool logHas(const std::string& line) const { return count(line) > 0; }
    long linesWith(const std::string& part) const {
        return std::count_if(lines().begin(), lines().end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> shown;
        for (const auto& r : machine.transcript()) shown.push_back(r.text);
        return shown;
    }
    long boxes(const std::string& text) const {
        auto t = boxTexts();
        return std::count(t.begin(), t.end(), text);
    }
    void runValue(RootKey root, const std::string& name, const std::string& text) {
        machine.setText(root, kRun, name, text);
    }
    bool hasValue(RootKey root, const std::string& name) const { return machine.value(root, kRun, name).has_value(); }
};

TEST_F(ComputerDisinfection, Rundll32AndNotepadOrCalc) {
    machine.addProcess("rundll32.exe");
    run();
    EXPECT_TRUE(logHas(process(removal::ProcessFinished.pt, "[vx003]")));
    EXPECT_FALSE(machine.isRunning("rundll32.exe"));
    EXPECT_EQ(lines().back(), kCompleted);
    EXPECT_TRUE(logHas(kNothingFound)) << "ending rundll32.exe is no sign of a worm";

    machine.addProcess("notepad.exe");
    machine.addProcess("calc.exe");
    run();
    EXPECT_FALSE(machine.isRunning("notepad.exe"));
    EXPECT_TRUE(machine.isRunning("calc.exe"));
    EXPECT_EQ(linesWith("[vx008]"), 1);
    EXPECT_TRUE(logHas(process(removal::ProcessFinished.pt, "[vx008]")));
    EXPECT_TRUE(logHas(kFoundAndDeleted));

    language = scan::kEnglish;
    run();
    EXPECT_FALSE(machine.isRunning("calc.exe"));
    EXPECT_EQ(count(process(removal::ProcessFinished.en, "[vx008]")), 1);
    EXPECT_TRUE(logHas(process(removal::ProcessNotRunningBlank.en, "[vx003]")));
}

TEST_F(ComputerDisinfection, FoldersWithASmallExecutableAndScriptGoAsAWhole) {
    for (const std::string& folder : {kProfile + "\\Jogo", kRoaming + "\\Cache", kProfile + "\\Documents",
                                     kProfile + "\\Desktop", kProfile + "\\Downloads"}) {
        machine.addFile(folder + "\\setup.exe", "MZ");
        machine.addFile(folder + "\\run.js", "x");
    }
    machine.addFile(kProfile + "\\Jogo\\fotos\\praia.jpg", "JPEG");
    machine.addFileOfSize(kProfile + "\\Grande\\big.exe", (1ull << 31) + 100);
    machine.addFileOfSize(kProfile + "\\Enorme\\huge.exe", (1ull << 32) + 100);  // low 32 bits read as 100
    for (const char* big : {"\\Grande\\a.js", "\\Enorme\\a.js"}) machine.addFile(kProfile + big, "x");
    run();
    EXPECT_FALSE(machine.exists(kProfile + "\\Jogo"));
    EXPECT_FALSE(machine.exists(kRoaming + "\\Cache"));
    EXPECT_TRUE(logHas(fill(texts::PairFolderInfected.pt, {kProfile + "\\Jogo"})));
    EXPECT_TRUE(logHas(fill(texts::PairFolderDeleted.pt, {kProfile + "\\Jogo"})));
    for (const char* kept : {"\\Documents\\run.js", "\\Desktop\\setup.exe", "\\Downloads\\run.js",
                             "\\Grande\\big.exe", "\\Enorme\\huge.exe", "\\Enorme\\a.js"})
        EXPECT_TRUE(machine.exists(kProfile + kept)) << kept;
    EXPECT_EQ(linesWith("está infectada!"), 2);
}

TEST_F(ComputerDisinfection, NefcbValuesAndFolderOnWindows7) {
    runValue(RootKey::CurrentUser, "Servico", "rundll32 C:\\nefcb\\a.dll");
    runValue(RootKey::CurrentUser, "Atualizar", "C:\\x\\nefcb.exe");
    runValue(RootKey::CurrentUser, "Outro", "C:\\NEFCB\\x.exe");
    machine.addFile(kLocal + "\\nefcb\\k.dat", "x");
    run();
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, "Servico"));
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, "Atualizar"));
    EXPECT_TRUE(hasValue(RootKey::CurrentUser, "Outro"));
    EXPECT_TRUE(logHas(fill(texts::StartupValueDeleted, {"Servico"})));
    EXPECT_TRUE(logHas(fill(texts::StartupValueDeleted, {"Atualizar"})));
    EXPECT_FALSE(machine.exists(kLocal + "\\nefcb"));
    EXPECT_EQ(count(fill(texts::FolderDeleted.pt, {kLocal + "\\nefcb\\"})), 1);
    EXPECT_EQ(boxes(kSafeMode), 0);
    EXPECT_TRUE(machine.isRunning("explorer.exe"));
    EXPECT_EQ(linesWith("[explorer.exe]"), 0);
}

TEST_F(ComputerDisinfection, NefcbFolderAloneAndLiveValueAloneAreFound) {
    machine.addFile(kLocal + "\\nefcb\\k.dat", "x");
    run();
    EXPECT_FALSE(machine.exists(kLocal + "\\nefcb")) << "no Run value at all";
    EXPECT_TRUE(logHas(kFoundAndDeleted));

    runValue(RootKey::CurrentUser, "Atualizar", kRoaming + "\\WindowsUpdate\\Live.exe");
    run();
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, "Atualizar"));
    EXPECT_TRUE(logHas(kFoundAndDeleted));
}

TEST_F(ComputerDisinfection, WindowsXpAsksForSafeModeOncePerValueAndEndsExplorer) {
    machine.setText(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName",
                    "Microsoft Windows XP");
    runValue(RootKey::CurrentUser, "A", "C:\\nefcb\\a.exe");
    runValue(RootKey::CurrentUser, "B", "C:\\nefcb\\b.exe");
    runValue(RootKey::CurrentUser, "Atualizar", kRoaming + "\\WindowsUpdate\\Live.exe");
    runValue(RootKey::CurrentUser, "Windows Live", "C:\\a.exe");
    runValue(RootKey::CurrentUser, "Live", "C:\\b.exe");
    machine.addFile(kRoaming + "\\WindowsUpdate\\Live.exe", "MZ");
    run();
    EXPECT_EQ(boxes(kSafeMode), 3);
    EXPECT_FALSE(machine.isRunning("explorer.exe"));
    EXPECT_EQ(count(process(removal::ProcessFinished.pt, "[explorer.exe]")), 1);
    EXPECT_EQ(count(process(removal::ProcessNotRunning.pt, "[explorer.exe]")), 2);
    EXPECT_THAT(machine.valueNames(RootKey::CurrentUser, kRun), IsEmpty());
    EXPECT_TRUE(logHas(fill(texts::StartupValueDeleted, {"Windows Live"})));
    EXPECT_FALSE(machine.exists(kRoaming + "\\WindowsUpdate"));
}

// Little-endian UTF-16 bytes of an ASCII text with its terminating zero.
std::vector<uint8_t> utf16Bytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (char c : text + '\0') bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
    return bytes;
}

TEST_F(ComputerDisinfection, ImageCommandsStartTheTaskDeletionOncePerValue) {
    runValue(RootKey::LocalMachine, "Fotos", "\"C:\\fotos\\praia.jpg\"");
    runValue(RootKey::CurrentUser, "Imagem", "C:\\fotos\\b.jpg");
    runValue(RootKey::CurrentUser, "Maiusculas", "C:\\fotos\\c.JPG");
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
        machine.setValue(root, kRun, "Bytes", RegValue::binary(utf16Bytes("C:\\nefcb\\d.jpg")));
        machine.setValue(root, kRun, "Varios", RegValue::text("C:\\nefcb\\d.jpg", platform::regtype::MultiSz));
        machine.setValue(root, kRun, "Numero", RegValue::dword(1));
    }
    run();
    const std::string command = "cmd /c schtasks /delete /tn \"Google Security\" /f";
    EXPECT_THAT(machine.startedCommands(), ElementsAre(command, command));
    EXPECT_FALSE(hasValue(RootKey::LocalMachine, "Fotos"));
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, "Imagem"));
    EXPECT_TRUE(logHas(fill(texts::ImageCommandDeleted.pt, {"Fotos"})));
    EXPECT_TRUE(logHas(fill(texts::ImageCommandDeleted.pt, {"Imagem"})));
    EXPECT_TRUE(hasValue(RootKey::CurrentUser, "Maiusculas"));
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine})
        for (const char* name : {"Bytes", "Varios", "Numero"}) EXPECT_TRUE(hasValue(root, name)) << name;
}

TEST_F(ComputerDisinfection, LnzyzjValueWithoutItsFiles) {
    runValue(RootKey::CurrentUser, "Lnzyzj", "C:\\x.exe");
    run();
    EXPECT_TRUE(logHas(texts::LnzyzjValueDeleted.pt));
    EXPECT_TRUE(logHas(fill(texts::LnzyzjUserFileNotDeleted.pt, {kRoaming})));
    EXPECT_TRUE(logHas(fill(texts::LnzyzjUserFileNotDeleted.pt, {kLocal})));
    EXPECT_EQ(count(texts::LnzyzjValueNotFound.pt), 1) << "HKLM";
    EXPECT_TRUE(logHas(kFoundAndDeleted)) << "failures do not count as a failed removal";

    runValue(RootKey::LocalMachine, "Lnzyzj", "C:\\x.exe");
    run();
    EXPECT_TRUE(logHas(fill(texts::LnzyzjMachineFileNotDeleted.pt, {kRoaming})));
    EXPECT_TRUE(logHas(fill(texts::LnzyzjMachineLaterFileNotDeleted.pt, {kLocal})));

    language = scan::kEnglish;
    runValue(RootKey::CurrentUser, "Lnzyzj", "C:\\x.exe");
    runValue(RootKey::LocalMachine, "Lnzyzj", "C:\\x.exe");
    machine.addFile(kRoaming + "\\Lnzyzj.exe", "MZ", attr::ReadOnly | attr::Hidden);
    run();
    EXPECT_FALSE(machine.exists(kRoaming + "\\Lnzyzj.exe"));
    EXPECT_TRUE(logHas(fill(texts::LnzyzjFileDeleted.en, {kRoaming})));
    EXPECT_TRUE(logHas(fill(texts::LnzyzjUserFileNotDeleted.en, {kLocal})));
    EXPECT_TRUE(logHas(fill(texts::LnzyzjMachineFileNotDeleted.en, {kRoaming})));
}

TEST_F(ComputerDisinfection, KeysThatCannotBeOpenedAreLeftAndReportedAbsent) {
    machine.denyLocalMachineFullAccess(true);
    for (const char* name : {"Lnzyzj", "HKLM", "System", "xcv.exe", "Microsoft Excel"})
        runValue(RootKey::LocalMachine, name, "C:\\x.exe");
    runValue(RootKey::LocalMachine, "Fotos", "C:\\a.jpg");
    const std::string restore = "Software\\Policies\\Microsoft\\Windows NT\\SystemRestore";
    machine.setValue(RootKey::LocalMachine, restore, "DisableConfig", RegValue::dword(1));
    machine.deleteKey(RootKey::CurrentUser, kRun);
    run(scan::SaveOffer::Make);
    EXPECT_FALSE(machine.keyExists(RootKey::CurrentUser, kRun)) << "a missing Run key is never created";
    EXPECT_EQ(machine.valueNames(RootKey::LocalMachine, kRun).size(), 6u);
    EXPECT_TRUE(machine.value(RootKey::LocalMachine, restore, "DisableConfig").has_value());
    EXPECT_EQ(count(texts::LnzyzjValueNotFound.pt), 2);
    EXPECT_TRUE(logHas("[VX] - Chave de Registro DisableConfig não Encontrada!"));
    EXPECT_THAT(machine.startedCommands(), IsEmpty());
    EXPECT_TRUE(logHas(kNothingFound));
    EXPECT_EQ(lines().back(), kCompleted);
    EXPECT_THAT(boxTexts(), ElementsAre(texts::NoVirusBox.pt, kSaveQuestion));
}

const char* const kDriverAudioBox = texts::DriverAudioBox;

struct ComputerDriverAudio : ComputerDisinfection {
    const std::string folder = "C:\\Ferramentas";
    const std::string script = folder + "\\Varrex - DriverAudio.reg";
    ComputerDriverAudio() {
        machine.addFile(folder + "\\Varrex.exe", "MZ");
        machine.setProgramPath(folder + "\\Varrex.exe");
        machine.addFile(kLocal + "\\DriverAudio.exe", "MZ");
        machine.lockFile(kLocal + "\\DriverAudio.exe");
    }
    void expectBoxAndClosing() {
        ASSERT_EQ(machine.transcript().size(), 1u);
        EXPECT_EQ(machine.transcript()[0].text, kDriverAudioBox);
        EXPECT_EQ(machine.transcript()[0].caption, texts::DriverAudioCaption);
        EXPECT_EQ(machine.transcript()[0].icon, Icon::Warning);
        for (const std::string& verdict :
             {std::string(kNothingFound), std::string(texts::NoVirusFound.en), kFoundAndDeleted,
              fill(texts::VirusesRemovedLine, {texts::VirusesRemovedBox.en}), std::string(texts::RunAsAdministrator.pt),
              std::string(texts::RunAsAdministrator.en)})
            EXPECT_FALSE(logHas(verdict)) << verdict;
        EXPECT_TRUE(machine.exists(kRoaming + "\\varrex\\" + kCopyName));
        EXPECT_EQ(lines().back(), ctx.say(kCompleted, "[VX] - Process Completed Successfully!"));
    }
};

TEST_F(ComputerDriverAudio, SurvivorWritesTheScriptBesideTheProgramAndShowsOnlyItsBox) {
    machine.addFile(script, "old");
    language = scan::kEnglish;
    run();
    EXPECT_TRUE(logHas(fill(scan::texts::startup_entries::FileNotDeleted, {kLocal + "\\DriverAudio.exe"})));
    EXPECT_TRUE(logHas(texts::DriverAudioFound));
    EXPECT_EQ(machine.content(script),
              "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
              "NT\\CurrentVersion\\Schedule\\TaskCache\\Tree\\DriverAudio]\r\n");
    expectBoxAndClosing();
}

TEST_F(ComputerDriverAudio, UnwritableProgramFolderIsReportedAndTheRunGoesOn) {
    machine.failPath(folder);
    run();
    EXPECT_FALSE(machine.exists(script));
    EXPECT_EQ(linesWith(script), 1);
    EXPECT_THAT(lines()[lines().size() - 2], HasSubstr("Não foi possível gravar o arquivo " + script));
    expectBoxAndClosing();

    language = scan::kEnglish;
    run();
    EXPECT_THAT(lines()[lines().size() - 2], HasSubstr("Could not write the file " + script));
    expectBoxAndClosing();
}

TEST_F(ComputerDisinfection, RestartIsAskedOnlyWhenASignNeedsIt) {
    const std::vector<std::function<void()>> signs = {
        [&] { runValue(RootKey::CurrentUser, "Microsoft Excel", "C:\\a.WsF"); },
        [&] { runValue(RootKey::LocalMachine, "Microsoft Excel", "C:\\a.WsF"); },
        [&] { runValue(RootKey::CurrentUser, "HKCU", "C:\\a.exe"); },
        [&] { runValue(RootKey::LocalMachine, "HKLM", "C:\\a.exe"); },
        [&] { machine.addFile("C:\\Windows\\SysWOW64\\install\\win32.exe", "MZ"); },
    };
    for (size_t i = 0; i < signs.size(); ++i) {
        signs[i]();
        machine.answerNext(Answer::Yes);
        run();
        EXPECT_THAT(boxTexts(), ElementsAre(testing::_, kRestartQuestion)) << i;
        EXPECT_EQ(machine.transcript().back().caption, texts::RestartCaption.pt);
        EXPECT_EQ(machine.transcript().back().buttons, platform::Buttons::YesNo);
        EXPECT_EQ(machine.restarts(), std::vector<unsigned>(i + 1, 2u)) << i;
    }
    run(scan::SaveOffer::Make);  // nothing left: no question, the save offer follows the verdict
    EXPECT_THAT(boxTexts(), ElementsAre(texts::NoVirusBox.pt, kSaveQuestion));

    language = scan::kEnglish;
    signs[0]();
    run(scan::SaveOffer::Make);  // No leaves Windows running and leads on to the save offer
    EXPECT_THAT(boxTexts(),
                ElementsAre(texts::VirusesRemovedBox.en, texts::RestartQuestion.en, "Want to save the report?"));
    EXPECT_EQ(machine.restarts().size(), signs.size());
}

TEST_F(ComputerDisinfection, AutomaticCopiesLeaveOutTheClosingLineTheSavedReportHasIt) {
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog(kProfile + "\\Documents\\limpeza.txt");
    run(scan::SaveOffer::Make);
    ASSERT_EQ(lines().back(), kCompleted);
    const std::vector<std::string> copied(lines().begin(), lines().end() - 1);
    EXPECT_EQ(copied.back(), kNothingFound);
    for (const std::string& folder : {kRoaming, kLocal})
        EXPECT_EQ(machine.content(folder + "\\varrex\\" + kCopyName), ansiFile(copied)) << folder;
    EXPECT_EQ(machine.content(kProfile + "\\Documents\\limpeza.txt"), ansiFile(lines()));
    EXPECT_EQ(machine.transcript().at(0).caption, texts::NoVirusCaption.pt);
    EXPECT_EQ(machine.transcript().at(0).icon, Icon::Information);
}

TEST_F(ComputerDisinfection, CompanionFolderThatSurvivesAsksForAdministrator) {
    machine.addFile(kLocal + "\\google_i9\\k.dat", "x");
    machine.lockFile(kLocal + "\\google_i9\\k.dat");
    machine.addFile(kRoaming + "\\google_pdf\\k.dat", "x");
    run();
    EXPECT_TRUE(logHas(fill(texts::CompanionFolderNotDeleted.pt, {kLocal + "\\google_i9\\"})));
    EXPECT_TRUE(logHas(fill(texts::CompanionFolderDeleted.pt, {kRoaming + "\\google_pdf\\"})));
    EXPECT_FALSE(machine.exists(kRoaming + "\\google_pdf"));
    const std::vector<std::string> tail(lines().end() - 3, lines().end() - 1);
    EXPECT_THAT(tail, ElementsAre(texts::SomeNotDisinfected.pt, texts::RunAsAdministrator.pt));
    EXPECT_EQ(machine.transcript().at(0).text, texts::SomeNotDisinfectedBox.pt);
    EXPECT_EQ(machine.transcript().at(0).caption, texts::HeadsUpCaption.pt);

    language = scan::kEnglish;
    run();
    EXPECT_TRUE(logHas(fill(texts::CompanionFolderNotDeleted.en, {kLocal + "\\google_i9\\"})));
    EXPECT_EQ(machine.transcript().at(0).text, texts::SomeNotDisinfectedBox.en);
    EXPECT_EQ(machine.transcript().at(0).caption, texts::HeadsUpCaption.en);
}

TEST_F(ComputerDisinfection, NothingBehindAJunctionIsDeleted) {
    machine.addFile("C:\\Fora\\setup.exe", "MZ");
    machine.addFile("C:\\Fora\\run.js", "x");
    machine.addFile("C:\\Fora\\tese.docx", "tese");
    machine.addLink(kProfile + "\\Atalho", "C:\\Fora");
    machine.addLink(kRoaming + "\\Atalho", "C:\\Fora");
    machine.addLink("C:\\Program Files\\Ferramenta", "C:\\Fora");
    // A worm folder holding a junction: the junction's target stays whole.
    machine.addFile(kProfile + "\\Jogo\\setup.exe", "MZ");
    machine.addFile(kProfile + "\\Jogo\\run.js", "x");
    machine.addFile("C:\\Dados\\tese.docx", "tese");
    machine.addLink(kProfile + "\\Jogo\\dados", "C:\\Dados");
    const auto fora = machine.listTree("C:\\Fora");
    const auto dados = machine.listTree("C:\\Dados");
    run();
    EXPECT_EQ(machine.listTree("C:\\Fora"), fora);
    EXPECT_EQ(machine.listTree("C:\\Dados"), dados);
    EXPECT_FALSE(logHas(fill(texts::PairFolderInfected.pt, {kProfile + "\\Atalho"})));

    computer::runComputerCheck(ctx, scan::SaveOffer::Skip, saveDialog);
    EXPECT_FALSE(logHas(scan::texts::check_routines::FileFound)) << "the check does not search behind links";
    EXPECT_EQ(machine.listTree("C:\\Fora"), fora);
}

}  // namespace
}  // namespace vx::test

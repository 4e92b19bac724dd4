#include "app/form1.h"

#include "kept_run_builder.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using app::Event;
using app::TForm1;
using platform::Icon;
using ::testing::ElementsAre;
using Kind = memory::DialogRecord::Kind;

const std::string kSettings = "C:\\Users\\Usuario\\AppData\\Roaming\\varrex\\parametros.ini";

struct MainWindow : ::testing::Test {
    memory::Machine machine;
    TForm1 form{machine.platform()};

    MainWindow() {
        machine.addDrive('D', DriveType::CdRom, "DVD");
        machine.addDrive('E', DriveType::Removable, "PENDRIVE");
    }
    const std::vector<std::string>& log() { return form.Memo1.lines(); }
};

TEST_F(MainWindow, StartUpInOrder) {
    machine.setSpecialFolder(40, "D:\\Perfis\\Ana");
    machine.addFile(kSettings, "0\r\n1\r\n");
    machine.addProcess("wscript.exe");
    machine.addProcess("XCV.EXE");
    machine.addProcess("rundll32.exe");
    const std::vector<std::string> tips = log();

    form.FormCreate();

    EXPECT_EQ(form.StaticText1.caption, "Versão 2.7.5");
    EXPECT_EQ(form.BitBtn7.caption, " Verificar &Computador\r Unidade: D:\\");
    EXPECT_EQ(form.BitBtn2.caption, " Desinfectar Com&putador\r Unidade: D:\\");
    EXPECT_TRUE(machine.exists("C:\\Users\\Usuario\\AppData\\Roaming\\varrex"));
    EXPECT_TRUE(machine.exists("C:\\Users\\Usuario\\AppData\\Local\\varrex"));
    EXPECT_FALSE(form.CheckBox1.checked);
    EXPECT_TRUE(form.CheckBox2.checked);
    EXPECT_EQ(form.language, scan::kPortuguese);
    EXPECT_EQ(form.BitBtn13.font, app::colors::Grey);
    EXPECT_EQ(form.BitBtn14.font, app::colors::Black);
    EXPECT_FALSE(machine.isRunning("wscript.exe"));
    EXPECT_FALSE(machine.isRunning("xcv.exe"));
    EXPECT_FALSE(machine.isRunning("rundll32.exe"));
    EXPECT_EQ(log(), tips) << "start-up writes nothing to the log";
    EXPECT_EQ(log().front(), ">>> Dicas:");
    EXPECT_EQ(log().back(),
              ">>> [Varrex - Versão 2.7.5] - Compatibilidade: Windows, XP, 7, 8, 10, 11 e Server - 32 ou 64 Bits");
    EXPECT_EQ(form.Form1.caption, " Varrex");
    // C: holds Windows and D: is a DVD drive: only E: is left, and chosen.
    EXPECT_THAT(form.DriveComboBox1.items, ElementsAre("E:"));
    EXPECT_THAT(form.DriveComboBox2.items, ElementsAre("E:"));
    EXPECT_EQ(form.deviceRoot1, "E:\\");
    EXPECT_EQ(form.deviceRoot2, "E:\\");
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(MainWindow, StartUpWithoutSettingsFileOrDrivesOrProfile) {
    machine.removeDrive('E');
    machine.failSpecialFolder(40);
    form.FormCreate();
    EXPECT_TRUE(form.CheckBox1.checked && form.CheckBox2.checked);
    EXPECT_EQ(machine.content(kSettings), "1\r\n1\r\n");
    EXPECT_EQ(form.BitBtn7.caption, " Verificar &Computador\r Unidade: ");
    EXPECT_TRUE(form.DriveComboBox1.items.empty());
    EXPECT_EQ(form.DriveComboBox2.text(), "");
    EXPECT_EQ(form.deviceRoot1, "");
    EXPECT_EQ(form.deviceRoot2, "");
}

TEST_F(MainWindow, PruningSkipsNoEntryAndKeepsOtherDriveKinds) {
    machine.addDrive('F', DriveType::CdRom, "");
    machine.addDrive('G', DriveType::Fixed, "Dados");
    machine.addDrive('H', DriveType::Remote, "\\\\srv\\pub");
    machine.addDrive('R', DriveType::RamDisk, "");
    form.FormCreate();
    // C: (Windows), then D: and F: (two DVD drives in a row) go.
    EXPECT_THAT(form.DriveComboBox2.items, ElementsAre("E:", "G: [DADOS]", "H: \\\\SRV\\PUB", "R:"));
    EXPECT_EQ(form.DriveComboBox2.selected, 0);

    // A drive plugged in later shows only after the detect-drives button of its group.
    machine.addDrive('K', DriveType::Removable, "");
    form.DriveComboBox2.selected = 1;
    form.SpeedButton1Click();
    EXPECT_THAT(form.DriveComboBox1.items, ElementsAre("E:", "G: [DADOS]", "H: \\\\SRV\\PUB", "K:", "R:"));
    EXPECT_EQ(form.DriveComboBox2.items.size(), 4u);
    form.SpeedButton3Click();
    EXPECT_EQ(form.DriveComboBox2.items.size(), 5u);
    EXPECT_EQ(form.DriveComboBox2.selected, 0) << "the first entry is selected again";
    EXPECT_EQ(form.deviceRoot2, "E:\\") << "detecting drives changes no device root";
}

TEST_F(MainWindow, LanguageButtons) {
    form.FormCreate();
    machine.addProcess("wscript.exe");
    form.Memo1.append("a line of an earlier run");
    const auto before = log();
    form.BitBtn13Click();  // Portuguese is already in force: nothing at all changes
    EXPECT_EQ(log(), before);
    EXPECT_EQ(form.Form1.caption, " Varrex");
    EXPECT_TRUE(machine.isRunning("wscript.exe"));

    form.BitBtn14Click();
    EXPECT_EQ(form.language, scan::kEnglish);
    EXPECT_EQ(form.Form1.caption, " Varrex - Remove Viruses and Other Shortcuts Creates");
    EXPECT_EQ(form.BitBtn7.caption, " Check &Computer\r Unit: C:\\");
    EXPECT_EQ(form.BitBtn2.caption, " Disinfect Com&puter\r Unit: C:\\");
    EXPECT_EQ(form.Label20.caption, " Temporary Folders ");
    EXPECT_EQ(form.Button4.caption, " Cleaning Make Folders ");
    EXPECT_EQ(form.StaticText1.caption, "Version 2.7.5");
    EXPECT_EQ(form.BitBtn14.font, app::colors::Grey);
    EXPECT_EQ(form.BitBtn13.font, app::colors::Black);
    EXPECT_FALSE(machine.isRunning("wscript.exe"));
    ASSERT_EQ(log().size(), 10u);
    EXPECT_EQ(log()[0], ">>> Tips:");
    EXPECT_EQ(log()[3],
              "- When you mentioned \"Device\" or \"External Media\", is referring to Pen-Drives, External Hard Drives, "
              "Memory Cards, among others.");
    EXPECT_EQ(log()[9], ">>> [Varrex - Version: 2.7.5 - ] - Compatibility: Windows XP, 7, 8, 10 and Server - 32 or 64 Bits");

    form.BitBtn14Click();
    EXPECT_EQ(log().size(), 10u);

    form.BitBtn13Click();
    EXPECT_EQ(form.Form1.caption, " Varrex - Remove Vírus que Cria Atalhos e Outros");
    EXPECT_EQ(form.Label20.caption, " Pastas Temporárias ");
    EXPECT_EQ(form.GroupBox6.caption, " Processos em Execução / Nome - ID ");
    EXPECT_EQ(form.BitBtn16.caption, "Salvar Alterações");
    EXPECT_EQ(log()[3],
              "- Quando for mencionado \"Dispositivo\" ou \"Mídia Externa\", estará se referindo a Pen-Drives, HDs "
              "Externos, Cartões deMemória, entre outros.");
    EXPECT_EQ(log()[9],
              ">>> [Varrex - Versão: 2.7.5 - ] - Compatibilidade: Windows XP, 7, 8, 10 e Server - 32 ou 64 Bits");
    EXPECT_EQ(form.DriveComboBox1.hint, "Insira o Pen-Drive antes de executar o Varrex");
}

TEST_F(MainWindow, InstructionsWindowIsOneAtATime) {
    form.FormCreate();
    form.BitBtn3Click();
    auto* first = form.form_instrucoes.get();
    form.BitBtn3Click();
    form.BitBtn3Click();
    EXPECT_EQ(form.form_instrucoes.get(), first);
    EXPECT_EQ(first->timesShown, 3);
    form.form_instrucoesClose();
    EXPECT_EQ(form.form_instrucoes, nullptr);
    form.BitBtn3Click();
    EXPECT_EQ(form.form_instrucoes->timesShown, 1);
    EXPECT_EQ(app::Tform_instrucoes::text().size(), 32u);
    EXPECT_EQ(app::Tform_instrucoes::text().back(), ">>> [Varrex - Versão 2.7.5]");
}

TEST_F(MainWindow, F11OnTheInstructionsButtonCreditsTheDeveloper) {
    form.FormCreate();
    EXPECT_FALSE(form.raise(form.BitBtn3, Event::KeyDown, {.key = 112}));  // F1
    EXPECT_FALSE(form.raise(form.BitBtn3, Event::KeyDown, {.key = 123}));  // F12
    EXPECT_TRUE(machine.transcript().empty());
    EXPECT_TRUE(form.raise(form.BitBtn3, Event::KeyDown, {.key = 122}));
    form.BitBtn14Click();
    EXPECT_TRUE(form.BitBtn3KeyDown(122));
    ASSERT_EQ(machine.transcript().size(), 2u);
    EXPECT_EQ(machine.transcript()[0].caption, "Desenvolvedor");
    EXPECT_EQ(machine.transcript()[1].caption, "Developed");
    EXPECT_EQ(machine.transcript()[0].icon, Icon::Information);
    EXPECT_NE(machine.transcript()[0].text.find(app::links::SupportEmail), std::string::npos);
}

// The view hands every event to its control, which calls the slot it binds.
TEST_F(MainWindow, EventsReachTheSlotsOfTheirControls) {
    machine.addDrive('G', DriveType::Fixed, "Dados");
    form.FormCreate();
    ASSERT_TRUE(form.CheckBox2.checked);
    EXPECT_TRUE(form.raise(form.CheckBox2, Event::Click));
    EXPECT_FALSE(form.CheckBox2.checked) << "a click asks for the state opposite to the one held";
    form.raise(form.CheckBox2, Event::Click);
    EXPECT_TRUE(form.CheckBox2.checked);

    EXPECT_TRUE(form.raise(form.Label18, Event::MouseEnter));
    EXPECT_EQ(form.Label18.font, app::colors::Navy);
    form.raise(form.Label18, Event::MouseLeave);
    EXPECT_EQ(form.Label18.font, app::colors::Teal);

    EXPECT_TRUE(form.raise(form.DriveComboBox2, Event::Select, {.selection = {1}}));
    EXPECT_EQ(form.DriveComboBox2.text(), "G: [DADOS]");
    EXPECT_EQ(form.deviceRoot2, "E:\\") << "choosing an entry moves only the selection";

    EXPECT_TRUE(form.raise(form.BitBtn3, Event::Click));
    ASSERT_NE(form.form_instrucoes, nullptr);
    EXPECT_FALSE(form.Label22.binds(Event::Click));
    EXPECT_FALSE(form.raise(form.Label22, Event::Click)) << "a label without a handler";
    EXPECT_FALSE(form.raise(form.BitBtn9, Event::MouseEnter));
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(MainWindow, SessionEndAsksInPortugueseAlways) {
    form.FormCreate();
    form.BitBtn14Click();
    machine.answerNext(Answer::No);
    EXPECT_FALSE(form.WMQueryEndSession());
    machine.answerNext(Answer::Yes);
    EXPECT_TRUE(form.WMQueryEndSession());
    ASSERT_EQ(machine.transcript().size(), 2u);
    EXPECT_EQ(machine.transcript()[0].text, "O Windows deseja desligar agora, Permitir ?");
    EXPECT_EQ(machine.transcript()[0].caption, "Confirm");
    EXPECT_EQ(machine.transcript()[0].icon, Icon::Question);
}

TEST_F(MainWindow, CloseDeletesTheHistoryFileBesideTheProgram) {
    machine.addFile("C:\\Users\\Usuario\\Downloads\\iphist.dat", "x");
    form.FormCreate();
    form.FormClose();
    EXPECT_FALSE(machine.exists("C:\\Users\\Usuario\\Downloads\\iphist.dat"));
    EXPECT_TRUE(machine.exists("C:\\Users\\Usuario\\Downloads\\Varrex.exe"));
    form.FormClose();  // nothing there: no complaint
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(MainWindow, CopyToDesktopReplacesAndTellsTheOutcome) {
    form.FormCreate();
    const std::string target = "C:\\Users\\Usuario\\Desktop\\Varrex.exe";
    machine.addFile(target, "old copy");
    form.BitBtn12Click();
    EXPECT_EQ(machine.content(target), machine.content("C:\\Users\\Usuario\\Downloads\\Varrex.exe"));
    form.BitBtn14Click();
    form.BitBtn12Click();
    ASSERT_EQ(machine.transcript().size(), 2u);
    EXPECT_EQ(machine.transcript()[0].text, "Arquivo copiado com sucesso!");
    EXPECT_EQ(machine.transcript()[0].caption, "Aviso");
    EXPECT_EQ(machine.transcript()[1].text, "File copied successfully!");
    EXPECT_EQ(machine.transcript()[1].caption, "Warnig");

    machine.failPath("C:\\Users\\Usuario\\Desktop");
    form.BitBtn12Click();
    ASSERT_EQ(machine.transcript().size(), 3u);
    EXPECT_EQ(machine.transcript()[2].icon, Icon::Warning) << "a failed copy is not reported as done";
}

TEST_F(MainWindow, ProgramPathLabelAndLinks) {
    form.FormCreate();
    EXPECT_EQ(form.Label19.caption, "Caminho");
    form.TabSheet3Show();
    EXPECT_EQ(form.Label19.caption, "C:\\Users\\Usuario\\Downloads");
    form.Label19Click();
    EXPECT_THAT(machine.explored(), ElementsAre("C:\\Users\\Usuario\\Downloads"));
    machine.setProgramPath("E:\\Varrex.exe");
    form.TabSheet3Show();
    EXPECT_EQ(form.Label19.caption, "E:\\");

    form.Label2DblClick();
    form.Label4Click();
    form.Label18Click();
    form.Panel3Click();
    EXPECT_EQ(machine.opened().size(), 4u);
    EXPECT_TRUE(form.Memo1.size() == 11u) << "links write nothing to the log";

    form.Label19MouseMove();
    EXPECT_EQ(form.Label19.font, app::colors::Navy);
    form.Label19MouseLeave();
    EXPECT_EQ(form.Label19.font, app::colors::Maroon);
    form.Label18MouseEnter();
    form.Label18MouseLeave();
    EXPECT_EQ(form.Label18.font, app::colors::Teal);
    form.Label2MouseEnter();
    EXPECT_EQ(form.Label2.font, app::colors::Navy);
    form.Label2MouseLeave();
    EXPECT_EQ(form.Label2.font, app::colors::Black);
}

TEST_F(MainWindow, SaveSettingsButton) {
    form.FormCreate();
    form.CheckBox1Click(false);
    form.BitBtn16Click();
    EXPECT_EQ(machine.content(kSettings), "0\r\n1\r\n0\r\n");
    EXPECT_FALSE(form.CheckBox1.checked);

    machine.fileSystem().deleteFile(kSettings).ignore();
    form.CheckBox2Click(false);
    form.BitBtn16Click();
    EXPECT_EQ(machine.content(kSettings), "1\r\n1\r\n0\r\n");
    EXPECT_TRUE(form.CheckBox1.checked && form.CheckBox2.checked);
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(MainWindow, DeviceRunsUseTheirGroupsDriveAndSwitch) {
    machine.addFolder("C:\\Users\\Usuario\\AppData\\Roaming\\varrex");
    machine.addFile(kSettings, "0\r\n1\r\n");
    machine.addDrive('F', DriveType::Removable, "OUTRO");
    machine.addFolder("F:\\.Trashes");
    form.FormCreate();
    form.DriveComboBox1.selected = 1;  // F: in the removal group
    form.BitBtn9Click();               // checks E:, no save question
    EXPECT_EQ(form.deviceRoot2, "E:\\");
    EXPECT_EQ(log().at(2), "[VX] - Verificando Dispositivo Externo - Unidade: E:\\");
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].caption, "Resultado");

    form.BitBtn1Click();  // disinfects F: and asks to save
    EXPECT_EQ(form.deviceRoot1, "F:\\");
    EXPECT_EQ(form.recoveryPath, "F:\\RECUPERADOS\\");
    EXPECT_TRUE(machine.exists("F:\\RECUPERADOS"));
    ASSERT_EQ(machine.transcript().size(), 3u);
    EXPECT_EQ(machine.transcript()[2].text, "Deseja salvar o Relatório?");
}

TEST_F(MainWindow, ToolsTabShowsFoldersSizesAndProcesses) {
    form.FormCreate();
    machine.addFile("C:\\Users\\Usuario\\AppData\\Local\\Temp\\a.tmp", std::string(1536, 'x'));
    form.TabSheet2Show();
    EXPECT_EQ(form.Label20.caption, "C:\\Users\\Usuario\\AppData\\Local\\Temp\\");
    EXPECT_EQ(form.Label21.caption, "C:\\Windows\\temp\\");
    EXPECT_EQ(form.Label22.caption, "Espaço ocupado: 1,50 KB");
    EXPECT_FALSE(form.ListBox1.items.empty());
    EXPECT_EQ(form.ListBox1.lines().front(), "C:\\Users\\Usuario\\Downloads\\Varrex.exe");

    form.Label20MouseEnter();
    EXPECT_EQ(form.Label20.font, app::colors::Navy);
    form.Label20MouseLeave();
    EXPECT_EQ(form.Label20.font, app::colors::Black);
    form.Label21Click();
    EXPECT_THAT(machine.explored(), ElementsAre("C:\\Windows\\temp\\"));

    // After a language switch the captions are words, not paths: the clean-up
    // finds no folder and deletes nothing, whatever the current folder holds.
    form.BitBtn14Click();
    machine.addFile("C:\\Users\\Usuario\\Downloads\\ Temporary Folders \\keep.txt", "keep");
    form.Button4Click();
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\Downloads\\ Temporary Folders \\keep.txt"), "keep");
    EXPECT_TRUE(machine.exists("C:\\Users\\Usuario\\AppData\\Local\\Temp\\a.tmp"));
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(MainWindow, QuarantineTabCaptionsFollowTheLanguage) {
    form.FormCreate();
    EXPECT_EQ(form.TabSheet4.parent, &form.PageControl1);
    EXPECT_EQ(form.TabSheet4.caption, " Quarentena ");
    EXPECT_EQ(form.Button5.caption, " Restaurar Selecionados ");
    form.TabSheet4Show();
    EXPECT_EQ(form.Label24.caption, "Tamanho total: 0B");
    form.BitBtn14Click();
    EXPECT_EQ(form.TabSheet4.caption, " Quarantine ");
    EXPECT_EQ(form.Button5.caption, " Restore Selected ");
    EXPECT_EQ(form.Button6.caption, " Restore All ");
    EXPECT_EQ(form.Button7.caption, " Delete for Good ");
    EXPECT_EQ(form.Label24.caption, "Total size: 0B") << "the size shown stays";
    form.BitBtn13Click();
    EXPECT_EQ(form.Button6.caption, " Restaurar Tudo ");
    EXPECT_EQ(form.Button7.caption, " Excluir Definitivamente ");
}

TEST_F(MainWindow, QuarantineTabRestoresTheChosenItemsAndRefreshes) {
    const std::string desk = "C:\\Users\\Usuario\\Desktop\\";
    KeptRunBuilder(machine, "01-12-2026-08-00-00", KeptRunBuilder::computerRun("01/12/2026", "08:00:00"))
        .file(desk + "old.txt", "old")
        .write();
    KeptRunBuilder(machine, "07-12-2026-09-15-42", KeptRunBuilder::computerRun())
        .file(desk + "a.txt", "A")
        .file(desk + "b.txt", "B")
        .file(desk + "c.txt", "C")
        .write();
    form.FormCreate();
    form.TabSheet4Show();
    ASSERT_EQ(form.ListBox2.items.size(), 2u);
    EXPECT_EQ(form.ListBox2.items[0].substr(0, 19), "07/12/2026 09:15:42") << "newest first, and chosen";
    EXPECT_EQ(form.ListBox2.selected, 0);
    EXPECT_EQ(form.ListBox3.items.size(), 3u);
    EXPECT_EQ(form.Label24.caption.substr(0, 15), "Tamanho total: ");

    form.raise(form.ListBox3, Event::Select, {.selection = {2, 0, 7}});
    EXPECT_THAT(form.ListBox3.selected, ElementsAre(0, 2)) << "in order, within the list";
    form.Button5Click();
    EXPECT_EQ(machine.content(desk + "a.txt"), "A");
    EXPECT_FALSE(machine.exists(desk + "b.txt"));
    EXPECT_EQ(machine.content(desk + "c.txt"), "C");
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].text, "Itens restaurados: 2");
    EXPECT_EQ(machine.transcript()[0].caption, "Resultado");
    EXPECT_EQ(machine.transcript()[0].icon, Icon::Information);
    EXPECT_EQ(form.ListBox3.items.size(), 1u) << "the tab shows what is left";
    EXPECT_TRUE(form.ListBox3.selected.empty());

    form.raise(form.ListBox2, Event::Select, {.selection = {1}});  // the choice, then the click
    ASSERT_EQ(form.ListBox3.items.size(), 1u);
    EXPECT_EQ(form.ListBox3.items[0], "Arquivo - " + desk + "old.txt - 3B");

    // Restore All: the "old" run, and the last of the other, whose place is now taken.
    machine.addFile(desk + "b.txt", "taken");
    machine.failPath(desk + "b (restored).txt");
    form.BitBtn14Click();
    form.Button6Click();
    ASSERT_EQ(machine.transcript().size(), 2u);
    EXPECT_EQ(machine.transcript()[1].text, "Items restored: 1\rNot restored: 1");
    EXPECT_EQ(machine.transcript()[1].caption, "Outcome");
    EXPECT_EQ(machine.transcript()[1].icon, Icon::Warning);
    EXPECT_EQ(log().back(), "[VX] > Restored: " + desk + "old.txt");
    EXPECT_EQ(form.ListBox2.items.size(), 1u) << "the emptied run is gone";
    EXPECT_THAT(form.ListBox2.items[0], ::testing::HasSubstr("09:15:42 - Computer - 1 item - "));
}

TEST_F(MainWindow, DeleteForGoodAsksFirst) {
    const std::string folder =
        KeptRunBuilder(machine, "07-12-2026-09-15-42", KeptRunBuilder::computerRun()).file("C:\\a.txt", "A").write();
    form.FormCreate();
    form.Button7Click();
    EXPECT_TRUE(machine.transcript().empty()) << "no run chosen yet: nothing asked";
    form.TabSheet4Show();
    machine.answerNext(Answer::No);
    form.Button7Click();
    EXPECT_TRUE(machine.exists(folder));
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].text, "Excluir definitivamente os itens desta quarentena?");
    EXPECT_EQ(machine.transcript()[0].caption, "Atenção");
    EXPECT_EQ(machine.transcript()[0].buttons, platform::Buttons::YesNo);
    machine.answerNext(Answer::Yes);
    form.Button7Click();
    EXPECT_FALSE(machine.exists(folder));
    EXPECT_TRUE(form.ListBox2.items.empty());
    EXPECT_FALSE(machine.exists("C:\\a.txt"));
}

TEST_F(MainWindow, ARunIsRefusedWhileAnotherHoldsTheRunLock) {
    machine.addFile(kSettings, "0\r\n0\r\n");
    form.FormCreate();
    form.guardRunsWithLock(true);
    machine.holdRunLockElsewhere(true);
    const std::vector<std::string> tips = log();
    for (auto click : {&TForm1::BitBtn9Click, &TForm1::BitBtn1Click, &TForm1::BitBtn7Click, &TForm1::BitBtn2Click}) {
        machine.clearTranscript();
        (form.*click)();
        EXPECT_EQ(log(), tips) << "nothing ran";
        ASSERT_EQ(machine.transcript().size(), 1u);
        EXPECT_EQ(machine.transcript()[0].text,
                  "Outra execução do Varrex está em andamento! Aguarde o seu término e tente novamente.");
        EXPECT_EQ(machine.transcript()[0].caption, "Atenção");
    }
    form.BitBtn14Click();
    machine.clearTranscript();
    form.BitBtn9Click();
    EXPECT_EQ(machine.transcript().at(0).text, "Another Varrex run is in progress! Wait for it to end and try again.");

    machine.holdRunLockElsewhere(false);
    machine.clearTranscript();
    form.BitBtn9Click();
    EXPECT_EQ(log().at(2), "[VX] - Checking External Device - Drive: E:\\");
    EXPECT_FALSE(machine.runLockHeld()) << "held for the run only";
}

TEST_F(MainWindow, AnInsertedPenDriveIsCheckedOnceWhenTheBoxIsTicked) {
    constexpr uint32_t kBitK = 1u << ('K' - 'A');
    machine.addFile(kSettings, "0\r\n0\r\n1\r\n");
    form.FormCreate();
    EXPECT_TRUE(form.CheckBox3.checked);
    EXPECT_EQ(form.CheckBox3.caption, " Verificar dispositivo ao ser inserido ");

    machine.addDrive('K', DriveType::Removable);
    machine.addFile("K:\\Fotos.lnk", "L");
    form.WMDeviceChange(kBitK, 0);
    EXPECT_TRUE(form.insertionCheckDue());
    EXPECT_TRUE(machine.transcript().empty()) << "the check waits for the view to call it";
    form.WMDeviceChange(kBitK, 0);  // the same news again: still one check
    form.DeviceInsertedCheck();
    form.DeviceInsertedCheck();
    EXPECT_EQ(form.DriveComboBox1.text(), "K:");
    EXPECT_EQ(log().at(2), "[VX] - Verificando Dispositivo Externo - Unidade: K:\\");
    ASSERT_EQ(machine.transcript().size(), 1u) << "one verdict box";
    EXPECT_EQ(machine.transcript()[0].caption, "Atenção");

    // A fixed disk, a drive that left again, or the box cleared: no check.
    machine.addDrive('L', DriveType::Fixed);
    form.WMDeviceChange(1u << ('L' - 'A'), 0);
    EXPECT_FALSE(form.insertionCheckDue());
    machine.removeDrive('K');
    form.WMDeviceChange(kBitK, kBitK);
    EXPECT_FALSE(form.insertionCheckDue());
    machine.addDrive('K', DriveType::Removable);
    form.CheckBox3Click(false);
    form.WMDeviceChange(kBitK, 0);
    EXPECT_FALSE(form.insertionCheckDue());
    form.BitBtn16Click();
    EXPECT_EQ(machine.content(kSettings), "0\r\n0\r\n0\r\n");
    form.BitBtn14Click();
    EXPECT_EQ(form.CheckBox3.caption, " Check device when inserted ");
}

}  // namespace
}  // namespace vx::test

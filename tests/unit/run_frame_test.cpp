#include "scan/run_frame.h"

#include "scan_fixture.h"

namespace vx::test {
namespace {

using platform::Icon;
using scan::RunKind;
using ::testing::ElementsAre;
using Kind = memory::DialogRecord::Kind;

const std::string kData = "C:\\Users\\Usuario\\AppData\\Roaming\\varrex";
const std::string kLocal = "C:\\Users\\Usuario\\AppData\\Local\\varrex";

struct RunFrame : ScanFixture {
    RunFrame() {
        machine.addFolder(kData);
        machine.addFolder(kLocal);
    }
};

TEST_F(RunFrame, HeaderOfEachRunInBothLanguages) {
    log.append("old line");
    scan::writeLogHeader(ctx, RunKind::DeviceCheck, "E:\\");
    EXPECT_THAT(lines(), ElementsAre("[VX] - Varrex - Versão: 2.7.5 - ", "[VX] - Início da Verificação - 07/12/2026 - 09:15:42",
                                     "[VX] - Verificando Dispositivo Externo - Unidade: E:\\"));
    scan::writeLogHeader(ctx, RunKind::DeviceDisinfection, "F:\\");
    EXPECT_EQ(lines().at(2), "[VX] - Verificando Mídia Externa F:\\");
    scan::writeLogHeader(ctx, RunKind::ComputerDisinfection, "");
    EXPECT_EQ(lines().at(2), "[VX] - Verificando Computador");

    language = scan::kEnglish;
    machine.setLocale(memory::Locale::unitedStates());
    scan::writeLogHeader(ctx, RunKind::DeviceCheck, "E:\\");
    EXPECT_THAT(lines(), ElementsAre("[VX] - Varrex - Version: 2.7.5 - ", "[VX] - Top of Verification - 12/7/2026 - 9:15:42 AM",
                                     "[VX] - Checking External Device - Drive: E:\\"));
    scan::writeLogHeader(ctx, RunKind::DeviceDisinfection, "E:\\");
    EXPECT_EQ(lines().at(2), "[VX] - Checking External Media E:\\");
    scan::writeLogHeader(ctx, RunKind::ComputerCheck, "");
    EXPECT_EQ(lines().at(2), "[VX] - Checking Computer");
    EXPECT_EQ(lines().size(), 3u);
}

TEST_F(RunFrame, StampReplacesSeparatorsOnly) {
    EXPECT_EQ(scan::dateTimeStamp(machine.clock()), "07-12-2026-09-15-42");
    memory::Locale odd = memory::Locale::brazil();
    odd.shortDatePattern = "dd.MM.yyyy";
    odd.longTimePattern = "HH:mm:ss tt";
    odd.amDesignator = "a.m.";
    machine.setLocale(odd);
    EXPECT_EQ(scan::dateTimeStamp(machine.clock()), "07.12.2026-09-15-42 a.m.");
}

TEST_F(RunFrame, AutomaticCopiesGoToBothDataFoldersAsAnsiText) {
    scan::writeLogHeader(ctx, RunKind::DeviceDisinfection, "E:\\");
    ctx.write("[VX] > Arquivo E:\\ação.lnk Deletado!");
    ASSERT_TRUE(scan::writeAutomaticCopies(ctx, "vx-pen-"));
    const std::string expected = ansiFile(lines());
    EXPECT_EQ(machine.content(kData + "\\vx-pen-07-12-2026-09-15-42.txt"), expected);
    EXPECT_EQ(machine.content(kLocal + "\\vx-pen-07-12-2026-09-15-42.txt"), expected);
    EXPECT_NE(expected.find("a\xE7\xE3o.lnk Deletado!\r\n"), std::string::npos);

    // A later run within the same second replaces the pair.
    ctx.write("second run");
    ASSERT_TRUE(scan::writeAutomaticCopies(ctx, "vx-pen-"));
    EXPECT_EQ(machine.content(kLocal + "\\vx-pen-07-12-2026-09-15-42.txt"), ansiFile(lines()));
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(RunFrame, ACopyThatCannotBeWrittenShowsTheErrorBoxAndEndsTheRun) {
    machine.failPath(kLocal);
    ctx.write("line");
    EXPECT_FALSE(scan::writeAutomaticCopies(ctx, "vx-pc-"));
    EXPECT_TRUE(machine.exists(kData + "\\vx-pc-07-12-2026-09-15-42.txt"));
    ASSERT_EQ(machine.transcript().size(), 1u);
    const auto& box = machine.transcript()[0];
    EXPECT_EQ(box.kind, Kind::IoError);
    EXPECT_EQ(box.text.rfind("Cannot create file \"" + kLocal + "\\vx-pc-07-12-2026-09-15-42.txt\". ", 0), 0u)
        << box.text;
    EXPECT_GT(box.text.size(), std::string("Cannot create file \"\". ").size() + kLocal.size() + 30);

    // A missing data folder fails at the first copy; the second is not attempted.
    machine.clearFaults();
    machine.clearTranscript();
    machine.failSpecialFolder(scan::csidl::AppData);
    EXPECT_FALSE(scan::writeAutomaticCopies(ctx, "vx-pc-"));
    EXPECT_EQ(machine.transcript().size(), 1u);
}

TEST_F(RunFrame, SaveOfferFollowsItsSwitchAndAnswers) {
    scan::SaveDialogMemory memory;
    ctx.write("linha");
    scan::makeSaveOffer(ctx, RunKind::DeviceCheck, scan::SaveOffer::Skip, memory);
    EXPECT_TRUE(machine.transcript().empty());

    scan::makeSaveOffer(ctx, RunKind::DeviceCheck, scan::SaveOffer::Make, memory);  // answered No
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].text, "Deseja salvar o Relatório de Verificação de Mídia Externa?");
    EXPECT_EQ(machine.transcript()[0].caption, "Aviso");
    EXPECT_EQ(machine.transcript()[0].icon, Icon::Question);

    machine.clearTranscript();
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("C:\\Users\\Usuario\\Documents\\log.txt");
    scan::makeSaveOffer(ctx, RunKind::DeviceCheck, scan::SaveOffer::Make, memory);
    ASSERT_EQ(machine.transcript().size(), 2u);
    const auto& dialog = machine.transcript()[1];
    EXPECT_EQ(dialog.kind, Kind::Save);
    EXPECT_EQ(dialog.save.title, "Salvar Log de Verificação de Mídia Externa");
    EXPECT_EQ(dialog.save.defaultExtension, "txt");
    EXPECT_EQ(dialog.save.filter, "*.txt");
    EXPECT_EQ(dialog.save.fileName, "");
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\Documents\\log.txt"), "linha\r\n");

    // The file now exists: No to the overwrite question leaves it untouched,
    // and the dialog offers the last name again.
    machine.clearTranscript();
    ctx.write("mais");
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("C:\\Users\\Usuario\\Documents\\log.txt");
    machine.answerNext(Answer::No);
    scan::makeSaveOffer(ctx, RunKind::DeviceCheck, scan::SaveOffer::Make, memory);
    ASSERT_EQ(machine.transcript().size(), 3u);
    EXPECT_EQ(machine.transcript()[1].save.fileName, "C:\\Users\\Usuario\\Documents\\log.txt");
    EXPECT_EQ(machine.transcript()[2].text, "Arquivo já exite deseja substituir?");
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\Documents\\log.txt"), "linha\r\n");

    // Yes replaces it; a cancelled dialog writes nothing.
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("C:\\Users\\Usuario\\Documents\\log.txt");
    machine.answerNext(Answer::Yes);
    scan::makeSaveOffer(ctx, RunKind::DeviceCheck, scan::SaveOffer::Make, memory);
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\Documents\\log.txt"), "linha\r\nmais\r\n");
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog(std::nullopt);
    scan::makeSaveOffer(ctx, RunKind::DeviceCheck, scan::SaveOffer::Make, memory);
    EXPECT_EQ(machine.pendingAnswers(), 0u);
}

TEST_F(RunFrame, SaveOfferTextsByRunAndLanguage) {
    scan::SaveDialogMemory memory;
    struct Case {
        RunKind kind;
        scan::Language language;
        const char *question, *caption, *title;
    } cases[] = {
        {RunKind::ComputerCheck, scan::kEnglish, "Deseja salvar o Relatório de Verificação?", "Aviso",
         "Salvar Log de Verificação de Computador"},
        {RunKind::DeviceCheck, scan::kEnglish, "Deseja salvar o Relatório de Verificação de Mídia Externa?", "Aviso",
         "Salvar Log de Verificação de Mídia Externa"},
        {RunKind::DeviceDisinfection, scan::kPortuguese, "Deseja salvar o Relatório?", "Aviso",
         "Salvar Log de Verificação de Computador"},
        {RunKind::DeviceDisinfection, scan::kEnglish, "Want to save the report?", "Warning", "Save Log Scan Computer"},
        {RunKind::ComputerDisinfection, scan::kPortuguese, "Deseja salvar o Relatório?", "Aviso",
         "Salvar Log de Verificação de Computador"},
        {RunKind::ComputerDisinfection, scan::kEnglish, "Want to save the report?", "Warning",
         "Save Log Verification Computer"},
    };
    for (const Case& c : cases) {
        machine.clearTranscript();
        language = c.language;
        machine.answerNext(Answer::Yes);
        machine.answerSaveDialog(std::nullopt);
        scan::makeSaveOffer(ctx, c.kind, scan::SaveOffer::Make, memory);
        ASSERT_EQ(machine.transcript().size(), 2u);
        EXPECT_EQ(machine.transcript()[0].text, c.question);
        EXPECT_EQ(machine.transcript()[0].caption, c.caption);
        EXPECT_EQ(machine.transcript()[1].save.title, c.title);
    }

    // The English overwrite question of the disinfections.
    machine.addFile("C:\\x.txt", "old");
    machine.clearTranscript();
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("C:\\x.txt");
    scan::makeSaveOffer(ctx, RunKind::DeviceDisinfection, scan::SaveOffer::Make, memory);
    ASSERT_EQ(machine.transcript().size(), 3u);
    EXPECT_EQ(machine.transcript()[2].text, "File hesitate longer wish to replace?");
    EXPECT_EQ(machine.transcript()[2].caption, "Warning");
    EXPECT_EQ(machine.content("C:\\x.txt"), "old");
}

TEST_F(RunFrame, AChosenFileThatCannotBeWrittenShowsTheErrorBox) {
    scan::SaveDialogMemory memory;
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("Q:\\nowhere\\log.txt");
    scan::makeSaveOffer(ctx, RunKind::ComputerCheck, scan::SaveOffer::Make, memory);
    ASSERT_EQ(machine.transcript().size(), 3u);
    EXPECT_EQ(machine.transcript()[2].kind, Kind::IoError);
    EXPECT_EQ(machine.transcript()[2].text.rfind("Cannot create file \"Q:\\nowhere\\log.txt\". ", 0), 0u);
}

}  // namespace
}  // namespace vx::test

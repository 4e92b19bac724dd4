#include "app/form1.h"

#include <algorithm>

#include "app/form1_texts.h"
#include "computer/computer_check.h"
#include "computer/computer_disinfection.h"
#include "device/device_check.h"
#include "platform/paths.h"
#include "scan/primitives.h"
#include "tools/icon_repair.h"
#include "tools/quarantine_tool.h"
#include "tools/system_report.h"
#include "tools/temp_folders.h"

namespace vx::app {

using platform::Answer;
using platform::Buttons;
using platform::DriveType;
using platform::Icon;

ReportSwitches TForm1::switches() const {
    return {CheckBox1.checked, CheckBox2.checked, CheckBox3.checked};
}

// ---------------------------------------------------------------------------
// Start-up and shutdown
// ---------------------------------------------------------------------------

void TForm1::FormCreate() {
    StaticText1.caption = std::string("Versão ") + scan::kProgramVersion;
    setComputerButtonCaptions(true);

    scan::ensureFolder(os_.fs, scan::dataFolder(os_.shell));
    scan::ensureFolder(os_.fs, scan::localDataFolder(os_.shell));

    ReportSwitches loaded = loadSettings(os_);
    CheckBox1.checked = loaded.afterChecks;
    CheckBox2.checked = loaded.afterDisinfections;
    CheckBox3.checked = loaded.checkOnInsertion;

    language = scan::Language::Portuguese;
    BitBtn13.font = colors::Grey;
    BitBtn14.font = colors::Black;

    for (const char* name : {"wscript.exe", "xcv.exe", "rundll32.exe"}) scan::killProcessByName(os_.processes, name);

    rebuildDriveList(DriveComboBox1);
    pruneDriveList(DriveComboBox1);
    rebuildDriveList(DriveComboBox2);
    pruneDriveList(DriveComboBox2);

    if (!DriveComboBox2.text().empty()) deviceRoot2 = deviceRootOf(DriveComboBox2);
    if (!DriveComboBox1.text().empty()) deviceRoot1 = deviceRootOf(DriveComboBox1);
}

void TForm1::FormClose() {
    const std::string folder = scan::programFolder(os_.shell);
    if (folder.empty()) return;
    os_.fs.deleteFile(folder + "iphist.dat").ignore();
    form_instrucoes.reset();
}

bool TForm1::WMQueryEndSession() {
    Answer a = os_.dialogs.messageBox("O Windows deseja desligar agora, Permitir ?", "Confirm", Icon::Question,
                                      Buttons::YesNo);
    return a != Answer::No;
}

void TForm1::setComputerButtonCaptions(bool portuguese) {
    // The profile drive is read afresh for each caption.
    auto profileDrive = [&] { return scan::specialFolderPath(os_.shell, scan::csidl::Profile).substr(0, 3); };
    BitBtn7.caption =
        (portuguese ? " Verificar &Computador\r Unidade: " : " Check &Computer\r Unit: ") + profileDrive();
    BitBtn2.caption =
        (portuguese ? " Desinfectar Com&putador\r Unidade: " : " Disinfect Com&puter\r Unit: ") + profileDrive();
}

// ---------------------------------------------------------------------------
// Language
// ---------------------------------------------------------------------------

void TForm1::BitBtn13Click() { switchLanguage(scan::Language::English, scan::Language::Portuguese); }

void TForm1::BitBtn14Click() { switchLanguage(scan::Language::Portuguese, scan::Language::English); }

void TForm1::switchLanguage(scan::Language required, scan::Language next) {
    if (language != required) return;
    language = next;
    const bool portuguese = next == scan::Language::Portuguese;
    BitBtn13.font = portuguese ? colors::Grey : colors::Black;
    BitBtn14.font = portuguese ? colors::Black : colors::Grey;

    writeTips(portuguese);
    for (const LanguageCaption& c : languageCaptions(*this)) c.control.caption = portuguese ? c.portuguese : c.english;
    setComputerButtonCaptions(portuguese);
    showQuarantineTexts();

    scan::killProcessByName(os_.processes, "wscript.exe");
}

void TForm1::writeTips(bool portuguese) {
    Memo1.clear();
    for (std::string& line : languageTips(portuguese)) Memo1.append(std::move(line));
}

// ---------------------------------------------------------------------------
// Instructions window, links and small actions
// ---------------------------------------------------------------------------

bool TForm1::BitBtn3KeyDown(int virtualKey) {
    if (virtualKey != kVirtualKeyF11) return false;
    const bool pt = language == scan::Language::Portuguese;
    const std::string text = pt ? std::string("Varrex - desenvolvido pela equipe Varrex.\r\nSuporte: ") +
                                      links::SupportEmail
                                : std::string("Varrex - developed by the Varrex team.\r\nSupport: ") +
                                      links::SupportEmail;
    os_.dialogs.messageBox(text, pt ? "Desenvolvedor" : "Developed", Icon::Information, Buttons::Ok);
    return true;
}

void TForm1::BitBtn3Click() {
    if (!form_instrucoes) form_instrucoes = std::make_unique<Tform_instrucoes>();
    ++form_instrucoes->timesShown;
}

void TForm1::form_instrucoesClose() { form_instrucoes.reset(); }

void TForm1::BitBtn12Click() {
    const std::string source = os_.shell.programPath();
    const std::string target = scan::specialFolderPath(os_.shell, scan::csidl::DesktopDirectory) + "\\" +
                               platform::fileNamePart(source);
    const bool pt = language == scan::Language::Portuguese;
    if (os_.fs.copyFile(source, target, false)) {
        os_.dialogs.messageBox(pt ? "Arquivo copiado com sucesso!" : "File copied successfully!",
                               pt ? "Aviso" : "Warnig", Icon::Information, Buttons::Ok);
        return;
    }
    // A failed copy is told plainly rather than passed over in silence.
    os_.dialogs.messageBox(pt ? "Não foi possível copiar o arquivo para a Área de Trabalho!"
                              : "Could not copy the file to the Desktop!",
                           pt ? "Atenção" : "Heads up", Icon::Warning, Buttons::Ok);
}

void TForm1::BitBtn16Click() {
    ReportSwitches saved = saveSettings(os_, switches());
    CheckBox1.checked = saved.afterChecks;
    CheckBox2.checked = saved.afterDisinfections;
    CheckBox3.checked = saved.checkOnInsertion;
}

void TForm1::CheckBox1Click(bool checked) { CheckBox1.checked = checked; }

void TForm1::CheckBox2Click(bool checked) { CheckBox2.checked = checked; }

void TForm1::CheckBox3Click(bool checked) { CheckBox3.checked = checked; }

void TForm1::TabSheet3Show() {
    const std::string program = os_.shell.programPath();
    const size_t slash = program.find_last_of('\\');
    if (slash == std::string::npos) return;
    // The folder without its final "\", except a drive root, which keeps it.
    std::string folder = program.substr(0, slash);
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    Label19.caption = folder;
}

void TForm1::Label19Click() { scan::openInExplorer(os_.shell, Label19.caption); }

void TForm1::Label2DblClick() { os_.shell.openDefault(links::WebSite); }

void TForm1::Label4Click() { os_.shell.openDefault(links::SocialPageUrl); }

void TForm1::Label18Click() { os_.shell.openDefault(links::SocialPageUrl); }

void TForm1::Panel3Click() { os_.shell.openDefault(links::WebSitePage); }

void TForm1::hover(Label& label, bool inside) { label.font = inside ? colors::Navy : label.restingFont; }

// ---------------------------------------------------------------------------
// Device check and disinfection
// ---------------------------------------------------------------------------

template <typename Run>
void TForm1::guarded(Run run) {
    std::unique_ptr<platform::RunLock> lock;
    if (guardRuns_) {
        lock = os_.shell.tryLockRuns();
        if (!lock) {
            scan::RunContext ctx = context();
            os_.dialogs.messageBox(ctx.say("Outra execução do Varrex está em andamento! Aguarde o seu término e "
                                           "tente novamente.",
                                           "Another Varrex run is in progress! Wait for it to end and try again."),
                                   ctx.say("Atenção", "Heads up"), Icon::Warning, Buttons::Ok);
            return;
        }
    }
    run();
}

void TForm1::BitBtn9Click() {
    guarded([&] {
        scan::RunContext ctx = context();
        device::runDeviceCheck(ctx, DriveComboBox2.text(), scan::saveOfferWhen(CheckBox1.checked), SaveDialog1,
                               deviceRoot2);
    });
}

void TForm1::BitBtn1Click() {
    guarded([&] {
        scan::RunContext ctx = context();
        device::DisinfectionTarget target{deviceRoot1, recoveryPath};
        device::runDeviceDisinfection(ctx, DriveComboBox1.text(), scan::saveOfferWhen(CheckBox2.checked), SaveDialog1,
                                      target);
        deviceRoot1 = target.deviceRoot;
        recoveryPath = target.recoveryPath;
    });
}

// ---------------------------------------------------------------------------
// Computer check and disinfection
// ---------------------------------------------------------------------------

void TForm1::BitBtn7Click() {
    guarded([&] {
        scan::RunContext ctx = context();
        computer::runComputerCheck(ctx, scan::saveOfferWhen(CheckBox1.checked), SaveDialog1);
    });
}

void TForm1::BitBtn2Click() {
    guarded([&] {
        scan::RunContext ctx = context();
        computer::runComputerDisinfection(ctx, scan::saveOfferWhen(CheckBox2.checked), SaveDialog1);
    });
}

// ---------------------------------------------------------------------------
// Maintenance tools
// ---------------------------------------------------------------------------

void TForm1::TabSheet2Show() {
    scan::RunContext ctx = context();
    const tools::TemporaryFolderLabels labels = tools::refreshTemporaryFolderLabels(ctx, Label20.caption);
    Label20.caption = labels.label20;
    Label21.caption = labels.label21;
    Label22.caption = labels.label22;
    Label23.caption = labels.label23;
    tools::refreshProcessList(os_, ListBox1);
}

void TForm1::BitBtn10Click() { tools::refreshProcessList(os_, ListBox1); }

void TForm1::BitBtn11Click() {
    scan::RunContext ctx = context();
    tools::terminateSelectedProcess(ctx, ListBox1);
}

void TForm1::Button4Click() {
    scan::RunContext ctx = context();
    tools::cleanTemporaryFolders(ctx, Label20.caption, Label21.caption, [&] {
        Label22.caption = tools::occupiedSpaceText(ctx, Label20.caption);
        Label23.caption = tools::occupiedSpaceText(ctx, Label21.caption);
    });
}

void TForm1::BitBtn15Click() {
    scan::RunContext ctx = context();
    tools::repairIcons(ctx);
}

void TForm1::BitBtn17Click() { tools::writeSystemReport(os_, ListBox1.lines()); }

void TForm1::Label20Click() { scan::openInExplorer(os_.shell, Label20.caption); }

void TForm1::Label21Click() { scan::openInExplorer(os_.shell, Label21.caption); }

// ---------------------------------------------------------------------------
// Quarantine
// ---------------------------------------------------------------------------

void TForm1::TabSheet4Show() {
    scan::RunContext ctx = context();
    const bool wasChosen = ListBox2.selected >= 0 && ListBox2.selected < static_cast<int>(keptRuns.size());
    const std::string chosen = wasChosen ? keptRuns[static_cast<size_t>(ListBox2.selected)].folder : std::string();
    keptRuns = tools::listKeptRuns(ctx);
    quarantineBytes_ = tools::quarantineStoreBytes(os_.fs, os_.shell);
    machineStoreHidden_ = tools::machineStoreHidden(ctx);
    // The run chosen before stays chosen while it is there; otherwise the newest.
    ListBox2.selected = keptRuns.empty() ? -1 : 0;
    for (size_t i = 0; i < keptRuns.size(); ++i)
        if (!chosen.empty() && platform::equalNoCase(keptRuns[i].folder, chosen)) ListBox2.selected = static_cast<int>(i);
    ListBox3.selected.clear();
    showQuarantineTexts();
}

void TForm1::ListBox2Click() {
    ListBox3.selected.clear();
    showQuarantineTexts();
}

void TForm1::ListBox3Select(std::vector<int> indexes) {
    std::erase_if(indexes, [&](int i) { return i < 0 || i >= static_cast<int>(ListBox3.items.size()); });
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    ListBox3.selected = std::move(indexes);
}

void TForm1::Button5Click() {
    if (ListBox2.selected < 0 || ListBox2.selected >= static_cast<int>(keptRuns.size())) return;
    if (ListBox3.selected.empty()) return;
    scan::RunContext ctx = context();
    const std::vector<size_t> indexes(ListBox3.selected.begin(), ListBox3.selected.end());
    tools::showRestoreCount(ctx, tools::restoreItems(ctx, keptRuns[static_cast<size_t>(ListBox2.selected)], indexes));
    TabSheet4Show();
}

void TForm1::Button6Click() {
    if (keptRuns.empty()) return;
    scan::RunContext ctx = context();
    tools::RestoreCount total;
    for (const scan::KeptRun& run : keptRuns) {
        std::vector<size_t> every(run.items.size());
        for (size_t i = 0; i < every.size(); ++i) every[i] = i;
        const tools::RestoreCount count = tools::restoreItems(ctx, run, every);
        total.restored += count.restored;
        total.failed += count.failed;
    }
    tools::showRestoreCount(ctx, total);
    TabSheet4Show();
}

void TForm1::Button7Click() {
    if (ListBox2.selected < 0 || ListBox2.selected >= static_cast<int>(keptRuns.size())) return;
    scan::RunContext ctx = context();
    const Answer a = os_.dialogs.messageBox(
        ctx.say("Excluir definitivamente os itens desta quarentena?", "Delete the items of this quarantine for good?"),
        ctx.say("Atenção", "Heads up"), Icon::Question, Buttons::YesNo);
    if (a != Answer::Yes) return;
    const scan::KeptRun& run = keptRuns[static_cast<size_t>(ListBox2.selected)];
    if (!tools::deleteRunForGood(ctx, run))
        ctx.write("[VX] - Não foi possível excluir " + run.folder, "[VX] - Could not delete " + run.folder);
    TabSheet4Show();
}

// The tab's texts in the current language, from what was last read.
void TForm1::showQuarantineTexts() {
    scan::RunContext ctx = context();
    ListBox2.items.clear();
    for (const scan::KeptRun& run : keptRuns) ListBox2.items.push_back(tools::runListLine(ctx, run));
    // The machine store's runs this process cannot read: one line after the
    // runs, which no handler takes for a run.
    if (machineStoreHidden_) ListBox2.items.push_back(tools::machineStoreNote(ctx));
    ListBox3.items.clear();
    if (ListBox2.selected >= 0 && ListBox2.selected < static_cast<int>(keptRuns.size()))
        for (const scan::KeptItem& item : keptRuns[static_cast<size_t>(ListBox2.selected)].items)
            ListBox3.items.push_back(tools::itemListLine(ctx, keptRuns[static_cast<size_t>(ListBox2.selected)], item));
    if (quarantineBytes_)
        Label24.caption =
            ctx.say("Tamanho total: ", "Total size: ") + tools::sizeText(os_.clock, *quarantineBytes_);
}

// ---------------------------------------------------------------------------
// Drive lists
// ---------------------------------------------------------------------------

void TForm1::SpeedButton1Click() {
    rebuildDriveList(DriveComboBox1);
    pruneDriveList(DriveComboBox1);
}

void TForm1::SpeedButton3Click() {
    rebuildDriveList(DriveComboBox2);
    pruneDriveList(DriveComboBox2);
}

void TForm1::WMDeviceChange(uint32_t arrivedMask, uint32_t removedMask) {
    std::vector<std::string> listedBefore;
    for (const std::string& entry : DriveComboBox2.items) listedBefore.push_back(entry.substr(0, 2));
    followDevices(DriveComboBox1, deviceRoot1, arrivedMask, removedMask);
    followDevices(DriveComboBox2, deviceRoot2, arrivedMask, removedMask);

    // Only a drive that has really just come counts as an arrival: news that
    // repeats itself for a drive already listed starts no second check.
    const std::string chosen = DriveComboBox2.text().substr(0, 2);
    if (!CheckBox3.checked || chosen.size() != 2 || chosen[0] < 'A' || chosen[0] > 'Z') return;
    const bool arrived = (arrivedMask & (1u << (chosen[0] - 'A'))) != 0;
    const bool wasListed = std::find(listedBefore.begin(), listedBefore.end(), chosen) != listedBefore.end();
    if (arrived && !wasListed && os_.fs.driveType(chosen + "\\") == DriveType::Removable) insertionCheckDue_ = true;
}

void TForm1::DeviceInsertedCheck() {
    if (!insertionCheckDue_) return;
    insertionCheckDue_ = false;
    BitBtn9Click();
}

void TForm1::followDevices(DriveList& list, std::string& deviceRoot, uint32_t arrivedMask, uint32_t removedMask) {
    auto bitOf = [](const std::string& entry) -> uint32_t {
        const char letter = entry.empty() ? '\0' : entry[0];
        return letter >= 'A' && letter <= 'Z' ? 1u << (letter - 'A') : 0u;
    };
    const std::string shown = list.text().substr(0, 2);
    rebuildDriveList(list);
    pruneDriveList(list);
    for (size_t i = 0; i < list.items.size(); ++i) {
        const std::string& entry = list.items[i];
        if ((bitOf(entry) & arrivedMask) && os_.fs.driveType(entry.substr(0, 2) + "\\") == DriveType::Removable) {
            list.selected = static_cast<int>(i);
            deviceRoot = deviceRootOf(list);
            return;
        }
    }
    if (shown.empty() || (bitOf(shown) & removedMask)) return;
    for (size_t i = 0; i < list.items.size(); ++i)
        if (list.items[i].substr(0, 2) == shown) list.selected = static_cast<int>(i);
}

void TForm1::rebuildDriveList(DriveList& list) {
    list.items.clear();
    list.selected = -1;
    const uint32_t drives = os_.fs.logicalDrives();
    for (int n = 0; n < 26; ++n) {
        if (!(drives & (1u << n))) continue;
        const std::string letter = std::string(1, static_cast<char>('A' + n)) + ":";
        const DriveType type = os_.fs.driveType(letter + "\\");
        if (static_cast<int>(type) < 2 || static_cast<int>(type) > 6) continue;
        // A removable drive is listed by its letter alone, so that listing
        // never waits on an empty card reader; other drives show their label.
        std::string text = letter;
        if (type != DriveType::Removable) {
            const std::string label = os_.fs.volumeLabel(letter + "\\");
            if (!label.empty()) text += type == DriveType::Remote ? " " + label : " [" + label + "]";
        }
        list.items.push_back(platform::upperAscii(text));
    }
    if (!list.items.empty()) list.selected = 0;
}

void TForm1::pruneDriveList(DriveList& list) {
    size_t i = 0;
    while (i < list.items.size()) {
        const std::string windowsDrive = scan::specialFolderPath(os_.shell, scan::csidl::Windows).substr(0, 2);
        const std::string entry = list.items[i].substr(0, 2);
        if (entry == windowsDrive || os_.fs.driveType(entry + "\\") == DriveType::CdRom)
            list.items.erase(list.items.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    list.selected = list.items.empty() ? -1 : 0;
}

std::string TForm1::deviceRootOf(const DriveList& list) { return list.text().substr(0, 1) + ":\\"; }

}  // namespace vx::app

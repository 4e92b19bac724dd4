#include "scan/run_frame.h"

#include "scan/primitives.h"

namespace vx::scan {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

std::string dataFolder(platform::Shell& shell) { return specialFolderPath(shell, csidl::AppData) + "\\varrex"; }

std::string localDataFolder(platform::Shell& shell) {
    return specialFolderPath(shell, csidl::LocalAppData) + "\\varrex";
}

void ensureFolder(platform::FileSystem& fs, const std::string& folder) {
    if (!fs.directoryExists(folder)) fs.createDirectory(folder).ignore();
}

DateTimeTexts currentDateTimeTexts(platform::Clock& clock) {
    // One reading of the clock for both texts, so a run that crosses midnight
    // never pairs one day's date with the next day's time.
    platform::DateTime now = clock.now();
    return {clock.shortDate(now), clock.longTime(now)};
}

std::string fileNameSafe(std::string text) {
    for (char& c : text)
        if (c == '/' || c == '\\' || c == ':') c = '-';
    return text;
}

std::string dateTimeStamp(platform::Clock& clock) {
    DateTimeTexts t = currentDateTimeTexts(clock);
    return fileNameSafe(t.date) + "-" + fileNameSafe(t.time);
}

void writeLogHeader(RunContext& ctx, RunKind kind, const std::string& deviceRoot) {
    ctx.log.clear();
    std::string version = std::string(kProgramVersion) + " - ";
    if (std::string(kBuildMark) != "0") version += std::string(kBuildMark) + " - ";
    ctx.write("[VX] - Varrex - Versão: " + version + kVersionSuffix, "[VX] - Varrex - Version: " + version);

    DateTimeTexts t = currentDateTimeTexts(ctx.os.clock);
    ctx.write("[VX] - Início da Verificação - " + t.date + " - " + t.time,
              "[VX] - Top of Verification - " + t.date + " - " + t.time);

    switch (kind) {
        case RunKind::DeviceCheck:
            ctx.write("[VX] - Verificando Dispositivo Externo - Unidade: " + deviceRoot,
                      "[VX] - Checking External Device - Drive: " + deviceRoot);
            break;
        case RunKind::DeviceDisinfection:
            ctx.write("[VX] - Verificando Mídia Externa " + deviceRoot, "[VX] - Checking External Media " + deviceRoot);
            break;
        case RunKind::ComputerCheck:
        case RunKind::ComputerDisinfection:
            ctx.write("[VX] - Verificando Computador", "[VX] - Checking Computer");
            break;
    }
}

void writeCompletionLine(RunContext& ctx) {
    ctx.write("[VX] - Processo Concluído com Sucesso!", "[VX] - Process Completed Successfully!");
}

bool saveLogFile(RunContext& ctx, const std::string& path) {
    platform::Status r = ctx.os.fs.writeTextFile(path, ctx.log.lines());
    if (r) return true;
    ctx.os.dialogs.ioError("Cannot create file \"" + path + "\". " + r.message());
    return false;
}

std::string programFolder(platform::Shell& shell) {
    const std::string program = shell.programPath();
    const size_t slash = program.find_last_of('\\');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

bool writeAutomaticCopies(RunContext& ctx, const std::string& prefix) {
    const std::string name = prefix + dateTimeStamp(ctx.os.clock) + ".txt";
    if (!saveLogFile(ctx, dataFolder(ctx.os.shell) + "\\" + name)) return false;
    return saveLogFile(ctx, localDataFolder(ctx.os.shell) + "\\" + name);
}

namespace {

struct SaveOfferTexts {
    std::string question, questionCaption, dialogTitle, overwrite, overwriteCaption;
};

SaveOfferTexts saveOfferTexts(const RunContext& ctx, RunKind kind) {
    const std::string ptOverwrite = "Arquivo já exite deseja substituir?";
    switch (kind) {
        case RunKind::DeviceCheck:
            return {"Deseja salvar o Relatório de Verificação de Mídia Externa?", "Aviso",
                    "Salvar Log de Verificação de Mídia Externa", ptOverwrite, "Aviso"};
        case RunKind::ComputerCheck:
            return {"Deseja salvar o Relatório de Verificação?", "Aviso", "Salvar Log de Verificação de Computador",
                    ptOverwrite, "Aviso"};
        case RunKind::DeviceDisinfection:
        case RunKind::ComputerDisinfection:
            break;
    }
    if (ctx.portuguese())
        return {"Deseja salvar o Relatório?", "Aviso", "Salvar Log de Verificação de Computador", ptOverwrite, "Aviso"};
    return {"Want to save the report?", "Warning",
            kind == RunKind::DeviceDisinfection ? "Save Log Scan Computer" : "Save Log Verification Computer",
            "File hesitate longer wish to replace?", "Warning"};
}

}  // namespace

void makeSaveOffer(RunContext& ctx, RunKind kind, SaveOffer offer, SaveDialogMemory& memory) {
    if (offer == SaveOffer::Skip) return;
    const SaveOfferTexts texts = saveOfferTexts(ctx, kind);
    auto& dialogs = ctx.os.dialogs;
    if (dialogs.messageBox(texts.question, texts.questionCaption, Icon::Question, Buttons::YesNo) != Answer::Yes)
        return;
    platform::SaveDialogOptions options{texts.dialogTitle, "txt", "*.txt", memory.lastFileName};
    std::optional<std::string> chosen = dialogs.saveFile(options);
    if (!chosen || chosen->empty()) return;
    memory.lastFileName = *chosen;
    if (ctx.os.fs.fileExists(*chosen) &&
        dialogs.messageBox(texts.overwrite, texts.overwriteCaption, Icon::Question, Buttons::YesNo) != Answer::Yes)
        return;
    saveLogFile(ctx, *chosen);
}

}  // namespace vx::scan

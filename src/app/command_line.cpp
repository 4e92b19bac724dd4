#include "app/command_line.h"

#include <exception>
#include <optional>

#include "app/form1.h"
#include "scan/run_frame.h"

namespace vx::app {

using platform::Answer;
using platform::Buttons;
using platform::DriveType;
using platform::Icon;

namespace {

// A line for whoever started the run. A console that is gone, or was never
// there (a scheduled task without an output), loses it: the run goes on, and
// the log file, when one is asked for, still gets every line.
void toConsole(platform::Shell& shell, const std::string& line) { shell.writeConsole(line).ignore(); }

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The switch name without its "/" or "-", lower case; nullopt for an
// argument that is not a switch.
std::optional<std::string> switchName(const std::string& argument) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
    return lowerAscii(argument.substr(1));
}

// "E:", "e:" or "E:\" (a root as Explorer copies it); 0 for anything else.
char driveLetterOf(const std::string& text) {
    if (text.size() < 2 || text.size() > 3 || text[1] != ':') return 0;
    if (text.size() == 3 && text[2] != '\\' && text[2] != '/') return 0;
    const char c = text[0];
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return c >= 'A' && c <= 'Z' ? c : 0;
}

struct ActionSwitch {
    const char* name;
    CommandAction action;
    bool takesDrive;
};
constexpr ActionSwitch kActions[] = {
    {"check-device", CommandAction::CheckDevice, true},
    {"disinfect-device", CommandAction::DisinfectDevice, true},
    {"check-computer", CommandAction::CheckComputer, false},
    {"disinfect-computer", CommandAction::DisinfectComputer, false},
};

bool portuguese(scan::Language language) { return language == scan::Language::Portuguese; }
std::string say(scan::Language language, std::string pt, std::string en) { return portuguese(language) ? pt : en; }

// The box texts on one line, as the console shows them.
std::string oneLine(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isRestartQuestion(const std::string& text) {
    return text == "É necessário reiniciar o Computador! Reiniciar agora?" ||
           text == "You must restart your computer! Restart now?";
}

// The box a disinfection shows when the quarantine could not keep something,
// which it then did not delete.
bool isKeepRefusal(const std::string& text) {
    return text.starts_with("O que a quarentena não pôde guardar") ||
           text.starts_with("What the quarantine could not keep");
}

// The dialogs of a run without a window: nothing is shown. Every Yes/No
// question is answered No (the save offer, the overwrite question), except
// the restart question, answered Yes when the command line allows it. The
// boxes go to the console instead, one line each.
class ScriptedDialogs final : public platform::Dialogs {
public:
    ScriptedDialogs(platform::Shell& console, bool allowRestart) : console_(console), allowRestart_(allowRestart) {}

    Answer messageBox(const std::string& text, const std::string& caption, Icon, Buttons buttons) override {
        toConsole(console_, "[" + caption + "] " + oneLine(text));
        if (isKeepRefusal(text)) keepRefused_ = true;
        if (buttons == Buttons::Ok) return Answer::Ok;
        return allowRestart_ && isRestartQuestion(text) ? Answer::Yes : Answer::No;
    }
    std::optional<std::string> saveFile(const platform::SaveDialogOptions&) override { return std::nullopt; }
    void ioError(const std::string& text) override { toConsole(console_, oneLine(text)); }

    bool keepRefused() const { return keepRefused_; }

private:
    platform::Shell& console_;
    bool allowRestart_;
    bool keepRefused_ = false;
};

// Why the drive cannot be run on, by the rule the window's drive lists
// follow (present, a drive kind they list, not the Windows drive, not a
// CD/DVD); empty when it can.
std::string driveRefusal(platform::Platform& os, char letter, scan::Language language) {
    const std::string drive = std::string(1, letter) + ":";
    const DriveType type = os.fs.driveType(drive + "\\");
    const bool present = (os.fs.logicalDrives() & (1u << (letter - 'A'))) != 0;
    if (!present || static_cast<int>(type) < 2 || static_cast<int>(type) > 6)
        return say(language, "A unidade " + drive + " não existe!", "Drive " + drive + " is not there!");
    if (platform::upperAscii(os.shell.specialFolder(36).substr(0, 2)) == drive)
        return say(language, "A unidade " + drive + " é a unidade do Windows!",
                   "Drive " + drive + " is the Windows drive!");
    if (type == DriveType::CdRom)
        return say(language, "A unidade " + drive + " é de CD/DVD!", "Drive " + drive + " is a CD/DVD drive!");
    return {};
}

// Every line that a run without a window tells: to the console and, at the
// end, to the log file as a saved log is written.
class Report {
public:
    Report(platform::Platform& os, const CommandLine& command) : os_(os), command_(command) {}

    void say(const std::string& line) {
        toConsole(os_.shell, line);
        lines_.push_back(line);
    }
    // Writes what was told to the log file, when there is one.
    void save() {
        if (!command_.logFile.empty()) os_.fs.writeTextFile(command_.logFile, lines_).ignore();
    }
    int usageError(const std::string& why) {
        say(why);
        for (const std::string& line : usageText(command_.language)) say(line);
        save();
        return exitcode::Usage;
    }

private:
    platform::Platform& os_;
    const CommandLine& command_;
    std::vector<std::string> lines_;
};

int exitCodeOf(CommandAction action, const scan::RunFlags& flags, bool autorunFound, bool keepRefused) {
    switch (action) {
        case CommandAction::CheckDevice:
            // An autorun.inf alone makes the check's verdict a warning too.
            return flags.infectionFound || autorunFound ? exitcode::Found : exitcode::NothingFound;
        case CommandAction::CheckComputer:
            return flags.infectionFound ? exitcode::Found : exitcode::NothingFound;
        default:
            // What could not be removed, or not kept and therefore not
            // deleted, is told even where the window's verdict passes over it.
            if (flags.removalFailed || keepRefused) return exitcode::NotAllRemoved;
            return flags.infectionFound ? exitcode::Found : exitcode::NothingFound;
    }
}

// The entry of the list that shows the drive; -1 when it is not listed.
int entryOf(const DriveList& list, char letter) {
    for (size_t i = 0; i < list.items.size(); ++i)
        if (list.items[i].size() >= 2 && list.items[i][0] == letter && list.items[i][1] == ':')
            return static_cast<int>(i);
    return -1;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine c;
    // The language and the log file first, so that any error below is told
    // in that language and reaches that file.
    for (const std::string& a : arguments) {
        const auto name = switchName(a);
        if (name == "lang:pt") c.language = scan::Language::Portuguese;
        if (name == "lang:en") c.language = scan::Language::English;
        if (name && name->starts_with("log:") && c.logFile.empty()) c.logFile = a.substr(5);
    }
    const scan::Language lang = c.language;
    auto refuse = [&](std::string pt, std::string en) {
        if (c.error.empty()) c.error = say(lang, std::move(pt), std::move(en));
    };

    bool help = false, langSeen = false, logSeen = false, restartSeen = false;
    for (size_t i = 0; i < arguments.size() && c.error.empty(); ++i) {
        const std::string& a = arguments[i];
        const auto name = switchName(a);
        if (!name) {
            refuse("Argumento desconhecido: " + a, "Unknown argument: " + a);
            break;
        }
        if (*name == "?" || *name == "help") {
            help = true;
            continue;
        }
        if (name->starts_with("lang:")) {
            if (langSeen) refuse("Opção repetida: " + a, "Switch given twice: " + a);
            if (*name != "lang:pt" && *name != "lang:en")
                refuse("Idioma desconhecido: " + a + " (use /lang:pt ou /lang:en)",
                       "Unknown language: " + a + " (use /lang:pt or /lang:en)");
            langSeen = true;
            continue;
        }
        if (name->starts_with("log:")) {
            if (logSeen) refuse("Opção repetida: " + a, "Switch given twice: " + a);
            if (a.size() == 5) refuse("Falta o nome do arquivo depois de /log:", "A file name must follow /log:");
            logSeen = true;
            continue;
        }
        if (*name == "restart") {
            if (restartSeen) refuse("Opção repetida: " + a, "Switch given twice: " + a);
            c.restart = restartSeen = true;
            continue;
        }
        const ActionSwitch* action = nullptr;
        for (const ActionSwitch& s : kActions)
            if (*name == s.name) action = &s;
        if (!action) {
            refuse("Opção desconhecida: " + a, "Unknown switch: " + a);
            break;
        }
        if (c.action != CommandAction::None) {
            refuse("Só uma verificação ou desinfecção por vez: " + a, "One check or disinfection at a time: " + a);
            break;
        }
        c.action = action->action;
        if (!action->takesDrive) continue;
        if (i + 1 >= arguments.size() || switchName(arguments[i + 1])) {
            refuse("Falta a unidade depois de " + a + " (por exemplo E:)",
                   "A drive must follow " + a + " (for example E:)");
            break;
        }
        c.drive = driveLetterOf(arguments[++i]);
        if (!c.drive) refuse("Unidade inválida: " + arguments[i], "Not a drive: " + arguments[i]);
    }
    if (help) {
        // Help asked for is given, whatever else stands beside it.
        c.action = CommandAction::Help;
        c.error.clear();
        return c;
    }
    if (c.error.empty() && c.action == CommandAction::None)
        refuse("Nenhuma verificação ou desinfecção foi pedida.", "No check or disinfection was asked for.");
    if (c.error.empty() && c.restart && c.action != CommandAction::DisinfectComputer)
        refuse("/restart vale só com /disinfect-computer.", "/restart goes with /disinfect-computer only.");
    return c;
}

std::vector<std::string> usageText(scan::Language language) {
    if (portuguese(language))
        return {
            std::string("Varrex ") + scan::kProgramVersion + " - uso na linha de comando:",
            "  Varrex.exe /check-device E:       verifica o dispositivo da unidade "
            "E:",
            "  Varrex.exe /disinfect-device E:   desinfecta o dispositivo da "
            "unidade E:",
            "  Varrex.exe /check-computer        verifica o computador",
            "  Varrex.exe /disinfect-computer    desinfecta o computador",
            "Opções:",
            "  /lang:pt ou /lang:en   idioma do relatório (português se não for "
            "dado)",
            "  /log:ARQUIVO           grava o relatório inteiro no ARQUIVO",
            "  /restart               deixa a desinfecção do computador reiniciar "
            "o Windows quando for preciso",
            "  /? ou /help            mostra esta ajuda",
            "Códigos de saída:",
            "  0  nenhum vírus encontrado",
            "  1  vírus encontrados (verificação) ou encontrados e todos removidos "
            "(desinfecção)",
            "  2  vírus encontrados e algo não pôde ser removido",
            "  3  uso incorreto, opção desconhecida, ou unidade ausente, do "
            "Windows ou de CD/DVD",
            "  4  outra execução do Varrex está em andamento",
        };
    return {
        std::string("Varrex ") + scan::kProgramVersion + " - command line use:",
        "  Varrex.exe /check-device E:       checks the device in drive E:",
        "  Varrex.exe /disinfect-device E:   disinfects the device in drive E:",
        "  Varrex.exe /check-computer        checks the computer",
        "  Varrex.exe /disinfect-computer    disinfects the computer",
        "Options:",
        "  /lang:pt or /lang:en   language of the report (Portuguese when not "
        "given)",
        "  /log:FILE              writes the whole report to FILE",
        "  /restart               lets the computer disinfection restart Windows "
        "when it must",
        "  /? or /help            shows this help",
        "Exit codes:",
        "  0  no virus found",
        "  1  viruses found (check), or found and all removed (disinfection)",
        "  2  viruses found and something could not be removed",
        "  3  usage error, unknown switch, or a drive that is missing, the "
        "Windows drive or a CD/DVD",
        "  4  another Varrex run is in progress",
    };
}

int runCommandLine(platform::Platform os, const std::vector<std::string>& arguments) {
    // Without a console to join the run still goes on: its lines reach the
    // log file and its outcome the exit code.
    os.shell.attachParentConsole().ignore();
    const CommandLine command = parseCommandLine(arguments);
    Report report(os, command);
    const scan::Language lang = command.language;

    if (!command.error.empty()) return report.usageError(command.error);
    if (command.action == CommandAction::Help) {
        for (const std::string& line : usageText(lang)) report.say(line);
        report.save();
        return exitcode::NothingFound;
    }
    const bool deviceRun =
        command.action == CommandAction::CheckDevice || command.action == CommandAction::DisinfectDevice;
    if (deviceRun) {
        const std::string why = driveRefusal(os, command.drive, lang);
        if (!why.empty()) return report.usageError(why);
    }
    // A log file that cannot be written is known before anything runs.
    if (!command.logFile.empty()) {
        if (platform::Status r = os.fs.writeTextFile(command.logFile, {}); !r) {
            toConsole(os.shell, "Cannot create file \"" + command.logFile + "\". " + r.message());
            for (const std::string& line : usageText(lang)) toConsole(os.shell, line);
            return exitcode::Usage;
        }
    }

    const std::unique_ptr<platform::RunLock> lock = os.shell.tryLockRuns();
    if (!lock) {
        report.say(say(lang,
                       "Outra execução do Varrex está em andamento! Tente novamente "
                       "quando ela terminar.",
                       "Another Varrex run is in progress! Try again once it has ended."));
        report.save();
        return exitcode::AnotherRun;
    }

    ScriptedDialogs dialogs(os.shell, command.restart);
    platform::Platform headless{os.fs, os.processes, os.registry, os.shell, os.clock, dialogs, os.crypto};
    TForm1 form(headless);
    form.FormCreate();
    // No save offer after the run (the boxes are cleared here only; the
    // settings file keeps what the user chose).
    form.CheckBox1Click(false);
    form.CheckBox2Click(false);
    if (lang != scan::Language::Portuguese) form.BitBtn14Click();

    form.Memo1.setAppendListener([&] { toConsole(os.shell, form.Memo1.lines().back()); });
    std::string root;
    bool failed = false;
    try {
        switch (command.action) {
            case CommandAction::CheckDevice:
            case CommandAction::DisinfectDevice: {
                const bool check = command.action == CommandAction::CheckDevice;
                DriveList& list = check ? form.DriveComboBox2 : form.DriveComboBox1;
                const int entry = entryOf(list, command.drive);
                if (entry < 0) {
                    form.Memo1.setAppendListener(nullptr);
                    const std::string drive = std::string(1, command.drive) + ":";
                    return report.usageError(
                        say(lang, "A unidade " + drive + " não existe!", "Drive " + drive + " is not there!"));
                }
                list.selected = entry;
                root = std::string(1, command.drive) + ":\\";
                if (check)
                    form.BitBtn9Click();
                else
                    form.BitBtn1Click();
                break;
            }
            case CommandAction::CheckComputer:
                form.BitBtn7Click();
                break;
            default:
                form.BitBtn2Click();
                break;
        }
    } catch (const std::exception& e) {
        // The window shows this in its error box; here it ends the log.
        failed = true;
        form.Memo1.append(e.what());
    }
    form.Memo1.setAppendListener(nullptr);

    if (!command.logFile.empty()) {
        scan::RunContext ctx = form.context();
        scan::saveLogFile(ctx, command.logFile);
    }
    // A run that failed half-way cannot tell what it left: a check may have
    // missed a sign, a disinfection may have left one.
    if (failed)
        return command.action == CommandAction::CheckDevice || command.action == CommandAction::CheckComputer
                   ? exitcode::Found
                   : exitcode::NotAllRemoved;
    const bool autorunFound = command.action == CommandAction::CheckDevice && os.fs.fileExists(root + "autorun.inf");
    return exitCodeOf(command.action, form.flags, autorunFound, dialogs.keepRefused());
}

}  // namespace vx::app

// Processes, shell, clock and dialogs of the memory machine.
#include <charconv>
#include <cmath>

#include "platform/memory/memory_file_checks.h"
#include "platform/memory/memory_impl.h"

namespace vx::memory {

using platform::Answer;
using platform::Buttons;
using platform::DateTime;

// ---------------------------------------------------------------------------
// Processes
// ---------------------------------------------------------------------------

void Machine::State::pinImage(detail::Process& p) {
    if (p.info.imagePath.empty()) return;
    detail::Resolved r = resolve(p.info.imagePath, false);
    if (!r.node || r.node->kind != detail::Kind::File) return;
    ++r.node->images;
    p.image = r.node->weak_from_this();
}

void Machine::State::unpinImage(detail::Process& p) {
    if (auto image = p.image.lock()) --image->images;
    p.image.reset();
}

std::vector<platform::ProcessEntry> MemoryProcesses::snapshot() {
    std::vector<platform::ProcessEntry> list;
    if (s_.snapshotFails) return list;
    for (const detail::Process& p : s_.processes) list.push_back({p.info.pid, p.info.exeName});
    return list;
}

std::string MemoryProcesses::imagePath(uint32_t pid) {
    for (const detail::Process& p : s_.processes)
        if (p.info.pid == pid) return p.info.imagePath;
    return {};
}

platform::Status MemoryProcesses::terminate(uint32_t pid, uint32_t exitCode) {
    for (auto it = s_.processes.begin(); it != s_.processes.end(); ++it) {
        if (it->info.pid != pid) continue;
        if (!it->info.terminable) return detail::failure(detail::kAccessDenied);
        s_.terminations.push_back({pid, it->info.exeName, exitCode});
        if (it->info.critical) s_.systemHalted = true;
        if (pid == s_.currentPid) s_.selfTerminated = true;
        s_.unpinImage(*it);
        s_.processes.erase(it);
        return {};
    }
    // OpenProcess answers an invalid parameter for an id no process holds.
    return detail::failure(platform::Fault::Missing, detail::kInvalidParameter);
}

bool MemoryProcesses::isCritical(uint32_t pid) {
    // IsProcessCritical exists from Windows 8.1 (6.3) on.
    const auto& v = s_.version;
    if (v.major < 6 || (v.major == 6 && v.minor < 3)) return false;
    for (const detail::Process& p : s_.processes)
        if (p.info.pid == pid) return p.info.critical;
    return false;
}

uint32_t MemoryProcesses::currentProcessId() { return s_.currentPid; }

platform::Status MemoryProcesses::startCommand(const std::string& commandLine) {
    s_.startedCommands.push_back(commandLine);
    // A program that cannot be started: CreateProcess finds no such file.
    return s_.startCommandResult ? platform::Status() : detail::failure(detail::kFileNotFound);
}

// ---------------------------------------------------------------------------
// Shell
// ---------------------------------------------------------------------------

std::string MemoryShell::specialFolder(int csidl) {
    if (s_.failedSpecialFolders.count(csidl)) return {};
    auto it = s_.specialFolders.find(csidl);
    return it == s_.specialFolders.end() ? std::string() : it->second;
}

void MemoryShell::explore(const std::string& folder) { s_.explored.push_back(folder); }
void MemoryShell::openDefault(const std::string& target) { s_.opened.push_back(target); }
void MemoryShell::restartWindows(unsigned flags) { s_.restarts.push_back(flags); }
platform::Wow64 MemoryShell::isWow64Process() { return s_.wow64; }
bool MemoryShell::is64BitProcess() { return s_.is64Bit; }
platform::WindowsVersion MemoryShell::windowsVersion() { return s_.version; }
std::string MemoryShell::programPath() { return s_.programPath; }

// ---------------------------------------------------------------------------
// Clock and locale
// ---------------------------------------------------------------------------

Locale Locale::brazil() { return Locale{}; }

Locale Locale::unitedStates() {
    Locale l;
    l.shortDatePattern = "M/d/yyyy";
    l.longTimePattern = "h:mm:ss tt";
    l.thousandsSeparator = ",";
    l.decimalSeparator = ".";
    l.amDesignator = "AM";
    l.pmDesignator = "PM";
    return l;
}

namespace {

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// The range SYSTEMTIME and FILETIME share, as the Win32 formatters accept it.
bool isValidDateTime(const DateTime& t) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1) return false;
    int days = kDays[t.month - 1] + (t.month == 2 && isLeapYear(t.year) ? 1 : 0);
    return t.day <= days && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
           t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000;
}

void appendNumber(std::string& out, int value, int minDigits) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < minDigits) out.append(minDigits - digits.size(), '0');
    out += digits;
}

}  // namespace

std::string formatDateTime(const std::string& pattern, const DateTime& t, const Locale& locale) {
    if (!isValidDateTime(t)) return {};
    std::string out;
    size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c == '\'') {
            // Quoted text; two quotes in a row stand for one.
            size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == '\'') {
                out += '\'';
                i = j + 1;
                continue;
            }
            while (j < pattern.size()) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        out += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                out += pattern[j++];
            }
            i = j + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        const int width = run >= 2 ? 2 : 1;
        switch (c) {
            case 'd':
                appendNumber(out, t.day, width);
                break;
            case 'M':
                appendNumber(out, t.month, width);
                break;
            case 'y':
                if (run >= 3)
                    appendNumber(out, t.year, 4);
                else
                    appendNumber(out, t.year % 100, width);
                break;
            case 'H':
                appendNumber(out, t.hour, width);
                break;
            case 'h':
                appendNumber(out, t.hour % 12 == 0 ? 12 : t.hour % 12, width);
                break;
            case 'm':
                appendNumber(out, t.minute, width);
                break;
            case 's':
                appendNumber(out, t.second, width);
                break;
            case 't': {
                const std::string& mark = t.hour < 12 ? locale.amDesignator : locale.pmDesignator;
                out += run == 1 ? mark.substr(0, 1) : mark;
                break;
            }
            default:
                out.append(run, c);
                break;
        }
        i += run;
    }
    return out;
}

std::string formatNumber(double value, int decimals, const Locale& locale) {
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    char plain[400];
    auto [end, ec] = std::to_chars(plain, plain + sizeof(plain), value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return {};
    std::string text(plain, end);
    // Infinity and not-a-number have no local form.
    if (!std::isfinite(value)) return text;

    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.erase(0, 1);
    size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    // A value that rounds to zero carries no sign.
    if (negative && text.find_first_not_of("0.") == std::string::npos) negative = false;

    std::string out = negative ? "-" : "";
    for (size_t k = 0; k < whole.size(); ++k) {
        if (k > 0 && (whole.size() - k) % 3 == 0) out += locale.thousandsSeparator;
        out += whole[k];
    }
    if (!fraction.empty()) out += locale.decimalSeparator + fraction;
    return out;
}

DateTime MemoryClock::now() { return s_.now; }

std::string MemoryClock::shortDate(const DateTime& t) {
    return formatDateTime(s_.locale.shortDatePattern, t, s_.locale);
}

std::string MemoryClock::longTime(const DateTime& t) {
    return formatDateTime(s_.locale.longTimePattern, t, s_.locale);
}

std::string MemoryClock::formatNumber(double value, int decimals) {
    return memory::formatNumber(value, decimals, s_.locale);
}

// ---------------------------------------------------------------------------
// Dialogs
// ---------------------------------------------------------------------------

Answer MemoryDialogs::messageBox(const std::string& text, const std::string& caption, platform::Icon icon,
                                 Buttons buttons) {
    Answer answer = Answer::Ok;
    if (buttons == Buttons::YesNo) {
        answer = Answer::No;
        if (!s_.answers.empty()) {
            answer = s_.answers.front();
            s_.answers.pop_front();
        }
    }
    DialogRecord r;
    r.kind = DialogRecord::Kind::Message;
    r.text = text;
    r.caption = caption;
    r.icon = icon;
    r.buttons = buttons;
    r.answer = answer;
    s_.transcript.push_back(std::move(r));
    return answer;
}

std::optional<std::string> MemoryDialogs::saveFile(const platform::SaveDialogOptions& options) {
    std::optional<std::string> chosen;
    if (!s_.saveAnswers.empty()) {
        chosen = s_.saveAnswers.front();
        s_.saveAnswers.pop_front();
    }
    DialogRecord r;
    r.kind = DialogRecord::Kind::Save;
    r.caption = options.title;
    r.save = options;
    r.chosen = chosen;
    r.answer = chosen ? Answer::Ok : Answer::Cancel;
    s_.transcript.push_back(std::move(r));
    return chosen;
}

void MemoryDialogs::ioError(const std::string& text) {
    DialogRecord r;
    r.kind = DialogRecord::Kind::IoError;
    r.text = text;
    r.icon = platform::Icon::Error;
    s_.transcript.push_back(std::move(r));
}

}  // namespace vx::memory

// What every check, disinfection and tool routine works with: the platform,
// the activity log, the shared run flags and the language flag.
#pragma once

#include <string>

#include "platform/platform.h"
#include "scan/activity_log.h"

namespace vx::scan {

class QuarantineRun;

// The flags shared by the routines of one run. Each holds 0 or 1; the handler
// that owns a run clears the ones it reads.
struct RunFlags {
    int infectionFound = 0;
    int shortcutFound = 0;
    int removalFailed = 0;
    int restartNeeded = 0;
    int folderFound = 0;
    int driverAudio = 0;
};

// The language the program speaks. Only Portuguese chooses the Portuguese
// texts; every other value speaks English. NotChosen is the window's state
// before its start-up picks Portuguese: it speaks English, and neither
// language button acts on it.
enum class Language { NotChosen = 0, Portuguese = 1, English = 2 };
// Short names for the two languages.
inline constexpr Language kPortuguese = Language::Portuguese;
inline constexpr Language kEnglish = Language::English;

struct RunContext {
    platform::Platform os;
    ActivityLog& log;
    RunFlags& flags;
    const Language& language;
    // Where a disinfection keeps what it deletes; null for the runs that
    // delete nothing of the user's (checks, tools).
    QuarantineRun* quarantine = nullptr;

    bool portuguese() const { return language == Language::Portuguese; }
    // The Portuguese or the English text of a pair, by the language flag.
    std::string say(std::string pt, std::string en) const {
        return portuguese() ? std::move(pt) : std::move(en);
    }
    void write(std::string line) { log.append(std::move(line)); }
    void write(std::string pt, std::string en) { log.append(say(std::move(pt), std::move(en))); }
};

}  // namespace vx::scan

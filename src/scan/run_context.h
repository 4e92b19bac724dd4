// What every check, disinfection and tool routine works with: the platform,
// the activity log, the shared run flags and the language flag.
#pragma once

#include <string>

#include "platform/platform.h"
#include "scan/activity_log.h"

namespace vx::scan {

class QuarantineRun;

// What the routines of one run raise for its verdict and closing steps; the
// handler that owns a run clears the ones it reads.
struct RunFlags {
    bool infectionFound = false;
    bool removalFailed = false;
    bool restartNeeded = false;
    bool driverAudio = false;
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

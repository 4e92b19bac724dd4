// The frame every check and disinfection runs in: the log header, the
// date-time stamp, the automatic log copies and the save offer.
#pragma once

#include <string>
#include <vector>

#include "scan/run_context.h"

namespace vx::scan {

inline constexpr const char* kProgramVersion = "2.7.5";
inline constexpr const char* kBuildMark = "0";
inline constexpr const char* kVersionSuffix = "";

enum class RunKind { DeviceCheck, DeviceDisinfection, ComputerCheck, ComputerDisinfection };

// The program's data folder (roaming application data + "\varrex") and the
// local data folder (local application data + "\varrex"), computed afresh.
std::string dataFolder(platform::Shell& shell);
std::string localDataFolder(platform::Shell& shell);

// The folder of the running program file, with its final "\"; empty when
// the program's path cannot be read.
std::string programFolder(platform::Shell& shell);

// Creates the folder (one level) when it does not exist as a directory.
void ensureFolder(platform::FileSystem& fs, const std::string& folder);

// The current date and time texts in the user's formats, taken at one instant.
struct DateTimeTexts {
    std::string date;
    std::string time;
};
DateTimeTexts currentDateTimeTexts(platform::Clock& clock);

// Replaces every "/", "\" and ":" by "-", as file names need.
std::string fileNameSafe(std::string text);

// "07-12-2026-09-15-42" for 07/12/2026 09:15:42: date, "-", time, made file-name safe.
std::string dateTimeStamp(platform::Clock& clock);

// Clears the log and writes the three header lines of a run. `deviceRoot` is
// used by the two device runs only.
void writeLogHeader(RunContext& ctx, RunKind kind, const std::string& deviceRoot);

// "[VX] - Processo Concluído com Sucesso!" in the current language.
void writeCompletionLine(RunContext& ctx);

// Writes every log line to `path` as an ANSI text file. When the file cannot
// be written, shows the input/output error box ("Cannot create file ...")
// and answers false: the caller's run ends there.
bool saveLogFile(RunContext& ctx, const std::string& path);

// The two automatic copies of the log, prefix + stamp + ".txt", in the data
// folder and then the local data folder. False (after the error box) when a
// copy cannot be written; the run then ends.
bool writeAutomaticCopies(RunContext& ctx, const std::string& prefix);

// The save-file dialog remembers the last name chosen and offers it again.
struct SaveDialogMemory {
    std::string lastFileName;
};

// Whether a run ends by offering to save its log (the window's switch of the
// run's group).
enum class SaveOffer { Skip, Make };

// The save offer a switch of the window stands for.
inline SaveOffer saveOfferWhen(bool switchOn) { return switchOn ? SaveOffer::Make : SaveOffer::Skip; }

// Offers to save the log at the end of a run when `offer` says so: question,
// save dialog, overwrite question, then the file.
void makeSaveOffer(RunContext& ctx, RunKind kind, SaveOffer offer, SaveDialogMemory& memory);

}  // namespace vx::scan

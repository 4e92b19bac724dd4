// Reads a command (a program and its arguments, as a shortcut, an
// autorun.inf or a Run value gives them) for the files it runs as code and
// the ones it merely opens. Text only: nothing is looked up on a disk.
#pragma once

#include <string>
#include <vector>

namespace vx::scan {

enum class RunRole {
    Code,     // given to an interpreter to run, or run by start or in a cmd chain
    Program,  // the command's own program, when it is no interpreter
    Opened,   // a document or folder that start or explorer opens
};

struct CommandFile {
    std::string path;  // as written, quotes removed (relative, %variables% kept)
    RunRole role;
};

// True when `program` (a bare name or a path, ".exe" or not, or
// "%ComSpec%") names one of the interpreters: cmd, wscript, cscript, mshta,
// rundll32, regsvr32, msiexec, powershell.
bool isInterpreter(const std::string& program);

// The files `program` run with `arguments` runs and opens, in the order
// they are met (each command of a cmd chain in turn).
std::vector<CommandFile> readCommand(const std::string& program, const std::string& arguments);

// The same for a whole command line, its first token the program.
std::vector<CommandFile> readCommandLine(const std::string& line);

}  // namespace vx::scan

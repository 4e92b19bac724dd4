// Path text helpers shared by both platform implementations.
#pragma once

#include <string>
#include <vector>

namespace vx::platform {

// Splits an absolute Windows path into its root ("E:" for drive paths,
// "\\server\share" for UNC paths) and its components, resolving "." and ".."
// and ignoring repeated separators; "/" counts as "\". Trailing dots and blanks
// of a component are kept: a name read from the disk must reach the same entry.
// Returns false for a path that is not absolute; `currentDirectory` (itself
// absolute, such as "C:\Users") completes a relative path ("a\b") or a path
// rooted on the current drive ("\a").
struct PathParts {
    std::string root;
    std::vector<std::string> components;
};
bool splitPath(const std::string& path, const std::string& currentDirectory, PathParts& out);

// Joins the parts back: "E:\a\b", "E:\" for a drive root.
std::string joinPath(const PathParts& parts);

// True for a path that names one place whatever the current drive and folder:
// "X:\..." or a "\\"-prefixed path. A path rooted on the current drive ("\a"),
// relative ("a\b") or drive-relative ("C:a") is not; such a text comes from a
// folder Windows could not give, and the program never searches or changes it.
bool isAbsolutePath(const std::string& path);

// The file-name part of a path: everything after the last "\" or ":".
std::string fileNamePart(const std::string& path);

}  // namespace vx::platform

#include "platform/paths.h"

namespace vx::platform {

namespace {

bool isSep(char c) { return c == '\\' || c == '/'; }

void addComponents(const std::string& text, size_t from, std::vector<std::string>& out) {
    size_t i = from;
    while (i <= text.size()) {
        size_t j = i;
        while (j < text.size() && !isSep(text[j])) ++j;
        std::string part = text.substr(i, j - i);
        if (part.empty() || part == ".") {
            // repeated separator or "this folder": nothing to add
        } else if (part == "..") {
            if (!out.empty()) out.pop_back();
        } else {
            out.push_back(std::move(part));
        }
        i = j + 1;
    }
}

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool isAbsolutePath(const std::string& path) {
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && isSep(path[2])) return true;
    return path.size() >= 2 && isSep(path[0]) && isSep(path[1]);
}

bool splitPath(const std::string& path, const std::string& currentDirectory, PathParts& out) {
    out = PathParts{};
    if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':') {
        out.root = std::string(1, static_cast<char>(path[0] & ~0x20)) + ":";
        if (path.size() == 2 || !isSep(path[2])) {
            // "E:name" is relative to the current folder of that drive; only
            // the current drive's folder is known, any other drive means its root.
            PathParts cur;
            if (splitPath(currentDirectory, "", cur) && cur.root == out.root) out.components = cur.components;
            addComponents(path, 2, out.components);
            return true;
        }
        addComponents(path, 3, out.components);
        return true;
    }
    if (path.size() >= 2 && isSep(path[0]) && isSep(path[1])) {
        // "\\?\E:\..." names the same entry as "E:\..."; "\\server\share\..." is UNC.
        if (path.size() >= 4 && path[2] == '?' && isSep(path[3])) {
            std::string rest = path.substr(4);
            if (rest.size() >= 4 && (rest.compare(0, 4, "UNC\\") == 0 || rest.compare(0, 4, "unc\\") == 0))
                return splitPath("\\\\" + rest.substr(4), currentDirectory, out);
            return splitPath(rest, currentDirectory, out);
        }
        size_t s = 2;
        size_t e1 = s;
        while (e1 < path.size() && !isSep(path[e1])) ++e1;
        size_t e2 = e1 + 1;
        while (e2 < path.size() && !isSep(path[e2])) ++e2;
        if (e1 == s || e1 >= path.size() || e2 == e1 + 1) return false;
        out.root = "\\\\" + path.substr(s, e1 - s) + "\\" + path.substr(e1 + 1, e2 - e1 - 1);
        addComponents(path, e2 + 1, out.components);
        return true;
    }
    if (currentDirectory.empty()) return false;
    PathParts cur;
    if (!splitPath(currentDirectory, "", cur)) return false;
    out.root = cur.root;
    if (!path.empty() && isSep(path[0])) {
        addComponents(path, 1, out.components);
    } else {
        out.components = cur.components;
        addComponents(path, 0, out.components);
    }
    return true;
}

std::string joinPath(const PathParts& parts) {
    std::string s = parts.root;
    if (parts.components.empty()) return s + "\\";
    for (const auto& c : parts.components) s += "\\" + c;
    return s;
}

std::string fileNamePart(const std::string& path) {
    size_t p = path.find_last_of("\\:");
    return p == std::string::npos ? path : path.substr(p + 1);
}

}  // namespace vx::platform

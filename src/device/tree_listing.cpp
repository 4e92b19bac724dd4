#include "device/tree_listing.h"

#include <memory>
#include <vector>

#include "device/device_texts.h"
#include "platform/platform.h"

namespace vx::device {

using platform::FindEntry;
namespace attr = platform::attr;

namespace {

// Only a folder with no bit but "directory" is walked into. A junction or a
// symbolic link always carries the reparse-point bit, so it is never entered;
// the explicit test keeps that true whatever else the word holds.
bool isPlainFolder(uint32_t attributes) {
    return attributes == attr::Directory && (attributes & attr::ReparsePoint) == 0;
}

}  // namespace

bool listTree(scan::RunContext& ctx, const std::string& folder) {
    auto& fs = ctx.os.fs;
    std::string path = folder;
    if (path.empty() || path.back() != '\\') path += '\\';
    if (!fs.directoryExists(path)) return false;

    // A folder handed over that is itself a junction or link is not walked:
    // its content lives elsewhere, possibly on the computer's own disk.
    const uint32_t own = fs.getAttributes(path);
    if (own != attr::Invalid && (own & attr::ReparsePoint) != 0) return true;

    // One frame per folder being listed, each holding its open enumeration, so
    // entries come in exactly the order of a recursive walk. All frames share
    // one path text; a frame remembers how long the text is for its folder, so
    // a deep chain costs memory in proportion to its depth only.
    struct Frame {
        std::unique_ptr<platform::Finder> finder;
        size_t pathLength;
    };
    std::vector<Frame> stack;
    stack.push_back({fs.find(path + "*.*"), path.size()});

    FindEntry entry;
    while (!stack.empty()) {
        Frame& top = stack.back();
        path.resize(top.pathLength);
        if (!top.finder || !top.finder->next(entry)) {
            stack.pop_back();
            continue;
        }
        if (entry.name == "." || entry.name == "..") continue;
        path += entry.name;
        if (isPlainFolder(entry.attributes)) {
            path += '\\';
            std::unique_ptr<platform::Finder> inner = fs.find(path + "*.*");
            stack.push_back({std::move(inner), path.size()});  // `top` may dangle from here on
            continue;
        }
        // The entry was just enumerated under this very name, so it is
        // written as found: looking it up again would cost a second
        // directory search per file and find the same single entry.
        std::string line;
        line.reserve(std::char_traits<char>::length(texts::check::ListedFile) + path.size());
        line += texts::check::ListedFile;
        line += path;
        ctx.write(std::move(line));
    }
    return true;
}

}  // namespace vx::device

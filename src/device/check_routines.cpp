#include "device/check_routines.h"

#include <memory>
#include <vector>

#include "platform/paths.h"
#include "scan/primitives.h"
#include "scan/startup_entries.h"

namespace vx::device {

using platform::FindEntry;
using platform::RootKey;
namespace attr = platform::attr;

namespace {

// Size window of the A1 worm executable, both bounds excluded.
constexpr uint64_t kA1MinSizeExclusive = 250000;
constexpr uint64_t kA1MaxSizeExclusive = 251000;

// A file that names the program itself is never taken for a running worm.
constexpr const char* kDisplayName = "Varrex";

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t characterCount(const std::string& text) {
    size_t n = 0;
    for (char c : text)
        if (!isContinuationByte(c)) ++n;
    return n;
}

// Only a folder with no bit but "directory" is walked into. A junction or a
// symbolic link always carries the reparse-point bit, so it is never entered;
// the explicit test keeps that true whatever else the word holds.
bool isPlainFolder(uint32_t attributes) {
    return attributes == attr::Directory && (attributes & attr::ReparsePoint) == 0;
}

}  // namespace

std::string dropLastCharacters(const std::string& text, size_t count) {
    size_t end = text.size();
    while (count > 0 && end > 0) {
        --end;
        while (end > 0 && isContinuationByte(text[end])) --end;
        --count;
    }
    return text.substr(0, end);
}

void listFile(scan::RunContext& ctx, const std::string& path) {
    std::unique_ptr<platform::Finder> finder = ctx.os.fs.find(path);
    if (!finder) return;
    FindEntry entry;
    while (finder->next(entry)) ctx.write("[VX] - " + path);
}

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
        listFile(ctx, path);
    }
    return true;
}

void checkWormMaskAndRunValue(scan::RunContext& ctx, const std::string& folder, const std::string& mask) {
    auto& fs = ctx.os.fs;
    // A four-character mask such as "*.js" names a two-letter extension.
    const size_t extensionLength = characterCount(mask) == 4 ? 3 : 4;
    scan::forEachFileMatching(fs, folder, mask, [&](const FindEntry& entry) {
        if (fs.fileExists(folder + entry.name)) {
            if (mask == "*.lnk") ctx.flags.shortcutFound = 1;
            ctx.flags.infectionFound = 1;
            ctx.write("[VX] > Item <Infecções 10> encontrado!");
        } else {
            ctx.write("[VX] - Item <Infecções 10> não encontrado!");
        }

        const std::string stem = dropLastCharacters(entry.name, extensionLength);
        if (scan::runValueExists(ctx, RootKey::CurrentUser, stem)) {
            ctx.flags.infectionFound = 1;
            ctx.write("[VX] > Item <Infecções 10.1> encontrado!");
        } else {
            ctx.write("[VX] - Item <Infecções 10.1> não encontrado!");
        }
        if (scan::runValueExists(ctx, RootKey::LocalMachine, stem)) {
            ctx.flags.infectionFound = 1;
            ctx.write("[VX] > Item <Infecções 10.2> encontrado!");
        } else {
            ctx.write("[VX] - Item <Infecções 10.2> não encontrado!");
        }
    });
}

void checkWormMask(scan::RunContext& ctx, const std::string& folder, const std::string& mask) {
    auto& fs = ctx.os.fs;
    const std::string found = "[VX] > Vírus tipo <" + mask + "> encontrado!";
    const std::string notFound = "[VX] - Vírus tipo <" + mask + "> não encontrado!";
    scan::forEachFileMatching(fs, folder, mask, [&](const FindEntry& entry) {
        const std::string path = folder + entry.name;
        fs.setAttributes(path, 0);

        // The whole 64-bit size: a file of 4 GiB and more is never taken for
        // the small A1 executable because its low 32 bits fall in the window.
        if (entry.size > kA1MinSizeExclusive && entry.size < kA1MaxSizeExclusive && ctx.flags.shortcutFound == 1) {
            ctx.write("[VX] > Vírus tipo A1 encontrado!");
            ctx.flags.infectionFound = 1;
        }

        if (scan::isProcessRunning(ctx.os.processes, entry.name) && entry.name.rfind(kDisplayName, 0) != 0) {
            ctx.flags.infectionFound = 1;
            ctx.write(found);
        } else {
            ctx.write(notFound);
        }

        // The folder a worm hid and replaced by an executable of the same name.
        // A name that is nothing but the extension has no companion: the folder
        // searched is not a companion of the files in it.
        const std::string companion = dropLastCharacters(entry.name, 4);
        if (!companion.empty() && fs.directoryExists(folder + companion)) {
            ctx.flags.infectionFound = 1;
            ctx.write(found);
        } else {
            ctx.write(notFound);
        }
    });
}

}  // namespace vx::device

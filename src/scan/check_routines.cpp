#include "scan/check_routines.h"

#include "scan/primitives.h"
#include "scan/scan_texts.h"
#include "scan/startup_entries.h"

namespace vx::scan {

using platform::FindEntry;
using platform::RootKey;

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

MaskMatch checkWormMaskAndRunValue(RunContext& ctx, const std::string& folder, const std::string& mask) {
    auto& fs = ctx.os.fs;
    MaskMatch match;
    // A four-character mask such as "*.js" names a two-letter extension.
    const size_t extensionLength = characterCount(mask) == 4 ? 3 : 4;
    forEachFileMatching(ctx, folder, mask, [&](const FindEntry& entry) {
        match.matched = true;
        if (fs.fileExists(folder + entry.name)) {
            if (mask == "*.lnk") match.shortcutMet = true;
            ctx.flags.infectionFound = true;
            ctx.write(texts::check_routines::FileFound);
        } else {
            ctx.write(texts::check_routines::FileNotFound);
        }

        const std::string stem = dropLastCharacters(entry.name, extensionLength);
        if (runValueExists(ctx, RootKey::CurrentUser, stem)) {
            ctx.flags.infectionFound = true;
            ctx.write(texts::check_routines::UserValueFound);
        } else {
            ctx.write(texts::check_routines::UserValueNotFound);
        }
        if (runValueExists(ctx, RootKey::LocalMachine, stem)) {
            ctx.flags.infectionFound = true;
            ctx.write(texts::check_routines::MachineValueFound);
        } else {
            ctx.write(texts::check_routines::MachineValueNotFound);
        }
    });
    return match;
}

void checkWormMask(RunContext& ctx, const std::string& folder, const std::string& mask, ShortcutSeen shortcuts) {
    auto& fs = ctx.os.fs;
    const std::string found = fill(texts::check_routines::MaskFound, {mask});
    const std::string notFound = fill(texts::check_routines::MaskNotFound, {mask});
    forEachFileMatching(ctx, folder, mask, [&](const FindEntry& entry) {
        const std::string path = folder + entry.name;
        fs.setAttributes(path, 0).ignore();

        // The whole 64-bit size: a file of 4 GiB and more is never taken for
        // the small A1 executable because its low 32 bits fall in the window.
        if (entry.size > kA1MinSizeExclusive && entry.size < kA1MaxSizeExclusive && shortcuts == ShortcutSeen::Yes) {
            ctx.write(texts::check_routines::A1Found);
            ctx.flags.infectionFound = true;
        }

        if (isProcessRunning(ctx.os.processes, entry.name) && entry.name.rfind(kDisplayName, 0) != 0) {
            ctx.flags.infectionFound = true;
            ctx.write(found);
        } else {
            ctx.write(notFound);
        }

        // The folder a worm hid and replaced by an executable of the same name.
        // A name that is nothing but the extension has no companion: the folder
        // searched is not a companion of the files in it.
        const std::string companion = dropLastCharacters(entry.name, 4);
        if (!companion.empty() && fs.directoryExists(folder + companion)) {
            ctx.flags.infectionFound = true;
            ctx.write(found);
        } else {
            ctx.write(notFound);
        }
    });
}

}  // namespace vx::scan

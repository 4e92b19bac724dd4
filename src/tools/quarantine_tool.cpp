#include "tools/quarantine_tool.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <tuple>
#include <optional>

#include "platform/paths.h"
#include "scan/run_frame.h"
#include "tools/temp_folders.h"
#include "tools/tool_texts.h"

namespace vx::tools {

namespace {

namespace attr = platform::attr;
using scan::KeptItem;
using scan::KeptKind;
using scan::KeptRun;

constexpr size_t kChunk = 64 * 1024;
// The attribute bits a restored entry takes back; kind bits (folder, link,
// device) belong to what is created, not to what is set.
constexpr uint32_t kSettableAttributes = attr::ReadOnly | attr::Hidden | attr::System | attr::Archive |
                                         attr::Temporary | 0x2000 /* not content indexed */;
// "name (restaurado 9999).ext" is the last name tried beside an entry.
constexpr int kMaxBesideNames = 9999;

// Why an item is not restored.
using Reason = scan::Text;
constexpr Reason kValueExists = texts::quarantine::ValueExists;
constexpr Reason kDamaged = texts::quarantine::Damaged;
constexpr Reason kThroughJunction = texts::quarantine::ThroughJunction;
constexpr Reason kCouldNotWrite = texts::quarantine::CouldNotWrite;
constexpr Reason kCopyMismatch = texts::quarantine::CopyMismatch;
constexpr Reason kDeviceAbsent = texts::quarantine::DeviceAbsent;
constexpr Reason kInsideStore = texts::quarantine::InsideStore;
constexpr Reason kNotAPlaceKept = texts::quarantine::NotAPlaceKept;
constexpr Reason kKeptWithoutRights = texts::quarantine::KeptWithoutRights;
constexpr Reason kStoreNotTrusted = texts::quarantine::StoreNotTrusted;

// What became of one item: the place it was restored to, or why not.
struct Outcome {
    std::string place;
    std::optional<Reason> failure;
};

std::string rootKeyName(platform::RootKey root) {
    return root == platform::RootKey::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string keyPlace(const KeptItem& item) {
    std::string key = item.keyPath;
    while (!key.empty() && key.front() == '\\') key.erase(key.begin());
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return rootKeyName(item.root) + "\\" + key;
}

// Where the item was: a path, a registry value or a registry key; a record
// too damaged to tell is named by its number.
std::string originalPlace(const KeptItem& item) {
    if (item.damaged && item.path.empty() && item.keyPath.empty())
        return scan::fill(texts::quarantine::RecordNumber, {std::to_string(item.id)});
    switch (item.kind) {
        case KeptKind::Value:
            return keyPlace(item) + "\\" + item.value.name;
        case KeptKind::Key:
            return keyPlace(item);
        case KeptKind::File:
        case KeptKind::Folder:
            break;
    }
    return item.path;
}

std::string serialText(uint32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                  static_cast<unsigned>(serial & 0xFFFF));
    return text;
}

// The registry keys the disinfections delete values from: a value comes back
// only to one of them, whatever a record names. The runs never delete a
// whole key, so no key record is ever restored.
bool isPlaceValuesAreKeptFrom(const KeptItem& item) {
    static const char* const kKeys[] = {
        "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
        "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
        "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Run",
        "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
        "Software\\Policies\\Microsoft\\Internet Explorer\\control panel",
        "Software\\Policies\\Microsoft\\Windows NT\\SystemRestore",
    };
    std::string key = item.keyPath;
    while (!key.empty() && key.front() == '\\') key.erase(key.begin());
    while (!key.empty() && key.back() == '\\') key.pop_back();
    for (const char* k : kKeys)
        if (platform::equalNoCase(key, k)) return true;
    return false;
}

// The removable drive an item of a removable drive goes back to: the one
// whose volume serial, file system and label are those recorded (a record
// of an earlier version holds only the serial), whatever its letter. A fixed
// drive never receives such an item.
struct VolumeKey {
    uint32_t serial = 0;
    std::string fileSystem, label;
    bool operator<(const VolumeKey& o) const {
        return std::tie(serial, fileSystem, label) < std::tie(o.serial, o.fileSystem, o.label);
    }
};

std::optional<char> driveWithVolume(platform::FileSystem& fs, const VolumeKey& volume) {
    const uint32_t drives = fs.logicalDrives();
    for (int n = 0; n < 26; ++n) {
        if (!(drives & (1u << n))) continue;
        const char letter = static_cast<char>('A' + n);
        const std::string root = std::string(1, letter) + ":\\";
        if (fs.driveType(root) != platform::DriveType::Removable) continue;
        if (fs.volumeSerial(root) != volume.serial) continue;
        if (!volume.fileSystem.empty() &&
            (fs.fileSystemName(root) != volume.fileSystem || fs.volumeLabel(root) != volume.label))
            continue;
        return letter;
    }
    return std::nullopt;
}

// "name (restaurado).ext", then "name (restaurado 2).ext", ...
std::string besideName(const std::string& name, int n, bool portuguese) {
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    std::string tag = portuguese ? texts::quarantine::BesideTag.pt : texts::quarantine::BesideTag.en;
    if (n > 1) {
        tag += ' ';
        tag += std::to_string(n);
    }
    return name.substr(0, dot) + " (" + tag + ")" + name.substr(dot);
}

std::vector<std::string> componentsOf(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 3;
    while (start < path.size()) {
        size_t slash = path.find('\\', start);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// The folder that will hold the restored entry, opened one component at a
// time from the drive's root, each relative to its parent's handle; missing
// folders are made. A component that is a junction, symbolic link or mount
// point stops the item, and so does one that is the store itself.
struct Chain {
    std::unique_ptr<platform::FolderHandle> folder;
    std::string path;  // the folder's path, final "\"
    std::optional<Reason> failure;
};

Chain openParentChain(platform::FileSystem& fs, const std::string& target,
                      const std::optional<platform::FileIdentity>& store) {
    Chain chain;
    chain.path = target.substr(0, 3);
    chain.folder = fs.openFolder(chain.path);
    if (!chain.folder) return {nullptr, chain.path, kCouldNotWrite};
    const std::vector<std::string> parts = componentsOf(target);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        auto next = chain.folder->openFolder(parts[i]);
        if (!next && next.status().fault() == platform::Fault::Missing) {
            next = chain.folder->createFolder(parts[i]);
            if (!next && next.status().fault() == platform::Fault::Exists) next = chain.folder->openFolder(parts[i]);
        }
        if (!next) return {nullptr, chain.path, next.status().fault() == platform::Fault::Link ? kThroughJunction : kCouldNotWrite};
        if (store && next->identity() == *store) return {nullptr, chain.path, kInsideStore};
        chain.folder = std::move(next);
        chain.path += parts[i] + "\\";
    }
    return chain;
}

// Size and SHA-256 of what a new file holds now, read through its own handle.
bool newFileMatches(platform::Crypto& crypto, platform::NewFile& file, uint64_t size, const std::string& sha256) {
    auto digest = crypto.sha256();
    if (!digest || !file.seek(0)) return false;
    std::vector<uint8_t> buffer(kChunk);
    uint64_t total = 0;
    for (;;) {
        const auto n = file.read(buffer.data(), buffer.size());
        if (!n) return false;
        if (*n == 0) break;
        digest->update(buffer.data(), *n);
        total += *n;
    }
    return total == size && platform::hexDigest(digest->finish()) == sha256;
}

Outcome restoreFile(scan::RunContext& ctx, const KeptRun& run, const KeptItem& item, const std::string& target,
                    const std::optional<platform::FileIdentity>& store) {
    platform::FileSystem& fs = ctx.os.fs;
    Chain chain = openParentChain(fs, target, store);
    if (chain.failure) return {target, chain.failure};
    const std::string name = componentsOf(target).back();

    // The kept bytes, shared with no writer while they are read.
    std::unique_ptr<platform::ByteReader> source = fs.openBytesExclusive(run.folder + item.content);
    if (!source || !source->seek(item.offset)) return {target, kDamaged};

    // The name itself when nothing stands there, else the first free name
    // beside it; nothing is ever replaced.
    std::unique_ptr<platform::NewFile> out;
    std::string place;
    for (int n = 0; n <= kMaxBesideNames && !out; ++n) {
        const std::string candidate = n == 0 ? name : besideName(name, n, ctx.portuguese());
        auto made = chain.folder->createFile(candidate);
        const platform::Fault status = made.status().fault();
        out = std::move(made);
        place = chain.path + candidate;
        if (!out && status != platform::Fault::Exists) return {place, kCouldNotWrite};
    }
    if (!out) return {target, kCouldNotWrite};

    auto digest = ctx.os.crypto.sha256();
    std::vector<uint8_t> buffer(kChunk);
    uint64_t done = 0;
    bool written = digest.ok();
    while (written && done < item.size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), item.size - done));
        const auto n = source->read(buffer.data(), want);
        if (!n || *n == 0) {
            written = false;
            break;
        }
        scan::transformContent(buffer.data(), *n, item.offset + done, run.header.maskKey);
        digest->update(buffer.data(), *n);
        done += *n;
        if (!out->write(buffer.data(), *n)) written = false;
    }
    source.reset();
    if (!written || !out->flush()) {
        out->discard().ignore();
        return {place, kCouldNotWrite};
    }
    // The kept bytes must be the ones recorded, and what reached the disk,
    // read back through the file's own handle, must be them too.
    if (platform::hexDigest(digest->finish()) != item.sha256 ||
        !newFileMatches(ctx.os.crypto, *out, item.size, item.sha256)) {
        out->discard().ignore();
        return {place, kCopyMismatch};
    }
    out->setAttributes(item.attributes & kSettableAttributes).ignore();
    return {place, std::nullopt};
}

Outcome restoreFolder(scan::RunContext& ctx, const KeptItem& item, const std::string& target,
                      const std::optional<platform::FileIdentity>& store) {
    Chain chain = openParentChain(ctx.os.fs, target, store);
    if (chain.failure) return {target, chain.failure};
    const std::string name = componentsOf(target).back();
    auto there = chain.folder->openFolder(name);
    if (there) {
        if (store && there->identity() == *store) return {target, kInsideStore};
        // The folder is there already (restored with an earlier item, or made
        // again since): its files go into it, and it keeps what it has.
        return {target, std::nullopt};
    }
    if (there.status().fault() == platform::Fault::Link) return {target, kThroughJunction};
    if (there.status().fault() != platform::Fault::Missing) return {target, kCouldNotWrite};
    auto made = chain.folder->createFolder(name);
    if (!made) return {target, kCouldNotWrite};
    made->setAttributes(item.attributes & kSettableAttributes).ignore();
    return {target, std::nullopt};
}

Outcome restoreValue(scan::RunContext& ctx, const KeptItem& item) {
    const std::string place = originalPlace(item);
    if (!isPlaceValuesAreKeptFrom(item)) return {place, kNotAPlaceKept};
    auto key = ctx.os.registry.create(item.root, item.keyPath);
    if (!key) return {place, kCouldNotWrite};
    if (key->valueExists(item.value.name)) return {place, kValueExists};
    if (!key->writeValue(item.value.name, item.value.value)) return {place, kCouldNotWrite};
    const auto back = key->readValue(item.value.name);
    if (!back || back->type != item.value.value.type || back->data != item.value.value.data)
        return {place, kCopyMismatch};
    return {place, std::nullopt};
}

bool isInsideFolder(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() &&
           platform::equalNoCase(path.substr(0, folder.size() + 1), folder + "\\");
}

std::vector<std::string> digitGroups(const std::string& text) {
    std::vector<std::string> groups;
    for (size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        groups.push_back(text.substr(i, end - i));
        i = end;
    }
    return groups;
}

std::string withoutDigits(const std::string& text) {
    std::string rest;
    for (char c : text)
        if (c < '0' || c > '9') rest += c;
    return rest;
}

// Reads the date and time back out of a run folder's name. The name is the
// date-time stamp in the user's formats ("07-12-2026-09-15-42" in Brazil),
// so its text does not sort by time; the position of each field is learnt
// by formatting a known moment with the same formats.
class StampReader {
public:
    explicit StampReader(platform::Clock& clock) {
        const platform::DateTime afternoon{2033, 11, 22, 13, 44, 55, 0};
        platform::DateTime night = afternoon;
        night.hour = 1;
        const std::string probe = stampOf(clock, afternoon);
        std::array<int, 6> seen{};
        for (const std::string& group : digitGroups(probe)) {
            const int v = std::stoi(group.substr(0, 6));
            int role = -1;
            if (v == 2033 || v == 33) role = 0, twoDigitYear_ = v == 33;
            if (v == 11) role = 1;
            if (v == 22) role = 2;
            if (v == 13 || v == 1) role = 3, twelveHour_ = v == 1;
            if (v == 44) role = 4;
            if (v == 55) role = 5;
            if (role < 0) return;
            ++seen[static_cast<size_t>(role)];
            roles_.push_back(role);
        }
        for (int n : seen)
            if (n != 1) return;
        if (twelveHour_) {
            afternoonText_ = withoutDigits(probe);
            if (afternoonText_ == withoutDigits(stampOf(clock, night))) afternoonText_.clear();
        }
        usable_ = true;
    }

    // Year, month, day, hour, minute, second and the " (n)" suffix of a
    // second run within the same second; nullopt when the name does not
    // follow the formats.
    std::optional<std::array<int, 7>> read(std::string name) const {
        if (!usable_) return std::nullopt;
        std::array<int, 7> key{};
        key[6] = 1;
        const size_t open = name.rfind(" (");
        if (open != std::string::npos && name.size() > open + 3 && name.back() == ')') {
            const std::string n = name.substr(open + 2, name.size() - open - 3);
            if (n.size() <= 6 && digitGroups(n).size() == 1 && digitGroups(n)[0] == n) {
                key[6] = std::stoi(n);
                name.erase(open);
            }
        }
        const std::vector<std::string> groups = digitGroups(name);
        if (groups.size() != roles_.size()) return std::nullopt;
        for (size_t i = 0; i < groups.size(); ++i) {
            if (groups[i].size() > 6) return std::nullopt;
            key[static_cast<size_t>(roles_[i])] = std::stoi(groups[i]);
        }
        if (twoDigitYear_) key[0] += 2000;
        if (twelveHour_) key[3] = key[3] % 12 + (!afternoonText_.empty() && withoutDigits(name) == afternoonText_ ? 12 : 0);
        return key;
    }

private:
    static std::string stampOf(platform::Clock& clock, const platform::DateTime& t) {
        return scan::fileNameSafe(clock.shortDate(t)) + "-" + scan::fileNameSafe(clock.longTime(t));
    }

    std::vector<int> roles_;  // per digit group: year, month, day, hour, minute, second
    bool usable_ = false;
    bool twoDigitYear_ = false;
    bool twelveHour_ = false;
    std::string afternoonText_;  // the letters of an afternoon stamp (its PM mark)
};

// Newest first: names that give a date and time by it, the others after
// them by name.
void sortNewestFirst(std::vector<std::string>& names, platform::Clock& clock) {
    const StampReader reader(clock);
    std::vector<std::pair<std::optional<std::array<int, 7>>, std::string>> keyed;
    for (std::string& name : names) keyed.emplace_back(reader.read(name), std::move(name));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.first.has_value() != b.first.has_value()) return a.first.has_value();
        if (a.first && *a.first != *b.first) return *a.first > *b.first;
        return a.second > b.second;
    });
    names.clear();
    for (auto& k : keyed) names.push_back(std::move(k.second));
}

// Lists the runs of one store, newest first.
void listStore(scan::RunContext& ctx, const std::string& store, bool restorableHere, std::vector<KeptRun>& runs) {
    if (!platform::isAbsolutePath(store)) return;
    std::unique_ptr<platform::Finder> finder = ctx.os.fs.find(store + "\\*.*");
    if (!finder) return;
    std::vector<std::string> names;
    platform::FindEntry entry;
    while (finder->next(entry)) {
        if (entry.name == "." || entry.name == "..") continue;
        // Run folders are plain folders; a link placed in the store is never
        // followed.
        if (!entry.isDirectory() || (entry.attributes & attr::ReparsePoint)) continue;
        names.push_back(entry.name);
    }
    finder.reset();
    sortNewestFirst(names, ctx.os.clock);
    for (const std::string& name : names) {
        const std::string folder = store + "\\" + name + "\\";
        KeptRun run = scan::readKeptRun(ctx.os, folder);
        if (!run.readable) {
            scan::write(ctx, texts::quarantine::RunUnreadable, {folder});
            continue;
        }
        if (run.items.empty()) continue;
        run.restorableHere = restorableHere;
        runs.push_back(std::move(run));
    }
}

}  // namespace

std::vector<KeptRun> listKeptRuns(scan::RunContext& ctx) {
    std::vector<KeptRun> runs;
    const scan::QuarantineStore store = scan::quarantineStore(ctx.os.shell);
    if (store.machine) {
        // Read only once its folders pass the check (a folder that fails is
        // moved aside and made anew, so nothing is listed from it).
        if (scan::prepareStore(ctx, store)) listStore(ctx, store.folder, true, runs);
        // What was kept without administrator rights is shown, never
        // restored with them.
        listStore(ctx, scan::userQuarantineFolder(ctx.os.shell), false, runs);
    } else {
        listStore(ctx, store.folder, true, runs);
    }
    return runs;
}

bool machineStoreHidden(scan::RunContext& ctx) {
    if (ctx.os.shell.hasAdministratorRights()) return false;
    // The store's own folder cannot even be looked at without the rights;
    // the "Varrex" folder that holds it can.
    const std::string machine = scan::machineQuarantineFolder(ctx.os.shell);
    const size_t slash = machine.find_last_of('\\');
    return platform::isAbsolutePath(machine) && slash != std::string::npos &&
           ctx.os.fs.directoryExists(machine.substr(0, slash));
}

std::string machineStoreNote(scan::RunContext& ctx) {
    return scan::say(ctx, texts::quarantine::MachineStoreNote);
}

uint64_t quarantineStoreBytes(platform::FileSystem& fs, platform::Shell& shell) {
    const scan::QuarantineStore store = scan::quarantineStore(shell);
    uint64_t bytes = folderSize(fs, store.folder);
    if (store.machine) bytes += folderSize(fs, scan::userQuarantineFolder(shell));
    return bytes;
}

std::string runListLine(scan::RunContext& ctx, const KeptRun& run) {
    const size_t n = run.items.size();
    std::string line = run.header.date + " " + run.header.time + " - ";
    line += run.header.device ? scan::say(ctx, texts::quarantine::DeviceRun, {run.header.deviceRoot})
                              : std::string(scan::say(ctx, texts::quarantine::ComputerRun));
    line += " - " + std::to_string(n) +
            (n == 1 ? std::string(texts::quarantine::OneItem) : scan::say(ctx, texts::quarantine::Items));
    line += " - " + sizeText(ctx.os.clock, run.bytes);
    return line;
}

std::string itemListLine(scan::RunContext& ctx, const KeptRun& run, const KeptItem& item) {
    std::string line;
    switch (item.kind) {
        case KeptKind::File:
            line = scan::say(ctx, texts::quarantine::FileItem);
            break;
        case KeptKind::Folder:
            line = scan::say(ctx, texts::quarantine::FolderItem);
            break;
        case KeptKind::Value:
            line = scan::say(ctx, texts::quarantine::ValueItem);
            break;
        case KeptKind::Key:
            line = scan::say(ctx, texts::quarantine::KeyItem);
            break;
    }
    line += " - " + originalPlace(item);
    if (item.kind == KeptKind::File) line += " - " + sizeText(ctx.os.clock, item.size);
    if (item.kind == KeptKind::Value) line += " - " + sizeText(ctx.os.clock, item.value.value.data.size());
    if (item.damaged)
        line += scan::say(ctx, texts::quarantine::DamagedItem);
    else if (!run.restorableHere)
        line += " - " + std::string(scan::say(ctx, kKeptWithoutRights));
    return line;
}

RestoreCount restoreItems(scan::RunContext& ctx, const KeptRun& run, const std::vector<size_t>& indexes) {
    RestoreCount count;
    // Folders first, so that the files kept from a folder tree go back into
    // their folders; otherwise the manifest's order.
    std::vector<size_t> order;
    for (size_t i : indexes)
        if (i < run.items.size()) order.push_back(i);
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    std::stable_partition(order.begin(), order.end(),
                          [&](size_t i) { return run.items[i].kind == KeptKind::Folder; });

    // Trust follows the writer: with administrator rights, only a run of the
    // machine's store, while that store is still one only administrators
    // can change; without them, only the per-user store.
    const bool admin = ctx.os.shell.hasAdministratorRights();
    const std::string machine = scan::machineQuarantineFolder(ctx.os.shell);
    const std::string user = scan::userQuarantineFolder(ctx.os.shell);
    std::optional<Reason> refused;
    if (!run.restorableHere || (admin && !isInsideFolder(run.folder, machine)) ||
        (!admin && !isInsideFolder(run.folder, user)))
        refused = kKeptWithoutRights;
    else if (admin && !scan::machineStoreTrusted(ctx.os.fs, ctx.os.shell))
        refused = kStoreNotTrusted;
    const std::optional<platform::FileIdentity> store = ctx.os.fs.identity(admin ? machine : user).optional();

    // The drive of each removable volume met, looked up once per restore.
    std::map<VolumeKey, std::optional<char>> drives;
    auto driveFor = [&](const VolumeKey& volume) {
        auto found = drives.find(volume);
        if (found != drives.end()) return found->second;
        std::optional<char> letter = driveWithVolume(ctx.os.fs, volume);
        if (!letter) {
            ctx.os.dialogs.messageBox(scan::say(ctx, texts::quarantine::InsertDeviceBox, {serialText(volume.serial)}),
                                      scan::say(ctx, texts::HeadsUpCaption), platform::Icon::Information,
                                      platform::Buttons::Ok);
            letter = driveWithVolume(ctx.os.fs, volume);
        }
        drives.emplace(volume, letter);
        return letter;
    };

    size_t restoredHere = 0;
    for (size_t index : order) {
        const KeptItem& item = run.items[index];
        Outcome outcome{originalPlace(item), std::nullopt};
        const bool onDisk = item.kind == KeptKind::File || item.kind == KeptKind::Folder;
        if (item.damaged) {
            outcome.failure = kDamaged;
        } else if (refused) {
            outcome.failure = refused;
        } else if (item.kind == KeptKind::Key) {
            outcome.failure = kNotAPlaceKept;
        } else if (item.kind == KeptKind::Value) {
            outcome = restoreValue(ctx, item);
        } else if (onDisk && run.header.device &&
                   (run.header.deviceRoot.empty() ||
                    platform::upperAscii(item.path.substr(0, 1)) !=
                        platform::upperAscii(run.header.deviceRoot.substr(0, 1)))) {
            // A device run keeps only what lay on its device.
            outcome.failure = kNotAPlaceKept;
        } else {
            std::string target = item.path;
            std::optional<Reason> absent;
            if (item.volumeSerial) {
                if (std::optional<char> letter = driveFor({*item.volumeSerial, item.fileSystem, item.label}))
                    target[0] = *letter;
                else
                    absent = kDeviceAbsent;
            }
            if (absent)
                outcome = {target, absent};
            else if (item.kind == KeptKind::Folder)
                outcome = restoreFolder(ctx, item, target, store);
            else
                outcome = restoreFile(ctx, run, item, target, store);
        }

        if (outcome.failure) {
            ++count.failed;
            scan::write(ctx, texts::quarantine::NotRestored, {outcome.place, scan::say(ctx, *outcome.failure)});
            continue;
        }
        ++count.restored;
        ++restoredHere;
        scan::write(ctx, texts::quarantine::Restored, {outcome.place});
        // Recorded at once, so that an interrupted restore never brings an
        // item back twice.
        scan::markItemsGone(ctx.os, run, {index});
    }

    if (restoredHere > 0 && restoredHere == run.items.size()) deleteRunForGood(ctx, run);
    return count;
}

void showRestoreCount(scan::RunContext& ctx, const RestoreCount& count) {
    std::string text = scan::say(ctx, texts::quarantine::RestoredCount, {std::to_string(count.restored)});
    if (count.failed > 0) text += scan::say(ctx, texts::quarantine::NotRestoredCount, {std::to_string(count.failed)});
    ctx.os.dialogs.messageBox(text, scan::say(ctx, texts::OutcomeCaption),
                              count.failed > 0 ? platform::Icon::Warning : platform::Icon::Information,
                              platform::Buttons::Ok);
}

bool deleteRunForGood(scan::RunContext& ctx, const KeptRun& run) {
    // Only a folder directly inside one of the stores is ever removed, and
    // only through handles: the store is opened, the run's folder relative to
    // it (never through a link), its files are deleted relative to that, and
    // the emptied folder last.
    auto& fs = ctx.os.fs;
    std::string store;
    for (const std::string& s : {scan::machineQuarantineFolder(ctx.os.shell), scan::userQuarantineFolder(ctx.os.shell)})
        if (platform::isAbsolutePath(s) && isInsideFolder(run.folder, s)) store = s;
    if (store.empty()) return false;
    std::string name = run.folder.substr(store.size() + 1);
    if (!name.empty() && name.back() == '\\') name.pop_back();
    if (name.empty() || name == "." || name == ".." || name.find('\\') != std::string::npos) return false;

    auto storeFolder = fs.openFolder(store);
    if (!storeFolder) return false;
    {
        auto runFolder = storeFolder->openFolder(name);
        if (!runFolder) return runFolder.status().fault() == platform::Fault::Missing;
        for (const platform::FindEntry& entry : runFolder->list()) runFolder->deleteEntry(entry.name).ignore();
    }
    return storeFolder->deleteEntry(name).ok();
}

}  // namespace vx::tools

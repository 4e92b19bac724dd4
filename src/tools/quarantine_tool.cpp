#include "tools/quarantine_tool.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>

#include "platform/paths.h"
#include "scan/run_frame.h"
#include "tools/temp_folders.h"

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

struct Reason {
    const char* pt;
    const char* en;
};
constexpr Reason kValueExists{"já existe um valor com este nome", "a value of that name exists"};
constexpr Reason kDamaged{"item danificado", "damaged item"};
constexpr Reason kThroughJunction{"o caminho passa por uma junção", "the path goes through a junction"};
constexpr Reason kCouldNotWrite{"não foi possível gravar", "could not write"};
constexpr Reason kCopyMismatch{"a cópia não confere", "the copy does not match"};
constexpr Reason kDeviceAbsent{"dispositivo ausente", "device absent"};

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

// Where the item was: a path, a registry value or a registry key.
std::string originalPlace(const KeptItem& item) {
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

bool isDriveLetterPath(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// The letter of the drive whose volume serial is `serial`, if one is present.
// Network and CD drives never hold a kept item's volume.
std::optional<char> driveWithSerial(platform::FileSystem& fs, uint32_t serial) {
    const uint32_t drives = fs.logicalDrives();
    for (int n = 0; n < 26; ++n) {
        if (!(drives & (1u << n))) continue;
        const char letter = static_cast<char>('A' + n);
        const std::string root = std::string(1, letter) + ":\\";
        const platform::DriveType type = fs.driveType(root);
        if (type != platform::DriveType::Removable && type != platform::DriveType::Fixed &&
            type != platform::DriveType::RamDisk)
            continue;
        if (fs.volumeSerial(root) == serial) return letter;
    }
    return std::nullopt;
}

// Creates the missing folders above `path`. An existing component that is a
// junction or link is never passed through: what lies behind it may be
// another disk altogether.
std::optional<Reason> prepareParents(platform::FileSystem& fs, const std::string& path) {
    platform::PathParts parts;
    if (!platform::splitPath(path, "", parts) || parts.components.empty()) return kCouldNotWrite;
    std::string at = parts.root + "\\";
    for (size_t i = 0; i + 1 < parts.components.size(); ++i) {
        at += parts.components[i];
        const uint32_t a = fs.getAttributes(at);
        if (a == attr::Invalid) {
            if (!fs.createDirectory(at)) return kCouldNotWrite;
        } else if (a & attr::ReparsePoint) {
            return kThroughJunction;
        } else if (!(a & attr::Directory)) {
            return kCouldNotWrite;
        }
        at += "\\";
    }
    return std::nullopt;
}

// "name (restaurado).ext", then "name (restaurado 2).ext", ...
std::string besideName(const std::string& path, int n, bool portuguese) {
    const size_t slash = path.find_last_of('\\');
    const std::string folder = path.substr(0, slash + 1);
    const std::string name = path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    std::string tag = portuguese ? "restaurado" : "restored";
    if (n > 1) {
        tag += ' ';
        tag += std::to_string(n);
    }
    return folder + name.substr(0, dot) + " (" + tag + ")" + name.substr(dot);
}

// The path itself when nothing stands there, else the first free name beside
// it; empty when every name is taken.
std::string freePlace(platform::FileSystem& fs, const std::string& path, bool portuguese) {
    if (fs.getAttributes(path) == attr::Invalid) return path;
    for (int n = 1; n <= kMaxBesideNames; ++n) {
        std::string candidate = besideName(path, n, portuguese);
        if (fs.getAttributes(candidate) == attr::Invalid) return candidate;
    }
    return {};
}

std::string lowerHex(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Size and SHA-256 of a file's bytes as they are on disk now.
bool fileMatches(platform::Platform& os, const std::string& path, uint64_t size, const std::string& sha256) {
    auto reader = os.fs.openBytes(path);
    auto digest = os.crypto.sha256();
    if (!reader || !digest) return false;
    std::vector<uint8_t> buffer(kChunk);
    uint64_t total = 0;
    for (;;) {
        const std::optional<size_t> n = reader->read(buffer.data(), buffer.size());
        if (!n) return false;
        if (*n == 0) break;
        digest->update(buffer.data(), *n);
        total += *n;
    }
    return total == size && platform::hexDigest(digest->finish()) == lowerHex(sha256);
}

Outcome restoreFile(scan::RunContext& ctx, const KeptRun& run, const KeptItem& item, const std::string& target) {
    platform::FileSystem& fs = ctx.os.fs;
    if (auto r = prepareParents(fs, target)) return {target, r};
    const std::string place = freePlace(fs, target, ctx.portuguese());
    if (place.empty()) return {target, kCouldNotWrite};

    auto source = fs.openBytes(run.folder + scan::contentFileName(item.number));
    if (!source) return {target, kDamaged};
    platform::IoResult error;
    auto out = fs.createBytes(place, error);
    if (!out) return {place, kCouldNotWrite};

    std::vector<uint8_t> buffer(kChunk);
    uint64_t offset = 0;
    bool written = true;
    for (;;) {
        const std::optional<size_t> n = source->read(buffer.data(), buffer.size());
        if (!n) {
            written = false;
            break;
        }
        if (*n == 0) break;
        scan::transformContent(buffer.data(), *n, offset);
        offset += *n;
        if (!out->write(buffer.data(), *n)) {
            written = false;
            break;
        }
    }
    if (!out->close()) written = false;
    out.reset();
    source.reset();
    if (!written) {
        fs.deleteFile(place);
        return {place, kCouldNotWrite};
    }
    // What reached the disk is read back: only a copy that gives the kept
    // size and SHA-256 stays.
    if (!fileMatches(ctx.os, place, item.size, item.sha256)) {
        fs.deleteFile(place);
        return {place, kCopyMismatch};
    }
    fs.setAttributes(place, item.attributes & kSettableAttributes);
    return {place, std::nullopt};
}

Outcome restoreFolder(scan::RunContext& ctx, const KeptItem& item, const std::string& target) {
    platform::FileSystem& fs = ctx.os.fs;
    if (auto r = prepareParents(fs, target)) return {target, r};
    const uint32_t a = fs.getAttributes(target);
    if (a != attr::Invalid) {
        if (a & attr::ReparsePoint) return {target, kThroughJunction};
        if (!(a & attr::Directory)) return {target, kCouldNotWrite};
        // The folder is there already (restored with an earlier item, or made
        // again since): its files go into it, and it keeps what it has.
        return {target, std::nullopt};
    }
    if (!fs.createDirectory(target)) return {target, kCouldNotWrite};
    fs.setAttributes(target, item.attributes & kSettableAttributes);
    return {target, std::nullopt};
}

Outcome restoreValue(scan::RunContext& ctx, const KeptItem& item) {
    const std::string place = originalPlace(item);
    auto key = ctx.os.registry.create(item.root, item.keyPath);
    if (!key) return {place, kCouldNotWrite};
    if (key->valueExists(item.value.name)) return {place, kValueExists};
    if (!key->writeValue(item.value.name, item.value.value)) return {place, kCouldNotWrite};
    const auto back = key->readValue(item.value.name);
    if (!back || back->type != item.value.value.type || back->data != item.value.value.data)
        return {place, kCopyMismatch};
    return {place, std::nullopt};
}

// A key comes back with its values only when none of them would replace one
// that is there now.
Outcome restoreKey(scan::RunContext& ctx, const KeptItem& item) {
    const std::string place = originalPlace(item);
    auto key = ctx.os.registry.create(item.root, item.keyPath);
    if (!key) return {place, kCouldNotWrite};
    for (const scan::KeptValue& v : item.keyValues)
        if (key->valueExists(v.name)) return {place, kValueExists};
    for (const scan::KeptValue& v : item.keyValues)
        if (!key->writeValue(v.name, v.value)) return {place, kCouldNotWrite};
    return {place, std::nullopt};
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

}  // namespace

std::vector<KeptRun> listKeptRuns(scan::RunContext& ctx) {
    std::vector<KeptRun> runs;
    const std::string store = scan::quarantineFolder(ctx.os.shell);
    if (!platform::isAbsolutePath(store)) return runs;
    auto finder = ctx.os.fs.find(store + "\\*.*");
    if (!finder) return runs;
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
            ctx.write("[VX] - Não foi possível ler " + folder, "[VX] - Could not read " + folder);
            continue;
        }
        if (run.items.empty()) continue;
        runs.push_back(std::move(run));
    }
    return runs;
}

uint64_t quarantineStoreBytes(platform::FileSystem& fs, platform::Shell& shell) {
    return folderSize(fs, scan::quarantineFolder(shell));
}

std::string runListLine(scan::RunContext& ctx, const KeptRun& run) {
    const size_t n = run.items.size();
    std::string line = run.header.date + " " + run.header.time + " - ";
    line += run.header.device ? ctx.say("Dispositivo ", "Device ") + run.header.deviceRoot
                              : ctx.say("Computador", "Computer");
    line += " - " + std::to_string(n) + (n == 1 ? " item" : ctx.say(" itens", " items"));
    line += " - " + sizeText(ctx.os.clock, run.bytes);
    return line;
}

std::string itemListLine(scan::RunContext& ctx, const KeptItem& item) {
    std::string line;
    switch (item.kind) {
        case KeptKind::File:
            line = ctx.say("Arquivo", "File");
            break;
        case KeptKind::Folder:
            line = ctx.say("Pasta", "Folder");
            break;
        case KeptKind::Value:
            line = ctx.say("Valor", "Value");
            break;
        case KeptKind::Key:
            line = ctx.say("Chave", "Key");
            break;
    }
    line += " - " + originalPlace(item);
    if (item.kind == KeptKind::File) line += " - " + sizeText(ctx.os.clock, item.size);
    if (item.kind == KeptKind::Value) line += " - " + sizeText(ctx.os.clock, item.value.value.data.size());
    if (item.damaged) line += ctx.say(" - danificado", " - damaged");
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

    // The drive of each volume serial met, looked up once per restore.
    std::map<uint32_t, std::optional<char>> drives;
    auto driveFor = [&](uint32_t serial) {
        auto found = drives.find(serial);
        if (found != drives.end()) return found->second;
        std::optional<char> letter = driveWithSerial(ctx.os.fs, serial);
        if (!letter) {
            ctx.os.dialogs.messageBox(
                ctx.say("Insira o dispositivo de onde vieram estes itens (número de série " + serialText(serial) +
                            ") e pressione OK.",
                        "Insert the device these items came from (serial number " + serialText(serial) +
                            ") and press OK."),
                ctx.say("Atenção", "Heads up"), platform::Icon::Information, platform::Buttons::Ok);
            letter = driveWithSerial(ctx.os.fs, serial);
        }
        drives.emplace(serial, letter);
        return letter;
    };

    size_t restoredHere = 0;
    for (size_t index : order) {
        const KeptItem& item = run.items[index];
        Outcome outcome{originalPlace(item), std::nullopt};
        if (item.damaged) {
            outcome.failure = kDamaged;
        } else if (item.kind == KeptKind::Value) {
            outcome = restoreValue(ctx, item);
        } else if (item.kind == KeptKind::Key) {
            outcome = restoreKey(ctx, item);
        } else {
            std::string target = item.path;
            std::optional<Reason> absent;
            if (item.volumeSerial && isDriveLetterPath(target)) {
                if (std::optional<char> letter = driveFor(*item.volumeSerial))
                    target[0] = *letter;
                else
                    absent = kDeviceAbsent;
            }
            if (absent)
                outcome = {target, absent};
            else if (item.kind == KeptKind::Folder)
                outcome = restoreFolder(ctx, item, target);
            else
                outcome = restoreFile(ctx, run, item, target);
        }

        if (outcome.failure) {
            ++count.failed;
            ctx.write("[VX] - Não foi possível restaurar " + outcome.place + ": " + outcome.failure->pt,
                      "[VX] - Could not restore " + outcome.place + ": " + outcome.failure->en);
            continue;
        }
        ++count.restored;
        ++restoredHere;
        ctx.write("[VX] > Restaurado: " + outcome.place, "[VX] > Restored: " + outcome.place);
        // Recorded at once, so that an interrupted restore never brings an
        // item back twice.
        scan::markItemsGone(ctx.os, run, {index});
    }

    if (restoredHere > 0 && restoredHere == run.items.size()) deleteRunForGood(ctx, run);
    return count;
}

void showRestoreCount(scan::RunContext& ctx, const RestoreCount& count) {
    std::string text = ctx.say("Itens restaurados: ", "Items restored: ") + std::to_string(count.restored);
    if (count.failed > 0) text += ctx.say("\rNão restaurados: ", "\rNot restored: ") + std::to_string(count.failed);
    ctx.os.dialogs.messageBox(text, ctx.say("Resultado", "Outcome"),
                              count.failed > 0 ? platform::Icon::Warning : platform::Icon::Information,
                              platform::Buttons::Ok);
}

bool deleteRunForGood(scan::RunContext& ctx, const KeptRun& run) {
    // Only a folder directly inside the store is ever removed this way.
    const std::string store = scan::quarantineFolder(ctx.os.shell);
    if (!platform::isAbsolutePath(store) || run.folder.size() <= store.size() + 1) return false;
    if (!platform::equalNoCase(run.folder.substr(0, store.size() + 1), store + "\\")) return false;
    std::string name = run.folder.substr(store.size() + 1);
    if (!name.empty() && name.back() == '\\') name.pop_back();
    if (name.empty() || name == "." || name == ".." || name.find('\\') != std::string::npos) return false;
    return emptyAndRemoveFolder(ctx.os.fs, store + "\\" + name);
}

}  // namespace vx::tools

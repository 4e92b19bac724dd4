#include "scan/quarantine.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/paths.h"
#include "scan/primitives.h"
#include "scan/run_frame.h"

namespace vx::scan {

using platform::FolderTrust;
using platform::RootKey;

namespace {

constexpr size_t kChunk = 64 * 1024;
constexpr int kLastFolderSuffix = 999;
constexpr int kLastPackSuffix = 99;

std::string hexBytes(const uint8_t* bytes, size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// The folder that holds `path` ("E:\a\b" gives "E:\a"); empty at a root.
std::string parentOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || slash < 3) return slash == 2 ? path.substr(0, 3) : std::string();
    return path.substr(0, slash);
}

// A name for `path` moved aside: "Quarantine.moved-07-12-2026-09-15-42",
// then with " (2)", " (3)", ...; empty when every name is taken.
std::string asideName(platform::FileSystem& fs, platform::Clock& clock, const std::string& path) {
    const std::string base = path + ".moved-" + dateTimeStamp(clock);
    for (int n = 1; n <= kLastFolderSuffix; ++n) {
        const std::string candidate = n == 1 ? base : base + " (" + std::to_string(n) + ")";
        if (fs.getAttributes(candidate) == platform::attr::Invalid) return candidate;
    }
    return {};
}

// Moves whatever stands at `path` out of the way, with one log line.
bool moveAside(RunContext& ctx, const std::string& path) {
    const std::string aside = asideName(ctx.os.fs, ctx.os.clock, path);
    if (aside.empty() || !ctx.os.fs.move(path, aside)) return false;
    ctx.write("[VX] - Quarentena: " + path + " não era segura e foi movida para " + aside,
              "[VX] - Quarantine: " + path + " was not safe and was moved to " + aside);
    return true;
}

// The machine store's two folders, outermost first.
std::vector<std::string> machineStoreFolders(const std::string& store) {
    return {parentOf(store), store};
}

// Size and SHA-256 of `size` bytes of a content file from `offset`, unmasked
// with `key`; nothing when they cannot be read in full.
struct Digest {
    uint64_t size = 0;
    std::string sha256;
};
std::optional<Digest> keptDigest(platform::Crypto& crypto, platform::ByteReader& reader, uint64_t offset,
                                 uint64_t size, const std::optional<MaskKey>& key) {
    auto hash = crypto.sha256();
    if (!hash || !reader.seek(offset)) return std::nullopt;
    std::vector<uint8_t> buffer(kChunk);
    uint64_t done = 0;
    while (done < size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done));
        auto n = reader.read(buffer.data(), want);
        if (!n || *n == 0) return std::nullopt;
        transformContent(buffer.data(), *n, offset + done, key);
        hash->update(buffer.data(), *n);
        done += *n;
    }
    return Digest{done, platform::hexDigest(hash->finish())};
}

uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

// --- stores ----------------------------------------------------------------------

std::string machineQuarantineFolder(platform::Shell& shell) {
    const std::string common = shell.specialFolder(csidl::CommonAppData);
    return common.empty() ? std::string() : common + "\\Varrex\\Quarantine";
}

std::string userQuarantineFolder(platform::Shell& shell) { return localDataFolder(shell) + "\\quarantine"; }

QuarantineStore quarantineStore(platform::Shell& shell) {
    if (shell.hasAdministratorRights()) return {machineQuarantineFolder(shell), true};
    return {userQuarantineFolder(shell), false};
}

std::string quarantineFolder(platform::Shell& shell) { return quarantineStore(shell).folder; }

// A folder the machine's store may use: protected; or, where the disk keeps
// no access lists, the best the disk can give.
bool usableForMachineStore(FolderTrust trust) {
    return trust == FolderTrust::AdminsOnly || trust == FolderTrust::NoAccessLists;
}

bool machineStoreTrusted(platform::FileSystem& fs, platform::Shell& shell) {
    const std::string store = machineQuarantineFolder(shell);
    if (!platform::isAbsolutePath(store)) return false;
    for (const std::string& folder : machineStoreFolders(store)) {
        const FolderTrust trust = fs.folderTrust(folder);
        // A folder no access list protects is trusted only where every
        // program has the rights of this one anyway: a restore can then give
        // no program more than it has.
        if (trust == FolderTrust::AdminsOnly) continue;
        if (trust == FolderTrust::NoAccessLists && !shell.separatesAccounts()) continue;
        return false;
    }
    return true;
}

bool prepareStore(RunContext& ctx, const QuarantineStore& store) {
    auto& fs = ctx.os.fs;
    if (!platform::isAbsolutePath(store.folder)) return false;
    if (store.machine) {
        for (const std::string& folder : machineStoreFolders(store.folder)) {
            const FolderTrust trust = fs.folderTrust(folder);
            if (usableForMachineStore(trust)) continue;
            // A file, a link, or a folder someone else may change or whose
            // protection cannot be read: it is never used, whatever it holds.
            if (trust != FolderTrust::Missing && !moveAside(ctx, folder)) return false;
            if (!fs.createProtectedDirectory(folder) || !usableForMachineStore(fs.folderTrust(folder))) return false;
        }
        return true;
    }
    const std::string data = localDataFolder(ctx.os.shell);
    if (!platform::isAbsolutePath(data)) return false;
    ensureFolder(fs, data);
    const uint32_t a = fs.getAttributes(store.folder);
    if (a != platform::attr::Invalid && (!(a & platform::attr::Directory) || (a & platform::attr::ReparsePoint)))
        if (!moveAside(ctx, store.folder)) return false;
    ensureFolder(fs, store.folder);
    const uint32_t made = fs.getAttributes(store.folder);
    return made != platform::attr::Invalid && (made & platform::attr::Directory) &&
           !(made & platform::attr::ReparsePoint);
}

// --- the mask ----------------------------------------------------------------------

std::string contentFileName(int number) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%06d.vxq", number);
    return buf;
}

void transformContent(uint8_t* data, size_t size, uint64_t offset, const std::optional<MaskKey>& key) {
    if (!key) {
        // The fixed mask of version 1 stores.
        for (size_t i = 0; i < size; ++i) {
            const uint64_t at = offset + i;
            const uint32_t mixed = static_cast<uint32_t>(at * 0x9E3779B1u) ^ static_cast<uint32_t>(at >> 13);
            data[i] ^= static_cast<uint8_t>((mixed >> 24) ^ 0x5A);
        }
        return;
    }
    // A keystream of 8-byte blocks, each a mix of the run's key and the
    // block's number: the kept bytes share no run of the original's and
    // cannot be foretold without the key.
    uint64_t k0 = 0, k1 = 0;
    for (int i = 0; i < 8; ++i) {
        k0 = (k0 << 8) | (*key)[static_cast<size_t>(i)];
        k1 = (k1 << 8) | (*key)[static_cast<size_t>(8 + i)];
    }
    size_t i = 0;
    while (i < size) {
        const uint64_t at = offset + i;
        const uint64_t block = at / 8;
        const uint64_t stream = mix(k0 ^ mix(block + k1));
        for (uint64_t b = at % 8; b < 8 && i < size; ++b, ++i)
            data[i] ^= static_cast<uint8_t>(stream >> (8 * b));
    }
}

// --- keeping -----------------------------------------------------------------------

struct QuarantineRun::Copy {
    size_t index = 0;  // into the paths handed to keepFiles
    std::unique_ptr<platform::HeldFile> held;
    KeptItem item;
};

QuarantineRun::QuarantineRun(RunContext& ctx, KeptRunHeader header) : ctx_(ctx), header_(std::move(header)) {}

QuarantineRun::~QuarantineRun() {
    if (pack_) pack_->close().ignore();
    if (manifest_) manifest_->close().ignore();
}

void QuarantineRun::refuse(KeepRefusal why) {
    failed_ = true;
    if (refusal_ == KeepRefusal::None) refusal_ = why;
    pack_.reset();
    manifest_.reset();
}

bool QuarantineRun::startFolder(const std::string& store) {
    auto& fs = ctx_.os.fs;
    // One folder per run, named by its date-time stamp; a second run within
    // the same second gets " (2)" and so on. Names taken in advance (folders
    // made for the coming seconds) are passed over.
    const std::string stamp = dateTimeStamp(ctx_.os.clock);
    auto tryFolder = [&](const std::string& candidate) {
        if (!fs.createDirectory(candidate)) return false;
        const std::string folder = candidate + "\\";
        // A fresh folder holds nothing; anything found there was put there
        // by someone else between its making and now.
        if (fs.getAttributes(folder + kManifestName) != platform::attr::Invalid) return false;
        std::unique_ptr<platform::ByteWriter> pack;
        std::string packName;
        for (int n = 1; n <= kLastPackSuffix && !pack; ++n) {
            packName = n == 1 ? std::string(kPackName) : "pack-" + std::to_string(n) + ".vxp";
            if (auto made = fs.createBytes(folder + packName)) pack = std::move(made).value();
        }
        if (!pack) return false;
        auto manifest = fs.appendUtf8TextFile(folder + kManifestName);
        if (!manifest || !manifest->writeLines({kQuarantineVersionLine, formatRunLine(ctx_.os.crypto, header_)}))
            return false;
        folder_ = folder;
        pack_ = std::move(pack);
        packName_ = packName;
        manifest_ = std::move(manifest).value();
        return true;
    };
    for (int n = 1; n <= kLastFolderSuffix; ++n)
        if (tryFolder(store + "\\" + stamp + (n == 1 ? "" : " (" + std::to_string(n) + ")"))) return true;
    // Every name of this second is taken: names no one can foretell.
    for (int n = 0; n < 16; ++n) {
        uint8_t salt[6];
        if (!ctx_.os.crypto.randomBytes(salt, sizeof salt)) return false;
        if (tryFolder(store + "\\" + stamp + " (" + hexBytes(salt, sizeof salt) + ")")) return true;
    }
    return false;
}

bool QuarantineRun::open() {
    if (failed_) return false;
    if (manifest_) return true;
    const QuarantineStore store = quarantineStore(ctx_.os.shell);
    // Without a folder Windows can give for the store there is no store, and
    // nothing is deleted.
    if (!platform::isAbsolutePath(store.folder)) {
        refuse(KeepRefusal::NoStore);
        return false;
    }
    if (!prepareStore(ctx_, store)) {
        refuse(KeepRefusal::StoreNotMade);
        return false;
    }
    storeIdentity_ = ctx_.os.fs.identity(store.folder).optional();
    MaskKey key{};
    if (!ctx_.os.crypto.randomBytes(key.data(), key.size())) {
        refuse(KeepRefusal::NoRandomKey);
        return false;
    }
    header_.maskKey = key;
    if (!startFolder(store.folder)) {
        refuse(KeepRefusal::StoreNotMade);
        return false;
    }
    return true;
}

KeepResult QuarantineRun::appendLines(const std::vector<std::string>& lines) {
    if (lines.empty()) return {};
    if (static_cast<size_t>(records_) + lines.size() + 2 > kMaxRecords) return KeepRefusal::TooManyRecords;
    if (!manifest_->writeLines(lines)) {
        // A store that refuses a record refuses every later one: nothing
        // more is deleted in this run.
        refuse(KeepRefusal::StoreWrite);
        return KeepRefusal::StoreWrite;
    }
    records_ += static_cast<int>(lines.size());
    return {};
}

std::optional<uint64_t> QuarantineRun::roomLeft() {
    const auto free = ctx_.os.fs.freeBytes(folder_);
    if (!free || *free < kQuarantineFreeSpaceFloor) return std::nullopt;
    return *free - kQuarantineFreeSpaceFloor;
}

bool QuarantineRun::insideStore(const std::string& path, platform::HeldFile& held) {
    // By the file system's identity of the folders, not by the path's text:
    // a short name, a second letter for the same volume or a link in the
    // path would fool a comparison of texts.
    if (!storeIdentity_) return true;
    const auto id = held.identity();
    if (!id) return true;
    if (id->volumeSerial != storeIdentity_->volumeSerial) return false;
    for (std::string folder = parentOf(path); !folder.empty() && folder.size() > 3; folder = parentOf(folder)) {
        if (ctx_.os.fs.identity(folder) == *storeIdentity_) return true;
    }
    return false;
}

// The serial, file system name and label of the removable drive `path` lies
// on; nothing for other drives. With the serial of a held file the answer is
// remembered for its drive; without one the drive is asked each time.
QuarantineRun::Volume QuarantineRun::volumeOf(const std::string& path, std::optional<uint32_t> heldSerial) {
    if (path.size() < 3 || path[1] != ':') return {};
    auto& fs = ctx_.os.fs;
    const std::string root = platform::upperAscii(path.substr(0, 3));
    auto ask = [&]() -> Volume {
        if (fs.driveType(root) != platform::DriveType::Removable) return {};
        return {fs.volumeSerial(root).optional(), fs.fileSystemName(root), fs.volumeLabel(root)};
    };
    if (!heldSerial) return ask();
    const auto key = std::pair(root, *heldSerial);
    auto known = volumes_.find(key);
    if (known == volumes_.end()) known = volumes_.emplace(key, ask()).first;
    return known->second;
}

void QuarantineRun::commit(std::vector<Copy>& batch, std::vector<std::unique_ptr<platform::HeldFile>>& out,
                           std::vector<KeepRefusal>& why) {
    if (batch.empty()) return;
    std::vector<Copy> copies = std::move(batch);
    batch.clear();
    auto& fs = ctx_.os.fs;
    if (!pack_ || !pack_->flush()) {
        refuse(KeepRefusal::StoreWrite);
        for (const Copy& c : copies) why[c.index] = KeepRefusal::StoreWrite;
        return;
    }
    // What reached the disk is read back: only copies that give the
    // original's size and SHA-256 are recorded.
    std::unique_ptr<platform::ByteReader> reader = fs.openBytes(folder_ + packName_);
    std::vector<std::string> lines;
    std::vector<Copy*> recorded;
    for (Copy& c : copies) {
        why[c.index] = KeepRefusal::NotVerified;
        if (!reader) continue;
        const auto d = keptDigest(ctx_.os.crypto, *reader, c.item.offset, c.item.size, header_.maskKey);
        if (!d || d->size != c.item.size || d->sha256 != c.item.sha256) continue;
        c.item.id = records_ + static_cast<int>(lines.size()) + 1;
        std::string line = formatRecord(ctx_.os.crypto, c.item);
        // Nothing is kept that the reader would not read back.
        if (!readsBack(ctx_.os.crypto, line, c.item)) {
            why[c.index] = KeepRefusal::RecordUnreadable;
            continue;
        }
        lines.push_back(std::move(line));
        recorded.push_back(&c);
    }
    reader.reset();
    const KeepResult appended = appendLines(lines);
    for (Copy* c : recorded) {
        why[c->index] = appended.refusal();
        if (appended) out[c->index] = std::move(c->held);
    }
}

std::vector<std::unique_ptr<platform::HeldFile>> QuarantineRun::keepFiles(const std::vector<std::string>& paths,
                                                                           std::vector<KeepRefusal>* reasons) {
    std::vector<std::unique_ptr<platform::HeldFile>> out(paths.size());
    // Paths never reached (a refusal of the whole run ended the batch) take
    // the run's reason at the end.
    std::vector<KeepRefusal> why(paths.size(), KeepRefusal::None);
    auto& fs = ctx_.os.fs;
    std::vector<Copy> batch;
    uint64_t batchBytes = 0;
    // The bytes the store's disk may still take; asked for again after each
    // batch, as others write to that disk too.
    bool roomKnown = false;
    uint64_t room = 0;
    std::vector<uint8_t> buffer(kChunk);
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (!platform::isAbsolutePath(path)) {
            why[i] = KeepRefusal::NotAbsolute;
            continue;
        }
        if (!isKeepablePath(path)) {
            why[i] = KeepRefusal::Unkeepable;
            continue;
        }
        auto held = fs.holdFile(path);
        if (!held) {
            why[i] = KeepRefusal::NotHeld;
            continue;
        }
        if (!open()) {
            why[i] = runRefusal();
            continue;
        }
        if (insideStore(path, *held)) {
            why[i] = KeepRefusal::InsideStore;
            continue;
        }

        const uint64_t size = held->size();
        if (!roomKnown) {
            const std::optional<uint64_t> left = roomLeft();
            roomKnown = left.has_value();
            room = left.value_or(0);
        }
        if (!roomKnown || room < size) {
            // The disk would keep less than the floor: nothing more is kept,
            // so nothing more is deleted.
            commit(batch, out, why);
            refuse(KeepRefusal::DiskFloor);
            break;
        }

        Copy c;
        c.index = i;
        c.item.kind = KeptKind::File;
        c.item.path = path;
        const auto id = held->identity();
        const Volume volume = volumeOf(path, id ? std::optional(id->volumeSerial) : std::nullopt);
        c.item.volumeSerial = volume.serial;
        if (volume.serial) {
            c.item.fileSystem = volume.fileSystem;
            c.item.label = volume.label;
        }
        c.item.attributes = held->attributes();
        c.item.content = packName_;
        c.item.offset = packSize_;

        // Copy from the held original, hashing its bytes on the way.
        auto hash = ctx_.os.crypto.sha256();
        if (!hash) {
            why[i] = KeepRefusal::NoHash;
            continue;
        }
        uint64_t copied = 0;
        bool readFailed = false, writeFailed = false;
        while (true) {
            auto n = held->read(buffer.data(), buffer.size());
            if (!n) {
                readFailed = true;
                break;
            }
            if (*n == 0) break;
            hash->update(buffer.data(), *n);
            transformContent(buffer.data(), *n, packSize_ + copied, header_.maskKey);
            if (!pack_->write(buffer.data(), *n)) {
                writeFailed = true;
                break;
            }
            copied += *n;
        }
        // The pack keeps what was written; the next copy starts after it.
        packSize_ += copied;
        if (writeFailed) {
            commit(batch, out, why);
            refuse(KeepRefusal::StoreWrite);
            break;
        }
        if (readFailed) {
            why[i] = KeepRefusal::ReadFailed;
            continue;
        }
        if (copied > kMaxContentBytes - c.item.offset) {
            why[i] = KeepRefusal::TooLarge;
            continue;
        }
        c.item.size = copied;
        c.item.sha256 = platform::hexDigest(hash->finish());
        room -= std::min(room, copied);
        c.held = std::move(held).value();
        batch.push_back(std::move(c));
        batchBytes += copied;
        if (batchBytes >= kKeepBatchBytes) {
            commit(batch, out, why);
            batchBytes = 0;
            roomKnown = false;
            if (failed_) break;
        }
    }
    commit(batch, out, why);
    for (size_t i = 0; i < paths.size(); ++i)
        if (!out[i] && why[i] == KeepRefusal::None) why[i] = runRefusal();
    if (reasons) *reasons = std::move(why);
    return out;
}

KeepResult QuarantineRun::keepFile(const std::string& path) {
    std::vector<KeepRefusal> why;
    auto kept = keepFiles({path}, &why);
    return why[0];
}

KeepResult QuarantineRun::keepFolder(const std::string& path, uint32_t attributes) {
    if (!platform::isAbsolutePath(path)) return KeepRefusal::NotAbsolute;
    KeptItem item;
    item.kind = KeptKind::Folder;
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    if (!isKeepablePath(p)) return KeepRefusal::Unkeepable;
    if (!open()) return runRefusal();
    item.path = p;
    const Volume volume = volumeOf(p, std::nullopt);
    item.volumeSerial = volume.serial;
    if (volume.serial) {
        item.fileSystem = volume.fileSystem;
        item.label = volume.label;
    }
    item.attributes = attributes;
    item.id = records_ + 1;
    std::string line = formatRecord(ctx_.os.crypto, item);
    if (!readsBack(ctx_.os.crypto, line, item)) return KeepRefusal::RecordUnreadable;
    return appendLines({std::move(line)});
}

KeepResult QuarantineRun::keepValue(RootKey root, const std::string& keyPath, const std::string& name) {
    auto key = ctx_.os.registry.open(root, keyPath, platform::RegAccess::Read);
    if (!key || !key->valueExists(name)) return {};  // nothing there to lose
    auto value = key->readValue(name);
    if (!value) return KeepRefusal::ValueUnreadable;
    if (!open()) return runRefusal();
    KeptItem item;
    item.kind = KeptKind::Value;
    item.id = records_ + 1;
    item.root = root;
    item.keyPath = keyPath;
    item.value = {name, *value};
    std::string line = formatRecord(ctx_.os.crypto, item);
    if (!readsBack(ctx_.os.crypto, line, item)) return KeepRefusal::RecordUnreadable;
    return appendLines({std::move(line)});
}

namespace {

KeptRunHeader headerNow(platform::Clock& clock, KeptFrom from, const std::string& deviceRoot) {
    const DateTimeTexts now = currentDateTimeTexts(clock);
    KeptRunHeader header;
    header.device = from == KeptFrom::Device;
    header.deviceRoot = header.device ? deviceRoot : std::string();
    header.date = now.date;
    header.time = now.time;
    return header;
}

struct RefusalText {
    const char* pt;
    const char* en;
};

RefusalText refusalText(KeepRefusal why) {
    switch (why) {
        case KeepRefusal::NoStore:
            return {"o Windows não informou a pasta da quarentena", "Windows gave no folder for the quarantine"};
        case KeepRefusal::StoreNotMade:
            return {"a pasta da quarentena não pôde ser criada", "the quarantine folder could not be made"};
        case KeepRefusal::DiskFloor:
            return {"o disco ficaria com menos de 1 GB livre", "the disk would be left with less than 1 GB free"};
        case KeepRefusal::NoRandomKey:
            return {"o Windows não forneceu números aleatórios", "Windows gave no random numbers"};
        case KeepRefusal::StoreWrite:
        case KeepRefusal::NotAbsolute:
        case KeepRefusal::Unkeepable:
        case KeepRefusal::NotHeld:
        case KeepRefusal::InsideStore:
        case KeepRefusal::NoHash:
        case KeepRefusal::ReadFailed:
        case KeepRefusal::TooLarge:
        case KeepRefusal::NotVerified:
        case KeepRefusal::RecordUnreadable:
        case KeepRefusal::TooManyRecords:
        case KeepRefusal::ValueUnreadable:
        case KeepRefusal::None:
            break;
    }
    return {"não foi possível gravar na quarentena", "the quarantine could not be written"};
}

}  // namespace

KeepingScope::KeepingScope(RunContext& ctx, KeptFrom from, const std::string& deviceRoot)
    : ctx_(ctx), run_(ctx, headerNow(ctx.os.clock, from, deviceRoot)) {
    ctx_.quarantine = &run_;
}

KeepingScope::~KeepingScope() { ctx_.quarantine = nullptr; }

void reportKeepRefusal(RunContext& ctx, KeepRefusal refusal) {
    if (refusal == KeepRefusal::None) return;
    const RefusalText why = refusalText(refusal);
    ctx.os.dialogs.messageBox(
        ctx.say(std::string("O que a quarentena não pôde guardar não foi excluído: ") + why.pt + ".",
                std::string("What the quarantine could not keep was not deleted: ") + why.en + "."),
        ctx.say("Aviso", "Warning"), platform::Icon::Warning, platform::Buttons::Ok);
}

// --- reading -----------------------------------------------------------------------

bool markItemsGone(platform::Platform os, const KeptRun& run, const std::vector<size_t>& indexes) {
    auto manifest = os.fs.appendUtf8TextFile(run.folder + kManifestName);
    if (!manifest) return false;
    std::vector<std::string> lines;
    for (size_t index : indexes)
        if (index < run.items.size()) lines.push_back(formatGoneRecord(os.crypto, run.items[index].id));
    if (!manifest->writeLines(lines)) return false;
    for (size_t index : indexes) {
        if (index >= run.items.size()) continue;
        const KeptItem& item = run.items[index];
        // Version 1 kept every file in a content file of its own.
        if (run.version == 1 && item.kind == KeptKind::File && isContentName(item.content))
            os.fs.deleteFile(run.folder + item.content).ignore();
    }
    return static_cast<bool>(manifest->close());
}

KeptRun readKeptRun(platform::Platform os, const std::string& runFolder) {
    auto& fs = os.fs;
    KeptRun run;
    run.folder = runFolder;
    if (run.folder.empty() || run.folder.back() != '\\') run.folder += '\\';

    // The sizes of the run's files, from one listing: enough to tell that
    // every kept range is there without reading it.
    std::map<std::string, uint64_t> sizes;
    if (auto finder = fs.find(run.folder + "*.*")) {
        platform::FindEntry e;
        while (finder->next(e)) {
            if (e.isDirectory()) continue;
            run.bytes += e.size;
            if (!(e.attributes & platform::attr::ReparsePoint)) sizes[platform::upperAscii(e.name)] = e.size;
        }
    }

    // One byte more than a record may hold, so an over-long line is seen.
    const auto lines = fs.readUtf8TextLines(run.folder + kManifestName, kMaxRecords, kMaxRecordBytes + 1);
    if (!lines) {
        run.readable = false;
        return run;
    }
    ParsedManifest parsed = parseManifest(os.crypto, *lines);
    run.version = parsed.version;
    run.header = parsed.header;
    run.items = std::move(parsed.items);
    for (KeptItem& item : run.items) {
        if (item.damaged || item.kind != KeptKind::File) continue;
        const auto found = sizes.find(platform::upperAscii(item.content));
        const bool present = found != sizes.end() && (run.version == 1 ? found->second == item.size
                                                                       : found->second >= item.offset &&
                                                                             found->second - item.offset >= item.size);
        if (!present) {
            item.damaged = true;
            item.damage = "the kept copy is missing";
        }
    }
    return run;
}

}  // namespace vx::scan

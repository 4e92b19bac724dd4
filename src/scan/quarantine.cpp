#include "scan/quarantine.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "platform/paths.h"
#include "scan/run_frame.h"

namespace vx::scan {

using platform::IoResult;
using platform::RootKey;

namespace {

constexpr size_t kChunk = 64 * 1024;
// A manifest line holds at most a registry value's data as hexadecimal.
constexpr size_t kMaxRecordBytes = 8 * 1024 * 1024;
constexpr size_t kMaxRecords = 1000000;
constexpr int kLastFolderSuffix = 999;

// --- fields -------------------------------------------------------------------

// Field text with "%", tab, CR and LF written as %25, %09, %0D, %0A: a value
// name may hold any of them, and a record is one line of tab-separated fields.
std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '%': out += "%25"; break;
            case '\t': out += "%09"; break;
            case '\r': out += "%0D"; break;
            case '\n': out += "%0A"; break;
            default: out += c;
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::optional<std::vector<uint8_t>> parseHexBytes(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> out(text.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = hexValue(text[2 * i]), lo = hexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return out;
}

std::optional<uint64_t> parseNumber(const std::string& text, int base = 10) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        const int d = hexValue(c);
        if (d < 0 || d >= base) return std::nullopt;
        const uint64_t next = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (next / static_cast<uint64_t>(base) != v) return std::nullopt;
        v = next;
    }
    return v;
}

std::string hex32(uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

// The first 16 hexadecimal digits of the SHA-256 of the record's text: enough
// to tell a line cut short or edited by hand from the line written.
std::string checksum(platform::Crypto& crypto, const std::string& text) {
    auto hash = crypto.sha256();
    if (!hash) return "0000000000000000";
    hash->update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return platform::hexDigest(hash->finish()).substr(0, 16);
}

std::string sealed(platform::Crypto& crypto, const std::string& text) {
    return text + "\t" + checksum(crypto, text);
}

// The fields of a sealed line, its checksum checked and removed; empty when
// the line is not one that was written.
std::vector<std::string> openSealed(platform::Crypto& crypto, const std::string& line) {
    const size_t tab = line.rfind('\t');
    if (tab == std::string::npos) return {};
    const std::string text = line.substr(0, tab);
    if (line.substr(tab + 1) != checksum(crypto, text)) return {};
    return splitFields(text);
}

const char* rootName(RootKey root) { return root == RootKey::LocalMachine ? "HKLM" : "HKCU"; }

std::optional<RootKey> parseRoot(const std::string& text) {
    if (text == "HKLM") return RootKey::LocalMachine;
    if (text == "HKCU") return RootKey::CurrentUser;
    return std::nullopt;
}

std::string serialField(const std::optional<uint32_t>& serial) { return serial ? hex32(*serial) : "-"; }

bool parseSerial(const std::string& text, std::optional<uint32_t>& out) {
    if (text == "-") {
        out.reset();
        return true;
    }
    auto v = parseNumber(text, 16);
    if (!v || *v > 0xFFFFFFFFu) return false;
    out = static_cast<uint32_t>(*v);
    return true;
}

KeptItem damagedItem(const std::string& why) {
    KeptItem item;
    item.damaged = true;
    item.damage = why;
    return item;
}

// --- paths ----------------------------------------------------------------------

std::string canonical(const std::string& path) {
    platform::PathParts parts;
    if (!platform::isAbsolutePath(path) || !platform::splitPath(path, std::string(), parts)) return {};
    return platform::joinPath(parts);
}

bool isInside(const std::string& path, const std::string& folder) {
    const std::string p = canonical(path), f = canonical(folder);
    if (p.empty() || f.empty() || p.size() < f.size()) return false;
    if (!platform::equalNoCase(p.substr(0, f.size()), f)) return false;
    return p.size() == f.size() || p[f.size()] == '\\' || f.back() == '\\';
}

// The serial of the removable drive `path` lies on; nothing for other drives.
std::optional<uint32_t> removableSerial(platform::FileSystem& fs, const std::string& path) {
    if (path.size() < 3 || path[1] != ':') return std::nullopt;
    const std::string root = path.substr(0, 3);
    if (fs.driveType(root) != platform::DriveType::Removable) return std::nullopt;
    return fs.volumeSerial(root);
}

// --- content -----------------------------------------------------------------------

struct Digest {
    uint64_t size = 0;
    std::string sha256;
};

// Size and SHA-256 of the bytes a reader yields, each chunk first passed
// through the content transform when `transformed`. Nothing on a read error.
std::optional<Digest> digestOf(platform::Crypto& crypto, platform::ByteReader& reader, bool transformed) {
    auto hash = crypto.sha256();
    if (!hash) return std::nullopt;
    std::vector<uint8_t> buffer(kChunk);
    Digest d;
    while (true) {
        auto n = reader.read(buffer.data(), buffer.size());
        if (!n) return std::nullopt;
        if (*n == 0) break;
        if (transformed) transformContent(buffer.data(), *n, d.size);
        hash->update(buffer.data(), *n);
        d.size += *n;
    }
    d.sha256 = platform::hexDigest(hash->finish());
    return d;
}

}  // namespace

// --- format ------------------------------------------------------------------------

std::string contentFileName(int number) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%06d.vxq", number);
    return buf;
}

void transformContent(uint8_t* data, size_t size, uint64_t offset) {
    // A position-dependent mask: the kept bytes share no run of the
    // original's, so no signature of it appears in the store.
    for (size_t i = 0; i < size; ++i) {
        const uint64_t at = offset + i;
        const uint32_t mixed = static_cast<uint32_t>(at * 0x9E3779B1u) ^ static_cast<uint32_t>(at >> 13);
        data[i] ^= static_cast<uint8_t>((mixed >> 24) ^ 0x5A);
    }
}

std::string quarantineFolder(platform::Shell& shell) { return localDataFolder(shell) + "\\quarantine"; }

std::string formatRunLine(platform::Crypto& crypto, const KeptRunHeader& header) {
    return sealed(crypto, std::string("run\t") + (header.device ? "device" : "computer") + "\t" +
                              escape(header.deviceRoot) + "\t" + escape(header.date) + "\t" + escape(header.time));
}

std::string formatRecord(platform::Crypto& crypto, const KeptItem& item) {
    const std::string id = std::to_string(item.id);
    switch (item.kind) {
        case KeptKind::File:
            return sealed(crypto, "file\t" + id + "\t" + std::to_string(item.number) + "\t" + escape(item.path) + "\t" +
                                      serialField(item.volumeSerial) + "\t" + hex32(item.attributes) + "\t" +
                                      std::to_string(item.size) + "\t" + item.sha256);
        case KeptKind::Folder:
            return sealed(crypto, "folder\t" + id + "\t" + escape(item.path) + "\t" + serialField(item.volumeSerial) +
                                      "\t" + hex32(item.attributes));
        case KeptKind::Value:
            return sealed(crypto, "value\t" + id + "\t" + rootName(item.root) + "\t" + escape(item.keyPath) + "\t" +
                                      escape(item.value.name) + "\t" + std::to_string(item.value.value.type) + "\t" +
                                      hexBytes(item.value.value.data));
        case KeptKind::Key: {
            std::string text = "key\t" + id + "\t" + rootName(item.root) + "\t" + escape(item.keyPath) + "\t" +
                               std::to_string(item.keyValues.size());
            for (const KeptValue& v : item.keyValues)
                text += "\t" + escape(v.name) + "\t" + std::to_string(v.value.type) + "\t" + hexBytes(v.value.data);
            return sealed(crypto, text);
        }
    }
    return {};
}

KeptItem parseRecord(platform::Crypto& crypto, const std::string& line) {
    const std::vector<std::string> f = openSealed(crypto, line);
    if (f.size() < 2) return damagedItem("the record is damaged");
    KeptItem item;
    const auto id = parseNumber(f[1]);
    if (!id || *id == 0 || *id > 0x7FFFFFFF) return damagedItem("the record is damaged");
    item.id = static_cast<int>(*id);

    auto fail = [&](const char* why) {
        item.damaged = true;
        item.damage = why;
        return item;
    };
    auto text = [&](size_t i) { return unescape(f[i]); };

    if (f[0] == "file" && f.size() == 8) {
        item.kind = KeptKind::File;
        const auto number = parseNumber(f[2]);
        const auto path = text(3);
        const auto attributes = parseNumber(f[5], 16);
        const auto size = parseNumber(f[6]);
        if (!number || *number == 0 || *number > 999999 || !path || !parseSerial(f[4], item.volumeSerial) ||
            !attributes || *attributes > 0xFFFFFFFFu || !size || f[7].size() != 64 || !parseHexBytes(f[7]))
            return fail("the record is damaged");
        item.number = static_cast<int>(*number);
        item.path = *path;
        item.attributes = static_cast<uint32_t>(*attributes);
        item.size = *size;
        item.sha256 = f[7];
    } else if (f[0] == "folder" && f.size() == 5) {
        item.kind = KeptKind::Folder;
        const auto path = text(2);
        const auto attributes = parseNumber(f[4], 16);
        if (!path || !parseSerial(f[3], item.volumeSerial) || !attributes || *attributes > 0xFFFFFFFFu)
            return fail("the record is damaged");
        item.path = *path;
        item.attributes = static_cast<uint32_t>(*attributes);
    } else if (f[0] == "value" && f.size() == 7) {
        item.kind = KeptKind::Value;
        const auto root = parseRoot(f[2]);
        const auto key = text(3), name = text(4);
        const auto type = parseNumber(f[5]);
        const auto data = parseHexBytes(f[6]);
        if (!root || !key || !name || !type || *type > 0xFFFFFFFFu || !data) return fail("the record is damaged");
        item.root = *root;
        item.keyPath = *key;
        item.value = {*name, platform::RegValue{static_cast<uint32_t>(*type), *data}};
        return item;
    } else if (f[0] == "key" && f.size() >= 5) {
        item.kind = KeptKind::Key;
        const auto root = parseRoot(f[2]);
        const auto key = text(3);
        const auto count = parseNumber(f[4]);
        if (!root || !key || !count || f.size() != 5 + 3 * *count) return fail("the record is damaged");
        item.root = *root;
        item.keyPath = *key;
        for (size_t i = 5; i < f.size(); i += 3) {
            const auto name = text(i);
            const auto type = parseNumber(f[i + 1]);
            const auto data = parseHexBytes(f[i + 2]);
            if (!name || !type || *type > 0xFFFFFFFFu || !data) return fail("the record is damaged");
            item.keyValues.push_back({*name, platform::RegValue{static_cast<uint32_t>(*type), *data}});
        }
        return item;
    } else {
        return fail("the record is damaged");
    }
    // Files and folders name an absolute place.
    if (!platform::isAbsolutePath(item.path) || canonical(item.path).empty()) return fail("the path is not absolute");
    return item;
}

// --- keeping -----------------------------------------------------------------------

QuarantineRun::QuarantineRun(platform::Platform os, KeptRunHeader header) : os_(os), header_(std::move(header)) {}

bool QuarantineRun::open() {
    if (failed_) return false;
    if (manifest_) return true;
    failed_ = true;  // until the folder and its manifest head are on disk
    auto& fs = os_.fs;
    // Without a local data folder Windows can give, there is no store, and
    // nothing is deleted.
    const std::string data = localDataFolder(os_.shell);
    if (!platform::isAbsolutePath(data)) return false;
    ensureFolder(fs, data);
    const std::string store = quarantineFolder(os_.shell);
    ensureFolder(fs, store);
    if (!fs.directoryExists(store)) return false;

    // One folder per run, named by its date-time stamp; a second run within
    // the same second gets " (2)" and so on.
    const std::string stamp = dateTimeStamp(os_.clock);
    std::string folder;
    for (int n = 1; n <= kLastFolderSuffix && folder.empty(); ++n) {
        const std::string candidate = store + "\\" + stamp + (n == 1 ? "" : " (" + std::to_string(n) + ")");
        if (fs.getAttributes(candidate) == platform::attr::Invalid && fs.createDirectory(candidate))
            folder = candidate + "\\";
    }
    if (folder.empty()) return false;

    IoResult error;
    auto manifest = fs.appendUtf8TextFile(folder + kManifestName, error);
    if (!manifest || !manifest->writeLine(kQuarantineVersionLine) ||
        !manifest->writeLine(formatRunLine(os_.crypto, header_))) {
        fs.deleteFile(folder + kManifestName);
        fs.removeDirectory(folder);
        return false;
    }
    folder_ = folder;
    manifest_ = std::move(manifest);
    failed_ = false;
    return true;
}

bool QuarantineRun::append(const std::string& record) {
    if (manifest_->writeLine(record)) {
        ++records_;
        return true;
    }
    // A store that refuses a record refuses every later one: nothing more is
    // deleted in this run.
    manifest_.reset();
    failed_ = true;
    return false;
}

bool QuarantineRun::keepFile(const std::string& path) {
    auto& fs = os_.fs;
    if (!platform::isAbsolutePath(path) || !fs.fileExists(path) || !open()) return false;
    if (isInside(path, quarantineFolder(os_.shell))) return false;

    KeptItem item;
    item.kind = KeptKind::File;
    item.id = records_ + 1;
    item.number = nextNumber_;
    item.path = path;
    item.volumeSerial = removableSerial(fs, path);
    item.attributes = fs.getAttributes(path);

    // Room for the copy and the floor the store always leaves free.
    uint64_t size = 0;
    if (auto finder = fs.find(path)) {
        platform::FindEntry e;
        if (finder->next(e)) size = e.size;
    }
    const auto free = fs.freeBytes(folder_);
    if (!free || *free < size || *free - size < kQuarantineFreeSpaceFloor) return false;

    // Copy, hashing the original bytes on the way.
    const std::string content = folder_ + contentFileName(item.number);
    auto discard = [&] {
        fs.deleteFile(content);
        return false;
    };
    {
        auto reader = fs.openBytes(path);
        if (!reader) return false;
        IoResult error;
        auto writer = fs.createBytes(content, error);
        if (!writer) return false;
        auto hash = os_.crypto.sha256();
        if (!hash) {
            writer.reset();
            return discard();
        }
        std::vector<uint8_t> buffer(kChunk);
        uint64_t offset = 0;
        while (true) {
            auto n = reader->read(buffer.data(), buffer.size());
            if (!n) {
                writer.reset();
                return discard();
            }
            if (*n == 0) break;
            hash->update(buffer.data(), *n);
            transformContent(buffer.data(), *n, offset);
            if (!writer->write(buffer.data(), *n)) {
                writer.reset();
                return discard();
            }
            offset += *n;
        }
        if (!writer->close()) return discard();
        item.size = offset;
        item.sha256 = platform::hexDigest(hash->finish());
    }

    // The copy read back from the disk must give the original's bytes.
    auto check = fs.openBytes(content);
    const auto kept = check ? digestOf(os_.crypto, *check, true) : std::nullopt;
    check.reset();
    if (!kept || kept->size != item.size || kept->sha256 != item.sha256) return discard();

    if (!append(formatRecord(os_.crypto, item))) return discard();
    ++nextNumber_;
    return true;
}

bool QuarantineRun::keepFolder(const std::string& path, uint32_t attributes) {
    if (!platform::isAbsolutePath(path) || !open()) return false;
    KeptItem item;
    item.kind = KeptKind::Folder;
    item.id = records_ + 1;
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    item.path = p;
    item.volumeSerial = removableSerial(os_.fs, p);
    item.attributes = attributes;
    return append(formatRecord(os_.crypto, item));
}

bool QuarantineRun::keepValue(RootKey root, const std::string& keyPath, const std::string& name) {
    auto key = os_.registry.open(root, keyPath, platform::RegAccess::Read);
    if (!key || !key->valueExists(name)) return true;  // nothing there to lose
    auto value = key->readValue(name);
    if (!value || !open()) return false;
    KeptItem item;
    item.kind = KeptKind::Value;
    item.id = records_ + 1;
    item.root = root;
    item.keyPath = keyPath;
    item.value = {name, *value};
    return append(formatRecord(os_.crypto, item));
}

namespace {

KeptRunHeader headerNow(platform::Clock& clock, bool device, const std::string& deviceRoot) {
    const DateTimeTexts now = currentDateTimeTexts(clock);
    return KeptRunHeader{device, device ? deviceRoot : std::string(), now.date, now.time};
}

}  // namespace

KeepingScope::KeepingScope(RunContext& ctx, bool device, const std::string& deviceRoot)
    : ctx_(ctx), run_(ctx.os, headerNow(ctx.os.clock, device, deviceRoot)) {
    ctx_.quarantine = &run_;
}

KeepingScope::~KeepingScope() { ctx_.quarantine = nullptr; }

// --- reading -----------------------------------------------------------------------

bool markItemsGone(platform::Platform os, const KeptRun& run, const std::vector<size_t>& indexes) {
    IoResult error;
    auto manifest = os.fs.appendUtf8TextFile(run.folder + kManifestName, error);
    if (!manifest) return false;
    for (size_t index : indexes) {
        if (index >= run.items.size()) continue;
        const KeptItem& item = run.items[index];
        if (!manifest->writeLine(sealed(os.crypto, "gone\t" + std::to_string(item.id)))) return false;
        if (item.kind == KeptKind::File && item.number > 0) os.fs.deleteFile(run.folder + contentFileName(item.number));
    }
    return static_cast<bool>(manifest->close());
}

KeptRun readKeptRun(platform::Platform os, const std::string& runFolder) {
    auto& fs = os.fs;
    KeptRun run;
    run.folder = runFolder;
    if (run.folder.empty() || run.folder.back() != '\\') run.folder += '\\';

    if (auto finder = fs.find(run.folder + "*.*")) {
        platform::FindEntry e;
        while (finder->next(e))
            if (!e.isDirectory()) run.bytes += e.size;
    }

    const auto lines = fs.readUtf8TextLines(run.folder + kManifestName, kMaxRecords, kMaxRecordBytes);
    if (!lines) {
        run.readable = false;
        return run;
    }
    const bool knownVersion = !lines->empty() && (*lines)[0] == kQuarantineVersionLine;
    if (lines->size() >= 2) {
        const std::vector<std::string> f = openSealed(os.crypto, (*lines)[1]);
        if (f.size() == 5 && f[0] == "run") {
            run.header.device = f[1] == "device";
            run.header.deviceRoot = unescape(f[2]).value_or("");
            run.header.date = unescape(f[3]).value_or("");
            run.header.time = unescape(f[4]).value_or("");
        }
    }

    const std::string store = quarantineFolder(os.shell);
    std::set<int> gone;
    std::vector<KeptItem> items;
    std::set<int> ids, numbers;
    for (size_t i = 2; i < lines->size(); ++i) {
        const std::string& line = (*lines)[i];
        if (line.empty()) continue;
        const std::vector<std::string> f = openSealed(os.crypto, line);
        if (f.size() == 2 && f[0] == "gone") {
            if (auto id = parseNumber(f[1]); id && *id <= 0x7FFFFFFF) gone.insert(static_cast<int>(*id));
            continue;
        }
        KeptItem item = parseRecord(os.crypto, line);
        if (!knownVersion && !item.damaged) {
            item.damaged = true;
            item.damage = "the store's version is unknown";
        }
        // An id or content number met twice is a record copied by hand.
        if (!item.damaged && (!ids.insert(item.id).second ||
                              (item.kind == KeptKind::File && !numbers.insert(item.number).second))) {
            item.damaged = true;
            item.damage = "the record is damaged";
        }
        if (!item.damaged && (item.kind == KeptKind::File || item.kind == KeptKind::Folder) &&
            isInside(item.path, store)) {
            item.damaged = true;
            item.damage = "the path lies inside the store";
        }
        if (!item.damaged && item.kind == KeptKind::File) {
            auto reader = fs.openBytes(run.folder + contentFileName(item.number));
            if (!reader) {
                item.damaged = true;
                item.damage = "the kept copy is missing";
            } else {
                const auto d = digestOf(os.crypto, *reader, true);
                if (!d || d->size != item.size || d->sha256 != item.sha256) {
                    item.damaged = true;
                    item.damage = "the kept copy does not match";
                }
            }
        }
        items.push_back(std::move(item));
    }
    for (KeptItem& item : items)
        if (item.id == 0 || !gone.count(item.id)) run.items.push_back(std::move(item));
    return run;
}

}  // namespace vx::scan

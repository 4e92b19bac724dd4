// libFuzzer target for the quarantine manifest's reader. The bytes are split
// into lines as the platform splits a UTF-8 manifest read from the disk, then
// read as a whole manifest and line by line in both versions, as they stand
// and resealed (each line's last field replaced by the seal of the rest, so
// that mutated records get past the seal to the field rules). Whatever the
// reader accepts must obey the rules it enforces and read back the same when
// written again; any breach aborts, and the sanitizers catch the rest.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory/memory_machine.h"
#include "platform/text_lines.h"
#include "scan/kept_records.h"

namespace {

using namespace vx;

platform::Crypto& crypto() {
    static memory::Machine machine{memory::Machine::Preset::Empty};
    return machine.crypto();
}

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_manifest: %s\n", what);
    std::abort();
}

std::string resealed(const std::string& line) {
    const size_t tab = line.rfind('\t');
    const std::string text = tab == std::string::npos ? line : line.substr(0, tab);
    auto hash = crypto().sha256();
    hash->update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return text + "\t" + platform::hexDigest(hash->finish()).substr(0, 16);
}

void checkItem(const scan::KeptItem& item) {
    if (item.damaged) {
        require(!item.damage.empty(), "a damaged item without its reason");
        return;
    }
    require(item.id >= 1 && static_cast<size_t>(item.id) <= scan::kMaxRecords, "an id out of range");
    switch (item.kind) {
        case scan::KeptKind::File:
            require(scan::isContentName(item.content), "a content name out of the rule");
            require(item.offset <= scan::kMaxContentBytes && item.size <= scan::kMaxContentBytes - item.offset,
                    "a content range out of bounds");
            require(item.sha256.size() == 64, "a SHA-256 of the wrong length");
            [[fallthrough]];
        case scan::KeptKind::Folder:
            require(scan::isKeepablePath(item.path), "a path out of the rule");
            require(scan::isStrictUtf8(item.fileSystem) && scan::isStrictUtf8(item.label), "a label not UTF-8");
            break;
        case scan::KeptKind::Value:
        case scan::KeptKind::Key:
            require(scan::isKeepableKeyPath(item.keyPath), "a key path out of the rule");
            require(item.keyValues.size() <= scan::kMaxKeyValues, "too many values");
            break;
    }
    const std::string line = scan::formatRecord(crypto(), item);
    if (line.size() < scan::kMaxRecordBytes)
        require(scan::readsBack(crypto(), line, item), "an accepted item does not read back as written");
}

void checkManifest(const std::vector<std::string>& lines) {
    const scan::ParsedManifest manifest = scan::parseManifest(crypto(), lines);
    require(manifest.version >= 0 && manifest.version <= 2, "an unknown version number");
    require(manifest.version != 0 || !manifest.headerOk, "a header read from an unknown version");
    std::set<int> ids;
    std::set<std::pair<std::string, uint64_t>> starts;
    for (const scan::KeptItem& item : manifest.items) {
        checkItem(item);
        require(manifest.version != 0 || item.damaged, "an item of an unknown version taken as sound");
        if (item.damaged) continue;
        require(ids.insert(item.id).second, "an id taken twice");
        if (item.kind == scan::KeptKind::File && item.size > 0) {
            std::string content = item.content;
            for (char& c : content) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            require(starts.insert({content, item.offset}).second, "one content range taken twice");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The raw bytes as one text.
    const bool utf8 = scan::isStrictUtf8(bytes);
    if (scan::isKeepablePath(bytes)) require(utf8, "a path that is not UTF-8");
    if (scan::isKeepableKeyPath(bytes)) require(utf8, "a key path that is not UTF-8");
    if (scan::isContentName(bytes)) require(bytes.size() <= 49, "a content name too long");

    // As a manifest on the disk: a leading byte-order mark dropped, lines cut
    // and counted as the platform reads them.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    platform::LineSplitter splitter(scan::kMaxRecords, scan::kMaxRecordBytes);
    splitter.feed(bytes.data(), bytes.size());
    const std::vector<std::string> lines = splitter.finish();

    std::vector<std::string> sealedLines = lines;
    for (size_t i = 1; i < sealedLines.size(); ++i) sealedLines[i] = resealed(sealedLines[i]);
    checkManifest(lines);
    checkManifest(sealedLines);

    for (size_t i = 1; i < lines.size(); ++i) {
        for (int version : {1, 2}) {
            checkItem(scan::parseRecord(crypto(), lines[i], version));
            checkItem(scan::parseRecord(crypto(), sealedLines[i], version));
        }
    }
    return 0;
}

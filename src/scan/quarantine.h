// The quarantine: what a disinfection deletes is first kept here, verified,
// so that the user can take it back.
//
// The store lives in the local data folder + "\quarantine". Each run that
// kept something has a folder named by its date-time stamp, holding
//  - "manifest.txt": UTF-8 text, a version line, one line for the run, then
//    one record per item kept, appended and flushed one at a time;
//  - one content file per kept file, named by its number ("000001.vxq"),
//    whose bytes pass through a reversible transform: nothing in the store can
//    be started, opened by a double click or match a virus scanner's pattern.
// Each record carries a checksum of its own text, so a line cut short by a
// power cut or edited by hand is seen as damaged and never acted on.
//
// Keeping follows one order, so that a power cut at any point leaves the
// original or a complete kept copy: copy into the store, flush, read the copy
// back and verify its size and SHA-256 against the original's, append and
// flush the record, and only then may the caller delete the original.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/run_context.h"

namespace vx::scan {

inline constexpr const char* kQuarantineVersionLine = "VARREX-QUARANTINE 1";
inline constexpr const char* kManifestName = "manifest.txt";
// The store keeps at least this much free on its drive.
inline constexpr uint64_t kQuarantineFreeSpaceFloor = uint64_t{1} << 30;

enum class KeptKind { File, Folder, Value, Key };

// One registry value as kept: its name, type and raw data.
struct KeptValue {
    std::string name;
    platform::RegValue value;
};

// One item of a run's store, as its record tells it.
struct KeptItem {
    KeptKind kind = KeptKind::File;
    // The record's place in the manifest (1 for the first item), by which
    // markItemsGone names it.
    int id = 0;
    // Files and folders: the original full path; for items of a removable
    // drive, that drive's volume serial number.
    std::string path;
    std::optional<uint32_t> volumeSerial;
    uint32_t attributes = 0;
    // Files: the content file's number, the size and SHA-256 (hex) of the
    // original bytes.
    int number = 0;
    uint64_t size = 0;
    std::string sha256;
    // Registry values and keys: root and key path; a value's name, type and
    // data; a key's values and, as further records, its subkeys.
    platform::RootKey root = platform::RootKey::CurrentUser;
    std::string keyPath;
    KeptValue value;
    std::vector<KeptValue> keyValues;
    // Set when the item cannot be restored (the reason, in English words for
    // the log: "the record is damaged", "the kept copy is missing", ...).
    bool damaged = false;
    std::string damage;
};

// What the run was: a device disinfection of a root, or a computer one.
struct KeptRunHeader {
    bool device = false;
    std::string deviceRoot;      // "E:\" for a device run
    std::string date, time;      // as the user's formats showed them
};

// One run's folder in the store, as read back.
struct KeptRun {
    std::string folder;          // full path of the run's folder, final "\"
    KeptRunHeader header;
    bool readable = true;        // false: the manifest could not be read at all
    std::vector<KeptItem> items;
    uint64_t bytes = 0;          // bytes the run's folder takes on disk
};
// Kept sizes are 64-bit in the 32-bit build too.
static_assert(sizeof(KeptItem::size) == 8 && sizeof(KeptRun::bytes) == 8, "kept sizes are 64-bit everywhere");

// The store's folder: the local data folder + "\quarantine" (no final "\").
std::string quarantineFolder(platform::Shell& shell);

// The keeping side, one per disinfection run. Nothing is written until the
// first item is kept, so a run that deletes nothing leaves no folder. Every
// keep answers true only once the verified copy and its record are on disk;
// on false the caller must not delete the original.
class QuarantineRun {
public:
    QuarantineRun(platform::Platform os, KeptRunHeader header);
    QuarantineRun(const QuarantineRun&) = delete;
    QuarantineRun& operator=(const QuarantineRun&) = delete;

    // A file about to be deleted.
    bool keepFile(const std::string& path);
    // A folder about to be removed by a tree deletion (its files are kept one
    // by one with keepFile); restoring recreates it with its attributes.
    bool keepFolder(const std::string& path, uint32_t attributes);
    // A registry value about to be deleted: kept with its type and raw data.
    // A value that cannot be read (missing) counts as kept: nothing is lost.
    bool keepValue(platform::RootKey root, const std::string& keyPath, const std::string& name);

    // The run's folder, empty until something was kept.
    const std::string& folder() const { return folder_; }
    int itemsKept() const { return records_; }

private:
    bool open();
    bool append(const std::string& record);

    platform::Platform os_;
    KeptRunHeader header_;
    std::string folder_;
    std::unique_ptr<platform::TextWriter> manifest_;
    bool failed_ = false;
    int nextNumber_ = 1;
    int records_ = 0;
};

// Gives a disinfection's context a quarantine for as long as the scope lives:
// every file and value the run deletes through removeFile / removeValue is
// kept first. The header takes the date and time of this moment.
class KeepingScope {
public:
    KeepingScope(RunContext& ctx, bool device, const std::string& deviceRoot);
    ~KeepingScope();
    KeepingScope(const KeepingScope&) = delete;
    KeepingScope& operator=(const KeepingScope&) = delete;
    QuarantineRun& run() { return run_; }

private:
    RunContext& ctx_;
    QuarantineRun run_;
};

// --- the record format (shared by keeping and reading) -----------------------

// The record line of an item (without line end), checksum included.
std::string formatRecord(platform::Crypto& crypto, const KeptItem& item);
std::string formatRunLine(platform::Crypto& crypto, const KeptRunHeader& header);
// Parses one record line; an item marked damaged when the line is not a
// well-formed record with a matching checksum, names an unknown kind, or a
// path that is not absolute.
KeptItem parseRecord(platform::Crypto& crypto, const std::string& line);

// The name of the content file of number `n` ("000001.vxq").
std::string contentFileName(int number);

// The reversible transform of content bytes; `offset` is the position of
// data[0] in the file. Applying it twice gives the bytes back.
void transformContent(uint8_t* data, size_t size, uint64_t offset);

// Records that the items of `run` at `indexes` (into run.items) left the
// store, restored: one record each is appended to the run's manifest and the
// content files of kept files are deleted. readKeptRun leaves such items out.
// False when the manifest cannot be written.
bool markItemsGone(platform::Platform os, const KeptRun& run, const std::vector<size_t>& indexes);

// Reads one run's folder: header and items. Items are checked: a damaged
// record, a path inside the store itself, a content file that is missing or
// whose bytes do not give the recorded size and SHA-256 mark the item
// damaged. Never throws on bad input.
KeptRun readKeptRun(platform::Platform os, const std::string& runFolder);

}  // namespace vx::scan

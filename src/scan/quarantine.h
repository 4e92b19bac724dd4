// The quarantine: what a disinfection deletes is first kept here, verified,
// so that the user can take it back.
//
// Two stores. A process with administrator rights keeps in the machine's
// store, CSIDL_COMMON_APPDATA + "\Varrex\Quarantine", which only SYSTEM and
// Administrators may read or change; before it is used or read, it and its
// "Varrex" folder are opened without following a link and their owner and
// access list are checked, and a folder that fails is moved aside and made
// anew. Without those rights the program keeps in the per-user store, the
// local data folder + "\quarantine". Trust follows the writer: a process with
// administrator rights restores only from the machine's store.
//
// Each run that kept something has a folder named by its date-time stamp,
// holding
//  - "manifest.txt": the records (kept_records.h), appended batch by batch;
//  - one pack file ("pack.vxp") holding the kept bytes one file after the
//    other, passed through a mask keyed by a random key of the run, so that
//    nothing in the store can be started, opened by a double click, match a
//    virus scanner's pattern or be predicted.
//
// Keeping follows one order, so that a power cut at any point leaves the
// original or a complete kept copy. The originals of a batch are held open
// (without following a reparse point, shared for reading only), copied into
// the pack, the pack is flushed, the copies are read back and verified, the
// batch's records are appended and flushed, and only then may the caller
// delete each original, through the handle that was copied from.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/kept_records.h"
#include "scan/run_context.h"

namespace vx::scan {

inline constexpr const char* kManifestName = "manifest.txt";
inline constexpr const char* kPackName = "pack.vxp";
// The store keeps at least this much free on its drive.
inline constexpr uint64_t kQuarantineFreeSpaceFloor = uint64_t{1} << 30;
// The originals kept together before any of them is deleted: at most this
// many files, and a batch's copies are checked once they reach this size.
inline constexpr size_t kKeepBatchFiles = 256;
inline constexpr uint64_t kKeepBatchBytes = uint64_t{64} << 20;

// One run's folder in the store, as read back.
struct KeptRun {
    std::string folder;  // full path of the run's folder, final "\"
    KeptRunHeader header;
    int version = 0;
    bool readable = true;  // false: the manifest could not be read at all
    // False for a run of the per-user store listed by a process with
    // administrator rights: it was kept without them and is restored by
    // starting the program without them.
    bool restorableHere = true;
    std::vector<KeptItem> items;
    uint64_t bytes = 0;  // bytes the run's folder takes on disk
};
static_assert(sizeof(KeptRun::bytes) == 8, "kept sizes are 64-bit everywhere");

// The store a process keeps in and restores from.
struct QuarantineStore {
    std::string folder;  // no final "\"; empty when Windows gives no folder
    bool machine = false;
};
// The machine's store when the process has administrator rights, the
// per-user store otherwise.
QuarantineStore quarantineStore(platform::Shell& shell);
std::string machineQuarantineFolder(platform::Shell& shell);
std::string userQuarantineFolder(platform::Shell& shell);
// The folder of quarantineStore().
std::string quarantineFolder(platform::Shell& shell);

// Makes the store's folder ready: the machine's store (and its "Varrex"
// folder) must be a folder, not a link, owned by SYSTEM or Administrators and
// changeable by no one else, and is made with that protection when missing;
// on a disk that keeps no access lists (FAT, Wine) a plain folder is the best
// there is and is used. The per-user store must be a plain folder. Whatever
// stands in the way (a file, a link, a folder others may change) is moved
// aside, one log line each, and the folder is made anew. False when the store
// cannot be had.
bool prepareStore(RunContext& ctx, const QuarantineStore& store);
// True when the machine's store is still one only administrators can change
// (checked again before every restore). A store on a disk without access
// lists is trusted only where the system gives every program the same rights
// (Wine): a restore from it can then give no program more than it has.
bool machineStoreTrusted(platform::FileSystem& fs, platform::Shell& shell);

// Why something was not kept. The first five make keeping impossible for
// the whole run (nothing more is deleted once one has happened); the others
// refuse one item only.
enum class KeepRefusal {
    None,
    NoStore,        // Windows gives no folder for the store
    StoreNotMade,   // the store's folder or the run's folder cannot be made
    DiskFloor,      // the store's disk would keep less than the free-space floor
    NoRandomKey,    // the system gave no random bytes for the mask key
    StoreWrite,     // the pack or the manifest refused a write
    NotAbsolute,    // the path is not a full one ("X:\..." or "\\...")
    Unkeepable,     // a path the store's reader would refuse to read back
    NotHeld,        // missing, a folder, a reparse point, in use or refused
    InsideStore,    // the file is part of the store itself
    NoHash,         // the system offers no SHA-256
    ReadFailed,     // the original could not be read to its end
    TooLarge,       // larger than one kept item may be
    NotVerified,    // the copy read back from the disk differs from the original
    RecordUnreadable,  // its record would not read back as it was written
    TooManyRecords,    // the run's manifest holds as many records as it may
    ValueUnreadable,   // the registry value is there but cannot be read
};

// What one keep call did: kept, or why not.
class KeepResult {
public:
    KeepResult() = default;
    KeepResult(KeepRefusal why) : why_(why) {}
    bool kept() const { return why_ == KeepRefusal::None; }
    explicit operator bool() const { return kept(); }
    // None when kept.
    KeepRefusal refusal() const { return why_; }

private:
    KeepRefusal why_ = KeepRefusal::None;
};

// The keeping side, one per disinfection run. Nothing is written until the
// first item is kept, so a run that deletes nothing leaves no folder.
class QuarantineRun {
public:
    QuarantineRun(RunContext& ctx, KeptRunHeader header);
    ~QuarantineRun();
    QuarantineRun(const QuarantineRun&) = delete;
    QuarantineRun& operator=(const QuarantineRun&) = delete;

    // Files about to be deleted, kept as one batch: for each path, the held
    // original once its verified copy and record are on disk (delete it
    // through that handle), or null when it was not kept and must not be
    // deleted (missing, a reparse point, in use, inside the store, a path the
    // reader would refuse, or the store refused). `why`, when given, gets
    // for each path the reason it was not kept (None for the kept ones).
    std::vector<std::unique_ptr<platform::HeldFile>> keepFiles(const std::vector<std::string>& paths,
                                                                std::vector<KeepRefusal>* why = nullptr);
    // Keeps one file without deleting it.
    KeepResult keepFile(const std::string& path);
    // A folder about to be removed by a tree deletion (its files are kept one
    // by one); restoring recreates it with its attributes.
    KeepResult keepFolder(const std::string& path, uint32_t attributes);
    // A registry value about to be deleted: kept with its type and raw data.
    // A missing value counts as kept: nothing is lost.
    KeepResult keepValue(platform::RootKey root, const std::string& keyPath, const std::string& name);

    // The run's folder, empty until something was kept.
    const std::string& folder() const { return folder_; }
    int itemsKept() const { return records_; }
    // Why keeping became impossible for the run (None while it is possible);
    // only the first five reasons of KeepRefusal.
    KeepRefusal refusal() const { return refusal_; }

private:
    bool open();
    bool startFolder(const std::string& store);
    KeepResult appendLines(const std::vector<std::string>& lines);
    // The reason a call that found the run unable to keep gives.
    KeepRefusal runRefusal() const { return refusal_ == KeepRefusal::None ? KeepRefusal::StoreNotMade : refusal_; }
    std::optional<uint64_t> roomLeft();
    void refuse(KeepRefusal why);
    struct Copy;
    void commit(std::vector<Copy>& batch, std::vector<std::unique_ptr<platform::HeldFile>>& out,
                std::vector<KeepRefusal>& why);
    bool insideStore(const std::string& path, platform::HeldFile& held);
    struct Volume {
        std::optional<uint32_t> serial;  // set for removable drives only
        std::string fileSystem, label;
    };
    Volume volumeOf(const std::string& path, std::optional<uint32_t> heldSerial);

    RunContext& ctx_;
    KeptRunHeader header_;
    std::string folder_;
    std::optional<platform::FileIdentity> storeIdentity_;
    std::unique_ptr<platform::TextWriter> manifest_;
    std::unique_ptr<platform::ByteWriter> pack_;
    std::string packName_;
    uint64_t packSize_ = 0;
    bool failed_ = false;
    KeepRefusal refusal_ = KeepRefusal::None;
    int records_ = 0;
    // The facts of each drive kept from, asked once per drive root and volume
    // serial (a drive swapped under its letter is asked again).
    std::map<std::pair<std::string, uint32_t>, Volume> volumes_;
};

// When keeping became impossible during a run (`why` is not None), one box
// (warning icon) tells the user that what could not be kept was not deleted,
// and why. Shown after the run's verdict.
void reportKeepRefusal(RunContext& ctx, KeepRefusal why);

// Which disinfection keeps what it deletes: a removable drive's (its root is
// recorded with the run) or the computer's.
enum class KeptFrom { Device, Computer };

// Gives a disinfection's context a quarantine for as long as the scope lives:
// every file and value the run deletes through removeFile / RemovalBatch /
// removeValue is kept first. The header takes the date and time of this
// moment.
class KeepingScope {
public:
    KeepingScope(RunContext& ctx, KeptFrom from, const std::string& deviceRoot = {});
    ~KeepingScope();
    KeepingScope(const KeepingScope&) = delete;
    KeepingScope& operator=(const KeepingScope&) = delete;
    QuarantineRun& run() { return run_; }

    // After the verdict: see reportKeepRefusal.
    void reportRefusal() { reportKeepRefusal(ctx_, run_.refusal()); }

private:
    RunContext& ctx_;
    QuarantineRun run_;
};

// The name of a version 1 content file of number `n` ("000001.vxq").
std::string contentFileName(int number);

// The reversible mask of kept bytes; `offset` is the position of data[0] in
// the content file. With a key (version 2) the mask is keyed; without one it
// is the fixed mask of version 1 stores. Applying it twice gives the bytes
// back.
void transformContent(uint8_t* data, size_t size, uint64_t offset, const std::optional<MaskKey>& key = std::nullopt);

// Records that the items of `run` at `indexes` (into run.items) left the
// store, restored: one "gone" record each is appended to the run's manifest
// (version 1 content files are deleted too). False when the manifest cannot
// be written.
bool markItemsGone(platform::Platform os, const KeptRun& run, const std::vector<size_t>& indexes);

// Reads one run's folder: header and items. An item whose record is damaged,
// or whose kept bytes are missing from the run's folder, is marked damaged.
// The bytes themselves are checked against the recorded size and SHA-256
// when the item is restored, so reading a run never reads what it kept.
// Never throws on bad input.
KeptRun readKeptRun(platform::Platform os, const std::string& runFolder);

}  // namespace vx::scan

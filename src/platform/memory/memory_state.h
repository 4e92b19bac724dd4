// Internal state of the memory machine, shared by its implementation files.
// Not part of the public interface (tests may include it for white-box checks).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory/memory_machine.h"

namespace vx::memory::detail {

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------

// The folded (upper-cased) UTF-16 form of a name: two names are the same entry
// when their keys are equal, and keys in ordinal order give NTFS order.
using NameKey = std::u16string;
NameKey nameKey(std::string_view name);

// The folded 8.3 short name Windows gives a name that is not already a valid
// 8.3 name ("x.exe1" -> "X~1.EXE"); empty for a valid 8.3 name. Masks match it
// as well as the name. The numeric tail is always ~1: only masks look at it.
NameKey shortNameKey(const NameKey& key);

// True for a name Windows accepts for a new file or folder: not empty, no
// control character and none of  \ / : * ? " < > |
bool isValidName(std::string_view name);

// A find mask translated to the DOS wildcards FindFirstFile uses.
struct Mask {
    std::u16string expression;  // folded, with DOS_STAR / DOS_QM / DOS_DOT
    bool literal = false;       // no wildcard: matches one key only
    bool everything = false;    // "*" or "*.*"
    bool suffixOnly = false;    // a star and then `suffix`, which ends every match
    std::u16string suffix;
};
Mask compileMask(std::string_view mask);
bool maskMatches(const Mask& mask, const NameKey& key);

// ---------------------------------------------------------------------------
// File system tree
// ---------------------------------------------------------------------------

enum class Kind { File, Folder, Link };

// Attribute bits an entry stores; Directory, ReparsePoint and Normal are
// derived from its kind.
inline constexpr uint32_t kSettableAttributes = platform::attr::ReadOnly | platform::attr::Hidden |
                                                platform::attr::System | platform::attr::Archive |
                                                platform::attr::Temporary | 0x1000u /* offline */ |
                                                0x2000u /* not content indexed */;

struct Node : std::enable_shared_from_this<Node> {
    Kind kind = Kind::File;
    std::string name;   // as created (case preserved)
    NameKey shortKey;   // folded 8.3 short name, when the name needs one
    uint32_t bits = 0;  // kSettableAttributes only
    std::string data;
    uint64_t sizeOnly = 0;  // size of a file made without bytes
    bool hasSizeOnly = false;
    std::string linkTarget;  // absolute path, for links
    bool locked = false;     // in use (set-up)
    int writers = 0;         // open text, byte and new-file writers
    int images = 0;          // running processes started from this file
    int held = 0;            // HeldFile handles (delete access, sharing reading only)
    int exclusiveReaders = 0;  // readers that share reading only
    int folderHandles = 0;     // open FolderHandles on this folder
    // Machine-wide unique, given when the entry is first attached; kept on
    // moves and renames within a drive.
    uint64_t fileIndex = 0;
    FolderAccess access = FolderAccess::Everyone;  // taken from the folder it is made in
    bool trustUnreadable = false;                  // folderTrust answers Unreadable
    Node* parent = nullptr;
    std::map<NameKey, std::shared_ptr<Node>> children;

    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Frees the subtree without recursion.
    ~Node();

    bool isFolderLike() const { return kind != Kind::File; }
    uint64_t size() const { return kind != Kind::File ? 0 : hasSizeOnly ? sizeOnly : data.size(); }
    // Copies up to `capacity` bytes from `offset` (a size-only file reads as
    // zeros) and moves `offset` past them; the count copied, 0 at the end.
    size_t readAt(uint64_t& offset, uint8_t* buffer, size_t capacity) const;
    uint32_t attributes() const;
    // Open in a way that refuses deleting, renaming and writing by others.
    bool inUse() const { return locked || writers > 0 || images > 0 || held > 0 || exclusiveReaders > 0; }
    // Open for writing, or open sharing reading only: what a new handle that
    // shares reading only (or asks for delete access) conflicts with.
    bool openAgainstSharing() const { return writers > 0 || held > 0 || exclusiveReaders > 0; }
};

// Free space a new drive reports: plenty, so that only tests that set it meet
// a full disk.
inline constexpr uint64_t kDefaultFreeBytes = 500ull << 30;

// The serial number a new drive reports: fixed per letter, so that tests are
// deterministic and two drives never share one.
inline uint32_t defaultVolumeSerial(char letter) {
    return 0x5EC00000u | (static_cast<uint32_t>(static_cast<unsigned char>(letter)) << 8) | 0x17u;
}

struct Drive {
    platform::DriveType type = platform::DriveType::Fixed;
    std::string label;
    std::shared_ptr<Node> root;
    uint32_t serial = 0;
    // What freeBytes() answers; the byte and journal writers consume it.
    uint64_t freeBytes = kDefaultFreeBytes;
    std::string fileSystem;  // what fileSystemName() answers
};

// The file system a new drive reports for its type.
inline const char* defaultFileSystemName(platform::DriveType type) {
    switch (type) {
        case platform::DriveType::Removable:
            return "FAT32";
        case platform::DriveType::CdRom:
            return "CDFS";
        default:
            return "NTFS";
    }
}

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------

struct RegNode : std::enable_shared_from_this<RegNode> {
    std::string name;
    struct Value {
        std::string name;
        NameKey key;
        platform::RegValue value;
    };
    std::vector<Value> values;  // in insertion order
    std::map<NameKey, std::shared_ptr<RegNode>> subkeys;
    RegNode* parent = nullptr;

    RegNode() = default;
    RegNode(const RegNode&) = delete;
    RegNode& operator=(const RegNode&) = delete;
    ~RegNode();

    Value* findValue(const std::string& valueName);
};

// ---------------------------------------------------------------------------
// Processes
// ---------------------------------------------------------------------------

struct Process {
    ProcessInfo info;
    std::weak_ptr<Node> image;  // the file kept in use while it runs
};

// ---------------------------------------------------------------------------
// Faults
// ---------------------------------------------------------------------------

struct Faults {
    std::vector<std::string> failPrefixes;
    uint64_t everyNth = 0;
    uint64_t everyNthStart = 0;  // call count when armed
    bool vanishArmed = false;
    uint64_t vanishAt = 0;  // the call number that first sees the drive gone
    char vanishLetter = 0;
    // Shared so that a call in progress keeps the hook alive while the hook
    // itself replaces or clears the faults.
    std::shared_ptr<FaultHook> hook;
    bool inHook = false;  // calls the hook makes are not offered to it again
};

// Result of resolving a path in the tree.
struct Resolved {
    enum class Error { None, BadPath, NoDrive, PathNotFound, FileNotFound, TooManyLinks };
    Error error = Error::None;
    Node* node = nullptr;    // the entry, when it exists
    Node* parent = nullptr;  // the folder holding (or that would hold) the last component
    std::string name;        // the last component as written ("" for a root)
    char drive = 0;          // the drive the entry lives on (links followed)
    bool trailingSeparator = false;  // the path ends in "\": it names a folder
    bool ok() const { return error == Error::None; }
};

}  // namespace vx::memory::detail

namespace vx::memory {

// Implementation classes, bound to one state.
class MemoryFileSystem;
class MemoryProcesses;
class MemoryRegistry;
class MemoryShell;
class MemoryClock;
class MemoryDialogs;
class MemoryCrypto;

struct Machine::State {
    // Handles check this token so that they never touch a destroyed machine.
    std::shared_ptr<int> lifetime = std::make_shared<int>(0);

    // File system
    std::map<char, detail::Drive> drives;
    std::string currentDirectory;
    std::string temporaryPath;
    uint64_t calls = 0;
    detail::Faults faults;
    uint64_t nextFileIndex = 1;
    bool administrator = false;  // Shell::hasAdministratorRights
    // Folder chains kept for the next lookups: deep trees are walked with
    // paths that share a long prefix (see memory_tree.cpp).
    uint64_t epoch = 0;
    struct PathChain {
        uint64_t epoch = 0;
        uint64_t lastUse = 0;
        std::string path;                               // "X:\a\b", as the caller wrote it
        std::vector<size_t> ends;                       // end of component i in `path`
        std::vector<std::weak_ptr<detail::Node>> nodes;  // folder reached by components 0..i
    };
    static constexpr size_t kChains = 4;
    PathChain chains[kChains];
    uint64_t chainClock = 0;

    // Registry
    std::shared_ptr<detail::RegNode> currentUser = std::make_shared<detail::RegNode>();
    std::shared_ptr<detail::RegNode> localMachine = std::make_shared<detail::RegNode>();
    bool denyLocalMachine = false;

    // Processes
    std::vector<detail::Process> processes;
    uint32_t nextPid = 4;
    uint32_t currentPid = 0;
    std::vector<TerminationRecord> terminations;
    std::vector<std::string> startedCommands;
    bool startCommandResult = true;
    bool snapshotFails = false;
    bool systemHalted = false;
    bool selfTerminated = false;

    // Shell
    std::map<int, std::string> specialFolders;
    std::set<int> failedSpecialFolders;
    std::vector<std::string> explored, opened;
    std::vector<unsigned> restarts;
    platform::Wow64 wow64 = platform::Wow64::No;
    bool is64Bit = true;
    platform::WindowsVersion version{6, 1, 7601};
    std::string programPath;

    // Run lock, command line and console
    std::shared_ptr<bool> runLockHeld = std::make_shared<bool>(false);  // by the program
    bool runLockHeldElsewhere = false;                                  // by another program
    std::vector<std::string> arguments;
    bool hasParentConsole = false;
    bool consoleAttached = false;
    std::vector<std::string> consoleLines;

    // Clock
    platform::DateTime now{2026, 12, 7, 9, 15, 42, 0};
    Locale locale = Locale::brazil();

    // Crypto: a splitmix64 stream, so that runs repeat
    static constexpr uint64_t kDefaultRandomSeed = 0x5EED0F0A7E5ull;
    uint64_t randomState = kDefaultRandomSeed;
    bool randomFails = false;

    // Dialogs
    std::deque<platform::Answer> answers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<DialogRecord> transcript;

    // The interfaces, bound to this state.
    std::unique_ptr<MemoryFileSystem> fs;
    std::unique_ptr<MemoryProcesses> procs;
    std::unique_ptr<MemoryRegistry> reg;
    std::unique_ptr<MemoryShell> shellImpl;
    std::unique_ptr<MemoryClock> clockImpl;
    std::unique_ptr<MemoryDialogs> dialogsImpl;
    std::unique_ptr<MemoryCrypto> cryptoImpl;

    State();
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    // Replaces this state's content with a deep copy of `other`'s.
    void copyFrom(const State& other);

    // --- tree helpers (memory_tree.cpp) ---
    // Resolves `path`; a junction as the last component is followed only when
    // `followLast`.
    detail::Resolved resolve(const std::string& path, bool followLast = false);
    detail::Resolved resolveEntry(const std::string& path, bool followLast);
    detail::Drive* drive(char letter);
    // Adds a child to `folder` (which must not hold the name yet).
    detail::Node* attach(detail::Node* folder, std::shared_ptr<detail::Node> child);
    // Removes `node` from its folder and returns it.
    std::shared_ptr<detail::Node> detach(detail::Node* node);
    // True when `ancestor` is `node` or one of its folders.
    static bool contains(const detail::Node* ancestor, const detail::Node* node);
    // True when something in the subtree of `node` is in use.
    static bool subtreeInUse(const detail::Node* node);
    // True when the current directory is `node` or lies inside it.
    bool holdsCurrentDirectory(const detail::Node* node);
    // Every remembered path becomes stale (a folder or junction moved, a
    // junction or a drive went away).
    void invalidatePaths() { ++epoch; }
    // `folder` (empty) left the tree: remembered paths stop before it.
    void forgetFolder(const detail::Node* folder);
    // The absolute form of a path, for fault matching ("" when it has none).
    std::string absolutePath(const std::string& path) const;
    bool removeDriveNow(char letter);

    // --- access rules for program calls (memory_handles.cpp) ---
    // Without administrator rights, AdminsWrite and AdminsOnly entries and
    // everything inside such folders cannot be changed, and nothing inside an
    // AdminsOnly folder (nor the folder's content) can be read.
    bool mayChange(const detail::Node* entry) const;       // write, delete, rename, set attributes
    bool mayCreateIn(const detail::Node* folder) const;    // a new entry in `folder`
    bool mayRead(const detail::Node* entry) const;         // open, read, list
    bool mayReadAttributes(const detail::Node* entry) const;  // attributes and identity

    // --- faults (memory_filesystem.cpp) ---
    // Counts one file-system call and answers whether it must fail.
    bool failCall(std::string_view operation, const std::string& path);
    bool failCall(std::string_view operation, const std::string& path1, const std::string& path2);

    // --- processes ---
    void pinImage(detail::Process& p);
    void unpinImage(detail::Process& p);

    // --- registry ---
    std::shared_ptr<detail::RegNode>& hive(platform::RootKey root) {
        return root == platform::RootKey::LocalMachine ? localMachine : currentUser;
    }
};

}  // namespace vx::memory

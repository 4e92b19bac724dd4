// The one seam between Varrex and the operating system.
//
// Everything above src/platform/ talks to Windows only through these interfaces.
// Two implementations exist: win32/ (the real system, W functions, UTF-8 at the
// boundary) and memory/ (a whole simulated Windows machine for tests).
//
// Conventions shared by every interface:
//  - text is UTF-8;
//  - paths are Windows paths ("E:\Fotos\a.jpg"); names compare case-insensitively;
//  - no call throws for a failed operation;
//  - every call that can fail reports it one way: an action returns a
//    Status, a call that gives something back (a handle, bytes read, lines,
//    a value, an identity) a Result<T>. A failure carries its Fault, the
//    system's error code and the system's message (platform/status.h);
//  - questions answer with their result, whose false or empty is an answer,
//    not a failure: fileExists, directoryExists, getAttributes and
//    childAttributes (attr::Invalid), Finder::next, valueExists,
//    subkeyExists, isCritical, hasAdministratorRights, is64BitProcess,
//    separatesAccounts, folderTrust, the lists and names that come back
//    empty when the system cannot give them, tryLockRuns (null while
//    another holds the lock) and saveFile (none when the user cancels).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace vx::platform {

// ---------------------------------------------------------------------------
// File system
// ---------------------------------------------------------------------------

// DOS / Win32 file attribute bits, with their Windows values.
namespace attr {
inline constexpr uint32_t ReadOnly = 0x1;
inline constexpr uint32_t Hidden = 0x2;
inline constexpr uint32_t System = 0x4;
inline constexpr uint32_t VolumeLabel = 0x8;
inline constexpr uint32_t Directory = 0x10;
inline constexpr uint32_t Archive = 0x20;
inline constexpr uint32_t Device = 0x40;
inline constexpr uint32_t Normal = 0x80;
inline constexpr uint32_t Temporary = 0x100;
inline constexpr uint32_t ReparsePoint = 0x400;
inline constexpr uint32_t Invalid = 0xFFFFFFFFu;  // getAttributes on a missing entry
}  // namespace attr

// One directory entry as the find enumeration reports it.
struct FindEntry {
    std::string name;         // file name only, as stored (case preserved)
    uint32_t attributes = 0;  // full attribute word (attr::*)
    uint64_t size = 0;        // file size in bytes (0 for folders)

    // The low 32 bits of the size taken as a signed integer, as the classic
    // find record exposes it.
    int32_t size32() const { return static_cast<int32_t>(static_cast<uint32_t>(size)); }
    bool isDirectory() const { return (attributes & attr::Directory) != 0; }
};
// Sizes of files and folders are 64-bit in the 32-bit build too: a 4 GiB
// file must never read as a small one.
static_assert(sizeof(FindEntry::size) == 8, "file sizes are 64-bit everywhere");

// A streaming enumeration: yields one entry at a time and releases the system
// handle when destroyed. Entries "." and ".." are reported where the file system
// reports them (every folder except a drive root); callers skip them.
class Finder {
public:
    virtual ~Finder() = default;
    // Fills `entry` with the next match; false at the end.
    virtual bool next(FindEntry& entry) = 0;
};

// Drive types, with the values GetDriveType gives.
enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// A text file being written line by line (ANSI code page, CRLF after every line).
class TextWriter {
public:
    virtual ~TextWriter() = default;
    virtual Status writeLine(const std::string& line) = 0;
    // Writes every line in turn. A journal (appendUtf8TextFile) writes them
    // all and then makes them reach the disk once, before it returns.
    virtual Status writeLines(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            if (Status r = writeLine(line); !r) return r;
        return {};
    }
    // Flushes and closes; further writes fail. Called by the destructor too.
    virtual Status close() = 0;
};

// A file being read as raw bytes, from its start. The file may be read,
// written or deleted by others meanwhile (shared access), as Explorer allows.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to `capacity` bytes into `buffer`: the count read, 0 at the
    // end of the file.
    virtual Result<size_t> read(uint8_t* buffer, size_t capacity) = 0;
    // Moves to `offset` from the file's start.
    virtual Status seek(uint64_t offset) = 0;
};

// A new file being written as raw bytes.
class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    virtual Status write(const uint8_t* data, size_t size) = 0;
    // Makes every byte written so far reach the disk (FlushFileBuffers); the
    // file stays open for more.
    virtual Status flush() = 0;
    // Makes every byte written reach the disk (FlushFileBuffers) and closes
    // the file; further writes fail. The destructor closes without the flush.
    virtual Status close() = 0;
};

// What names one file or folder on one volume, whatever path leads to it:
// the volume serial number and the file index (GetFileInformationByHandle).
struct FileIdentity {
    uint32_t volumeSerial = 0;
    uint64_t fileIndex = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What a folder's owner and access list allow, read from the folder itself,
// opened without following a link.
enum class FolderTrust {
    Missing,     // nothing stands there
    NotAFolder,  // a file stands there
    Link,        // a junction, symbolic link or mount point (a name surrogate)
    Open,        // another account may write, delete, or change its owner or
                 // access list; or its owner is not SYSTEM or Administrators
    AdminsOnly,  // owned by SYSTEM or Administrators, and only they may write,
                 // delete or change it
    Unreadable,  // its owner or access list cannot be read
    NoAccessLists,  // the volume, or the system, keeps no access lists (FAT;
                    // Wine, which makes one up from the Unix permissions):
                    // no folder there can be kept from anyone who may write
};

// The original of a file that is being kept and then deleted. It is opened
// once, without following a reparse point, with delete access and shared for
// reading only: nobody can write, rename or delete it while it is held, so
// the bytes copied are the bytes deleted.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    virtual uint64_t size() = 0;
    virtual uint32_t attributes() = 0;
    virtual Result<FileIdentity> identity() = 0;
    // Reads the next bytes (from the start on the first call): the count
    // read, 0 at the end.
    virtual Result<size_t> read(uint8_t* buffer, size_t capacity) = 0;
    // Marks the file for deletion through this handle (the delete
    // disposition); it leaves its folder when the handle is closed, that is
    // when this object is destroyed. A failure when the system refuses (a
    // read-only file, a running program's image).
    virtual Status markForDeletion() = 0;
};

// A new file made relative to a folder handle. It shares nothing for writing
// or deleting; it is read back through the same handle.
class NewFile {
public:
    virtual ~NewFile() = default;
    virtual Status write(const uint8_t* data, size_t size) = 0;
    // Makes every byte written reach the disk.
    virtual Status flush() = 0;
    // Reads from `offset` (for the check of what reached the disk).
    virtual Status seek(uint64_t offset) = 0;
    virtual Result<size_t> read(uint8_t* buffer, size_t capacity) = 0;
    // Sets the attribute word through the handle (0 is "normal").
    virtual Status setAttributes(uint32_t attributes) = 0;
    // Deletes the file through its handle (a copy that did not verify).
    virtual Status discard() = 0;
};

// An open folder. Every name given is one component (no "\"), taken relative
// to this folder's handle: nothing between a check and a write can redirect
// it, whatever happens to the path that led here.
class FolderHandle {
public:
    virtual ~FolderHandle() = default;
    // The attribute word of the entry `name` as the folder lists it (a link
    // is not followed); attr::Invalid when there is none.
    virtual uint32_t childAttributes(const std::string& name) = 0;
    // Opens the folder `name`. A name surrogate is refused (Link); a reparse
    // point that is not one (a cloud placeholder) opens as a folder.
    virtual Result<std::unique_ptr<FolderHandle>> openFolder(const std::string& name) = 0;
    // Creates the folder `name`; Exists when anything stands there.
    virtual Result<std::unique_ptr<FolderHandle>> createFolder(const std::string& name) = 0;
    // Creates the file `name`; Exists when anything stands there.
    virtual Result<std::unique_ptr<NewFile>> createFile(const std::string& name) = 0;
    // Opens the existing file `name` for reading, sharing reading only; a
    // link is refused.
    virtual Result<std::unique_ptr<ByteReader>> openFile(const std::string& name) = 0;
    // Every entry of the folder ("." and ".." left out).
    virtual std::vector<FindEntry> list() = 0;
    // Deletes the entry `name`: a file, an empty folder, or a link itself
    // (never what it leads to).
    virtual Status deleteEntry(const std::string& name) = 0;
    virtual Status setAttributes(uint32_t attributes) = 0;
    virtual Result<FileIdentity> identity() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Enumerates `pattern` (a folder followed by a mask such as "*.*", "*.lnk",
    // "USB.exe"); every attribute kind is reported. Nothing that matches is
    // a failure too, Missing with the system's code 2, as FindFirstFile
    // reports it; a missing folder is Missing with code 3.
    virtual Result<std::unique_ptr<Finder>> find(const std::string& pattern) = 0;

    // attr::Invalid when the entry does not exist.
    virtual uint32_t getAttributes(const std::string& path) = 0;
    // Sets the attribute word; 0 is taken as "normal" (no attribute bits).
    virtual Status setAttributes(const std::string& path, uint32_t attributes) = 0;

    virtual Status deleteFile(const std::string& path) = 0;       // files only
    virtual Status createDirectory(const std::string& path) = 0;  // one level
    virtual Status removeDirectory(const std::string& path) = 0;  // empty only
    virtual Status move(const std::string& from, const std::string& to) = 0;  // never replaces
    virtual Status copyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;

    // True for an existing entry that is not a folder.
    virtual bool fileExists(const std::string& path) = 0;
    // True for an existing folder (a drive root included).
    virtual bool directoryExists(const std::string& path) = 0;

    // Bit n set for drive letter 'A' + n.
    virtual uint32_t logicalDrives() = 0;
    // `root` is a drive root such as "E:\".
    virtual DriveType driveType(const std::string& root) = 0;
    virtual std::string volumeLabel(const std::string& root) = 0;

    // The user's temporary folder with its final "\"; empty on failure.
    virtual std::string temporaryPath() = 0;

    // Writes `lines` as a new file (replacing one of the same name), in the
    // ANSI code page, CRLF after every line, no byte-order mark.
    virtual Status writeTextFile(const std::string& path, const std::vector<std::string>& lines) = 0;
    // Creates (or replaces) a text file to be written line by line.
    virtual Result<std::unique_ptr<TextWriter>> createTextFile(const std::string& path) = 0;
    // Reads at most `maxLines` lines of an ANSI text file. A line ends at CR LF,
    // LF or a lone CR; line ends are not kept; a line longer than
    // `maxLineBytes` keeps only its first `maxLineBytes` bytes. The file is
    // streamed, so a huge file costs no more than the lines asked for.
    virtual Result<std::vector<std::string>> readTextLines(const std::string& path, size_t maxLines,
                                                           size_t maxLineBytes = 4096) = 0;

    // --- raw bytes, UTF-8 journals and volume facts --------------------------

    // Opens an existing file for reading its bytes; a failure when it cannot
    // be opened (missing, a folder, locked for reading, no access).
    virtual Result<std::unique_ptr<ByteReader>> openBytes(const std::string& path) = 0;
    // Creates a new file for writing bytes; never replaces an existing entry
    // (a failure then, as any other).
    virtual Result<std::unique_ptr<ByteWriter>> createBytes(const std::string& path) = 0;

    // Opens a UTF-8 text file for appending lines (created when missing, no
    // byte-order mark). Each writeLine adds the line and CR LF and makes them
    // reach the disk (flushed) before it returns; writeLines flushes once for
    // all its lines. When the file does not end with a line end (a line torn
    // by a crash), CR LF is written first, so the torn line never swallows
    // the next one.
    virtual Result<std::unique_ptr<TextWriter>> appendUtf8TextFile(const std::string& path) = 0;
    // Reads at most `maxLines` lines of a UTF-8 text file, with the rules of
    // readTextLines (CR LF, LF or lone CR end a line; long lines cut at
    // `maxLineBytes`); the bytes are returned as they are (no conversion; a
    // leading byte-order mark is dropped).
    virtual Result<std::vector<std::string>> readUtf8TextLines(const std::string& path, size_t maxLines,
                                                               size_t maxLineBytes = 65536) = 0;

    // The serial number of the volume whose root is `root` ("E:\"); a
    // failure when the drive is absent or cannot tell.
    virtual Result<uint32_t> volumeSerial(const std::string& root) = 0;
    // Bytes free for the user on the volume holding `path` (an existing
    // folder).
    virtual Result<uint64_t> freeBytes(const std::string& path) = 0;

    // --- handles, identities and trust ------------------------------------------

    // The file system's name ("FAT32", "NTFS") of the volume whose root is
    // `root`; empty when it cannot tell.
    virtual std::string fileSystemName(const std::string& root) = 0;
    // The identity of the entry `path` (a final link is not followed); a
    // failure when it cannot be opened.
    virtual Result<FileIdentity> identity(const std::string& path) = 0;
    // Opens the file `path` to keep and delete it (see HeldFile). A file
    // that is itself a reparse point is refused (Link), so is a folder.
    virtual Result<std::unique_ptr<HeldFile>> holdFile(const std::string& path) = 0;
    // Opens the folder `path` (a drive root "E:\", or a folder whose last
    // component is not a name surrogate).
    virtual Result<std::unique_ptr<FolderHandle>> openFolder(const std::string& path) = 0;
    // Opens an existing file for reading, sharing reading only: nobody may
    // write, rename or delete it while it is open. A link is refused.
    virtual Result<std::unique_ptr<ByteReader>> openBytesExclusive(const std::string& path) = 0;
    // The owner and access list of the folder `path`, opened without
    // following a link.
    virtual FolderTrust folderTrust(const std::string& path) = 0;
    // Creates the folder `path` (one level) owned by Administrators with a
    // protected access list that gives full access to SYSTEM and
    // Administrators and nothing to anyone else. On a volume or system that
    // keeps no access lists the folder is made without one (folderTrust then
    // answers NoAccessLists). A failure when anything stands there, it cannot be
    // made, or the protection asked for did not hold where it should.
    virtual Status createProtectedDirectory(const std::string& path) = 0;
};

// ---------------------------------------------------------------------------
// Processes
// ---------------------------------------------------------------------------

struct ProcessEntry {
    uint32_t pid = 0;
    std::string exeName;  // what the process snapshot reports (normally the bare file name)
};

class Processes {
public:
    virtual ~Processes() = default;
    // Every running process, in the system's snapshot order. Empty when the
    // snapshot cannot be taken.
    virtual std::vector<ProcessEntry> snapshot() = 0;
    // Full path of the process's executable; empty when it cannot be read.
    virtual std::string imagePath(uint32_t pid) = 0;
    // Opens the process with terminate access and ends it with the exit code.
    // A process that has already ended is Missing (code 87, as OpenProcess
    // answers for a process id no one holds).
    virtual Status terminate(uint32_t pid, uint32_t exitCode) = 0;
    // True when the system marks the process critical (its loss halts Windows).
    // False where the system cannot tell.
    virtual bool isCritical(uint32_t pid) = 0;
    virtual uint32_t currentProcessId() = 0;
    // Starts a command line without waiting for it.
    virtual Status startCommand(const std::string& commandLine) = 0;
};

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------

enum class RootKey { CurrentUser, LocalMachine };
enum class RegAccess { Read, Full };

// Registry value types, with their Windows numbers.
namespace regtype {
inline constexpr uint32_t None = 0;
inline constexpr uint32_t Sz = 1;
inline constexpr uint32_t ExpandSz = 2;
inline constexpr uint32_t Binary = 3;
inline constexpr uint32_t Dword = 4;
inline constexpr uint32_t MultiSz = 7;
inline constexpr uint32_t Qword = 11;
}  // namespace regtype

// A value as the registry stores it: its type and its raw bytes. Text types
// hold UTF-16LE code units with their terminating zero, as Windows keeps them.
struct RegValue {
    uint32_t type = regtype::None;
    std::vector<uint8_t> data;

    static RegValue text(const std::string& utf8, uint32_t type = regtype::Sz);
    static RegValue dword(uint32_t v);
    static RegValue binary(std::vector<uint8_t> bytes);
    // The text of a REG_SZ / REG_EXPAND_SZ value, up to its first zero;
    // std::nullopt for every other type.
    std::optional<std::string> asText() const;
};

// An open key; closes itself when destroyed.
class RegKey {
public:
    virtual ~RegKey() = default;
    // Names of the values, in the registry's order.
    virtual std::vector<std::string> valueNames() = 0;
    virtual std::vector<std::string> subkeyNames() = 0;
    virtual bool valueExists(const std::string& name) = 0;
    // A missing value is Missing (code 2).
    virtual Result<RegValue> readValue(const std::string& name) = 0;
    // Text of a string value; none when it is missing, unreadable or not a
    // text type.
    std::optional<std::string> readText(const std::string& name) {
        auto v = readValue(name);
        return v ? v->asText() : std::nullopt;
    }
    virtual Status writeValue(const std::string& name, const RegValue& value) = 0;
    // A missing value is Missing (code 2).
    virtual Status deleteValue(const std::string& name) = 0;
    virtual bool subkeyExists(const std::string& name) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Opens an existing key, never creating it. `path` is relative to the root;
    // leading and trailing backslashes are ignored. A missing key is Missing
    // (code 2), a refused one Denied (code 5).
    virtual Result<std::unique_ptr<RegKey>> open(RootKey root, const std::string& path, RegAccess access) = 0;
    // Opens the key with full access, creating it and its missing parents.
    virtual Result<std::unique_ptr<RegKey>> create(RootKey root, const std::string& path) = 0;
    // Deletes the key with every subkey and value.
    virtual Status deleteTree(RootKey root, const std::string& path) = 0;
};

// Copies every value (same name, type and data) and every subkey, recursively,
// from `from` into `to` (created when missing). A failure when `from` cannot
// be opened or `to` cannot be created; parts that cannot be read are skipped.
Status copyRegistryTree(Registry& registry, RootKey root, const std::string& from, const std::string& to);

// ---------------------------------------------------------------------------
// Shell and system facts
// ---------------------------------------------------------------------------

struct WindowsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// Answer of IsWow64Process, looked up by name at run time.
enum class Wow64 { Unavailable, QueryFailed, Yes, No };

// The lock that lets one Varrex run at a time on the machine, whichever
// program (a window or a command line) and whichever session holds it.
// Held until destroyed.
class RunLock {
public:
    virtual ~RunLock() = default;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Path of a special folder by CSIDL number, without a final "\"; empty
    // when the system cannot give it.
    virtual std::string specialFolder(int csidl) = 0;
    // Shows a folder in an Explorer window (verb "explore").
    virtual void explore(const std::string& folder) = 0;
    // Opens a file or a web address with its default action.
    virtual void openDefault(const std::string& target) = 0;
    // Enables the shutdown privilege and calls ExitWindowsEx(flags).
    virtual void restartWindows(unsigned flags) = 0;
    virtual Wow64 isWow64Process() = 0;
    // True when the running program is a 64-bit process.
    virtual bool is64BitProcess() = 0;
    virtual WindowsVersion windowsVersion() = 0;
    // Full path of the program's own executable file.
    virtual std::string programPath() = 0;
    // True when the process holds an enabled Administrators membership: an
    // elevated token (Vista and later), the Administrators group (XP).
    virtual bool hasAdministratorRights() = 0;
    // False where every program runs with the same rights whatever account
    // started it (Wine: every program of a prefix is the same Unix user with
    // the same administrator token), so no program can gain rights through
    // another's files.
    virtual bool separatesAccounts() = 0;

    // --- the command line and its console ------------------------------------

    // Takes the machine's run lock; null while anyone else holds it, another
    // holder in this very program included.
    virtual std::unique_ptr<RunLock> tryLockRuns() = 0;
    // The arguments the program was started with, without its own name,
    // split as the C runtime splits them (quotes group blanks).
    virtual std::vector<std::string> commandLineArguments() = 0;
    // Makes writeConsole reach the console or output of the program that
    // started this one: the standard output it handed down (a file, a pipe),
    // else the console of the parent process. A failure when there is
    // neither.
    virtual Status attachParentConsole() = 0;
    // Writes one line and a line end there; a failure when nothing is
    // attached (InvalidHandle, code 6) or the write fails.
    virtual Status writeConsole(const std::string& line) = 0;
};

// ---------------------------------------------------------------------------
// Clock and locale
// ---------------------------------------------------------------------------

struct DateTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() = 0;
    // The date in the user's short date format ("07/12/2026" in Brazil).
    virtual std::string shortDate(const DateTime& t) = 0;
    // The time in the user's long time format ("09:15:42").
    virtual std::string longTime(const DateTime& t) = 0;
    // `value` rounded to `decimals`, with the user's thousands and decimal
    // separators ("1.024,00" in Brazil).
    virtual std::string formatNumber(double value, int decimals) = 0;
};

// ---------------------------------------------------------------------------
// Dialogs
// ---------------------------------------------------------------------------

enum class Icon { None, Information, Warning, Question, Error };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No, Cancel };

struct SaveDialogOptions {
    std::string title;
    std::string defaultExtension;  // "txt"
    std::string filter;            // "*.txt"
    std::string fileName;          // offered name (the last one chosen)
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual Answer messageBox(const std::string& text, const std::string& caption, Icon icon,
                              Buttons buttons) = 0;
    // The chosen file name, or std::nullopt when the user cancels.
    virtual std::optional<std::string> saveFile(const SaveDialogOptions& options) = 0;
    // The standard error box for an input/output error.
    virtual void ioError(const std::string& text) = 0;
};

// ---------------------------------------------------------------------------
// Cryptography
// ---------------------------------------------------------------------------

using Sha256Digest = std::array<uint8_t, 32>;

// A SHA-256 being computed over bytes handed in pieces.
class Sha256 {
public:
    virtual ~Sha256() = default;
    virtual void update(const uint8_t* data, size_t size) = 0;
    // The digest of everything handed in; the object is spent afterwards.
    // Should the system fail mid-way, the digest is one that no other
    // computation gives, so it never matches anything.
    virtual Sha256Digest finish() = 0;
};

class Crypto {
public:
    virtual ~Crypto() = default;
    // A new SHA-256 computation (Windows' own crypto provider on Win32); a
    // failure when the system offers none.
    virtual Result<std::unique_ptr<Sha256>> sha256() = 0;
    // Fills `buffer` with unpredictable bytes (CryptGenRandom); a failure
    // when the system cannot.
    virtual Status randomBytes(uint8_t* buffer, size_t size) = 0;
};

// Lower-case hexadecimal text of a digest (64 characters).
std::string hexDigest(const Sha256Digest& digest);

// ---------------------------------------------------------------------------

// The whole platform, as handed to the program.
struct Platform {
    FileSystem& fs;
    Processes& processes;
    Registry& registry;
    Shell& shell;
    Clock& clock;
    Dialogs& dialogs;
    Crypto& crypto;
};

// Upper-cases the letters a to z only (the rule used for process names).
std::string upperAscii(std::string s);
// Case-insensitive comparison as Windows compares file names, folding the
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters (foldCaseUnit:
// the upper case of one UTF-16 unit).
bool equalNoCase(const std::string& a, const std::string& b);
char16_t foldCaseUnit(char16_t c);

// Text conversions used at the boundaries. `codePage` 1252 is the Western
// ANSI code page; unmappable characters become '?'.
std::string utf8ToCp1252(const std::string& utf8);
std::string cp1252ToUtf8(const std::string& bytes);
// Appends the UTF-8 bytes of code point `cp` (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t cp);
std::u16string utf8ToUtf16(const std::string& utf8);
std::string utf16ToUtf8(const std::u16string& utf16);

}  // namespace vx::platform

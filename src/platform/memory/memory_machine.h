// A whole Windows machine simulated in memory: drives and their folder trees,
// the registry, the process table, the shell's special folders, the clock and
// the user's locale, and scripted dialogs. It implements every interface of
// platform.h with the rules Windows follows, so that the program's routines
// behave on it as they do on a real machine, and it lets tests build a machine,
// inject faults and inspect what the program did.
//
// Behaviour that mirrors Windows (NTFS volumes, Windows 7 and later):
//  - Names are case-insensitive and case-preserving (the folding of
//    platform::equalNoCase). Paths go through platform::splitPath: relative
//    paths resolve against the current directory, "." and ".." are resolved
//    in the text, trailing dots and blanks of a name are kept, and no length
//    limit applies.
//  - A path ending in "\" names a folder: after a file's name it names
//    nothing, and no file is created by such a path.
//  - find() reports "." and ".." first in every folder but a drive root, then
//    the entries in NTFS order (ordinal order of the upper-cased UTF-16 names).
//    Masks follow FindFirstFile: '*' any run, '?' one character (none at a dot
//    or at the end), "*.*" every name, a final ".*" or "." also matches names
//    without an extension. A mask with a wildcard also matches the 8.3 short
//    name of a name that is not 8.3 ("*.exe" finds "x.exe1", whose short name
//    is "X~1.EXE"), as on FAT drives and NTFS volumes with short names; a
//    plain name finds only that name. Short names are not paths: lookups go
//    by the long name only. An enumeration streams and stays valid while
//    entries are added or removed (it goes on after the last name reported).
//  - A file whose attribute bits are all clear reports attr::Normal. Folders
//    report attr::Directory, junctions attr::Directory | attr::ReparsePoint,
//    whatever bits are set or cleared.
//  - deleteFile refuses folders, read-only files and files in use; a file in
//    use is one locked by lockFile(), one open for writing, or the image of a
//    running process (the image can still be renamed, as on Windows).
//    removeDirectory refuses files, non-empty and read-only folders and the
//    current directory; on a junction it removes the junction only.
//  - move never replaces an entry (a case-only rename of the same entry works);
//    folders move only within their drive and not while something inside is in
//    use or holds the current directory; files may move between drives.
//  - A junction in the middle of a path is followed to its target (at most 63
//    times in one path); as the last component it is the junction itself,
//    except for the folder of a find() pattern, which lists the target.
//  - Text files are written in code page 1252 with CR LF after every line;
//    replacing an existing hidden, system or read-only file fails with
//    "Access is denied", as CreateFile does.
//  - Byte readers share access: they read files in use and go on after the
//    file is deleted. createBytes never replaces an entry (a junction
//    included). Byte and journal writes consume the drive's free space
//    (setFreeBytes) and fail as on a full disk when it runs out. Every handle
//    fails once its drive vanishes, even if the letter comes back.
//  - Every entry gets a file index when it is made, unique in the machine and
//    kept when it is moved or renamed on its drive (a copy, or a file moved to
//    another drive, gets a new one); identity() is the drive's serial with it.
//    fileSystemName() answers "NTFS" for fixed and RAM drives, "FAT32" for
//    removable ones and "CDFS" for CDs unless set (setFileSystemName).
//  - Folder access (setFolderAccess) is what a folder's owner and access list
//    allow: Everyone (the default), AdminsWrite (everyone reads and lists,
//    only administrators change anything, as C:\Windows) or AdminsOnly (only
//    SYSTEM and administrators, not even reading, as a protected store). An
//    entry takes the access of the folder it is made in, by program calls and
//    set-up calls alike, and keeps it when moved on its drive. Without
//    administrator rights (setAdministratorRights, false by default) every
//    program call that creates, writes, deletes, renames or sets the
//    attributes of an AdminsWrite or AdminsOnly entry or of anything inside
//    such a folder fails as access denied; inside an AdminsOnly folder
//    finding, reading, opening, getAttributes and identity fail too (the
//    folder's own attributes stay readable, as its parent lists it).
//    createProtectedDirectory makes an AdminsOnly folder and needs
//    administrator rights (only they may make Administrators the owner).
//    folderTrust answers Open for Everyone and AdminsOnly for the other two.
//  - Handles opened without following a final junction: holdFile (HeldFile),
//    openFolder (FolderHandle), openBytesExclusive and the files a folder
//    handle opens or creates. A held file, a file opened sharing reading only
//    and a new file made through a folder handle cannot be deleted, moved
//    (nor can a folder above them) or opened for writing or replacing, which
//    fail as a sharing violation; plain readers, find, getAttributes and
//    setAttributes still work. holdFile answers InUse for a file locked by
//    lockFile, open for writing, held, or open sharing reading only;
//    openBytesExclusive and FolderHandle::openFile refuse a file open for
//    writing or held. A folder with an open FolderHandle cannot be moved or
//    removed; the handle keeps working on its folder when a folder above it
//    moves. markForDeletion refuses a read-only file and a running program's
//    image; the held file leaves its folder, wherever it is then, when the
//    HeldFile is destroyed (unless its drive has vanished). A new file's
//    writes consume free space as byte writes do; discard() removes it,
//    whatever attributes it was given meanwhile.
//  - appendUtf8TextFile on a file that is not empty and does not end with CR
//    or LF writes CR LF at once, before any line.
//  - Crypto::randomBytes is a splitmix64 stream from a seed (setRandomSeed),
//    the same on every run; failRandomBytes makes it fail.
//  - With denyLocalMachineFullAccess(true), the registry behaves as for a user
//    without administrator rights: HKEY_LOCAL_MACHINE opens for reading only.
//  - isCritical() answers only where the system can tell (Windows 8.1, that
//    is version 6.3, and later); terminating a critical process "halts" the
//    machine (systemHalted()).
//
// Set-up methods throw std::invalid_argument when asked for something the
// machine cannot hold (a file under a missing drive, a folder where a file
// is); they bypass fault injection and never count as program calls.
//
// Handles (finders, text writers, byte readers and writers, held files,
// folder handles, new files, registry keys) that outlive their machine fail
// like handles to a vanished device. The registry holds at most 512
// levels of keys and key names of at most 255 characters, as Windows does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vx::memory {

// The user's regional settings that the Clock interface applies. Patterns
// take d, dd, M, MM, y, yy, yyyy, H, HH, h, hh, m, mm, s, ss, t, tt; text in
// single quotes and every other character is copied as it stands.
struct Locale {
    std::string shortDatePattern = "dd/MM/yyyy";
    std::string longTimePattern = "HH:mm:ss";
    std::string thousandsSeparator = ".";
    std::string decimalSeparator = ",";
    std::string amDesignator;  // Brazil writes no AM/PM mark
    std::string pmDesignator;

    static Locale brazil();        // dd/MM/yyyy, HH:mm:ss, "." and ","
    static Locale unitedStates();  // M/d/yyyy, h:mm:ss tt, "," and "."
};

// Formats `t` with a Locale pattern; empty for a date or time the calendar
// does not have.
std::string formatDateTime(const std::string& pattern, const platform::DateTime& t, const Locale& locale);
// `value` rounded to `decimals` (0 to 9) with the locale's separators,
// digits grouped by three, a leading "-" for negative numbers.
std::string formatNumber(double value, int decimals, const Locale& locale);

// What a folder's owner and access list allow (see the header comment).
enum class FolderAccess {
    Everyone,     // any account may read and change it
    AdminsWrite,  // everyone reads and lists; only administrators change it
    AdminsOnly,   // only SYSTEM and administrators, reading included
};

// One entry of a folder tree, as listTree() reports it.
struct EntryInfo {
    std::string path;         // full path, as the names are stored
    uint32_t attributes = 0;  // as getAttributes reports them
    uint64_t size = 0;        // 0 for folders and junctions
    std::string content;      // the bytes of a file (empty for a size-only file)
    bool sizeOnly = false;    // made by addFileOfSize: a size without bytes
    std::string linkTarget;   // the target of a junction
    bool operator==(const EntryInfo&) const = default;
};

// One box or dialog the program showed, in the order shown.
struct DialogRecord {
    enum class Kind { Message, Save, IoError };
    Kind kind = Kind::Message;
    std::string text;  // message and error boxes
    std::string caption;
    platform::Icon icon = platform::Icon::None;
    platform::Buttons buttons = platform::Buttons::Ok;
    platform::Answer answer = platform::Answer::Ok;  // message boxes
    platform::SaveDialogOptions save;                 // save dialogs
    std::optional<std::string> chosen;                // save dialogs: the name given, or cancel
};

struct ProcessInfo {
    uint32_t pid = 0;
    std::string exeName;    // what the snapshot reports
    std::string imagePath;  // what imagePath() reports ("" when it cannot be read)
    bool terminable = true;
    bool critical = false;
};

struct TerminationRecord {
    uint32_t pid = 0;
    std::string exeName;
    uint32_t exitCode = 0;
};

// Decides whether a file-system call fails: `operation` is the FileSystem
// method ("find", "findNext", "getAttributes", "writeLine", ...), `path` its
// path argument made absolute (each path of a move or copy is offered in turn).
// Handle calls have names of their own: "readBytes" and "seekBytes" (byte
// readers, those of openBytesExclusive and FolderHandle::openFile included,
// and NewFile::seek), "writeBytes", "flushBytes", "closeBytes",
// "fileSystemName", "identity" (FileSystem, HeldFile and FolderHandle),
// "holdFile", "heldRead", "markForDeletion", "openFolder" (FileSystem and
// FolderHandle), "childAttributes", "createFolder", "createFile", "openFile",
// "listFolder", "deleteEntry", "setFolderAttributes", "newFileWrite",
// "newFileFlush", "newFileRead", "newFileSetAttributes", "discard",
// "openBytesExclusive", "folderTrust" and "createProtectedDirectory". A call
// through a handle offers the entry's full path: the path the handle was
// opened with, and for a name relative to a folder handle, "\" and the name.
// The hook may call the machine's set-up and FileSystem methods (to change
// the tree in the middle of a call); the calls it makes are not offered to it
// again. An injected fault makes a handle call answer Fault::Failed,
// false, std::nullopt, an empty answer or "Access is denied".
using FaultHook = std::function<bool(std::string_view operation, const std::string& path)>;

class Machine {
public:
    enum class Preset {
        Windows7,  // the typical Brazilian Windows 7 machine described below
        Empty,     // no drive, no process, no registry key, no special folder
    };

    // Windows 7 Professional SP1 64-bit, Brazilian settings:
    //  - drive C: (fixed, label "Windows") with Windows, System32, SysWOW64,
    //    Temp, Program Files (and "(x86)"), ProgramData, Users\Public and the
    //    profile C:\Users\Usuario (AppData\Roaming, AppData\Local\Temp,
    //    Desktop, Documents, Downloads, the Start Menu and Startup folders);
    //  - every special folder of specialFolder() existing on disk;
    //  - temporary path "C:\Users\Usuario\AppData\Local\Temp\"; current
    //    directory C:\Users\Usuario\Downloads, holding the running Varrex.exe;
    //  - registry: Windows NT\CurrentVersion (ProductName "Windows 7
    //    Professional", CurrentVersion "6.1", CurrentBuild "7601"), the
    //    processor description, empty Run keys under HKCU and HKLM, Explorer
    //    FileExts under HKCU with a few subkeys and values;
    //  - processes: [System Process] (0), System (4), smss, csrss, wininit,
    //    winlogon, services, lsass, two svchost, explorer and Varrex.exe, the
    //    current process; the system ones critical, 0 and 4 not terminable;
    //  - version 6.1.7601, a 64-bit process (Wow64::No);
    //  - clock at 2026-12-07 09:15:42, Brazilian locale.
    Machine();
    explicit Machine(Preset preset);
    ~Machine();
    // Deep copies: the copy has its own drives, registry, processes and
    // scripts; open handles stay with the original.
    Machine(const Machine& other);
    Machine& operator=(const Machine& other);
    Machine(Machine&&) noexcept;
    Machine& operator=(Machine&&) noexcept;

    // The platform handed to the program; it refers to this machine.
    platform::Platform platform();
    platform::FileSystem& fileSystem();
    platform::Processes& processes();
    platform::Registry& registry();
    platform::Shell& shell();
    platform::Clock& clock();
    platform::Dialogs& dialogs();
    platform::Crypto& crypto();

    // --- drives -------------------------------------------------------------
    // Adds an empty drive (replacing one of the same letter).
    void addDrive(char letter, platform::DriveType type, const std::string& label = "");
    // The drive vanishes with everything on it, as a pen drive pulled out.
    bool removeDrive(char letter);
    bool hasDrive(char letter) const;
    // What freeBytes() answers for the drive (500 GiB when never set). Writes
    // through createBytes and appendUtf8TextFile consume it, and a write that
    // needs more fails as on a full disk; nothing else changes it.
    void setFreeBytes(char letter, uint64_t bytes);
    // What volumeSerial() answers for the drive. addDrive gives every drive a
    // fixed serial derived from its letter (a drive added again gets it
    // again), so two drives differ and runs are repeatable.
    void setVolumeSerial(char letter, uint32_t serial);
    // What fileSystemName() answers for the drive ("NTFS", "FAT32", "exFAT").
    void setFileSystemName(char letter, const std::string& name);

    // --- files and folders (set-up and inspection) ----------------------------
    // Creates the folder and any missing parent; sets the attributes of an
    // existing folder. attr::Directory is implied.
    void addFolder(const std::string& path, uint32_t attributes = platform::attr::Directory);
    // Creates or replaces a file (missing parent folders are created).
    void addFile(const std::string& path, const std::string& content = "",
                 uint32_t attributes = platform::attr::Archive);
    // A file of `size` bytes that stores no bytes (reads as zeros).
    void addFileOfSize(const std::string& path, uint64_t size, uint32_t attributes = platform::attr::Archive);
    // A junction at `path` leading to the absolute path `target` (which need
    // not exist).
    void addLink(const std::string& path, const std::string& target);
    // Marks a file in use (delete, move and writing fail; reading works, as
    // for a file another program holds open) or releases it.
    void lockFile(const std::string& path, bool locked = true);
    // Sets the access of the entry `path` (normally a folder) and of
    // everything inside it, junctions not entered, as a change of a folder's
    // inherited access list does.
    void setFolderAccess(const std::string& path, FolderAccess access);
    FolderAccess folderAccess(const std::string& path) const;
    // Makes folderTrust(path) answer Unreadable (owner and access list
    // cannot be read), or ends that.
    void setFolderTrustUnreadable(const std::string& path, bool unreadable = true);

    bool exists(const std::string& path) const;
    // The bytes of a file; std::nullopt for folders, junctions, size-only files
    // and missing entries.
    std::optional<std::string> content(const std::string& path) const;
    // As getAttributes reports them; attr::Invalid when missing.
    uint32_t attributes(const std::string& path) const;
    // Every entry under the folder `root` (not the root itself), depth first in
    // find order, each folder before its content; junctions are listed, never
    // entered. Empty when `root` is not a folder. Each entry carries its full
    // path, so a very deep chain costs memory in the square of its depth.
    std::vector<EntryInfo> listTree(const std::string& root) const;
    // A readable outline of listTree(root), one entry a line, for test messages.
    std::string describe(const std::string& root) const;

    // Must name an existing folder; relative paths resolve against it.
    void setCurrentDirectory(const std::string& path);
    std::string currentDirectory() const;
    // What temporaryPath() answers ("" makes it fail).
    void setTemporaryPath(const std::string& path);

    // --- processes ------------------------------------------------------------
    // Adds a running process; pids grow in steps of 4. A non-empty image path
    // naming an existing file keeps that file in use while the process runs.
    uint32_t addProcess(const std::string& exeName, const std::string& imagePath = "", bool terminable = true,
                        bool critical = false);
    bool removeProcess(uint32_t pid);  // ends it without recording a termination
    void setCurrentProcess(uint32_t pid);
    std::vector<ProcessInfo> processList() const;
    // Number of running processes whose snapshot name equals `exeName`
    // (letter case ignored).
    size_t countProcesses(const std::string& exeName) const;
    bool isRunning(const std::string& exeName) const { return countProcesses(exeName) > 0; }
    // Successful terminations, in order.
    const std::vector<TerminationRecord>& terminations() const;
    // True once a critical process has been terminated.
    bool systemHalted() const;
    // True once the program terminated its own process.
    bool selfTerminated() const;
    // Command lines passed to startCommand, in order.
    const std::vector<std::string>& startedCommands() const;
    void setStartCommandResult(bool started);
    // Makes snapshot() answer an empty list, as when it cannot be taken.
    void setSnapshotFails(bool fails);

    // --- registry ---------------------------------------------------------------
    // Key paths are relative to the root; leading and trailing "\" ignored.
    void createKey(platform::RootKey root, const std::string& key);
    // Creates the key when missing; replaces a value of the same name in place.
    void setValue(platform::RootKey root, const std::string& key, const std::string& name,
                  const platform::RegValue& value);
    void setText(platform::RootKey root, const std::string& key, const std::string& name, const std::string& text);
    std::optional<platform::RegValue> value(platform::RootKey root, const std::string& key,
                                            const std::string& name) const;
    std::optional<std::string> text(platform::RootKey root, const std::string& key, const std::string& name) const;
    bool keyExists(platform::RootKey root, const std::string& key) const;
    bool deleteKey(platform::RootKey root, const std::string& key);
    std::vector<std::string> valueNames(platform::RootKey root, const std::string& key) const;
    std::vector<std::string> subkeyNames(platform::RootKey root, const std::string& key) const;
    // A user without administrator rights: HKLM opens for reading only;
    // opening it with full access, creating keys and deleting trees there
    // answer AccessDenied.
    void denyLocalMachineFullAccess(bool deny);

    // --- shell ------------------------------------------------------------------
    void setSpecialFolder(int csidl, const std::string& path);
    // The special folder cannot be given: specialFolder() answers "".
    void failSpecialFolder(int csidl);
    const std::vector<std::string>& explored() const;    // explore() requests
    const std::vector<std::string>& opened() const;      // openDefault() requests
    const std::vector<unsigned>& restarts() const;       // restartWindows() flags
    void setWow64(platform::Wow64 answer);
    void set64BitProcess(bool is64);
    void setWindowsVersion(platform::WindowsVersion version);
    void setProgramPath(const std::string& path);
    // What hasAdministratorRights() answers, and the file-system access rules
    // follow (false: a standard user, as by default).
    void setAdministratorRights(bool administrator);

    // --- run lock, command line and console ---------------------------------------
    // The arguments commandLineArguments() answers (the program's name left out).
    void setCommandLine(std::vector<std::string> arguments);
    // The program was started from a console (or with its output handed
    // down): attachParentConsole() then succeeds. False by default.
    void setParentConsole(bool present);
    // The lines writeConsole() wrote, in order.
    const std::vector<std::string>& consoleLines() const;
    // Another program holds the run lock (tryLockRuns answers null), or
    // lets it go.
    void holdRunLockElsewhere(bool held);
    // True while the program holds the run lock.
    bool runLockHeld() const;

    // --- clock and locale ---------------------------------------------------------
    void setNow(const platform::DateTime& now);
    void setLocale(const Locale& locale);
    const Locale& locale() const;

    // --- crypto ----------------------------------------------------------------------
    // Restarts randomBytes() from `seed` (a fixed seed by default).
    void setRandomSeed(uint64_t seed);
    // Makes randomBytes() fail, as when the system offers no generator.
    void failRandomBytes(bool fails);

    // --- dialogs --------------------------------------------------------------------
    // Answers for the next Yes/No boxes, in order; with none queued a Yes/No
    // box answers No. Ok boxes always answer Ok and take nothing from the queue.
    void answerNext(platform::Answer answer);
    // Answers for the next save dialogs: a file name, or std::nullopt to
    // cancel; with none queued a save dialog is cancelled.
    void answerSaveDialog(std::optional<std::string> fileName);
    const std::vector<DialogRecord>& transcript() const;
    void clearTranscript();
    // Scripted answers not used yet (message answers plus save answers).
    size_t pendingAnswers() const;

    // --- fault injection (file-system calls only) -------------------------------------
    // Every call with a path that starts with `prefix` (absolute, letter case
    // ignored) fails as if access were denied.
    void failPath(const std::string& prefix);
    // Every n-th file-system call from now on fails (0 stops it).
    void failEveryNth(uint64_t n);
    // The next `calls` file-system calls work; before the one after them, the
    // drive vanishes (removeDrive).
    void vanishDriveAfter(uint64_t calls, char letter);
    // A general decision; true makes the call fail.
    void setFaultHook(FaultHook hook);
    // Removes every fault set above.
    void clearFaults();
    // File-system calls made through the FileSystem interface so far
    // (Finder::next and TextWriter calls included).
    uint64_t fileSystemCalls() const;

    // Implementation state, shared with the implementation files.
    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace vx::memory

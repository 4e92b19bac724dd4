// The Machine: construction of the preset machines and the set-up and
// inspection methods tests use.
#include "platform/memory/memory_machine.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <stdexcept>

#include "platform/memory/memory_impl.h"
#include "platform/paths.h"

namespace vx::memory {

using detail::Kind;
using detail::Node;
using detail::RegNode;
using detail::Resolved;
using platform::RegValue;
using platform::RootKey;
namespace attr = platform::attr;

Machine::State::State()
    : fs(std::make_unique<MemoryFileSystem>(*this)),
      procs(std::make_unique<MemoryProcesses>(*this)),
      reg(std::make_unique<MemoryRegistry>(*this)),
      shellImpl(std::make_unique<MemoryShell>(*this)),
      clockImpl(std::make_unique<MemoryClock>(*this)),
      dialogsImpl(std::make_unique<MemoryDialogs>(*this)),
      cryptoImpl(std::make_unique<MemoryCrypto>(*this)) {}

Machine::State::~State() = default;

namespace {

[[noreturn]] void refuse(const std::string& what, const std::string& path) {
    throw std::invalid_argument("memory machine: " + what + ": " + path);
}

char driveLetter(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    if (letter < 'A' || letter > 'Z') throw std::invalid_argument(std::string("memory machine: no drive letter: ") + letter);
    return letter;
}

std::shared_ptr<Node> newNode(Kind kind, const std::string& name) {
    auto n = std::make_shared<Node>();
    n->kind = kind;
    n->name = name;
    return n;
}

// The folder at `path`, created with its missing parents.
Node* ensureFolder(Machine::State& s, const std::string& path) {
    Resolved r = s.resolve(path, true);
    if (r.node) {
        if (r.node->kind != Kind::Folder) refuse("not a folder", path);
        return r.node;
    }
    if (r.error == Resolved::Error::FileNotFound) {
        if (!detail::isValidName(r.name)) refuse("invalid name", path);
        return s.attach(r.parent, newNode(Kind::Folder, r.name));
    }
    // Walk from the root, creating what is missing.
    platform::PathParts parts;
    if (!platform::splitPath(path, s.currentDirectory, parts) || parts.root.size() != 2) refuse("bad path", path);
    detail::Drive* d = s.drive(parts.root[0]);
    if (!d) refuse("no such drive", path);
    Node* cur = d->root.get();
    std::string sofar = parts.root;
    for (const std::string& c : parts.components) {
        sofar += "\\" + c;
        auto it = cur->children.find(detail::nameKey(c));
        if (it == cur->children.end()) {
            if (!detail::isValidName(c)) refuse("invalid name", path);
            cur = s.attach(cur, newNode(Kind::Folder, c));
            continue;
        }
        Node* child = it->second.get();
        if (child->kind == Kind::Link) {
            Resolved t = s.resolve(sofar, true);
            if (!t.node || t.node->kind != Kind::Folder) refuse("junction leads nowhere", path);
            cur = t.node;
        } else if (child->kind == Kind::Folder) {
            cur = child;
        } else {
            refuse("a file stands in the way", path);
        }
    }
    return cur;
}

// The folder that holds (or will hold) `path`, created when missing, and the
// entry's name.
Node* parentFor(Machine::State& s, const std::string& path, std::string& name, Node*& existing) {
    Resolved r = s.resolve(path, false);
    existing = r.node;
    if (r.node) {
        if (!r.node->parent) refuse("a drive root", path);
        name = r.node->name;
        return r.node->parent;
    }
    if (r.trailingSeparator) refuse("a final separator names a folder", path);
    if (r.error == Resolved::Error::FileNotFound) {
        name = r.name;
    } else {
        platform::PathParts parts;
        if (!platform::splitPath(path, s.currentDirectory, parts) || parts.root.size() != 2 ||
            parts.components.empty())
            refuse("bad path", path);
        name = parts.components.back();
        parts.components.pop_back();
        Node* folder = ensureFolder(s, platform::joinPath(parts));
        Resolved again = s.resolve(path, false);
        existing = again.node;
        if (!detail::isValidName(name)) refuse("invalid name", path);
        return folder;
    }
    if (!detail::isValidName(name)) refuse("invalid name", path);
    return r.parent;
}

Node* placeFile(Machine::State& s, const std::string& path) {
    std::string name;
    Node* existing = nullptr;
    Node* folder = parentFor(s, path, name, existing);
    if (existing) {
        if (existing->kind != Kind::File) refuse("a folder stands in the way", path);
        return existing;
    }
    return s.attach(folder, newNode(Kind::File, name));
}

RegNode* regFind(Machine::State& s, RootKey root, const std::string& key) {
    std::vector<std::string> comps;
    if (!detail::splitKeyPath(key, comps)) return nullptr;
    RegNode* n = s.hive(root).get();
    for (const std::string& c : comps) {
        auto it = n->subkeys.find(detail::nameKey(c));
        if (it == n->subkeys.end()) return nullptr;
        n = it->second.get();
    }
    return n;
}

RegNode* regMake(Machine::State& s, RootKey root, const std::string& key) {
    std::vector<std::string> comps;
    if (!detail::splitKeyPath(key, comps) || comps.size() > 512)
        throw std::invalid_argument("memory machine: bad key path: " + key);
    RegNode* n = s.hive(root).get();
    for (const std::string& c : comps) {
        auto [it, added] = n->subkeys.try_emplace(detail::nameKey(c));
        if (added) {
            it->second = std::make_shared<RegNode>();
            it->second->name = c;
            it->second->parent = n;
        }
        n = it->second.get();
    }
    return n;
}

// ---------------------------------------------------------------------------
// The Windows 7 preset
// ---------------------------------------------------------------------------

const char* const kProfile = "C:\\Users\\Usuario";

void buildWindows7(Machine& m, Machine::State& s) {
    using platform::DriveType;
    m.addDrive('C', DriveType::Fixed, "Windows");

    const std::string profile = kProfile;
    const std::string roaming = profile + "\\AppData\\Roaming";
    const std::string local = profile + "\\AppData\\Local";
    const std::string userWin = roaming + "\\Microsoft\\Windows";
    const std::string commonWin = "C:\\ProgramData\\Microsoft\\Windows";

    // Special folders by CSIDL number, as Windows 7 64-bit gives them to a
    // 64-bit process.
    const std::pair<int, std::string> special[] = {
        {0x00, profile + "\\Desktop"},                                      // DESKTOP
        {0x02, userWin + "\\Start Menu\\Programs"},                         // PROGRAMS
        {0x05, profile + "\\Documents"},                                    // PERSONAL
        {0x06, profile + "\\Favorites"},                                    // FAVORITES
        {0x07, userWin + "\\Start Menu\\Programs\\Startup"},                // STARTUP
        {0x08, userWin + "\\Recent"},                                       // RECENT
        {0x09, userWin + "\\SendTo"},                                       // SENDTO
        {0x0B, userWin + "\\Start Menu"},                                   // STARTMENU
        {0x0D, profile + "\\Music"},                                        // MYMUSIC
        {0x0E, profile + "\\Videos"},                                       // MYVIDEO
        {0x10, profile + "\\Desktop"},                                      // DESKTOPDIRECTORY
        {0x13, userWin + "\\Network Shortcuts"},                            // NETHOOD
        {0x14, "C:\\Windows\\Fonts"},                                       // FONTS
        {0x15, userWin + "\\Templates"},                                    // TEMPLATES
        {0x16, commonWin + "\\Start Menu"},                                 // COMMON_STARTMENU
        {0x17, commonWin + "\\Start Menu\\Programs"},                       // COMMON_PROGRAMS
        {0x18, commonWin + "\\Start Menu\\Programs\\Startup"},              // COMMON_STARTUP
        {0x19, "C:\\Users\\Public\\Desktop"},                               // COMMON_DESKTOPDIRECTORY
        {0x1A, roaming},                                                    // APPDATA
        {0x1B, userWin + "\\Printer Shortcuts"},                            // PRINTHOOD
        {0x1C, local},                                                      // LOCAL_APPDATA
        {0x1D, userWin + "\\Start Menu\\Programs\\Startup"},                // ALTSTARTUP
        {0x1E, commonWin + "\\Start Menu\\Programs\\Startup"},              // COMMON_ALTSTARTUP
        {0x1F, profile + "\\Favorites"},                                    // COMMON_FAVORITES
        {0x20, local + "\\Microsoft\\Windows\\Temporary Internet Files"},   // INTERNET_CACHE
        {0x21, userWin + "\\Cookies"},                                      // COOKIES
        {0x22, local + "\\Microsoft\\Windows\\History"},                    // HISTORY
        {0x23, "C:\\ProgramData"},                                          // COMMON_APPDATA
        {0x24, "C:\\Windows"},                                              // WINDOWS
        {0x25, "C:\\Windows\\system32"},                                    // SYSTEM
        {0x26, "C:\\Program Files"},                                        // PROGRAM_FILES
        {0x27, profile + "\\Pictures"},                                     // MYPICTURES
        {0x28, profile},                                                    // PROFILE
        {0x29, "C:\\Windows\\SysWOW64"},                                    // SYSTEMX86
        {0x2A, "C:\\Program Files (x86)"},                                  // PROGRAM_FILESX86
        {0x2B, "C:\\Program Files\\Common Files"},                          // PROGRAM_FILES_COMMON
        {0x2C, "C:\\Program Files (x86)\\Common Files"},                    // PROGRAM_FILES_COMMONX86
        {0x2D, commonWin + "\\Templates"},                                  // COMMON_TEMPLATES
        {0x2E, "C:\\Users\\Public\\Documents"},                             // COMMON_DOCUMENTS
        {0x2F, commonWin + "\\Start Menu\\Programs\\Administrative Tools"},  // COMMON_ADMINTOOLS
        {0x30, userWin + "\\Start Menu\\Programs\\Administrative Tools"},   // ADMINTOOLS
        {0x35, "C:\\Users\\Public\\Music"},                                 // COMMON_MUSIC
        {0x36, "C:\\Users\\Public\\Pictures"},                              // COMMON_PICTURES
        {0x37, "C:\\Users\\Public\\Videos"},                                // COMMON_VIDEO
        {0x38, "C:\\Windows\\resources"},                                   // RESOURCES
        {0x3B, local + "\\Microsoft\\Windows\\Burn\\Burn"},                 // CDBURN_AREA
    };
    // Created first so that they keep the letter case Windows gives them.
    m.addFolder("C:\\Windows\\System32");
    m.addFolder("C:\\Windows\\Resources");
    for (const auto& [csidl, path] : special) {
        m.setSpecialFolder(csidl, path);
        m.addFolder(path);
    }
    for (const char* f : {"Contacts", "Downloads", "Links", "Saved Games", "Searches", "AppData\\LocalLow"})
        m.addFolder(profile + "\\" + f);
    m.addFolder(local + "\\Temp");
    m.addFolder("C:\\Windows\\Temp");
    // Windows hides these two.
    m.addFolder("C:\\ProgramData", attr::Directory | attr::Hidden);
    m.addFolder(profile + "\\AppData", attr::Directory | attr::Hidden);

    m.setTemporaryPath(local + "\\Temp\\");
    const std::string downloads = profile + "\\Downloads";
    m.setCurrentDirectory(downloads);

    const std::string sys = "C:\\Windows\\System32\\";
    for (const char* exe : {"smss.exe", "csrss.exe", "wininit.exe", "winlogon.exe", "services.exe", "lsass.exe",
                            "svchost.exe", "cmd.exe", "notepad.exe", "calc.exe", "rundll32.exe", "wscript.exe",
                            "schtasks.exe"})
        m.addFile(sys + exe, "MZ", attr::Archive);
    m.addFile("C:\\Windows\\explorer.exe", "MZ", attr::Archive);
    const std::string program = downloads + "\\Varrex.exe";
    m.addFile(program, "MZ", attr::Archive);
    m.setProgramPath(program);

    // Registry
    const std::string nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    m.setText(RootKey::LocalMachine, nt, "CurrentVersion", "6.1");
    m.setText(RootKey::LocalMachine, nt, "CurrentBuild", "7601");
    m.setText(RootKey::LocalMachine, nt, "CurrentBuildNumber", "7601");
    m.setText(RootKey::LocalMachine, nt, "CSDVersion", "Service Pack 1");
    m.setText(RootKey::LocalMachine, nt, "EditionID", "Professional");
    m.setText(RootKey::LocalMachine, nt, "ProductName", "Windows 7 Professional");
    m.setText(RootKey::LocalMachine, nt, "RegisteredOwner", "Usuario");
    m.setValue(RootKey::LocalMachine, nt, "SystemRoot", RegValue::text("C:\\Windows"));
    const std::string cpu = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
    m.setValue(RootKey::LocalMachine, cpu, "~MHz", RegValue::dword(3192));
    m.setText(RootKey::LocalMachine, cpu, "Identifier", "Intel64 Family 6 Model 58 Stepping 9");
    m.setText(RootKey::LocalMachine, cpu, "ProcessorNameString", "Intel(R) Core(TM) i5-3470 CPU @ 3.20GHz");
    m.setText(RootKey::LocalMachine, cpu, "VendorIdentifier", "GenuineIntel");
    m.createKey(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    m.createKey(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
    m.createKey(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");
    m.createKey(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    const std::string exts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
    m.setText(RootKey::CurrentUser, exts + "\\.txt\\OpenWithList", "a", "notepad.exe");
    m.setText(RootKey::CurrentUser, exts + "\\.txt\\OpenWithList", "MRUList", "a");
    m.setValue(RootKey::CurrentUser, exts + "\\.txt\\OpenWithProgids", "txtfile", RegValue::binary({}));
    m.setText(RootKey::CurrentUser, exts + "\\.jpg\\OpenWithList", "a", "mspaint.exe");
    m.setText(RootKey::CurrentUser, exts + "\\.jpg\\OpenWithList", "MRUList", "a");
    m.setText(RootKey::CurrentUser, exts + "\\.jpg\\UserChoice", "Progid", "jpegfile");
    m.createKey(RootKey::CurrentUser, exts + "\\.lnk\\OpenWithProgids");

    // Processes: pids as a freshly started Windows 7 hands them out.
    struct Initial {
        uint32_t pid;
        const char* name;
        std::string image;
        bool terminable, critical;
    };
    const Initial initial[] = {
        {0, "[System Process]", "", false, false},
        {4, "System", "", false, true},
        {268, "smss.exe", sys + "smss.exe", true, true},
        {356, "csrss.exe", sys + "csrss.exe", true, true},
        {408, "wininit.exe", sys + "wininit.exe", true, true},
        {436, "winlogon.exe", sys + "winlogon.exe", true, true},
        {500, "services.exe", sys + "services.exe", true, true},
        {516, "lsass.exe", sys + "lsass.exe", true, true},
        {628, "svchost.exe", sys + "svchost.exe", true, false},
        {712, "svchost.exe", sys + "svchost.exe", true, false},
        {1476, "explorer.exe", "C:\\Windows\\explorer.exe", true, false},
        {2744, "Varrex.exe", program, true, false},
    };
    for (const Initial& p : initial) {
        detail::Process proc;
        proc.info = {p.pid, p.name, p.image, p.terminable, p.critical};
        s.pinImage(proc);
        s.processes.push_back(std::move(proc));
    }
    s.nextPid = initial[std::size(initial) - 1].pid + 4;
    s.currentPid = 2744;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

Machine::Machine() : Machine(Preset::Windows7) {}

Machine::Machine(Preset preset) : state_(std::make_unique<State>()) {
    if (preset == Preset::Windows7) {
        buildWindows7(*this, *state_);
    }
}

Machine::~Machine() = default;

Machine::Machine(const Machine& other) : state_(std::make_unique<State>()) { state_->copyFrom(*other.state_); }

Machine& Machine::operator=(const Machine& other) {
    if (this != &other) {
        auto copy = std::make_unique<State>();
        copy->copyFrom(*other.state_);
        state_ = std::move(copy);
    }
    return *this;
}

Machine::Machine(Machine&&) noexcept = default;
Machine& Machine::operator=(Machine&&) noexcept = default;

platform::Platform Machine::platform() {
    return {*state_->fs, *state_->procs, *state_->reg, *state_->shellImpl, *state_->clockImpl, *state_->dialogsImpl,
            *state_->cryptoImpl};
}
platform::FileSystem& Machine::fileSystem() { return *state_->fs; }
platform::Processes& Machine::processes() { return *state_->procs; }
platform::Registry& Machine::registry() { return *state_->reg; }
platform::Shell& Machine::shell() { return *state_->shellImpl; }
platform::Clock& Machine::clock() { return *state_->clockImpl; }
platform::Dialogs& Machine::dialogs() { return *state_->dialogsImpl; }
platform::Crypto& Machine::crypto() { return *state_->cryptoImpl; }

// ---------------------------------------------------------------------------
// Drives and files
// ---------------------------------------------------------------------------

void Machine::addDrive(char letter, platform::DriveType type, const std::string& label) {
    letter = driveLetter(letter);
    state_->removeDriveNow(letter);
    detail::Drive d;
    d.type = type;
    d.label = label;
    d.root = newNode(Kind::Folder, "");
    d.root->fileIndex = state_->nextFileIndex++;
    d.serial = detail::defaultVolumeSerial(letter);
    d.fileSystem = detail::defaultFileSystemName(type);
    state_->drives.emplace(letter, std::move(d));
}

void Machine::setFreeBytes(char letter, uint64_t bytes) {
    detail::Drive* d = state_->drive(driveLetter(letter));
    if (!d) refuse("no such drive", std::string(1, letter));
    d->freeBytes = bytes;
}

void Machine::setVolumeSerial(char letter, uint32_t serial) {
    detail::Drive* d = state_->drive(driveLetter(letter));
    if (!d) refuse("no such drive", std::string(1, letter));
    d->serial = serial;
}

void Machine::setFileSystemName(char letter, const std::string& name) {
    detail::Drive* d = state_->drive(driveLetter(letter));
    if (!d) refuse("no such drive", std::string(1, letter));
    d->fileSystem = name;
}

bool Machine::removeDrive(char letter) { return state_->removeDriveNow(letter); }

bool Machine::hasDrive(char letter) const { return state_->drive(letter) != nullptr; }

void Machine::addFolder(const std::string& path, uint32_t attributes) {
    Node* n = ensureFolder(*state_, path);
    n->bits = attributes & detail::kSettableAttributes;
}

void Machine::addFile(const std::string& path, const std::string& content, uint32_t attributes) {
    Node* n = placeFile(*state_, path);
    n->data = content;
    n->hasSizeOnly = false;
    n->sizeOnly = 0;
    n->bits = attributes & detail::kSettableAttributes;
}

void Machine::addFileOfSize(const std::string& path, uint64_t size, uint32_t attributes) {
    Node* n = placeFile(*state_, path);
    n->data.clear();
    n->hasSizeOnly = true;
    n->sizeOnly = size;
    n->bits = attributes & detail::kSettableAttributes;
}

void Machine::addLink(const std::string& path, const std::string& target) {
    platform::PathParts parts;
    if (!platform::splitPath(target, "", parts) || parts.root.size() != 2) refuse("junction target not absolute", target);
    std::string name;
    Node* existing = nullptr;
    Node* folder = parentFor(*state_, path, name, existing);
    if (existing) refuse("an entry stands in the way", path);
    auto n = newNode(Kind::Link, name);
    n->linkTarget = platform::joinPath(parts);
    state_->attach(folder, std::move(n));
}

void Machine::lockFile(const std::string& path, bool locked) {
    Resolved r = state_->resolve(path, false);
    if (!r.node || r.node->kind != Kind::File) refuse("no such file", path);
    r.node->locked = locked;
}

void Machine::setFolderAccess(const std::string& path, FolderAccess access) {
    Resolved r = state_->resolve(path, false);
    if (!r.node) refuse("no such entry", path);
    std::vector<Node*> pending{r.node};
    while (!pending.empty()) {
        Node* n = pending.back();
        pending.pop_back();
        n->access = access;
        if (n->kind != Kind::Folder) continue;  // a junction's target is not inside it
        for (auto& entry : n->children) pending.push_back(entry.second.get());
    }
}

FolderAccess Machine::folderAccess(const std::string& path) const {
    Resolved r = state_->resolve(path, false);
    if (!r.node) refuse("no such entry", path);
    return r.node->access;
}

void Machine::setFolderTrustUnreadable(const std::string& path, bool unreadable) {
    Resolved r = state_->resolve(path, false);
    if (!r.node) refuse("no such entry", path);
    r.node->trustUnreadable = unreadable;
}

bool Machine::exists(const std::string& path) const { return state_->resolve(path, false).node != nullptr; }

std::optional<std::string> Machine::content(const std::string& path) const {
    Resolved r = state_->resolve(path, false);
    if (!r.node || r.node->kind != Kind::File || r.node->hasSizeOnly) return std::nullopt;
    return r.node->data;
}

uint32_t Machine::attributes(const std::string& path) const {
    Resolved r = state_->resolve(path, false);
    return r.node ? r.node->attributes() : attr::Invalid;
}

std::vector<EntryInfo> Machine::listTree(const std::string& root) const {
    std::vector<EntryInfo> out;
    Resolved r = state_->resolve(root, true);
    if (!r.node || r.node->kind != Kind::Folder) return out;
    std::string base = state_->absolutePath(root);
    if (base.back() != '\\') base += '\\';
    // Depth first with an explicit stack; children pushed in reverse so that
    // they come out in find order.
    struct Item {
        const Node* node;
        std::string path;
    };
    std::vector<Item> pending;
    auto pushChildren = [&](const Node* folder, const std::string& prefix) {
        for (auto it = folder->children.rbegin(); it != folder->children.rend(); ++it)
            pending.push_back({it->second.get(), prefix + it->second->name});
    };
    pushChildren(r.node, base);
    while (!pending.empty()) {
        Item item = std::move(pending.back());
        pending.pop_back();
        const Node* n = item.node;
        EntryInfo e;
        e.path = item.path;
        e.attributes = n->attributes();
        e.size = n->size();
        e.content = n->kind == Kind::File ? n->data : std::string();
        e.sizeOnly = n->hasSizeOnly;
        e.linkTarget = n->linkTarget;
        if (n->kind == Kind::Folder) pushChildren(n, item.path + "\\");
        out.push_back(std::move(e));
    }
    return out;
}

std::string Machine::describe(const std::string& root) const {
    std::string out;
    for (const EntryInfo& e : listTree(root)) {
        char attrs[16];
        std::snprintf(attrs, sizeof attrs, "%04X", e.attributes);
        out += e.path + "  [" + attrs + "]";
        if (!(e.attributes & attr::Directory)) out += "  " + std::to_string(e.size) + " bytes";
        if (!e.linkTarget.empty()) out += "  -> " + e.linkTarget;
        out += "\n";
    }
    return out;
}

void Machine::setCurrentDirectory(const std::string& path) {
    Resolved r = state_->resolve(path, true);
    if (!r.node || r.node->kind != Kind::Folder) refuse("no such folder", path);
    state_->currentDirectory = state_->absolutePath(path);
}

std::string Machine::currentDirectory() const { return state_->currentDirectory; }

void Machine::setTemporaryPath(const std::string& path) { state_->temporaryPath = path; }

// ---------------------------------------------------------------------------
// Processes
// ---------------------------------------------------------------------------

uint32_t Machine::addProcess(const std::string& exeName, const std::string& imagePath, bool terminable,
                             bool critical) {
    detail::Process p;
    p.info.pid = state_->nextPid;
    state_->nextPid += 4;
    p.info.exeName = exeName;
    p.info.imagePath = imagePath;
    p.info.terminable = terminable;
    p.info.critical = critical;
    state_->pinImage(p);
    state_->processes.push_back(std::move(p));
    return state_->processes.back().info.pid;
}

bool Machine::removeProcess(uint32_t pid) {
    auto& list = state_->processes;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->info.pid != pid) continue;
        state_->unpinImage(*it);
        list.erase(it);
        return true;
    }
    return false;
}

void Machine::setCurrentProcess(uint32_t pid) { state_->currentPid = pid; }

std::vector<ProcessInfo> Machine::processList() const {
    std::vector<ProcessInfo> out;
    for (const detail::Process& p : state_->processes) out.push_back(p.info);
    return out;
}

size_t Machine::countProcesses(const std::string& exeName) const {
    return static_cast<size_t>(std::count_if(state_->processes.begin(), state_->processes.end(),
                                             [&](const detail::Process& p) {
                                                 return platform::equalNoCase(p.info.exeName, exeName);
                                             }));
}

const std::vector<TerminationRecord>& Machine::terminations() const { return state_->terminations; }
bool Machine::systemHalted() const { return state_->systemHalted; }
bool Machine::selfTerminated() const { return state_->selfTerminated; }
const std::vector<std::string>& Machine::startedCommands() const { return state_->startedCommands; }
void Machine::setStartCommandResult(bool started) { state_->startCommandResult = started; }
void Machine::setSnapshotFails(bool fails) { state_->snapshotFails = fails; }

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------

void Machine::createKey(RootKey root, const std::string& key) { regMake(*state_, root, key); }

void Machine::setValue(RootKey root, const std::string& key, const std::string& name, const RegValue& value) {
    RegNode* n = regMake(*state_, root, key);
    if (auto* v = n->findValue(name))
        v->value = value;
    else
        n->values.push_back({name, detail::nameKey(name), value});
}

void Machine::setText(RootKey root, const std::string& key, const std::string& name, const std::string& text) {
    setValue(root, key, name, RegValue::text(text));
}

std::optional<RegValue> Machine::value(RootKey root, const std::string& key, const std::string& name) const {
    RegNode* n = regFind(*state_, root, key);
    if (!n) return std::nullopt;
    auto* v = n->findValue(name);
    if (!v) return std::nullopt;
    return v->value;
}

std::optional<std::string> Machine::text(RootKey root, const std::string& key, const std::string& name) const {
    auto v = value(root, key, name);
    return v ? v->asText() : std::nullopt;
}

bool Machine::keyExists(RootKey root, const std::string& key) const { return regFind(*state_, root, key) != nullptr; }

bool Machine::deleteKey(RootKey root, const std::string& key) {
    bool deny = state_->denyLocalMachine;
    state_->denyLocalMachine = false;
    bool ok = state_->reg->deleteTree(root, key).ok();
    state_->denyLocalMachine = deny;
    return ok;
}

std::vector<std::string> Machine::valueNames(RootKey root, const std::string& key) const {
    std::vector<std::string> out;
    if (RegNode* n = regFind(*state_, root, key))
        for (const auto& v : n->values) out.push_back(v.name);
    return out;
}

std::vector<std::string> Machine::subkeyNames(RootKey root, const std::string& key) const {
    std::vector<std::string> out;
    if (RegNode* n = regFind(*state_, root, key))
        for (const auto& [k, sub] : n->subkeys) out.push_back(sub->name);
    return out;
}

void Machine::denyLocalMachineFullAccess(bool deny) { state_->denyLocalMachine = deny; }

// ---------------------------------------------------------------------------
// Shell, clock, dialogs
// ---------------------------------------------------------------------------

void Machine::setSpecialFolder(int csidl, const std::string& path) {
    state_->specialFolders[csidl] = path;
    state_->failedSpecialFolders.erase(csidl);
}
void Machine::failSpecialFolder(int csidl) { state_->failedSpecialFolders.insert(csidl); }
const std::vector<std::string>& Machine::explored() const { return state_->explored; }
const std::vector<std::string>& Machine::opened() const { return state_->opened; }
const std::vector<unsigned>& Machine::restarts() const { return state_->restarts; }
void Machine::setWow64(platform::Wow64 answer) { state_->wow64 = answer; }
void Machine::set64BitProcess(bool is64) { state_->is64Bit = is64; }
void Machine::setWindowsVersion(platform::WindowsVersion version) { state_->version = version; }
void Machine::setProgramPath(const std::string& path) { state_->programPath = path; }
void Machine::setCommandLine(std::vector<std::string> arguments) { state_->arguments = std::move(arguments); }
void Machine::setParentConsole(bool present) { state_->hasParentConsole = present; }
const std::vector<std::string>& Machine::consoleLines() const { return state_->consoleLines; }
void Machine::holdRunLockElsewhere(bool held) { state_->runLockHeldElsewhere = held; }
bool Machine::runLockHeld() const { return *state_->runLockHeld; }
void Machine::setAdministratorRights(bool administrator) { state_->administrator = administrator; }

void Machine::setRandomSeed(uint64_t seed) { state_->randomState = seed; }
void Machine::failRandomBytes(bool fails) { state_->randomFails = fails; }

void Machine::setNow(const platform::DateTime& now) { state_->now = now; }
void Machine::setLocale(const Locale& locale) { state_->locale = locale; }
const Locale& Machine::locale() const { return state_->locale; }

void Machine::answerNext(platform::Answer answer) { state_->answers.push_back(answer); }
void Machine::answerSaveDialog(std::optional<std::string> fileName) {
    state_->saveAnswers.push_back(std::move(fileName));
}
const std::vector<DialogRecord>& Machine::transcript() const { return state_->transcript; }
void Machine::clearTranscript() { state_->transcript.clear(); }
size_t Machine::pendingAnswers() const { return state_->answers.size() + state_->saveAnswers.size(); }

// ---------------------------------------------------------------------------
// Faults
// ---------------------------------------------------------------------------

void Machine::failPath(const std::string& prefix) { state_->faults.failPrefixes.push_back(prefix); }

void Machine::failEveryNth(uint64_t n) {
    state_->faults.everyNth = n;
    state_->faults.everyNthStart = state_->calls;
}

void Machine::vanishDriveAfter(uint64_t calls, char letter) {
    state_->faults.vanishArmed = true;
    state_->faults.vanishAt = state_->calls + calls + 1;
    state_->faults.vanishLetter = driveLetter(letter);
}

void Machine::setFaultHook(FaultHook hook) {
    state_->faults.hook = hook ? std::make_shared<FaultHook>(std::move(hook)) : nullptr;
}
void Machine::clearFaults() {
    // A hook that clears the faults while it runs is still running.
    const bool inHook = state_->faults.inHook;
    state_->faults = detail::Faults{};
    state_->faults.inHook = inHook;
}
uint64_t Machine::fileSystemCalls() const { return state_->calls; }

}  // namespace vx::memory

// Properties of the quarantine on generated machines: after a disinfection,
// restoring every kept item brings back every file that was deleted, byte for
// byte with the attributes it had when it went, and every registry value with
// its type and data; with the store failing part-way (a write refused, the
// disk full, the drive pulled out) no file is ever gone without a verified
// kept copy. The seeds are fixed (VX_PROPERTY_SEED replays another); a failing
// machine is shrunk and printed with the seed.
#ifdef VX_HAVE_RAPIDCHECK

#include <rapidcheck.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "computer/computer_disinfection.h"
#include "device/device_disinfection.h"
#include "scan/quarantine.h"
#include "scan_fixture.h"
#include "tools/quarantine_tool.h"

namespace vx::test {
namespace {

using platform::RegValue;

const std::string kStore = "C:\\Users\\Usuario\\AppData\\Local\\varrex";
const std::string kProfile = "C:\\Users\\Usuario";
const std::string kRoaming = kProfile + "\\AppData\\Roaming";
const std::string kLocal = kProfile + "\\AppData\\Local";
const std::string kStartup = kRoaming + "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

struct FileState {
    std::string bytes;
    uint32_t attributes = 0;
};

// Every file of the machine's drives but the program's own data folders,
// with its bytes.
std::map<std::string, FileState> filesOf(const memory::Machine& m) {
    std::map<std::string, FileState> out;
    for (const char* root : {"C:\\", "E:\\"})
        for (const auto& e : m.listTree(root)) {
            if (e.attributes & platform::attr::Directory) continue;
            if (e.path.rfind(kStore, 0) == 0 || e.path.rfind(kRoaming + "\\varrex", 0) == 0) continue;
            if (auto bytes = m.content(e.path)) out[e.path] = {*bytes, e.attributes};
        }
    return out;
}

using ValueMap = std::map<std::tuple<RootKey, std::string, std::string>, RegValue>;

ValueMap valuesOf(const memory::Machine& m, const std::vector<std::pair<RootKey, std::string>>& keys) {
    ValueMap out;
    for (const auto& [root, key] : keys)
        for (const auto& name : m.valueNames(root, key))
            if (auto v = m.value(root, key, name)) out[{root, key, name}] = *v;
    return out;
}

std::string bytes() {
    return *rc::gen::container<std::string>(*rc::gen::inRange(0, 300), rc::gen::character<char>());
}

uint32_t attributes() {
    const auto bits = *rc::gen::inRange(0, 8);
    uint32_t a = platform::attr::Archive;
    if (bits & 1) a |= platform::attr::ReadOnly;
    if (bits & 2) a |= platform::attr::Hidden;
    if (bits & 4) a |= platform::attr::System;
    return a;
}

// Restores every item of every run kept, as "Restaurar Tudo" does.
void restoreEverything(scan::RunContext& ctx) {
    for (const scan::KeptRun& run : tools::listKeptRuns(ctx)) {
        std::vector<size_t> all(run.items.size());
        for (size_t i = 0; i < all.size(); ++i) all[i] = i;
        tools::restoreItems(ctx, run, all);
    }
}

struct World {
    memory::Machine machine;
    scan::ActivityLog log;
    scan::RunFlags flags;
    scan::Language language = scan::kPortuguese;
    scan::RunContext ctx{machine.platform(), log, flags, language};
    scan::SaveDialogMemory dialog;

    World() {
        machine.addDrive('E', platform::DriveType::Removable, "PEN");
        machine.addFolder(kRoaming + "\\varrex");
        machine.addFolder(kLocal + "\\varrex");
    }
};

// A pen drive with the user's files, worm files of every kind the device
// disinfection deletes, hidden folders and system folders.
void buildDrive(memory::Machine& m) {
    using platform::attr::Directory;
    using platform::attr::Hidden;
    for (const char* folder : {"Fotos", "Escola", "Trabalho"}) {
        if (!*rc::gen::arbitrary<bool>()) continue;
        const std::string path = std::string("E:\\") + folder;
        m.addFile(path + "\\a.jpg", bytes(), attributes());
        if (*rc::gen::arbitrary<bool>()) m.addFile(path + "\\b.js", bytes(), attributes());
        m.addFolder(path, Directory | Hidden);
        if (*rc::gen::arbitrary<bool>()) m.addFile(path + ".lnk", bytes(), attributes());
        if (*rc::gen::arbitrary<bool>()) m.addFile(path + ".exe", bytes(), attributes());
    }
    for (const char* worm : {"autorun.inf", "bat.bat", "dw.dll", "USB.exe", "x.vbs", "y.vbe", "Manuel.doc",
                             "Microsoft Excel.wsf", "z.js", "meu.lnk"})
        if (*rc::gen::inRange(0, 3) == 0) m.addFile(std::string("E:\\") + worm, bytes(), attributes());
    if (*rc::gen::arbitrary<bool>()) {
        m.addFile("E:\\.Trashes\\carta.doc", bytes(), attributes());
        m.addFile("E:\\.Trashes\\w.js", bytes(), attributes());
        m.addFolder("E:\\.Trashes", Directory | Hidden);
    }
    if (*rc::gen::arbitrary<bool>()) {
        m.addFile("E:\\Drive.bat", bytes(), attributes());
        m.addFile("E:\\Drive\\notas.txt", bytes(), attributes());
    }
    for (const char* system : {"RECYCLER", "$RECYCLE.BIN", "System Volume Information"})
        if (*rc::gen::arbitrary<bool>()) {
            const std::string folder = std::string("E:\\") + system;
            m.addFile(folder + "\\S-1-5\\apagado.docx", bytes(), attributes());
            m.addFile(folder + "\\desktop.ini", bytes(), attributes());
            m.addFolder(folder + "\\S-1-5", Directory | Hidden);
            m.addFolder(folder, Directory | Hidden | platform::attr::System);
        }
    if (*rc::gen::arbitrary<bool>()) m.setText(RootKey::CurrentUser, kRun, "x", "wscript.exe E:\\x.vbs");
    if (*rc::gen::arbitrary<bool>()) m.setText(RootKey::CurrentUser, kRun, "meu", "E:\\meu.lnk");
}

// A computer holding a random share of the worm files and values of every
// family the computer disinfection removes, among the user's own.
void buildComputer(memory::Machine& m) {
    const std::vector<std::string> files = {
        "C:\\ProgramData\\svchosts.exe", kLocal + "\\nefcb\\nefcb.exe", kRoaming + "\\WindowsUpdate\\Live.exe",
        kProfile + "\\Jogos\\setup.exe", kProfile + "\\Jogos\\run.js", kProfile + "\\Jogos\\save.dat",
        kRoaming + "\\Updater\\u.exe", kRoaming + "\\Updater\\u.js", kStartup + "\\atajo.lnk",
        kStartup + "\\lulu.exe", kStartup + "\\desktop.exe", "C:\\Win\\lsass.exe", "C:\\Windows\\svccscsvc.exe",
        kRoaming + "\\Microsoft Office\\Microsoft Excel.WsF", kStartup + "\\boot.js", kRoaming + "\\roam.js",
        kLocal + "\\loc.vbe", "C:\\ProgramData\\dados.js", kLocal + "\\Temp\\tmp.vbs", kLocal + "\\Temp\\dw.dll",
        kRoaming + "\\runme.exe", "C:\\Windows\\SysWOW64\\install\\win32.exe", kRoaming + "\\Meu_pc.zip",
        kLocal + "\\google_i9\\g.exe", kLocal + "\\DriverAudio.exe", kRoaming + "\\Lnzyzj.exe",
        kProfile + "\\Documents\\carta.doc", kRoaming + "\\Mozilla\\profiles.ini"};
    for (const std::string& f : files)
        if (*rc::gen::arbitrary<bool>()) m.addFile(f, bytes(), attributes());
    const std::vector<std::pair<std::string, std::string>> values = {
        {"svchosts", "C:\\ProgramData\\svchosts.exe"}, {"Atualizador", kLocal + "\\nefcb\\nefcb.exe"},
        {"Windows Live", kRoaming + "\\WindowsUpdate\\Live.exe"}, {"System", "C:\\Windows\\system.exe"},
        {"Microsoft Excel", "wscript.exe Microsoft Excel.WsF"}, {"runme", kRoaming + "\\runme.exe"},
        {"HKCU", "C:\\Windows\\SysWOW64\\install\\win32.exe"}, {"Foto", "C:\\Users\\Public\\foto.jpg"},
        {"Lnzyzj", kRoaming + "\\Lnzyzj.exe"}, {"Steam", "C:\\Steam\\steam.exe -silent"}};
    for (const auto& [name, command] : values)
        for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine})
            if (*rc::gen::inRange(0, 3) == 0) m.setText(root, kRun, name, command);
    for (const char* name : {"NofolderOptions", "NoControlPanel"})
        if (*rc::gen::arbitrary<bool>()) m.setValue(RootKey::CurrentUser, kPolicies, name, RegValue::dword(1));
}

const std::vector<std::pair<RootKey, std::string>> kKeys = {
    {RootKey::CurrentUser, kRun}, {RootKey::LocalMachine, kRun}, {RootKey::CurrentUser, kPolicies},
    {RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Run"}};

// Everything that was there before the run is there again, byte for byte.
void requireAllBack(const memory::Machine& m, const std::map<std::string, FileState>& files, const ValueMap& values) {
    const auto now = filesOf(m);
    for (const auto& [path, state] : files) {
        const auto it = now.find(path);
        if (it == now.end()) RC_FAIL(path + " did not come back");
        if (it->second.bytes != state.bytes) RC_FAIL(path + " came back with other bytes");
    }
    const auto nowValues = valuesOf(m, kKeys);
    for (const auto& [where, value] : values) {
        const auto it = nowValues.find(where);
        if (it == nowValues.end()) RC_FAIL("value " + std::get<2>(where) + " did not come back");
        RC_ASSERT(it->second.type == value.type);
        RC_ASSERT(it->second.data == value.data);
    }
}

// The attributes a restored file carries are those its record kept.
void requireRecordedAttributes(World& w, const std::vector<scan::KeptRun>& runs) {
    for (const auto& run : runs)
        for (const auto& item : run.items)
            if (item.kind == scan::KeptKind::File && w.machine.exists(item.path))
                RC_ASSERT(w.machine.attributes(item.path) ==
                          (item.attributes == 0 ? platform::attr::Normal : item.attributes));
}

std::optional<uint64_t> seedFromEnvironment() {
    const char* text = std::getenv("VX_PROPERTY_SEED");
    if (!text || !*text) return std::nullopt;
    return std::strtoull(text, nullptr, 10);
}

template <typename Property>
void check(const char* name, int runs, Property property) {
    rc::detail::TestParams params;
    params.seed = seedFromEnvironment().value_or(20261208);
    params.maxSuccess = runs;
    params.maxSize = 20;
    rc::detail::TestMetadata metadata{"QuarantineProperty", name};
    ::setenv("RC_PARAMS", ("seed=" + std::to_string(params.seed)).c_str(), 0);
    const auto result = rc::detail::checkTestable(property, metadata, params);
    if (!result.template is<rc::detail::SuccessResult>()) {
        std::ostringstream message;
        rc::detail::printResultMessage(result, message);
        FAIL() << message.str() << "\nReplay with VX_PROPERTY_SEED=" << params.seed;
    }
}

TEST(QuarantineProperty, RestoringADisinfectedDriveBringsEverythingBack) {
    check("device", 1000, [] {
        World w;
        buildDrive(w.machine);
        w.language = *rc::gen::arbitrary<bool>() ? scan::kPortuguese : scan::kEnglish;
        const auto files = filesOf(w.machine);
        const auto values = valuesOf(w.machine, kKeys);
        device::DisinfectionTarget target;
        device::runDeviceDisinfection(w.ctx, "E:", scan::SaveOffer::Skip, w.dialog, target);
        const auto runs = tools::listKeptRuns(w.ctx);
        restoreEverything(w.ctx);
        requireRecordedAttributes(w, runs);
        // What was renamed is back under its recovery folder: compare by name.
        std::map<std::string, FileState> expected;
        for (const auto& [path, state] : files) {
            std::string p = path;
            const std::string pt = w.language == scan::kPortuguese ? "RECUPERADOS" : "RECOVERED";
            if (p.rfind("E:\\.Trashes\\", 0) == 0) p = "E:\\" + pt + p.substr(11);
            if (p.rfind("E:\\Drive\\", 0) == 0) p = "E:\\" + pt + "2" + p.substr(8);
            expected[p] = state;
        }
        requireAllBack(w.machine, expected, values);
        RC_ASSERT(tools::listKeptRuns(w.ctx).empty());
    });
}

TEST(QuarantineProperty, RestoringADisinfectedComputerBringsEverythingBack) {
    check("computer", 200, [] {
        World w;
        buildComputer(w.machine);
        const auto files = filesOf(w.machine);
        const auto values = valuesOf(w.machine, kKeys);
        computer::runComputerDisinfection(w.ctx, scan::SaveOffer::Skip, w.dialog);
        const auto runs = tools::listKeptRuns(w.ctx);
        restoreEverything(w.ctx);
        requireRecordedAttributes(w, runs);
        requireAllBack(w.machine, files, values);
    });
}

TEST(QuarantineProperty, AFailingStoreNeverLosesAFile) {
    check("faults", 300, [] {
        World w;
        buildDrive(w.machine);
        const auto files = filesOf(w.machine);
        // The store refuses its k-th write, the disk is full, or the pen drive
        // is pulled out part-way.
        const int fault = *rc::gen::inRange(0, 3);
        if (fault == 0) {
            const int k = *rc::gen::inRange(1, 40);
            auto writes = std::make_shared<int>(0);
            w.machine.setFaultHook([k, writes](std::string_view op, const std::string& path) {
                return path.rfind(kStore, 0) == 0 && (op == "writeBytes" || op == "writeLine" || op == "closeBytes") &&
                       ++*writes == k;
            });
        } else if (fault == 1) {
            w.machine.setFreeBytes('C', scan::kQuarantineFreeSpaceFloor + *rc::gen::inRange(0, 2000));
        } else {
            w.machine.vanishDriveAfter(static_cast<uint64_t>(*rc::gen::inRange(1, 400)), 'E');
        }
        device::DisinfectionTarget target;
        device::runDeviceDisinfection(w.ctx, "E:", scan::SaveOffer::Skip, w.dialog, target);
        w.machine.clearFaults();

        // Every file that is gone has a whole kept copy in some run.
        std::map<std::string, std::string> kept;
        for (const auto& run : tools::listKeptRuns(w.ctx))
            for (const auto& item : run.items)
                if (item.kind == scan::KeptKind::File && !item.damaged) kept[item.path] = item.sha256;
        const auto now = filesOf(w.machine);
        for (const auto& [path, state] : files) {
            if (path[0] == 'E' && !w.machine.hasDrive('E')) continue;  // pulled out: nothing deleted is lost here
            bool stillThere = now.count(path) > 0;
            for (const char* pt : {"RECUPERADOS", "RECOVERED"}) {
                std::string p = path;
                if (p.rfind("E:\\.Trashes\\", 0) == 0) p = std::string("E:\\") + pt + p.substr(11);
                if (p.rfind("E:\\Drive\\", 0) == 0) p = std::string("E:\\") + pt + "2" + p.substr(8);
                stillThere = stillThere || now.count(p) > 0 || kept.count(p) > 0;
            }
            if (!stillThere && !kept.count(path)) RC_FAIL(path + " is gone without a kept copy");
        }
    });
}

}  // namespace
}  // namespace vx::test

#endif  // VX_HAVE_RAPIDCHECK

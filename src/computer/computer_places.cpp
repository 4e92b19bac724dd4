#include "computer/computer_places.h"

#include "platform/paths.h"
#include "scan/primitives.h"
#include "scan/startup_entries.h"

namespace vx::computer {

ComputerFolders ComputerFolders::read(platform::Platform& os) {
    namespace csidl = scan::csidl;
    auto special = [&](int number) { return scan::specialFolderPath(os.shell, number); };
    ComputerFolders f;
    f.startup = special(csidl::Startup);
    f.commonStartup = special(csidl::CommonStartup);
    f.appData = special(csidl::AppData);
    f.localAppData = special(csidl::LocalAppData);
    f.altStartup = special(csidl::AltStartup);
    f.commonAltStartup = special(csidl::CommonAltStartup);
    f.commonAppData = special(csidl::CommonAppData);
    f.windows = special(csidl::Windows);
    f.programFiles = special(csidl::ProgramFiles);
    f.profile = special(csidl::Profile);
    f.systemX86 = special(csidl::SystemX86);
    f.temp = os.fs.temporaryPath();
    return f;
}

std::string driveRootOf(const std::string& folder) {
    const std::string root = folder.substr(0, 3);
    return root.size() == 3 && root[1] == ':' && root[2] == '\\' && platform::isAbsolutePath(root) ? root
                                                                                                : std::string();
}

std::string nativeProgramFilesOf(const std::string& programFiles) {
    const std::string root = driveRootOf(programFiles);
    return root.empty() ? std::string() : root.substr(0, 1) + ":\\Program Files\\";
}

bool fileAt(platform::FileSystem& fs, const std::string& path) {
    return platform::isAbsolutePath(path) && fs.fileExists(path);
}

bool folderAt(platform::FileSystem& fs, const std::string& path) {
    return platform::isAbsolutePath(path) && fs.directoryExists(path);
}

std::vector<FolderEntry> entriesOf(platform::FileSystem& fs, const std::string& folder) {
    std::vector<FolderEntry> entries;
    if (!platform::isAbsolutePath(folder)) return entries;
    auto finder = fs.find(folder + "*.*");
    platform::FindEntry e;
    while (finder && finder->next(e)) {
        if (e.name == "." || e.name == "..") continue;
        entries.push_back({e.name, (e.attributes & platform::attr::ReparsePoint) != 0});
    }
    return entries;
}

RunKey::RunKey(scan::RunContext& ctx, platform::RootKey root)
    : ctx_(ctx), root_(root), key_(scan::openKeyFullAccess(ctx.os.registry, root, scan::kRunKeyPath)) {}

std::vector<std::string> RunKey::names() { return key_ ? key_->valueNames() : std::vector<std::string>(); }

std::optional<std::string> RunKey::text(const std::string& name) {
    return key_ ? key_->readText(name) : std::nullopt;
}

bool RunKey::exists(const std::string& name) { return key_ && key_->valueExists(name); }

bool RunKey::remove(const std::string& name) {
    if (!key_) return false;
    scan::removeValue(ctx_, root_, scan::kRunKeyPath, *key_, name);
    return !key_->valueExists(name);
}

bool isImageCommand(const std::string& text) {
    return text.ends_with("jpg\"") || text.ends_with(".jpg");
}

}  // namespace vx::computer

// What keeping before deleting costs a device disinfection on a real disk,
// against the floor of merely copying the same files away and deleting them.
// One program, one step per call (quarantine-bench.sh runs them in order):
//
//   bench_disinfection_keep.exe make ROOT
//       Builds the infected pen drive at ROOT ("E:\"): 3,000 worm shortcuts
//       of 1-2 KB at the root, 30 hidden folders of the user's (10 files of
//       8-200 KB each) and a hidden RECYCLER folder whose user folder holds
//       3,000 deleted files of 4-256 KB (sizes spread evenly on a log scale).
//       The same drive every time: the contents come from a fixed seed.
//   bench_disinfection_keep.exe floor ROOT DEST
//       Copies the drive's shortcuts and the RECYCLER's files into the folder
//       DEST (made; on C:) and deletes the originals and the emptied folders,
//       then makes the copies reach the disk with one flush.
//   bench_disinfection_keep.exe disinfect ROOT [--profile | --what-if]
//       Runs the device disinfection of ROOT on the real platform (its boxes
//       answered at once: OK, or No to a question) and checks that every worm
//       file went into the quarantine and the user's files stayed. With
//       --profile every platform call is counted and timed; --what-if does
//       the same but reads the facts of a volume once per drive and takes
//       one process snapshot per batch of files kept together, as a run that
//       made those calls only that often would.
//   bench_disinfection_keep.exe fill BYTES SOURCE
//       Adds runs to the quarantine store until it holds BYTES: each keeps
//       (without deleting) the files of SOURCE, a folder on C: filled once
//       with the drive's shortcuts and deleted files.
//   bench_disinfection_keep.exe list [--profile]
//       Times what opening the Quarantine tab reads: the runs of the store,
//       the store's size, and the whole tab (its lines included).
//
// Each step prints its figures as key=value lines and exits non-zero when it
// fails. A benchmark, not a test.
#include <windows.h>

#include "bench_clock.h"
#include "counting_platform.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "device/device_disinfection.h"
#include "platform/win32/win32_platform.h"
#include "scan/quarantine.h"
#include "scan/run_frame.h"
#include "tools/quarantine_tool.h"

namespace {

namespace p = vx::platform;

constexpr int kShortcuts = 3000;
constexpr int kDeletedFiles = 3000;
constexpr int kUserFolders = 30;
constexpr int kUserFilesEach = 10;
const char* const kRecycler = "RECYCLER";
const char* const kRecyclerUser = "S-1-5-21-1004336348-1177238915-682003330-1000";
const char* const kDeletedExtensions[] = {".doc", ".jpg", ".pdf", ".xls", ".mp3", ".txt", ".ppt", ".zip"};

// splitmix64: the same bytes on every run.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A size from `low` to `high` bytes, spread evenly on a log scale.
    uint64_t logSize(double low, double high) {
        const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
        return static_cast<uint64_t>(std::exp(std::log(low) + u * (std::log(high) - std::log(low))));
    }
    uint64_t between(uint64_t low, uint64_t high) { return low + next() % (high - low + 1); }

private:
    uint64_t state_;
};

std::string numbered(const char* prefix, int n, const char* suffix) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%04d%s", prefix, n, suffix);
    return name;
}

std::string shortcutName(int n) { return numbered("Documento ", n, ".lnk"); }
std::string deletedName(int n) {
    return "Dc" + std::to_string(n + 1) + kDeletedExtensions[n % (sizeof kDeletedExtensions / sizeof *kDeletedExtensions)];
}

// The drive's files, in the order they are made: name relative to the root
// and size. Shortcuts and deleted files are the worm files; the rest is the
// user's.
struct PlannedFile {
    std::string path;
    uint64_t size;
    bool worm;
};
std::vector<PlannedFile> drivePlan() {
    Random sizes(2026);
    std::vector<PlannedFile> plan;
    for (int i = 0; i < kShortcuts; ++i) plan.push_back({shortcutName(i + 1), sizes.between(1024, 2047), true});
    for (int f = 0; f < kUserFolders; ++f)
        for (int i = 0; i < kUserFilesEach; ++i)
            plan.push_back({numbered("Pasta ", f + 1, "\\") + numbered("arquivo_", i + 1, ".docx"),
                            sizes.logSize(8 * 1024, 200 * 1024), false});
    for (int i = 0; i < kDeletedFiles; ++i)
        plan.push_back({std::string(kRecycler) + "\\" + kRecyclerUser + "\\" + deletedName(i),
                        sizes.logSize(4 * 1024, 256 * 1024), true});
    return plan;
}

bool writeFile(p::FileSystem& fs, const std::string& path, uint64_t size, Random& bytes) {
    auto writer = fs.createBytes(path);
    if (!writer) return false;
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    for (size_t i = 0; i < buffer.size(); i += 8) {
        const uint64_t word = bytes.next();
        std::memcpy(buffer.data() + i, &word, std::min<size_t>(8, buffer.size() - i));
    }
    return writer->write(buffer.data(), buffer.size()) && writer->close();
}

// Writes the plan's files under `root`, worm files only when `wormsOnly`,
// with the folders the paths name.
bool writePlan(p::FileSystem& fs, const std::string& root, bool wormsOnly, uint64_t& bytesWritten) {
    Random bytes(7);
    for (const PlannedFile& f : drivePlan()) {
        if (wormsOnly && !f.worm) continue;
        for (size_t slash = f.path.find('\\'); slash != std::string::npos; slash = f.path.find('\\', slash + 1))
            if (!fs.directoryExists(root + f.path.substr(0, slash))) fs.createDirectory(root + f.path.substr(0, slash)).ignore();
        if (!writeFile(fs, root + f.path, f.size, bytes)) {
            std::fprintf(stderr, "cannot write %s%s\n", root.c_str(), f.path.c_str());
            return false;
        }
        bytesWritten += f.size;
    }
    return true;
}

int makeDrive(const std::string& root) {
    vx::win32::Win32Platform system;
    p::FileSystem& fs = system.fileSystem();
    uint64_t bytes = 0;
    if (!writePlan(fs, root, false, bytes)) return 1;
    // The worm hides the user's folders and its own recycle bin.
    for (int f = 0; f < kUserFolders; ++f)
        fs.setAttributes(root + numbered("Pasta ", f + 1, ""), p::attr::Hidden | p::attr::System).ignore();
    fs.setAttributes(root + kRecycler, p::attr::Hidden | p::attr::System).ignore();
    uint64_t wormBytes = 0;
    for (const PlannedFile& f : drivePlan())
        if (f.worm) wormBytes += f.size;
    std::printf("drive_files=%d\ndrive_bytes=%llu\nworm_files=%d\nworm_bytes=%llu\n",
                kShortcuts + kDeletedFiles + kUserFolders * kUserFilesEach, static_cast<unsigned long long>(bytes),
                kShortcuts + kDeletedFiles, static_cast<unsigned long long>(wormBytes));
    return 0;
}

// --- the floor ------------------------------------------------------------------------

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

struct FloorCounts {
    int files = 0;
    uint64_t bytes = 0;
    bool ok = true;
};

// Copies one file into `dest` by plain reads and writes and deletes it.
void copyAndDelete(const std::wstring& from, const std::wstring& dest, const wchar_t* name, std::vector<char>& buffer,
                   FloorCounts& counts) {
    HANDLE in = ::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    HANDLE out = ::CreateFileW((dest + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    bool ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE;
    DWORD got = 0;
    while (ok && ::ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
        DWORD put = 0;
        ok = ::WriteFile(out, buffer.data(), got, &put, nullptr) && put == got;
        counts.bytes += got;
    }
    if (in != INVALID_HANDLE_VALUE) ::CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
    ok = ok && ::DeleteFileW(from.c_str());
    counts.ok = counts.ok && ok;
    ++counts.files;
}

// Every file matching folder + mask, copied and deleted; with `tree` the
// sub-folders too, each removed once empty.
void copyAway(const std::wstring& folder, const wchar_t* mask, bool tree, const std::wstring& dest,
              std::vector<char>& buffer, FloorCounts& counts) {
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileExW((folder + mask).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return;
    std::vector<std::wstring> folders;
    do {
        if (!std::wcscmp(data.cFileName, L".") || !std::wcscmp(data.cFileName, L"..")) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (tree) folders.push_back(data.cFileName);
            continue;
        }
        copyAndDelete(folder + data.cFileName, dest, data.cFileName, buffer, counts);
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
    for (const std::wstring& name : folders) {
        copyAway(folder + name + L"\\", L"*", true, dest, buffer, counts);
        counts.ok = ::RemoveDirectoryW((folder + name).c_str()) && counts.ok;
    }
}

// One flush of what was copied: the volume's when the system allows it, else
// the folder's (on Linux an fsync of the folder commits the journal with every
// new file in it).
const char* flushOnce(const std::wstring& dest) {
    const std::wstring volume = L"\\\\.\\" + dest.substr(0, 2);
    HANDLE h = ::CreateFileW(volume.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const bool ok = ::FlushFileBuffers(h);
        ::CloseHandle(h);
        if (ok) return "volume";
    }
    h = ::CreateFileW(dest.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const bool ok = ::FlushFileBuffers(h);
        ::CloseHandle(h);
        if (ok) return "folder";
    }
    return "none";
}

int floorRun(const std::string& root, const std::string& destFolder) {
    const std::wstring from = wide(root);
    std::wstring dest = wide(destFolder);
    if (dest.back() != L'\\') dest += L'\\';
    std::vector<char> buffer(64 * 1024);
    FloorCounts counts;
    const double start = now();
    if (!::CreateDirectoryW(dest.c_str(), nullptr)) {
        std::fprintf(stderr, "cannot make %s\n", destFolder.c_str());
        return 1;
    }
    copyAway(from, L"*.lnk", false, dest, buffer, counts);
    const std::wstring recycler = from + wide(kRecycler);
    ::SetFileAttributesW(recycler.c_str(), FILE_ATTRIBUTE_NORMAL);
    copyAway(recycler + L"\\", L"*", true, dest, buffer, counts);
    counts.ok = ::RemoveDirectoryW(recycler.c_str()) && counts.ok;
    const double copied = now();
    const char* how = flushOnce(dest);
    const double end = now();
    std::printf("floor_files=%d\nfloor_bytes=%llu\nfloor_copy_seconds=%.3f\nfloor_flush=%s\nfloor_flush_seconds=%.3f\n"
                "floor_seconds=%.3f\n",
                counts.files, static_cast<unsigned long long>(counts.bytes), copied - start, how, end - copied,
                end - start);
    if (!counts.ok || counts.files != kShortcuts + kDeletedFiles) {
        std::printf("FAILED: the floor copied %d files, with errors: %s\n", counts.files, counts.ok ? "no" : "yes");
        return 1;
    }
    return 0;
}

// --- the disinfection -----------------------------------------------------------------

// Answers every box at once, as a user clicking through would: OK, and No to
// a question (so no log is saved and nothing restarts).
class AnsweringDialogs final : public p::Dialogs {
public:
    p::Answer messageBox(const std::string& text, const std::string& caption, p::Icon, p::Buttons buttons) override {
        boxes.push_back(caption + ": " + text);
        return buttons == p::Buttons::YesNo ? p::Answer::No : p::Answer::Ok;
    }
    std::optional<std::string> saveFile(const p::SaveDialogOptions&) override { return std::nullopt; }
    void ioError(const std::string& text) override { boxes.push_back("I/O error: " + text); }
    std::vector<std::string> boxes;
};

enum class Mode { Plain, Profiled, WhatIf };

// The real platform with the boxes answered, behind the counting one unless
// the mode is Plain.
struct BenchPlatform {
    explicit BenchPlatform(Mode mode) {
        const p::Platform real = system.platform();
        plain.emplace(p::Platform{real.fs, real.processes, real.registry, real.shell, real.clock, dialogs, real.crypto});
        bench::WhatIf whatIf;
        if (mode == Mode::WhatIf) {
            whatIf.volumeFactsOncePerRoot = true;
            whatIf.callsPerSnapshot = static_cast<int>(vx::scan::kKeepBatchFiles);
        }
        if (mode != Mode::Plain) counting.emplace(*plain, whatIf);
    }
    p::Platform platform() { return counting ? counting->platform() : *plain; }

    vx::win32::Win32Platform system;
    AnsweringDialogs dialogs;
    std::optional<p::Platform> plain;
    std::optional<bench::CountingPlatform> counting;
};

int disinfect(const std::string& root, Mode mode) {
    BenchPlatform bp(mode);
    p::Platform os = bp.platform();
    vx::scan::ActivityLog log;
    vx::scan::RunFlags flags;
    vx::scan::Language language = vx::scan::kPortuguese;
    vx::scan::RunContext ctx{os, log, flags, language};
    vx::scan::SaveDialogMemory saveDialog;
    vx::device::DisinfectionTarget target;
    // The program's data folders, as the window makes them when it starts:
    // the run writes its log copies there.
    vx::scan::ensureFolder(os.fs, vx::scan::dataFolder(os.shell));
    vx::scan::ensureFolder(os.fs, vx::scan::localDataFolder(os.shell));
    bench::callProfile().clear();

    const double start = now();
    vx::device::runDeviceDisinfection(ctx, root.substr(0, 2), vx::scan::SaveOffer::Skip, saveDialog, target);
    const double seconds = now() - start;

    // What the run left: no worm file, every file of the user's, and the
    // worm files in the newest run of the store.
    p::FileSystem& fs = bp.system.fileSystem();
    int wormsLeft = 0, userLeft = 0;
    for (const PlannedFile& f : drivePlan())
        if (fs.getAttributes(root + f.path) != p::attr::Invalid) ++(f.worm ? wormsLeft : userLeft);
    vx::scan::ActivityLog listLog;
    vx::scan::RunContext listCtx{bp.system.platform(), listLog, flags, language};
    const std::vector<vx::scan::KeptRun> runs = vx::tools::listKeptRuns(listCtx);
    int keptFiles = 0, keptFolders = 0;
    uint64_t keptBytes = 0;
    if (!runs.empty())
        for (const vx::scan::KeptItem& item : runs.front().items) {
            if (item.kind == vx::scan::KeptKind::File) {
                ++keptFiles;
                keptBytes += item.size;
            }
            if (item.kind == vx::scan::KeptKind::Folder) ++keptFolders;
        }

    std::printf("disinfect_seconds=%.3f\nlog_lines=%zu\nworm_files_left=%d\nuser_files_left=%d\nkept_files=%d\n"
                "kept_folders=%d\nkept_bytes=%llu\nrun_folder=%s\n",
                seconds, log.size(), wormsLeft, userLeft, keptFiles, keptFolders,
                static_cast<unsigned long long>(keptBytes), runs.empty() ? "" : runs.front().folder.c_str());
    for (const std::string& box : bp.dialogs.boxes) std::printf("box=%s\n", box.c_str());
    if (mode != Mode::Plain) {
        std::printf("profile of the disinfection%s (%.3f s):\n", mode == Mode::WhatIf ? ", what if" : "", seconds);
        bench::callProfile().print(seconds);
    }
    if (wormsLeft != 0 || userLeft != kUserFolders * kUserFilesEach || keptFiles != kShortcuts + kDeletedFiles) {
        std::printf("FAILED: %d worm files left, %d of %d user files left, %d of %d files kept\n", wormsLeft, userLeft,
                    kUserFolders * kUserFilesEach, keptFiles, kShortcuts + kDeletedFiles);
        for (size_t i = 0; i < log.size() && i < 60; ++i) std::printf("log: %s\n", log.lines()[i].c_str());
        return 1;
    }
    return 0;
}

// --- a large store and its listing ------------------------------------------------------

int fill(uint64_t goal, const std::string& sourceFolder) {
    std::string source = sourceFolder;
    if (source.back() != '\\') source += '\\';
    BenchPlatform bp(Mode::Plain);
    p::Platform os = bp.platform();
    if (!os.fs.directoryExists(source)) {
        uint64_t bytes = 0;
        if (!os.fs.createDirectory(source) || !writePlan(os.fs, source, true, bytes)) return 1;
    }
    std::vector<std::string> paths;
    for (const PlannedFile& f : drivePlan())
        if (f.worm) paths.push_back(source + f.path);

    vx::scan::ActivityLog log;
    vx::scan::RunFlags flags;
    vx::scan::Language language = vx::scan::kPortuguese;
    vx::scan::RunContext ctx{os, log, flags, language};
    const double start = now();
    int runs = 0;
    uint64_t bytes = vx::tools::quarantineStoreBytes(os.fs, os.shell);
    while (bytes < goal) {
        vx::scan::KeepingScope keeping(ctx, vx::scan::KeptFrom::Device, "E:\\");
        int kept = 0;
        for (size_t i = 0; i < paths.size(); i += vx::scan::kKeepBatchFiles) {
            const std::vector<std::string> batch(
                paths.begin() + static_cast<std::ptrdiff_t>(i),
                paths.begin() + static_cast<std::ptrdiff_t>(std::min(paths.size(), i + vx::scan::kKeepBatchFiles)));
            for (const auto& held : keeping.run().keepFiles(batch)) kept += held ? 1 : 0;
        }
        if (kept != static_cast<int>(paths.size())) {
            std::printf("FAILED: a run kept %d of %zu files (refusal %d)\n", kept, paths.size(),
                        static_cast<int>(keeping.run().refusal()));
            return 1;
        }
        ++runs;
        bytes = vx::tools::quarantineStoreBytes(os.fs, os.shell);
    }
    std::printf("fill_runs=%d\nfill_seconds=%.3f\nstore_bytes=%llu\n", runs, now() - start,
                static_cast<unsigned long long>(bytes));
    return 0;
}

int list(bool profiled) {
    BenchPlatform bp(profiled ? Mode::Profiled : Mode::Plain);
    p::Platform os = bp.platform();
    vx::scan::ActivityLog log;
    vx::scan::RunFlags flags;
    vx::scan::Language language = vx::scan::kPortuguese;
    vx::scan::RunContext ctx{os, log, flags, language};

    bench::callProfile().clear();
    double start = now();
    const std::vector<vx::scan::KeptRun> runs = vx::tools::listKeptRuns(ctx);
    const double listSeconds = now() - start;
    start = now();
    const uint64_t bytes = vx::tools::quarantineStoreBytes(os.fs, os.shell);
    const double bytesSeconds = now() - start;
    if (profiled) {
        std::printf("profile of the listing (%.3f s):\n", listSeconds + bytesSeconds);
        bench::callProfile().print(listSeconds + bytesSeconds);
    }

    // The tab as the window opens it: both reads, then its lines (the runs,
    // and the items of the newest run, which it chooses).
    vx::app::TForm1 form(os);
    form.language = vx::scan::kPortuguese;
    start = now();
    form.TabSheet4Show();
    const double tabSeconds = now() - start;

    size_t items = 0;
    for (const vx::scan::KeptRun& run : runs) items += run.items.size();
    std::printf("store_runs=%zu\nstore_items=%zu\nstore_bytes=%llu\nlist_runs_seconds=%.3f\nstore_bytes_seconds=%.3f\n"
                "tab_seconds=%.3f\ntab_run_lines=%zu\ntab_item_lines=%zu\n",
                runs.size(), items, static_cast<unsigned long long>(bytes), listSeconds, bytesSeconds, tabSeconds,
                form.ListBox2.items.size(), form.ListBox3.items.size());
    return runs.empty() ? 1 : 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: bench_disinfection_keep.exe make ROOT | floor ROOT DEST |\n"
                 "       disinfect ROOT [--profile | --what-if] |\n"
                 "       fill BYTES SOURCE | list [--profile]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string step = argv[1];
    const std::string last = argv[argc - 1];
    const bool profiled = last == "--profile";
    const Mode mode = profiled ? Mode::Profiled : last == "--what-if" ? Mode::WhatIf : Mode::Plain;
    if (step == "make" && argc == 3) return makeDrive(argv[2]);
    if (step == "floor" && argc == 4) return floorRun(argv[2], argv[3]);
    if (step == "disinfect" && (argc == 3 || (argc == 4 && mode != Mode::Plain))) return disinfect(argv[2], mode);
    if (step == "fill" && argc == 4) return fill(std::strtoull(argv[2], nullptr, 10), argv[3]);
    if (step == "list" && (argc == 2 || (argc == 3 && profiled))) return list(profiled);
    return usage();
}

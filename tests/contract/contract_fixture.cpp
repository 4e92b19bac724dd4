#include "contract_fixture.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vx::contract {

using namespace vx::platform;

void Contract::SetUp() {
    world_ = makeWorld();
    ASSERT_TRUE(world_);
    scratch = world_->scratchRoot();
    ASSERT_FALSE(scratch.empty());
    ASSERT_EQ(scratch.back(), '\\');
    ASSERT_TRUE(fs().directoryExists(scratch)) << scratch;
    regBase = "Software\\VarrexContract-" + std::to_string(procs().currentProcessId());
    reg().deleteTree(RootKey::CurrentUser, regBase).ignore();  // left over from an aborted run
    ASSERT_TRUE(reg().create(RootKey::CurrentUser, regBase)) << regBase;
}

void Contract::TearDown() {
    if (!world_) return;
    if (!regBase.empty()) reg().deleteTree(RootKey::CurrentUser, regBase).ignore();
    world_.reset();
}

std::optional<std::vector<FindEntry>> Contract::findAll(const std::string& pattern) {
    auto finder = fs().find(pattern);
    if (!finder) return std::nullopt;
    std::vector<FindEntry> out;
    FindEntry e;
    while (finder->next(e)) {
        out.push_back(e);
        if (out.size() > 100000) {
            ADD_FAILURE() << "find " << pattern << " does not end";
            break;
        }
    }
    return out;
}

std::vector<std::string> Contract::names(const std::string& pattern) {
    std::vector<std::string> out;
    if (auto all = findAll(pattern))
        for (auto& e : *all)
            if (e.name != "." && e.name != "..") out.push_back(e.name);
    return out;
}

std::optional<FindEntry> Contract::entryNamed(const std::string& folder, const std::string& name) {
    if (auto all = findAll(folder + "*.*"))
        for (auto& e : *all)
            if (e.name == name) return e;
    return std::nullopt;
}

std::string Contract::makeFolder(const std::string& relative) {
    std::string path = scratch + relative;
    EXPECT_TRUE(fs().createDirectory(path)) << "cannot create folder " << path;
    return path;
}

std::string Contract::makeFile(const std::string& relative, const std::vector<std::string>& lines) {
    std::string path = scratch + relative;
    Status r = fs().writeTextFile(path, lines);
    EXPECT_TRUE(r.ok()) << "cannot write " << path << ": " << r.message();
    return path;
}

bool Contract::inSnapshot(uint32_t pid) {
    auto list = procs().snapshot();
    return std::any_of(list.begin(), list.end(), [&](const ProcessEntry& p) { return p.pid == pid; });
}

bool Contract::leavesSnapshot(uint32_t pid) {
    // Termination is asynchronous on Windows: the process leaves the list once
    // the system has torn it down, a moment after TerminateProcess returns.
    for (int i = 0; i < 100; ++i) {
        if (!inSnapshot(pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace vx::contract

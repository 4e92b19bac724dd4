// The contract suite: one set of tests that both platform implementations must
// pass, so that the simulated machine cannot drift from real Win32.
//
// The tests see a machine only through platform.h and the small ContractWorld
// interface below. Each side provides makeWorld() in its own folder
// (memory/: the simulated machine; win32/: the real system, run under Wine).
// Files, folders and registry keys are set up through the platform itself, so
// both sides start each test from the same state; the world adds only what
// the platform cannot do (raw file bytes, a running process of a given name).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vx::contract {

class ContractWorld {
public:
    virtual ~ContractWorld() = default;

    virtual platform::Platform platform() = 0;

    // An absolute, existing, empty folder for one test, with its final "\"
    // ("C:\...\vxcontract-1234-1\work\"). The world removes it when destroyed.
    virtual std::string scratchRoot() = 0;

    // Writes `bytes` as the whole content of a file, as another program would
    // (no conversion, no line ends added). False when it cannot.
    virtual bool writeBytes(const std::string& path, const std::string& bytes) = 0;
    // The whole content of a file, byte for byte; std::nullopt when unreadable.
    virtual std::optional<std::string> readBytes(const std::string& path) = 0;

    // Starts a process whose executable file is named `exeName` (such as
    // "wscript.exe") and returns its identifier once the process snapshot lists
    // it; 0 on failure (the world reports why as a test failure). Processes
    // still running when the world is destroyed are ended.
    virtual uint32_t startStandIn(const std::string& exeName) = 0;

    // Makes opening keys of HKEY_LOCAL_MACHINE with full access fail as it
    // does for a standard user. False when this world cannot show that (the
    // tests under Wine run as an administrator).
    virtual bool denyLocalMachineFullAccess() = 0;

    // True when commands handed to Processes::startCommand really run (the
    // memory machine only records them).
    virtual bool runsStartedCommands() = 0;

    // Makes `path` (which must not exist) a junction leading to the absolute
    // folder path `target`. False when this world cannot make one (Wine has
    // no reparse points).
    virtual bool makeJunction(const std::string& path, const std::string& target) = 0;

    // Gives the program administrator rights where the world can (the memory
    // machine); answers whether the program has them now (under Wine it
    // always does).
    virtual bool runAsAdministrator() = 0;

    // True when the file system keeps the owner and access list a folder is
    // given (Windows on NTFS, the memory machine); Wine makes both up from
    // the Unix permissions.
    virtual bool keepsAccessLists() = 0;

    // The owner and access list of `path` in the system's own text form
    // ("O:BAD:P(A;OICI;FA;;;SY)..."); std::nullopt where the world has no
    // such form.
    virtual std::optional<std::string> securityText(const std::string& path) = 0;
};

// Defined once per side.
std::unique_ptr<ContractWorld> makeWorld();

// Base of every contract test: a fresh world, its scratch folder and a
// registry key of the test's own under HKEY_CURRENT_USER (deleted at the end).
class Contract : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ContractWorld& world() { return *world_; }
    platform::FileSystem& fs() { return world_->platform().fs; }
    platform::Registry& reg() { return world_->platform().registry; }
    platform::Processes& procs() { return world_->platform().processes; }
    platform::Shell& shell() { return world_->platform().shell; }
    platform::Clock& clock() { return world_->platform().clock; }
    platform::Crypto& crypto() { return world_->platform().crypto; }

    // Every entry `pattern` yields, "." and ".." included; std::nullopt when
    // find answers null.
    std::optional<std::vector<platform::FindEntry>> findAll(const std::string& pattern);
    // The names `pattern` yields, without "." and ".."; empty when find
    // answers null.
    std::vector<std::string> names(const std::string& pattern);
    // The entry of that exact name (as found); std::nullopt when absent.
    std::optional<platform::FindEntry> entryNamed(const std::string& folder, const std::string& name);

    // Set-up through the platform; each records a test failure when it fails.
    std::string makeFolder(const std::string& relative);  // returns the full path
    std::string makeFile(const std::string& relative, const std::vector<std::string>& lines = {"x"});

    // True when the process snapshot lists `pid`.
    bool inSnapshot(uint32_t pid);
    // Waits (briefly, on the real system) until `pid` leaves the snapshot.
    bool leavesSnapshot(uint32_t pid);

    std::unique_ptr<ContractWorld> world_;
    std::string scratch;  // scratch folder with its final "\"
    std::string regBase;  // "Software\VarrexContract-<pid>" under HKEY_CURRENT_USER
};

// What a call's outcome means: Fault::None on success.
inline platform::Fault faultOf(const platform::Status& s) { return s.fault(); }
template <typename T>
platform::Fault faultOf(const platform::Result<T>& r) {
    return r.status().fault();
}
// A failure as the tests compare it: its fault and the system's code.
struct Failure {
    platform::Fault fault;
    uint32_t code;
    bool operator==(const Failure&) const = default;
};
inline Failure failureOf(const platform::Status& s) { return {s.fault(), s.code()}; }
template <typename T>
Failure failureOf(const platform::Result<T>& r) {
    return failureOf(r.status());
}
inline std::ostream& operator<<(std::ostream& out, const Failure& f) {
    return out << "fault " << static_cast<int>(f.fault) << ", code " << f.code;
}

// The identity a call that must give one gave; a test failure, and an
// identity no entry has, when it gave none.
inline platform::FileIdentity identityOf(const platform::Result<platform::FileIdentity>& r) {
    EXPECT_TRUE(r) << r.status().message();
    return r ? *r : platform::FileIdentity{0xFFFFFFFFu, ~uint64_t{0}};
}

// Names sorted in the order the tests compare sets in.
std::vector<std::string> sorted(std::vector<std::string> v);

}  // namespace vx::contract

// The run lock that keeps two runs of the program apart, the program's
// arguments and its console.
#include <thread>

#include "contract_fixture.h"

namespace vx::contract {
namespace {

using platform::Fault;
using platform::Status;
namespace syscode = platform::syscode;

TEST_F(Contract, TheRunLockHasOneHolderAtATimeAndIsFreeAgainOnceLetGo) {
    auto first = shell().tryLockRuns();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(shell().tryLockRuns(), nullptr) << "a second holder in the same program";
    std::unique_ptr<platform::RunLock> fromThread;
    std::thread([&] { fromThread = shell().tryLockRuns(); }).join();
    EXPECT_EQ(fromThread, nullptr) << "a holder on another thread";

    first.reset();
    auto again = shell().tryLockRuns();
    EXPECT_NE(again, nullptr) << "free once the first holder let go";
}

TEST_F(Contract, ArgumentsLeaveOutTheProgramsOwnName) {
    const std::string program = shell().programPath();
    const std::string file = program.substr(program.find_last_of('\\') + 1);
    for (const std::string& argument : shell().commandLineArguments()) {
        EXPECT_NE(argument, program);
        EXPECT_FALSE(argument.size() >= file.size() &&
                     platform::equalNoCase(argument.substr(argument.size() - file.size()), file))
            << argument;
    }
}

TEST_F(Contract, TheConsoleTakesLinesOnlyOnceAttached) {
    const Status before = shell().writeConsole("[contract] a line before any console is attached");
    EXPECT_EQ(before.fault(), Fault::Failed);
    EXPECT_EQ(before.code(), syscode::InvalidHandle);
    EXPECT_FALSE(before.message().empty());
    const Status attached = shell().attachParentConsole();
    EXPECT_EQ(shell().writeConsole("[contract] a console line: Verificação").ok(), attached.ok());
    EXPECT_EQ(shell().attachParentConsole().ok(), attached.ok()) << "attaching again changes nothing";
}

}  // namespace
}  // namespace vx::contract

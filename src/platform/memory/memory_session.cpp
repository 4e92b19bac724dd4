// The run lock, the command line and the console of the simulated machine.
#include "platform/memory/memory_file_checks.h"
#include "platform/memory/memory_impl.h"

namespace vx::memory {

namespace {

class MemoryRunLock final : public platform::RunLock {
public:
    explicit MemoryRunLock(std::shared_ptr<bool> held) : held_(std::move(held)) { *held_ = true; }
    ~MemoryRunLock() override { *held_ = false; }
    MemoryRunLock(const MemoryRunLock&) = delete;
    MemoryRunLock& operator=(const MemoryRunLock&) = delete;

private:
    // Shared with the machine's state, so that a lock outliving a copied
    // or moved machine still lets go of the right one.
    std::shared_ptr<bool> held_;
};

}  // namespace

std::unique_ptr<platform::RunLock> MemoryShell::tryLockRuns() {
    if (*s_.runLockHeld || s_.runLockHeldElsewhere) return nullptr;
    return std::make_unique<MemoryRunLock>(s_.runLockHeld);
}

std::vector<std::string> MemoryShell::commandLineArguments() { return s_.arguments; }

platform::Status MemoryShell::attachParentConsole() {
    if (s_.hasParentConsole) s_.consoleAttached = true;
    // AttachConsole answers an invalid handle when the parent has no console.
    return s_.consoleAttached ? platform::Status() : detail::failure(detail::kInvalidHandle);
}

platform::Status MemoryShell::writeConsole(const std::string& line) {
    if (!s_.consoleAttached) return detail::failure(detail::kInvalidHandle);
    s_.consoleLines.push_back(line);
    return {};
}

}  // namespace vx::memory

// The contract suite's world on the simulated machine: a fresh Windows 7
// machine per test, the scratch folder under its temporary folder, and
// stand-in processes entered in its process table with an image file on disk.
#include <stdexcept>

#include "contract_fixture.h"
#include "platform/memory/memory_machine.h"

namespace vx::contract {
namespace {

class MemoryWorld final : public ContractWorld {
public:
    MemoryWorld() {
        base_ = machine_.fileSystem().temporaryPath() + "vxcontract-" +
                std::to_string(machine_.processes().currentProcessId()) + "-1\\";
        machine_.addFolder(base_ + "work");
        machine_.addFolder(base_ + "bin");
    }

    platform::Platform platform() override { return machine_.platform(); }

    std::string scratchRoot() override { return base_ + "work\\"; }

    bool writeBytes(const std::string& path, const std::string& bytes) override {
        // As CreateFile: the folder must exist, and a folder is not replaced.
        std::string parent = path.substr(0, path.find_last_of('\\'));
        if (!machine_.fileSystem().directoryExists(parent) || machine_.fileSystem().directoryExists(path))
            return false;
        try {
            machine_.addFile(path, bytes);
            return true;
        } catch (const std::invalid_argument&) {
            return false;
        }
    }

    std::optional<std::string> readBytes(const std::string& path) override { return machine_.content(path); }

    uint32_t startStandIn(const std::string& exeName) override {
        std::string image = base_ + "bin\\" + exeName;
        if (!machine_.exists(image)) machine_.addFile(image, "MZ");
        return machine_.addProcess(exeName, image);
    }

    bool denyLocalMachineFullAccess() override {
        machine_.denyLocalMachineFullAccess(true);
        return true;
    }

    bool runsStartedCommands() override { return false; }

    bool makeJunction(const std::string& path, const std::string& target) override {
        machine_.addLink(path, target);
        return true;
    }

    bool runAsAdministrator() override {
        machine_.setAdministratorRights(true);
        return true;
    }

    bool keepsAccessLists() override { return true; }

    std::optional<std::string> securityText(const std::string&) override { return std::nullopt; }

private:
    memory::Machine machine_;
    std::string base_;
};

}  // namespace

std::unique_ptr<ContractWorld> makeWorld() { return std::make_unique<MemoryWorld>(); }

}  // namespace vx::contract

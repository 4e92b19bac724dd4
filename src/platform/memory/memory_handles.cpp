// Handles, file identities and folder trust (placeholders until implemented).
#include "platform/memory/memory_impl.h"

namespace vx::memory {

std::string MemoryFileSystem::fileSystemName(const std::string&) { return {}; }
std::optional<platform::FileIdentity> MemoryFileSystem::identity(const std::string&) { return std::nullopt; }
std::unique_ptr<platform::HeldFile> MemoryFileSystem::holdFile(const std::string&, platform::HandleStatus& status) {
    status = platform::HandleStatus::Failed;
    return nullptr;
}
std::unique_ptr<platform::FolderHandle> MemoryFileSystem::openFolder(const std::string&, platform::HandleStatus& status) {
    status = platform::HandleStatus::Failed;
    return nullptr;
}
std::unique_ptr<platform::ByteReader> MemoryFileSystem::openBytesExclusive(const std::string&) { return nullptr; }
platform::FolderTrust MemoryFileSystem::folderTrust(const std::string&) { return platform::FolderTrust::Unreadable; }
bool MemoryFileSystem::createProtectedDirectory(const std::string&) { return false; }
bool MemoryShell::hasAdministratorRights() { return false; }
bool MemoryCrypto::randomBytes(uint8_t*, size_t) { return false; }

}  // namespace vx::memory

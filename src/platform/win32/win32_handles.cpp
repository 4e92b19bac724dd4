// Handles, file identities and folder trust (placeholders until implemented).
#include "platform/win32/win32_platform.h"

namespace vx::win32 {

std::string Win32FileSystem::fileSystemName(const std::string&) { return {}; }
std::optional<platform::FileIdentity> Win32FileSystem::identity(const std::string&) { return std::nullopt; }
std::unique_ptr<platform::HeldFile> Win32FileSystem::holdFile(const std::string&, platform::HandleStatus& status) {
    status = platform::HandleStatus::Failed;
    return nullptr;
}
std::unique_ptr<platform::FolderHandle> Win32FileSystem::openFolder(const std::string&, platform::HandleStatus& status) {
    status = platform::HandleStatus::Failed;
    return nullptr;
}
std::unique_ptr<platform::ByteReader> Win32FileSystem::openBytesExclusive(const std::string&) { return nullptr; }
platform::FolderTrust Win32FileSystem::folderTrust(const std::string&) { return platform::FolderTrust::Unreadable; }
bool Win32FileSystem::createProtectedDirectory(const std::string&) { return false; }
bool Win32Shell::hasAdministratorRights() { return false; }
bool Win32Crypto::randomBytes(uint8_t*, size_t) { return false; }

}  // namespace vx::win32

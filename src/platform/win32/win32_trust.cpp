// Folder trust: who owns a folder and who may change it, read from the
// folder itself (opened without following a link); and folders made so that
// only SYSTEM and Administrators may change them.
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"  // <windows.h> first

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace vx::win32 {

using platform::FolderTrust;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Rights that let an account change a folder, its entries, its owner or its
// access list.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                      FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                      GENERIC_ALL | MAXIMUM_ALLOWED;

// A protected access list giving full access to SYSTEM and Administrators,
// owned by Administrators whatever the token's default owner is.
constexpr wchar_t kProtectedDescriptor[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Memory the security calls allocate with LocalAlloc.
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory() {
        if (p_) ::LocalFree(p_);
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    void** out() { return &p_; }
    void* get() const { return p_; }

private:
    void* p_ = nullptr;
};

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return sid && ::IsValidSid(sid) && ::CreateWellKnownSid(type, nullptr, known, &size) && ::EqualSid(sid, known);
}

bool isSystemOrAdministrators(PSID sid) {
    return isWellKnown(sid, WinLocalSystemSid) || isWellKnown(sid, WinBuiltinAdministratorsSid);
}

// The trust an open folder's owner and access list give. `isProtected`
// (when given) tells whether the access list inherits nothing.
FolderTrust trustOf(HANDLE folder, bool* isProtected = nullptr) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    LocalMemory descriptor;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr,
                          reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.out())) != ERROR_SUCCESS)
        return FolderTrust::Unreadable;
    if (isProtected) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        *isProtected = ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision) &&
                       (control & SE_DACL_PROTECTED);
    }
    if (!isSystemOrAdministrators(owner)) return FolderTrust::Open;
    if (!dacl) return FolderTrust::Open;  // no access list: everyone may do anything
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) return FolderTrust::Unreadable;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        switch (header->AceType) {
            case ACCESS_ALLOWED_ACE_TYPE:
            case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
                // Entries that only pass on to children count too: what they
                // give reaches everything made inside.
                const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
                PSID sid = const_cast<DWORD*>(&allowed->SidStart);
                if ((allowed->Mask & kChangeRights) && !isSystemOrAdministrators(sid)) return FolderTrust::Open;
                break;
            }
            case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
            case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
            case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
                // Whom these name is not read here; any change they allow
                // is taken as allowed to another account.
                const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
                if (allowed->Mask & kChangeRights) return FolderTrust::Open;
                break;
            }
            default:
                break;  // denials and audit entries give nothing
        }
    }
    return FolderTrust::AdminsOnly;
}

// Whether the volume holding `path` keeps the access lists given to its
// files. Wine keeps none: it makes one up from the Unix permissions, owned by
// the user's account, whatever was asked.
bool keepsAccessLists(const std::wstring& path) {
    if (runsUnderWine()) return false;
    std::vector<wchar_t> volume(path.size() + 2);
    if (!::GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) return true;
    DWORD flags = 0;
    if (!::GetVolumeInformationW(volume.data(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) return true;
    return (flags & FILE_PERSISTENT_ACLS) != 0;
}

}  // namespace

FolderTrust Win32FileSystem::folderTrust(const std::string& path) {
    std::wstring p = systemPath(path);
    if (p.empty()) return FolderTrust::Missing;
    FileHandle folder(::CreateFileW(p.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderTrust::Missing
                                                                               : FolderTrust::Unreadable;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(folder.get(), &info)) return FolderTrust::Unreadable;
    // Any reparse point: a store is never a placeholder either.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return FolderTrust::Link;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderTrust::NotAFolder;
    if (!keepsAccessLists(p)) return FolderTrust::NoAccessLists;
    return trustOf(folder.get());
}

// The folder is created with its protection in one native call that also
// hands back its handle, so the folder checked is the folder made. A file
// system that keeps no access lists (FAT, Wine) keeps the folder without one;
// an NTFS volume that did not take the protection given leaves a folder
// others may change: it is removed again and the call fails.
platform::Status Win32FileSystem::createProtectedDirectory(const std::string& path) {
    std::wstring native = nt::ntPath(path);
    while (native.size() > 4 && native.back() == L'\\' && native[native.size() - 2] != L':') native.pop_back();
    if (native.empty()) return failure(ERROR_PATH_NOT_FOUND);

    LocalMemory descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kProtectedDescriptor, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.out()),
            nullptr))
        return lastError();

    FileHandle folder;
    nt::Status created = nt::createFile(
        nullptr, native, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE | SYNCHRONIZE,
        FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, nt::kCreate,
        nt::kDirectoryFile | nt::kOpenReparsePoint | nt::kSynchronousIoNonAlert, descriptor.get(), folder);
    if (!folder) return nt::succeeded(created) ? failure(ERROR_GEN_FAILURE) : statusOfNt(created);

    bool isProtected = false;
    if (trustOf(folder.get(), &isProtected) == FolderTrust::AdminsOnly && isProtected) return {};
    // Where no access list is kept the folder is the best the disk can give;
    // folderTrust says so.
    if (!keepsAccessLists(systemPath(path))) return {};
    nt::setDeleteDisposition(folder.get(), true);
    return failure(platform::Fault::Denied, ERROR_ACCESS_DENIED);
}

}  // namespace vx::win32

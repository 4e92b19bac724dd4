#include "platform/win32/win32_support.h"

#include "platform/win32/win32_status.h"

#include <vector>

#include "platform/paths.h"
#include "platform/platform.h"

namespace vx::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

std::wstring widen(const std::string& utf8) {
    std::u16string u = platform::utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

std::string narrow(const wchar_t* text, size_t length) {
    return platform::utf16ToUtf8(std::u16string(text, text + length));
}

std::string narrow(const std::wstring& text) { return narrow(text.data(), text.size()); }

std::string narrowZ(const wchar_t* text) { return text ? narrow(text, wcslen(text)) : std::string(); }

std::string errorText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (n && buffer) text.assign(buffer, n);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
    if (text.empty()) return "System error " + std::to_string(code);
    return narrow(text);
}

platform::Fault faultOfError(DWORD error) {
    using platform::Fault;
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE: return Fault::Missing;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return Fault::Exists;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_DELETE_PENDING: return Fault::InUse;
        case ERROR_ACCESS_DENIED: return Fault::Denied;
        case ERROR_DIRECTORY: return Fault::NotAFolder;
        default: return Fault::Failed;
    }
}

platform::Status failure(platform::Fault fault, DWORD code) { return platform::Status(fault, code, errorText(code)); }

platform::Status failure(DWORD code) { return failure(faultOfError(code), code); }

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// True when the path names its entry without help from the current folder:
// "E:\...", "\\server\share\..." and the prefixed forms.
bool isFullyQualified(const std::string& p) {
    if (p.size() >= 3 && isLetter(p[0]) && p[1] == ':' && isSeparator(p[2])) return true;
    return p.size() >= 2 && isSeparator(p[0]) && isSeparator(p[1]);
}

std::string currentDirectory() {
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0) return {};
        if (n < buf.size()) return narrow(buf.data(), n);
        buf.resize(n + 1);
    }
}

}  // namespace

std::wstring systemPath(const std::string& path) {
    if (path.empty()) return {};
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
        isSeparator(path[3])) {
        // Only the prefixed drive and UNC forms are plain paths; volume GUID
        // paths, "\\.\" devices and other namespaces are passed as given.
        std::string rest = path.substr(4);
        bool drive = path[2] == '?' && rest.size() >= 2 && isLetter(rest[0]) && rest[1] == ':';
        bool unc = path[2] == '?' && rest.size() >= 4 && (rest[0] == 'U' || rest[0] == 'u') &&
                   (rest[1] == 'N' || rest[1] == 'n') && (rest[2] == 'C' || rest[2] == 'c') && isSeparator(rest[3]);
        if (!drive && !unc) return widen(path);
    }

    platform::PathParts parts;
    std::string cwd = isFullyQualified(path) ? std::string() : currentDirectory();
    if (!platform::splitPath(path, cwd, parts)) return widen(path);

    std::string full = platform::joinPath(parts);
    if (isSeparator(path.back()) && !parts.components.empty()) full += '\\';

    if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') return L"\\\\?\\UNC\\" + widen(full.substr(2));
    return L"\\\\?\\" + widen(full);
}

std::wstring systemDirectory() {
    wchar_t dir[MAX_PATH + 1] = {};
    UINT n = ::GetSystemDirectoryW(dir, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return {};
    std::wstring path(dir, n);
    if (path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring systemDirectoryFile(const wchar_t* fileName) {
    std::wstring dir = systemDirectory();
    return dir.empty() ? dir : dir + fileName;
}

bool runsUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

}  // namespace vx::win32

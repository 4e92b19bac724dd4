// What the quarantine drivers share: reading files and trees, the stores'
// places, choosing list lines and pressing buttons of the Quarantine tab, and
// checks on the store: its runs' folders and what they hold, and the
// protection of its folders as Windows reports it.
#pragma once

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace vx::e2e {

// The bytes of a file; empty when it cannot be read.
inline std::string readAll(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    ::CloseHandle(h);
    return bytes;
}

// Every file under `folder` (with its final "\"), by full path, with its bytes.
inline void filesUnder(const std::wstring& folder, std::map<std::wstring, std::string>& out) {
    WIN32_FIND_DATAW d;
    HANDLE h = ::FindFirstFileW((folder + L"*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = d.cFileName;
        if (name == L"." || name == L"..") continue;
        if (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            filesUnder(folder + name + L"\\", out);
        else
            out[folder + name] = readAll(folder + name);
    } while (::FindNextFileW(h, &d));
    ::FindClose(h);
}

inline int indexOf(const std::vector<std::wstring>& lines, const std::wstring& part) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(part) != std::wstring::npos) return static_cast<int>(i);
    return -1;
}

// Selects lines of a list box as a click would and tells its window.
inline void choose(HWND list, const std::vector<int>& indexes, bool multiple) {
    if (multiple) {
        ::SendMessageW(list, LB_SETSEL, FALSE, -1);
        for (int i : indexes) ::SendMessageW(list, LB_SETSEL, TRUE, i);
    } else {
        ::SendMessageW(list, LB_SETCURSEL, indexes.empty() ? -1 : indexes[0], 0);
    }
    const int id = ::GetDlgCtrlID(list);
    ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// Presses a button and answers what the run shows: its result box with OK,
// and any question after it (the restart question) with No.
inline Box press(DWORD pid, HWND main, std::string_view button, const char* what) {
    ::PostMessageW(control(main, button), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 180s);
    check(box.hwnd != nullptr, std::string(what) + " ends with a box", box.hwnd ? printable(box.text) : "");
    if (!box.hwnd) return box;
    closeBox(box.hwnd);
    while (HWND more = waitForTopBox(pid, 3s)) {
        std::printf("    then: \"%s\"\n", printable(boxText(more)).c_str());
        closeBox(more, IDNO);
    }
    check(settled(main, 60s), std::string(what) + ": the window answers again");
    return box;
}


// The folder of an environment variable with `rest` after it.
inline std::wstring underVariable(const wchar_t* name, const wchar_t* rest) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return std::wstring(buffer, n < MAX_PATH ? n : 0) + rest;
}

// The stores, each with its final "\". The program runs with administrator
// rights under Wine, so it keeps in the machine's store.
inline std::wstring machineStoreParent() { return underVariable(L"ProgramData", L"\\Varrex\\"); }
inline std::wstring machineStore() { return machineStoreParent() + L"Quarantine\\"; }
inline std::wstring userStore() { return underVariable(L"LOCALAPPDATA", L"\\varrex\\quarantine\\"); }

// Both report switches off on the options tab, so that no run asks where to
// save its report; back on the first tab.
inline void turnReportsOff(HWND main) {
    HWND tabs = control(main, "PageControl1");
    selectTab(tabs, 2);
    waitFor([&] { return ::IsWindowVisible(control(main, "CheckBox1")) != FALSE; }, 5s);
    for (const char* name : {"CheckBox1", "CheckBox2"})
        if (isChecked(control(main, name))) ::SendMessageW(control(main, name), BM_CLICK, 0, 0);
    selectTab(tabs, 0);
    waitFor([&] { return ::IsWindowVisible(control(main, "BitBtn1")) != FALSE; }, 5s);
}


// True under Wine, whose ntdll exports its version.
inline bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The subfolders of `folder` (with its final "\"), by name.
inline std::vector<std::wstring> subfolders(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW d;
    HANDLE h = ::FindFirstFileW((folder + L"*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = d.cFileName;
        if (name != L"." && name != L".." && (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(name);
    } while (::FindNextFileW(h, &d));
    ::FindClose(h);
    return names;
}

// The first bytes of a file, up to its first line end.
inline std::string firstLine(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    char buffer[256];
    DWORD n = 0;
    const BOOL ok = ::ReadFile(h, buffer, sizeof buffer, &n, nullptr);
    ::CloseHandle(h);
    if (!ok) return {};
    std::string line(buffer, n);
    return line.substr(0, line.find_first_of("\r\n"));
}

// Every run folder of `store` (with its final "\") holds exactly a manifest
// of the current version and one pack file; the number of run folders.
inline int checkRunFolders(const std::wstring& store, const std::string& what) {
    const std::vector<std::wstring> runs = subfolders(store);
    for (const std::wstring& run : runs) {
        const std::wstring folder = store + run + L"\\";
        std::set<std::wstring> files;
        WIN32_FIND_DATAW d;
        HANDLE h = ::FindFirstFileW((folder + L"*").c_str(), &d);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.insert(lower(d.cFileName));
            } while (::FindNextFileW(h, &d));
            ::FindClose(h);
        }
        std::string names;
        for (const std::wstring& f : files) names += (names.empty() ? "" : ", ") + narrow(f);
        check(files == std::set<std::wstring>{L"manifest.txt", L"pack.vxp"},
              what + ": run " + narrow(run) + " holds manifest.txt and pack.vxp only", names);
        const std::string version = firstLine(folder + L"manifest.txt");
        check(version == "VARREX-QUARANTINE 2", what + ": run " + narrow(run) + "'s manifest is of version 2",
              version);
    }
    return static_cast<int>(runs.size());
}

// Reads the security descriptor of a store folder back and prints it. Where
// the system keeps access lists, the folder must be owned by SYSTEM or
// Administrators and carry a protected access list that allows SYSTEM and
// Administrators and no one else. Wine keeps none on files (it makes one up
// from the Unix permissions), so there the descriptor is only shown.
inline void checkStoreProtection(const std::wstring& folder, const std::string& what) {
    std::wstring path = folder;
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    PSECURITY_DESCRIPTOR sd = nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    const DWORD read = ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                               OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                               nullptr, &dacl, nullptr, &sd);
    check(read == ERROR_SUCCESS, what + ": its security descriptor reads back", "error " + std::to_string(read));
    if (read != ERROR_SUCCESS) return;
    LPWSTR sddl = nullptr;
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            sd, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
        std::printf("    %s: %s\n", what.c_str(), narrow(sddl).c_str());
        ::LocalFree(sddl);
    } else {
        std::printf("    %s: the descriptor has no text form (error %lu)\n", what.c_str(), ::GetLastError());
    }
    if (underWine()) {
        std::printf("    %s: this Wine keeps no access lists on files, so the protection cannot be checked here\n",
                    what.c_str());
        ::LocalFree(sd);
        return;
    }

    BYTE system[SECURITY_MAX_SID_SIZE], admins[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof system, adminsSize = sizeof admins;
    ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize);
    ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize);

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(sd, &control, &revision);
    check((control & SE_DACL_PROTECTED) != 0, what + ": its access list inherits nothing");
    check(owner && (::EqualSid(owner, system) || ::EqualSid(owner, admins)),
          what + ": it is owned by SYSTEM or Administrators");

    bool onlyAllows = dacl != nullptr;
    bool others = false, hasSystem = false, hasAdmins = false;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) {
            onlyAllows = false;
            continue;
        }
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            onlyAllows = false;
            continue;
        }
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        if (::EqualSid(sid, system))
            hasSystem = true;
        else if (::EqualSid(sid, admins))
            hasAdmins = true;
        else
            others = true;
    }
    check(onlyAllows && hasSystem && hasAdmins && !others,
          what + ": its access list allows exactly SYSTEM and Administrators");
    ::LocalFree(sd);
}

}  // namespace vx::e2e

// Makes the shortcuts of this folder with the Windows shell itself
// (IShellLinkW + IPersistFile::Save), so the reader's tests see the bytes the
// shell writes rather than bytes made by the test's own builder.
//
//   make_shortcuts.exe OUTDIR
//
// The targets on E: are created first (empty files), so the shell resolves
// them and writes a full ID list and LinkInfo for them.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {

void touch(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

bool save(const std::wstring& file, const std::wstring& target, const std::wstring& arguments,
          const std::wstring& workingFolder, const std::wstring& description, const std::wstring& icon) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    link->SetPath(target.c_str());
    if (!arguments.empty()) link->SetArguments(arguments.c_str());
    if (!workingFolder.empty()) link->SetWorkingDirectory(workingFolder.c_str());
    if (!description.empty()) link->SetDescription(description.c_str());
    if (!icon.empty()) link->SetIconLocation(icon.c_str(), 0);
    IPersistFile* persist = nullptr;
    HRESULT hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
    if (SUCCEEDED(hr)) {
        hr = persist->Save(file.c_str(), TRUE);
        persist->Release();
    }
    link->Release();
    std::fwprintf(stderr, L"%ls: %ls\n", file.c_str(), SUCCEEDED(hr) ? L"saved" : L"FAILED");
    return SUCCEEDED(hr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: make_shortcuts OUTDIR\n");
        return 2;
    }
    const std::wstring out = std::wstring(argv[1]) + L"\\";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    touch(L"E:\\_\\DeviceManager.exe");
    touch(L"E:\\Fotos\\Viagem.exe");
    touch(L"E:\\~$WQQAS.FAT32");

    std::wstring longArguments = L"/c start _ & _\\DeviceManager.exe";
    while (longArguments.size() < 300) longArguments += L" & echo keep-going";
    longArguments += L" & exit";

    bool ok = true;
    ok &= save(out + L"cmd_start.lnk", L"C:\\windows\\system32\\cmd.exe",
               L"/c start _ & _\\DeviceManager.exe & exit", L"E:\\", L"", L"C:\\windows\\system32\\shell32.dll");
    ok &= save(out + L"rundll32_ldr.lnk", L"C:\\windows\\system32\\rundll32.exe",
               L"~$WQQAS.FAT32,_ldr@16 desktop.ini RET TLB", L"", L"", L"");
    ok &= save(out + L"plain_e.lnk", L"E:\\Fotos\\Viagem.exe", L"", L"E:\\Fotos", L"Fotos da viagem", L"");
    ok &= save(out + L"long_arguments.lnk", L"C:\\windows\\system32\\cmd.exe", longArguments, L"", L"", L"");
    ok &= save(out + L"non_ascii_\u00e7\u00e3o.lnk", L"E:\\Fotos\\Viagem.exe", L"\u00fcber \u20ac \u4e2d\u6587",
               L"", L"Fot\u00f3s \u00e7\u00e3o \U0001F600", L"");

    CoUninitialize();
    return ok ? 0 : 1;
}

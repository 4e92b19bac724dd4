// A do-nothing program that stands in for a worm process in the tests run
// under Wine. Copied under a worm's name ("wscript.exe", ...), it only waits
// until it is terminated. With "--exit-after=N" it ends by itself after N
// seconds, so a copy a test forgets to end never lives on.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    DWORD wait = INFINITE;
    static const wchar_t kOption[] = L"--exit-after=";
    if (const wchar_t* opt = commandLine ? std::wcsstr(commandLine, kOption) : nullptr) {
        unsigned long seconds = std::wcstoul(opt + (sizeof(kOption) / sizeof(wchar_t) - 1), nullptr, 10);
        if (seconds > 24ul * 3600) seconds = 24ul * 3600;
        wait = static_cast<DWORD>(seconds * 1000);
    }
    // An event nobody sets: the wait ends only by its time limit, or never.
    HANDLE never = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (never) {
        ::WaitForSingleObject(never, wait);
        ::CloseHandle(never);
    } else {
        ::Sleep(wait);
    }
    return 0;
}

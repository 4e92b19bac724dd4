// Message boxes, the save-file dialog and the input/output error box.
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"  // <windows.h> first

#include <cderr.h>
#include <commdlg.h>

namespace vx::win32 {

using platform::Answer;

namespace {

UINT iconStyle(platform::Icon icon) {
    switch (icon) {
        case platform::Icon::Information:
            return MB_ICONINFORMATION;
        case platform::Icon::Warning:
            return MB_ICONWARNING;
        case platform::Icon::Question:
            return MB_ICONQUESTION;
        case platform::Icon::Error:
            return MB_ICONERROR;
        case platform::Icon::None:
            break;
    }
    return 0;
}

// Largest file name the save dialog may return.
constexpr size_t kFileNameBuffer = 32768;

}  // namespace

Answer Win32Dialogs::messageBox(const std::string& text, const std::string& caption, platform::Icon icon,
                                platform::Buttons buttons) {
    prepare();
    const bool yesNo = buttons == platform::Buttons::YesNo;
    int r = ::MessageBoxW(static_cast<HWND>(owner_), widen(text).c_str(), widen(caption).c_str(),
                          iconStyle(icon) | (yesNo ? MB_YESNO : MB_OK));
    switch (r) {
        case IDOK:
            return Answer::Ok;
        case IDYES:
            return Answer::Yes;
        case IDNO:
            return Answer::No;
        case IDCANCEL:
            return Answer::Cancel;
        default:
            // The box could not be shown: a question counts as declined, so
            // nothing is done that the user did not agree to.
            return yesNo ? Answer::No : Answer::Ok;
    }
}

std::optional<std::string> Win32Dialogs::saveFile(const platform::SaveDialogOptions& options) {
    prepare();
    std::wstring title = widen(options.title);
    std::wstring extension = widen(options.defaultExtension);
    while (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);
    // One filter entry: its text shown and its pattern, both the same, then
    // the double zero that ends the list.
    std::wstring filter;
    if (!options.filter.empty()) {
        std::wstring f = widen(options.filter);
        filter = f + L'\0' + f + L'\0' + L'\0';
    }

    std::vector<wchar_t> file(kFileNameBuffer, L'\0');
    auto offerName = [&](const std::string& name) {
        std::fill(file.begin(), file.end(), L'\0');
        std::wstring w = widen(name);
        if (w.size() < file.size()) std::copy(w.begin(), w.end(), file.begin());
    };
    offerName(options.fileName);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = static_cast<HWND>(owner_);
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    // The program asks the overwrite question itself.
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;

    if (::GetSaveFileNameW(&ofn)) return narrowZ(file.data());
    // An offered name the dialog refuses (a folder that is gone, a character
    // it does not allow) stops it before it opens; open it again without one
    // so that the user still gets to choose.
    if (::CommDlgExtendedError() == FNERR_INVALIDFILENAME && !options.fileName.empty()) {
        offerName("");
        if (::GetSaveFileNameW(&ofn)) return narrowZ(file.data());
    }
    return std::nullopt;
}

void Win32Dialogs::ioError(const std::string& text) {
    prepare();
    ::MessageBoxW(static_cast<HWND>(owner_), widen(text).c_str(), L"Varrex", MB_OK | MB_ICONERROR);
}

}  // namespace vx::win32

// Text at the view's boundary: the model holds UTF-8, the controls UTF-16.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vx::view {

inline std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// Appends the UTF-16 form of `utf8` to `out` without a temporary string.
inline void appendWide(std::wstring& out, std::string_view utf8) {
    if (utf8.empty()) return;
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data() + at, n);
}

// A caption as a control shows it: the model splits a button caption over two
// lines with a lone carriage return, which an edit or button draws only when
// a line feed follows it.
inline std::wstring controlText(std::string_view utf8) {
    std::wstring w = widen(utf8);
    std::wstring out;
    out.reserve(w.size() + 2);
    for (size_t i = 0; i < w.size(); ++i) {
        out += w[i];
        if (w[i] == L'\r' && (i + 1 == w.size() || w[i + 1] != L'\n')) out += L'\n';
    }
    return out;
}

}  // namespace vx::view

// The program's UTF-8 and Windows' own UTF-16, for the Windows sources of
// platform/: every name goes to the system and comes from it in its wide
// form, so that no code page ever stands between them. What is no text
// (a lone surrogate in a name, a byte of no UTF-8) becomes U+FFFD, as both
// conversions do without MB_ERR_INVALID_CHARS or WC_ERR_INVALID_CHARS
// (Microsoft's pages on MultiByteToWideChar and WideCharToMultiByte):
// nothing is ever thrown or cut.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring ra_wide_of(const std::string &text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], n);
    return wide;
}

inline std::string ra_utf8_of(const wchar_t *wide, size_t length) {
    if (length == 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, (int)length, nullptr, 0, nullptr, nullptr);
    std::string text((size_t)n, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, (int)length, &text[0], n, nullptr, nullptr);
    return text;
}

inline std::string ra_utf8_of(const std::wstring &wide) {
    return ra_utf8_of(wide.data(), wide.size());
}

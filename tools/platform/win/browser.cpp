// The default browser on Windows: the shell opens the page as a double
// click in Explorer would.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/browser.h"
#include "platform/file_system.h"

namespace {

// ShellExecute's answers below 33: some are its own (SE_ERR_...), the
// others the system's error codes.
std::string ra_shell_open_reason(INT_PTR code) {
    switch (code) {
    case 0:
    case SE_ERR_OOM:
        return "the system is out of memory";
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE:
        return "no program is set to open web pages (.html files)";
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        return "the browser did not answer";
    case SE_ERR_SHARE:
        return "it is in use by another program";
    case SE_ERR_DLLNOTFOUND:
        return "a part of the browser is missing";
    }
    return ra_error_reason((unsigned long)code);
}

}  // namespace

bool ra_open_in_browser(const std::filesystem::path &file, std::string *error) {
    // The shell may hand the file to an extension that needs COM; without
    // DDE, as Microsoft advises for ShellExecute.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HINSTANCE result =
        ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com)) CoUninitialize();
    // Values above 32 mean success; the others are error codes.
    INT_PTR code = (INT_PTR)result;
    if (code > 32) return true;
    *error = "Windows could not open the page in a browser: " + ra_shell_open_reason(code) +
             "; open it yourself";
    return false;
}

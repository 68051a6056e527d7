// The default browser on Windows: the shell opens the page as a double
// click in Explorer would.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "browser.h"

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
    *error = "Windows could not open the page in a browser (error " + std::to_string(code) +
             "); open it yourself";
    return false;
}

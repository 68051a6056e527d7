// Removing files on Windows: into the Recycle Bin through the shell's
// undoable delete, as Explorer's Delete key does, so that a player can put
// a replay back.
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <system_error>

#include "platform/file_system.h"
#include "platform/remove.h"

namespace fs = std::filesystem;

const char ra_removed_how[] = "moved to the Recycle Bin";
const char ra_removed_where[] =
    "; prune moves the replays it removes to the Recycle Bin, from where you can put it back";

namespace {

// Undoable, and without any window: no question, no progress, no error box
// (failures are reported by the program). Explorer deletes a web page's
// "connected" folder (page.htm, page_files) along with it; never here.
const FILEOP_FLAGS ra_recycle_flags =
    FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NO_CONNECTED_ELEMENTS;

// The shell's delete of the files: 0 when it went through, else its error
// code. The shell reads '*' and '?' as patterns: such paths are refused by
// the caller, so that nothing but the named files can be taken.
int ra_shell_delete(const std::vector<const fs::path *> &files) {
    // The paths one after another, each ended by a NUL, and one NUL more
    // after the last.
    std::wstring from;
    for (const fs::path *file : files) {
        // The shell wants full paths: a relative one would not be undoable.
        std::error_code failed;
        fs::path full = fs::absolute(*file, failed);
        from += failed ? file->native() : full.native();
        from += L'\0';
    }
    from += L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = ra_recycle_flags;
    int code = SHFileOperationW(&op);
    // Aborted without a code: nothing asks us, so this is the shell's own doing.
    if (code == 0 && op.fAnyOperationsAborted) code = ERROR_CANCELLED;
    return code;
}

// The shell answers with the system's error codes, and with codes of its
// own from the days of DOS (0x71 to 0x88, 0xB7 and a few larger ones),
// which mean something else.
std::string ra_shell_reason(int code) {
    bool own = (code >= 0x71 && code <= 0x88) || code == 0xB7 || code >= 0x400;
    if (own) return "the shell refused it (error " + std::to_string(code) + ")";
    return ra_error_reason((unsigned long)code);
}

bool ra_exists(const fs::path &file) {
    std::error_code failed;
    return fs::exists(fs::symlink_status(file, failed));
}

}  // namespace

std::vector<std::string> ra_remove_files(const std::vector<fs::path> &files) {
    std::vector<std::string> results(files.size());
    std::vector<size_t> pending;
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].native().find_first_of(L"*?") != std::wstring::npos) {
            results[i] = "its path holds * or ?, which the shell would read as a pattern";
        } else {
            pending.push_back(i);
        }
    }
    // One call for all is much faster than one call each. The shell stops at
    // the first file it cannot take (one that another program holds), so the
    // first of those still there is tried on its own, which gives it its own
    // code, and the rest go on in one call again: a failure costs two calls,
    // not one call for every file after it.
    while (!pending.empty()) {
        std::vector<const fs::path *> batch;
        for (size_t i : pending) batch.push_back(&files[i]);
        ra_shell_delete(batch);
        std::vector<size_t> left;
        for (size_t i : pending) {
            if (ra_exists(files[i])) left.push_back(i);
        }
        if (left.empty()) break;
        size_t first = left.front();
        int code = ra_shell_delete({&files[first]});
        if (ra_exists(files[first])) {
            results[first] = code == 0 ? "the shell left it in place" : ra_shell_reason(code);
        }
        pending.assign(left.begin() + 1, left.end());
    }
    return results;
}

std::string ra_remove_folder(const fs::path &folder) {
    if (folder.native().find_first_of(L"*?") != std::wstring::npos) {
        return "its path holds * or ?, which the shell would read as a pattern";
    }
    int code = ra_shell_delete({&folder});
    if (!ra_exists(folder)) return "";
    return code == 0 ? "the shell left it in place" : ra_shell_reason(code);
}

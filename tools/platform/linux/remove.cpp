// Removing files where there is no Recycle Bin: they are deleted.
#include <system_error>

#include "platform/file_system.h"
#include "platform/remove.h"

const char ra_removed_how[] = "deleted";
const char ra_removed_where[] = "";

std::vector<std::string> ra_remove_files(const std::vector<std::filesystem::path> &files) {
    std::vector<std::string> results;
    for (const std::filesystem::path &file : files) {
        std::error_code failed;
        std::filesystem::remove(file, failed);
        results.push_back(failed ? ra_reason(failed) : std::string());
    }
    return results;
}

std::string ra_remove_folder(const std::filesystem::path &folder) {
    // remove_all takes a link inside the folder away as a link, never what
    // it points to.
    std::error_code failed;
    std::filesystem::remove_all(folder, failed);
    return failed ? ra_reason(failed) : std::string();
}

#include "serve/upload_file.h"

#include <system_error>

#include "friends/plain_name.h"
#include "library/text/html_text.h"
#include "platform/file_system.h"
#include "platform/random.h"

namespace fs = std::filesystem;

namespace {

// Random bytes in the file's name, so that no other program guesses it.
const size_t ra_upload_name_bytes = 16;

}  // namespace

ra_upload_file::~ra_upload_file() {
    if (out_.is_open()) out_.close();
    std::error_code ignored;
    if (!path_.empty()) fs::remove(path_, ignored);
}

bool ra_upload_file::make(const std::string &extension, std::string *why) {
    std::error_code failed;
    const fs::path folder = fs::temp_directory_path(failed);
    const std::string random = ra_random_hex(ra_upload_name_bytes);
    if (failed || random.empty()) {
        *why = failed ? ra_reason(failed) : "the system gave no random numbers";
        return false;
    }
    const fs::path path = folder / ("replay-autosave-" + random + extension);
    // Made new, never through anything already of that name, and ours
    // alone from the start: another user never finds it readable.
    if (!ra_create_new_file_with(
            path, [](const ra_put_bytes &) { return true; }, true, why)) {
        return false;
    }
    path_ = path;
    out_.open(path_, std::ios::binary | std::ios::trunc);
    if (!out_) {
        *why = "it cannot be opened for writing";
        return false;
    }
    return true;
}

bool ra_upload_file::write(const char *data, size_t size, std::string *why) {
    if (!out_.is_open() || !out_.write(data, (std::streamsize)size)) {
        *why = "the disk took no more of it (is it full?)";
        return false;
    }
    return true;
}

bool ra_upload_file::finish(std::string *why) {
    bool ok = out_.is_open();
    if (ok) {
        out_.close();
        ok = !out_.fail();
    }
    if (!ok) *why = "the disk took no more of it (is it full?)";
    return ok;
}

std::string ra_attachment_header(const std::string &name, const std::string &fallback) {
    const std::string taken = ra_plain_name_problem(name).empty() ? name : fallback;
    std::string ascii;
    for (char c : taken) {
        const unsigned char u = (unsigned char)c;
        ascii += u < 0x20 || u >= 0x7f || c == '"' || c == '\\' || c == '%' ? '_' : c;
    }
    return "attachment; filename=\"" + ascii + "\"; filename*=UTF-8''" +
           ra_url_text(ra_utf8_text(taken));
}

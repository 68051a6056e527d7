// A file the player picked in the page, as the app receives it: written to
// a private file of its own in the system's temporary folder while its
// bytes arrive, read from there by the job it is for, and deleted on every
// path when it goes out of scope. The app never takes a path to read.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

class ra_upload_file {
public:
    ra_upload_file() = default;
    ~ra_upload_file();
    ra_upload_file(const ra_upload_file &) = delete;
    ra_upload_file &operator=(const ra_upload_file &) = delete;

    // Makes the file, new and readable by this user alone, with the given
    // extension. False with *why.
    bool make(const std::string &extension, std::string *why);
    // Adds bytes at its end. False with *why.
    bool write(const char *data, size_t size, std::string *why);
    // Writes what is buffered. False with *why.
    bool finish(std::string *why);
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
    std::ofstream out_;
};

// The Content-Disposition of a download named `name`: a name Windows takes
// (else `fallback`), in plain ASCII for every browser and in UTF-8 beside it.
std::string ra_attachment_header(const std::string &name, const std::string &fallback);

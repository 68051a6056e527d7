// Small file helpers the companion's jobs share.
#pragma once

#include <filesystem>
#include <string>

// The whole of a regular file; false when it is no file or cannot be read,
// with the reason in *why when why is given.
bool ra_read_file(const std::filesystem::path &path, std::string *bytes,
                  std::string *why = nullptr);

// True when both are regular files with the same bytes.
bool ra_same_bytes(const std::filesystem::path &a, const std::filesystem::path &b);

// The lines of a record for its reader (record_reader.h): of a text given whole,
// or of a file read a piece at a time, so that a long career's record need
// not be in memory whole to be read. Lines end as ra_csv_next_line ends
// them ("\r\n", a lone "\r" or "\n"), and are numbered as it numbers them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <fstream>
#include <string>

class ra_record_lines {
public:
    // A text given whole (which must outlive this).
    explicit ra_record_lines(const std::string &text);
    // A file opened for reading (binary), read from its start.
    explicit ra_record_lines(std::ifstream *in);

    // Whether the text starts with the mark of UTF-8 (record_reader.h): the
    // lines start after it.
    bool marked() const { return marked_; }
    // The next line into *begin and *end, its end not included: valid until
    // the next call. False at the end of the text (or where the file could
    // no longer be read: failed()).
    bool next(const char **begin, const char **end);
    // The number of the line last taken, from 1.
    int line() const { return line_; }
    bool failed() const { return failed_; }

    // A place among the lines, to come back to.
    struct place {
        uint64_t offset;
        int line;
    };
    place here() const { return {base_ + pos_, line_}; }
    void go(const place &p);
    // Whether the byte c is anywhere from here on; the lines stay here.
    bool rest_has(char c);

private:
    // More of the file into the buffer; false at its end.
    bool more();

    const std::string *whole_ = nullptr;
    std::ifstream *in_ = nullptr;
    std::string buffer_;  // a piece of the file: what is read and not yet taken
    uint64_t base_ = 0;   // where the text's byte at view_[0] is
    size_t pos_ = 0;      // where the next line starts in view_
    int line_ = 0;
    bool marked_ = false, ended_ = false, failed_ = false;
    const std::string &view() const { return whole_ ? *whole_ : buffer_; }
};

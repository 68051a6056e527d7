// The lines of a record, whole or a piece at a time.
#include "library/record/record_lines.h"

#include <string.h>

#include "library/record/record_reader.h"

namespace {

// A piece of the file read at once.
const size_t ra_piece_bytes = 1 << 20;

}  // namespace

ra_record_lines::ra_record_lines(const std::string &text) : whole_(&text) {
    const size_t mark = sizeof ra_utf8_mark - 1;
    marked_ = text.compare(0, mark, ra_utf8_mark) == 0;
    pos_ = marked_ ? mark : 0;
}

ra_record_lines::ra_record_lines(std::ifstream *in) : in_(in) {
    const size_t mark = sizeof ra_utf8_mark - 1;
    while (buffer_.size() < mark && more()) {
    }
    marked_ = buffer_.compare(0, mark, ra_utf8_mark) == 0;
    pos_ = marked_ ? mark : 0;
}

bool ra_record_lines::more() {
    if (in_ == nullptr || ended_) return false;
    // What was taken goes: the buffer holds the line being read and a piece.
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        base_ += pos_;
        pos_ = 0;
    }
    const size_t had = buffer_.size();
    buffer_.resize(had + ra_piece_bytes);
    in_->read(&buffer_[had], (std::streamsize)ra_piece_bytes);
    const size_t got = (size_t)in_->gcount();
    buffer_.resize(had + got);
    if (got < ra_piece_bytes) {
        ended_ = true;
        failed_ = in_->bad();
    }
    return got > 0;
}

bool ra_record_lines::next(const char **begin, const char **end) {
    size_t scanned = 0;  // bytes from pos_ known to hold no line end
    for (;;) {
        const std::string &text = view();
        if (pos_ >= text.size()) {
            if (more()) continue;
            return false;
        }
        size_t stop = text.find_first_of("\r\n", pos_ + scanned);
        if (stop == std::string::npos) {
            scanned = text.size() - pos_;
            if (more()) continue;
            stop = text.size();  // the last line, without an end
        } else if (text[stop] == '\r' && stop + 1 == text.size()) {
            // "\r\n" is one end: whether a "\n" follows is in the next piece.
            scanned = stop - pos_;
            if (more()) continue;
            stop = pos_ + scanned;  // more() may have moved the buffer
        }
        const std::string &now = view();
        *begin = now.data() + pos_;
        *end = now.data() + stop;
        if (stop < now.size() && now[stop] == '\r') ++stop;
        if (stop < now.size() && now[stop] == '\n') ++stop;
        pos_ = stop;
        ++line_;
        return true;
    }
}

void ra_record_lines::go(const place &p) {
    line_ = p.line;
    if (whole_ != nullptr) {
        pos_ = (size_t)p.offset;
        return;
    }
    in_->clear();
    in_->seekg((std::streamoff)p.offset);
    buffer_.clear();
    base_ = p.offset;
    pos_ = 0;
    ended_ = false;
    failed_ = failed_ || !*in_;
    if (failed_) ended_ = true;
}

bool ra_record_lines::rest_has(char c) {
    const std::string &text = view();
    if (pos_ < text.size() && memchr(text.data() + pos_, c, text.size() - pos_) != nullptr)
        return true;
    if (whole_ != nullptr || ended_) return false;
    const place back = here();
    bool found = false;
    std::string piece(ra_piece_bytes, '\0');
    while (!found && in_->read(&piece[0], (std::streamsize)piece.size()).gcount() > 0) {
        found = memchr(piece.data(), c, (size_t)in_->gcount()) != nullptr;
        if (in_->bad()) failed_ = true;
    }
    go(back);
    return found;
}

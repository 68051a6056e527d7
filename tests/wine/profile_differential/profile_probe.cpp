// profile_probe [SEED...]: asks the profile services a fixed batch of
// questions about INI files it writes into the current folder, and prints
// every answer on a line of its own, escaped so that any byte shows.
//
// One source, two builds: on Windows (or Wine) the answers come from the
// system's GetPrivateProfileStringA, GetPrivateProfileIntA and
// GetPrivateProfileSectionA; on Linux from the stand-ins of sim/win32. The
// differential test compares the two outputs line by line.
//
// Each SEED is a file of the profile fuzzer's corpus: buffer size byte,
// flags byte (1 null section, 2 null key, 4 null default, 8 missing file),
// integer default byte, section, key and default each up to a NUL, and the
// INI text.
//
// A line is "CASE QUERY: ANSWER"; the answers:
//   str  ret=N "bytes up to and with the terminator"
//   int  the unsigned result
//   sec  ret=N err=E "bytes up to and with both terminators"
//   list ret=N "bytes up to and with both terminators" (names of sections or keys)
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// A buffer size beyond any value here (the longest line is 70000 bytes).
const DWORD probe_big = 80000;
// What unwritten buffer bytes hold, so that stray writes show.
const unsigned char probe_fill = 0xCC;
// The integer default: a value no case's text holds.
const int probe_int_default = 77;

std::string probe_escape(const char *data, size_t n) {
    std::string out = "\"";
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = (unsigned char)data[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

bool probe_write(const std::string &path, const std::string &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool probe_read(const char *path, std::string *bytes) {
    FILE *f = fopen(path, "rb");
    if (f == nullptr) return false;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->append(chunk, n);
    fclose(f);
    return true;
}

// The bytes the service wrote: up to and with `terminators` NULs after ret
// bytes, within the buffer.
std::string probe_written(const std::vector<char> &buf, DWORD ret, DWORD size, DWORD terminators) {
    size_t n = (size_t)ret + terminators;
    if (n > size) n = size;
    return probe_escape(buf.data(), n);
}

void probe_say(const std::string &name, const std::string &query, const std::string &answer) {
    printf("%s %s: %s\n", name.c_str(), query.c_str(), answer.c_str());
}

// A null section or key is spelt "(null)" in the query's label.
std::string probe_label(const char *s) { return s ? probe_escape(s, strlen(s)) : "(null)"; }

void probe_string(const std::string &name, const char *section, const char *key,
                  const char *fallback, DWORD size, const char *file) {
    std::vector<char> buf(size + 2, (char)probe_fill);
    DWORD ret = GetPrivateProfileStringA(section, key, fallback, buf.data(), size, file);
    bool listing = section == nullptr || key == nullptr;
    std::string query = std::string(listing ? "list " : "str ") + probe_label(section) + " " +
                        probe_label(key) + " size=" + std::to_string(size);
    probe_say(name, query,
              "ret=" + std::to_string(ret) + " " + probe_written(buf, ret, size, listing ? 2 : 1));
}

void probe_int(const std::string &name, const char *section, const char *key, int fallback,
               const char *file) {
    UINT got = GetPrivateProfileIntA(section, key, fallback, file);
    probe_say(name, "int " + probe_label(section) + " " + probe_label(key), std::to_string(got));
}

void probe_section(const std::string &name, const char *section, DWORD size, const char *file) {
    std::vector<char> buf(size + 2, (char)probe_fill);
    SetLastError(0xDEADBEEFu);
    DWORD ret = GetPrivateProfileSectionA(section, buf.data(), size, file);
    DWORD error = GetLastError();
    probe_say(name, "sec " + probe_label(section) + " size=" + std::to_string(size),
              "ret=" + std::to_string(ret) + " err=" + std::to_string(error) + " " +
                  probe_written(buf, ret, size, 2));
}

// A case: one INI file and the section and keys asked about. Every key is
// asked for as a string (buffer `size`) and as an integer; the section as a
// whole, its key names and the file's section names are listed too.
struct probe_case {
    std::string name;
    std::string bytes;
    std::string section;
    std::vector<std::string> keys;
    DWORD size;
};

void probe_run(const probe_case &c) {
    std::string file = ".\\" + c.name + ".ini";
    if (!probe_write(c.name + ".ini", c.bytes)) {
        probe_say(c.name, "write", "failed");
        return;
    }
    const char *s = c.section.c_str();
    const char *f = file.c_str();
    for (const std::string &k : c.keys) {
        probe_string(c.name, s, k.c_str(), "dflt", c.size, f);
        probe_int(c.name, s, k.c_str(), probe_int_default, f);
    }
    probe_section(c.name, s, probe_big, f);
    probe_string(c.name, s, nullptr, "dflt", probe_big, f);
    probe_string(c.name, nullptr, nullptr, "dflt", probe_big, f);
}

std::string probe_utf16le(const std::u16string &text, bool mark) {
    std::string out = mark ? "\xFF\xFE" : "";
    for (char16_t u : text) out += {(char)(u & 0xFF), (char)(u >> 8)};
    return out;
}

std::string probe_utf16be(const std::u16string &text, bool mark) {
    std::string out = mark ? "\xFE\xFF" : "";
    for (char16_t u : text) out += {(char)(u >> 8), (char)(u & 0xFF)};
    return out;
}

std::string probe_bytes(const char *text, size_t n) { return std::string(text, n); }
#define PROBE_BYTES(literal) probe_bytes(literal, sizeof literal - 1)

std::vector<probe_case> probe_cases() {
    const std::vector<std::string> k = {"k"};
    std::vector<probe_case> cases = {
        // Encodings.
        {"utf8_bom_line1", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", k, 256},
        {"utf8_bom_line2", "\xEF\xBB\xBF\r\n[S]\r\nk=v\r\n", "S", k, 256},
        {"utf8_bom_key_line1", "\xEF\xBB\xBFk=v\r\n[S]\r\nk=w\r\n", "S", k, 256},
        {"utf8_plain", "[S]\r\nk=caf\xC3\xA9\r\n", "S", k, 256},
        {"utf8_bom_accents", "\xEF\xBB\xBF; c\r\n[S]\r\nk=caf\xC3\xA9\r\n", "S", k, 256},
        {"utf16le_bom", probe_utf16le(u"[S]\r\nk=v\u00E9\r\nn=12\r\n", true), "S", {"k", "n"}, 256},
        {"utf16le_lossy", probe_utf16le(u"[S]\r\nk=\u0141\u2212\u20AC\r\n", true), "S", k, 256},
        {"utf16le_astral", probe_utf16le(u"[S]\r\nk=a\U0001F600b\r\n", true), "S", k, 256},
        {"utf16be_bom", probe_utf16be(u"[S]\r\nk=v\r\n", true), "S", k, 256},
        {"utf16le_unmarked", probe_utf16le(u"[S]\r\nk=v\r\n", false), "S", k, 256},
        {"utf16be_unmarked", probe_utf16be(u"[S]\r\nk=v\r\n", false), "S", k, 256},
        // Line ends.
        {"cr_only", "[S]\rk=v\rn=3\r", "S", {"k", "n"}, 256},
        {"lf_only", "[S]\nk=v\nn=3\n", "S", {"k", "n"}, 256},
        {"no_final_end", "[S]\r\nk=v", "S", k, 256},
        {"mixed_ends", "[S]\r\nk=v\n\rn=4\r", "S", {"k", "n"}, 256},
        // Repeats, brackets, quotes.
        {"dup_section", "[S]\r\na=1\r\n[T]\r\nt=1\r\n[S]\r\nk=2\r\na=3\r\n", "S", {"a", "k"}, 256},
        {"dup_key", "[S]\r\nk=first\r\nK=second\r\n", "S", k, 256},
        {"spaced_brackets", "[ S ]\r\nk=v\r\n", "S", k, 256},
        {"spaced_name_inside", "[S T]\r\nk=v\r\n", "S T", k, 256},
        {"quoted_double", "[S]\r\nk=\"v w\"\r\n", "S", k, 256},
        {"quoted_single", "[S]\r\nk='v w'\r\n", "S", k, 256},
        {"quoted_unmatched", "[S]\r\nk=\"v\r\n", "S", k, 256},
        {"quoted_inner", "[S]\r\nk=\"a\" \"b\"\r\n", "S", k, 256},
        {"quoted_spaced", "[S]\r\nk = \" v \" \r\n", "S", k, 256},
        {"quoted_fills_buffer", "[S]\r\nk=\"abcdefg\"\r\n", "S", k, 8},
        {"quoted_fills_buffer_plus1", "[S]\r\nk=\"abcdefg\"\r\n", "S", k, 9},
        {"quoted_fills_buffer_plus2", "[S]\r\nk=\"abcdefg\"\r\n", "S", k, 10},
        {"plain_fills_buffer", "[S]\r\nk=abcdefg\r\n", "S", k, 8},
        {"blanks_around", "[S]\r\n  k  =  v w  \r\n", "S", k, 256},
        {"tab_blanks", "[S]\r\n\tk\t=\tv\t\r\n", "S", k, 256},
        {"comments", "[S]\r\n;k=c\r\n#k=h\r\nk=v ; not a comment\r\n", "S", k, 256},
        {"empty_value", "[S]\r\nk=\r\n", "S", k, 256},
        {"empty_section_name", "[]\r\nk=e\r\n[S]\r\nk=v\r\n", "S", k, 256},
        {"key_above_sections", "k=top\r\n[S]\r\n", "S", k, 256},
        // Lines that are not what they seem.
        {"no_equals_before_key", "[S]\r\nk\r\nk=v\r\n", "S", k, 256},
        {"no_equals_prefix", "[S]\r\nk v\r\nk=w\r\n", "S", {"k", "k v"}, 256},
        {"header_unclosed", "[S\r\nk=v\r\n", "S", k, 256},
        {"header_double_close", "[S]]\r\nk=v\r\n", "S", {"k"}, 256},
        {"header_comment", "[S] ; c\r\nk=v\r\n", "S", k, 256},
        {"header_trailing_text", "[S]x\r\nk=v\r\n", "S", k, 256},
        {"header_comment_brackets", "[S] ; [x]\r\nk=v\r\n", "S", k, 256},
        {"nul_in_key", PROBE_BYTES("[S]\r\nk\0x=1\r\nk=2\r\n"), "S", k, 256},
        {"nul_in_section", PROBE_BYTES("[S\0x]\r\nk=1\r\n[S]\r\nk=2\r\n"), "S", k, 256},
        {"nul_in_value", PROBE_BYTES("[S]\r\nk=a\0b\r\n"), "S", k, 256},
        {"trailing_sub", "[S]\r\nk=v\x1A\r\nn=5\x1A\r\n", "S", {"k", "n"}, 256},
        {"trailing_vt", "[S]\r\nk=v\x0B\r\n", "S", k, 256},
        {"trailing_ff", "[S]\r\nk=v\x0C\r\n", "S", k, 256},
        {"leading_controls",
         "[S]\r\nk=\x0Bv\r\nn=\x0C"
         "5\r\n",
         "S",
         {"k", "n"},
         256},
        {"file_ends_in_sub", "[S]\r\nk=v\r\n\x1A", "S", k, 256},
        // Numbers.
        {"numbers",
         "[S]\r\nplus=+5\r\nminus=-5\r\nhex=0x1F\r\nHEXX=0X1F\r\nneghex=-0x10\r\n"
         "wrap=4294967297\r\nbig=99999999999\r\ntail=12abc\r\nspace=- 3\r\n"
         "bin=0b101\r\noct=0o17\r\nlead0=007\r\nvt=\x0B"
         "7\r\ntab=\t7\r\nword=abc\r\n"
         "hexonly=0x\r\nhexbad=0xG\r\ndouble=--4\r\n",
         "S",
         {"plus", "minus", "hex", "HEXX", "neghex", "wrap", "big", "tail", "space", "bin", "oct",
          "lead0", "vt", "tab", "word", "hexonly", "hexbad", "double"},
         256},
        {"number_quoted_blank", "[S]\r\nn=\" 3\"\r\n", "S", {"n"}, 256},
        {"number_after_control",
         "[S]\r\nn=\x01"
         "7\r\n",
         "S",
         {"n"},
         256},
    };
    // Numbers of 29 and 30 characters: leading zeros, then 7.
    for (size_t n : {29u, 30u, 40u}) {
        std::string digits(n - 1, '0');
        cases.push_back({"number_of_" + std::to_string(n) + "_characters",
                         "[S]\r\nn=" + digits + "7\r\n",
                         "S",
                         {"n"},
                         256});
    }
    // Long lines: values of 300, 1000 and 70000 characters, and a key of 300.
    for (size_t n : {300u, 1000u, 70000u}) {
        std::string v(n, 'x');
        v[n - 1] = 'y';
        cases.push_back({"long_value_" + std::to_string(n),
                         "[S]\r\nk=" + v + "\r\nn=1\r\n",
                         "S",
                         {"k", "n"},
                         probe_big});
        cases.push_back(
            {"long_value_cut_" + std::to_string(n), "[S]\r\nk=" + v + "\r\n", "S", k, 160});
    }
    std::string long_key(300, 'q');
    cases.push_back(
        {"long_key_300", "[S]\r\n" + long_key + "=v\r\nk=w\r\n", "S", {long_key, "k"}, 256});
    std::string long_line(1000, 'z');
    cases.push_back({"long_junk_line", "[S]\r\n" + long_line + "\r\nk=v\r\n", "S", k, 256});
    return cases;
}

// One fuzz corpus seed as a case of its own.
void probe_seed(const char *path) {
    std::string bytes;
    std::string name = path;
    size_t slash = name.find_last_of("/\\");
    name = "seed_" + (slash == std::string::npos ? name : name.substr(slash + 1));
    if (!probe_read(path, &bytes) || bytes.size() < 3) {
        probe_say(name, "read", "failed");
        return;
    }
    DWORD size = (unsigned char)bytes[0];
    unsigned flags = (unsigned char)bytes[1];
    int int_default = (signed char)bytes[2];
    size_t at = 3;
    std::string text[3];
    for (std::string &t : text) {
        size_t nul = bytes.find('\0', at);
        if (nul == std::string::npos) nul = bytes.size();
        t = bytes.substr(at, nul - at);
        at = nul < bytes.size() ? nul + 1 : nul;
    }
    std::string file = ".\\" + name + ".ini";
    if (!probe_write(name + ".ini", bytes.substr(at))) {
        probe_say(name, "write", "failed");
        return;
    }
    const char *f = (flags & 8) ? ".\\no-such-folder\\missing.ini" : file.c_str();
    const char *s = (flags & 1) ? nullptr : text[0].c_str();
    const char *k = (flags & 2) ? nullptr : text[1].c_str();
    const char *d = (flags & 4) ? nullptr : text[2].c_str();
    probe_string(name, s, k, d, size, f);
    probe_string(name, s, k, d, probe_big, f);
    probe_int(name, s, k, int_default, f);
    if (s != nullptr) probe_section(name, s, probe_big, f);
}

// How the file is found and opened: a name without a folder is looked for
// in the Windows folder, not the current one; a handle that does not share
// reading keeps the services out.
void probe_file_access() {
    const std::string text = "[S]\r\nk=v\r\n";
    probe_write("bare_name.ini", text);
    probe_string("bare_name", "S", "k", "dflt", 256, "bare_name.ini");
    probe_string("dot_name", "S", "k", "dflt", 256, ".\\bare_name.ini");

    probe_write("held.ini", text);
    struct hold {
        const char *name;
        DWORD access, share;
    } holds[] = {
        {"held_read_share_read", GENERIC_READ, FILE_SHARE_READ},
        {"held_read_share_write", GENERIC_READ, FILE_SHARE_WRITE},
        {"held_write_share_read", GENERIC_WRITE, FILE_SHARE_READ},
        {"held_write_share_none", GENERIC_WRITE, 0},
        {"held_both_share_both", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
    };
    for (const hold &h : holds) {
        HANDLE file = CreateFileA(".\\held.ini", h.access, h.share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            probe_say(h.name, "open", "failed");
            continue;
        }
        probe_string(h.name, "S", "k", "dflt", 256, ".\\held.ini");
        probe_int(h.name, "S", "k", probe_int_default, ".\\held.ini");
        CloseHandle(file);
    }
    probe_string("missing_file", "S", "k", "dflt", 256, ".\\no-such-file.ini");
    probe_section("missing_file", "S", 256, ".\\no-such-file.ini");
}

}  // namespace

int main(int argc, char **argv) {
    for (const probe_case &c : probe_cases()) probe_run(c);
    for (int i = 1; i < argc; ++i) probe_seed(argv[i]);
    probe_file_access();
    return fflush(stdout) == 0 ? 0 : 1;
}

// The Windows stand-ins: what the plug-in relies on from KERNEL32 must hold
// on Linux too, or the tests of the plug-in prove nothing.
#include <gtest/gtest.h>
#include <string.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "plugin_state.h"
#include "sim_win32.h"

namespace {

// Each test works inside a fresh scratch folder as its current directory,
// so relative Windows paths land there; it is the Windows folder too, where
// the profile services look for a file named without a folder.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        dir_ = ra_test_scratch_dir();
        ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        sim_set_windows_folder(dir_.c_str());
    }
    void TearDown() override {
        EXPECT_EQ(chdir(old_cwd_), 0);
        sim_set_windows_folder(nullptr);
        sim_clear_faults();
    }
    std::string dir_;

private:
    char old_cwd_[4096];
};

class Paths : public ScratchFolder {};
class Module : public ScratchFolder {};
class Profile : public ScratchFolder {};
class Files : public ScratchFolder {};
class Copy : public ScratchFolder {};
class Folders : public ScratchFolder {};
class Faults : public ScratchFolder {};

std::string host_path(const char *windows_path) {
    char out[1024];
    return sim_host_path(windows_path, out, sizeof out);
}

HANDLE open_file(const char *path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string read_all(HANDLE h) {
    std::string all;
    char buf[64];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) all.append(buf, got);
    return all;
}

}  // namespace

TEST_F(Paths, NamesAreUtf8OnTheHostAndTheAnsiCodePageToTheAFunctions) {
    // As Windows keeps names in Unicode and converts an "A" caller's
    // through Windows-1252: the plug-in's "Zo\xEB" is "Zoë" on the host.
    HANDLE h = open_file("Zo\xEB.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(ra_test_file_exists(dir_ + "/Zo\xC3\xAB.txt"));
    EXPECT_EQ(host_path("C\x9cur\\Zo\xEB"), "C\xC5\x93ur/Zo\xC3\xAB");
    char utf8[64];
    EXPECT_STREQ(sim_host_path_utf8("C\xC5\x93ur\\Zo\xC3\xAB", utf8, sizeof utf8),
                 "C\xC5\x93ur/Zo\xC3\xAB");
    // A host name the code page cannot spell comes back with '?'.
    ASSERT_EQ(mkdir((dir_ + "/\xC5\x81ukasz Zo\xC3\xAB").c_str(), 0777), 0);
    ASSERT_EQ(chdir((dir_ + "/\xC5\x81ukasz Zo\xC3\xAB").c_str()), 0);
    char buf[1024];
    ASSERT_GT(GetModuleFileNameA(nullptr, buf, sizeof buf), 0u);
    EXPECT_NE(strstr(buf, "\\?ukasz Zo\xEB\\game.exe"), nullptr) << buf;
}

TEST_F(Paths, SeparatorsDrivesAndRelativePathsTranslate) {
    // Both separators, repeated and trailing ones collapse; relative stays relative.
    EXPECT_EQ(host_path("a\\b/c"), "a/b/c");
    EXPECT_EQ(host_path("a\\\\b\\"), "a/b");
    // A drive letter or a leading separator starts at the host's root.
    EXPECT_EQ(host_path("C:\\x\\y"), "/x/y");
    EXPECT_EQ(host_path("d:/x"), "/x");
    EXPECT_EQ(host_path("\\x"), "/x");
    // "C:name" is relative to the drive's current directory: ours.
    EXPECT_EQ(host_path("C:rel"), "rel");
    // A host path that does not fit the buffer is not cut.
    char small[4];
    EXPECT_STREQ(sim_host_path("abcdef", small, sizeof small), "");
}

TEST_F(Paths, NamesLoseTheTrailingPeriodsWindowsTrims) {
    // A folder name ending in one period loses it, one ending in two keeps
    // both; the last name loses every trailing period and space.
    EXPECT_EQ(host_path("Saves.\\r.rp4"), "Saves/r.rp4");
    EXPECT_EQ(host_path("Saves..\\r.rp4"), "Saves../r.rp4");
    EXPECT_EQ(host_path("Saves.\\"), "Saves");
    EXPECT_EQ(host_path("a\\Saves. . "), "a/Saves");
    EXPECT_EQ(host_path("a\\...\\b"), "a/.../b");
    // So the folder CreateDirectoryA makes is the one a copy then reaches.
    EXPECT_TRUE(CreateDirectoryA("Week.", nullptr));
    EXPECT_EQ(GetFileAttributesA("Week.\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("Week"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Paths, LetterCaseResolvedPerComponent) {
    ASSERT_EQ(mkdir("tracks", 0777), 0);
    ASSERT_EQ(mkdir("tracks/tr01", 0777), 0);
    ASSERT_TRUE(ra_test_write_file("tracks/tr01/Tr.frd", "track"));

    // The game's upper-cased folder names find the folders on disk.
    EXPECT_EQ(host_path("TRACKS\\TR01\\TR.FRD"), "tracks/tr01/Tr.frd");
    EXPECT_EQ(GetFileAttributesA("Tracks\\TR01"), FILE_ATTRIBUTE_DIRECTORY);
    HANDLE h = open_file("TRACKS\\TR01\\tr.frd", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(read_all(h), "track");
    EXPECT_TRUE(CloseHandle(h));

    // Once a component is missing whatever its case, the rest stays as written.
    EXPECT_EQ(host_path("TRACKS\\NEW\\File.rp4"), "tracks/NEW/File.rp4");
    // The exact name wins over a name that differs only in case.
    ASSERT_EQ(mkdir("tracks/TR01", 0777), 0);
    EXPECT_EQ(host_path("tracks\\TR01"), "tracks/TR01");
    EXPECT_EQ(host_path("tracks\\Tr01"), "tracks/TR01");  // least in byte order
}

TEST_F(Paths, PathOfMaxPathCharactersIsRefused) {
    // 259 characters is the longest path Windows takes: made here of three
    // folders so that no single name exceeds the host's limit.
    std::string a(100, 'a'), b(100, 'b'), c(57, 'c');
    std::string longest = a + "\\" + b + "\\" + c;
    ASSERT_EQ(longest.size(), 259u);
    EXPECT_TRUE(CreateDirectoryA(a.c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryA((a + "\\" + b).c_str(), nullptr));
    HANDLE h = open_file(longest.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(GetFileAttributesA(longest.c_str()), FILE_ATTRIBUTE_NORMAL);

    // One character more: refused by every service, nothing created.
    std::string too_long = longest + "d";
    EXPECT_EQ(GetFileAttributesA(too_long.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(open_file(too_long.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_FALSE(CreateDirectoryA(too_long.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_FALSE(CopyFileA(longest.c_str(), too_long.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_FALSE(ra_test_file_exists(host_path(too_long.c_str())));

    // No path at all is a path that cannot be found.
    EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Module, ReportsSettablePathAndCutsLikeWindows) {
    char buf[600];
    // Default: the current directory in Windows form, then "\game.exe".
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string expected = "C:" + dir_ + "/game.exe";
    for (char &c : expected) c = c == '/' ? '\\' : c;
    EXPECT_STREQ(buf, expected.c_str());
    EXPECT_EQ(n, expected.size());

    // A set path, returned whole when it fits with its terminator.
    sim_set_module_path("C:\\Game\\game.exe");
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 17), 16u);
    EXPECT_STREQ(buf, "C:\\Game\\game.exe");

    // One byte short: size - 1 characters, terminator, result size, error 122.
    SetLastError(0);
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 16), 16u);
    EXPECT_STREQ(buf, "C:\\Game\\game.ex");
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    // Paths longer than MAX_PATH are possible, as with long-path support.
    std::string long_path = "C:\\" + std::string(300, 'f') + "\\game.exe";
    sim_set_module_path(long_path.c_str());
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, sizeof buf), long_path.size());
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, MAX_PATH), (DWORD)MAX_PATH);
    EXPECT_EQ(strlen(buf), (size_t)MAX_PATH - 1);

    // Null restores the default; another module is unknown.
    sim_set_module_path(nullptr);
    GetModuleFileNameA(nullptr, buf, sizeof buf);
    EXPECT_STREQ(buf, expected.c_str());
    EXPECT_EQ(GetModuleFileNameA((HMODULE)buf, buf, sizeof buf), 0u);
}

TEST_F(Profile, MissingFileSectionOrKeyGivesDefault) {
    ASSERT_TRUE(ra_test_write_file("a.ini", "[Other]\nKey=other\n[Sec]\nKey=7\n"));
    char out[32];
    // Missing file, section, key: the default, for text and for integers.
    EXPECT_EQ(GetPrivateProfileStringA("Sec", "Key", "dflt", out, sizeof out, "none.ini"), 4u);
    EXPECT_STREQ(out, "dflt");
    EXPECT_EQ(GetPrivateProfileIntA("Sec", "Key", 5, "none.ini"), 5u);
    EXPECT_EQ(GetPrivateProfileIntA("Nope", "Key", -3, "a.ini"), (UINT)-3);
    GetPrivateProfileStringA("Sec", "Nope", "d", out, sizeof out, "a.ini");
    EXPECT_STREQ(out, "d");
    // Trailing blanks of the default go, as on Windows; a null default is "".
    GetPrivateProfileStringA("Sec", "Nope", "d  ", out, sizeof out, "a.ini");
    EXPECT_STREQ(out, "d");
    EXPECT_EQ(GetPrivateProfileStringA("Sec", "Nope", nullptr, out, sizeof out, "a.ini"), 0u);
    EXPECT_STREQ(out, "");
    // Present: the section's own key, not the other section's.
    EXPECT_EQ(GetPrivateProfileIntA("Sec", "Key", 5, "a.ini"), 7u);
}

TEST_F(Profile, EmptyValueAndOverLongValue) {
    ASSERT_TRUE(ra_test_write_file("a.ini", "[S]\nEmpty=\nNum=   \nLong=0123456789\n"));
    char out[8];
    // Present but empty: the empty text, not the default.
    EXPECT_EQ(GetPrivateProfileStringA("S", "Empty", "dflt", out, sizeof out, "a.ini"), 0u);
    EXPECT_STREQ(out, "");
    // An integer key with an empty value takes the default.
    EXPECT_EQ(GetPrivateProfileIntA("S", "Num", 9, "a.ini"), 9u);
    // Too long: size - 1 characters, terminated, size - 1 returned.
    memset(out, 'x', sizeof out);
    EXPECT_EQ(GetPrivateProfileStringA("S", "Long", "", out, sizeof out, "a.ini"), 7u);
    EXPECT_STREQ(out, "0123456");
    // Exactly fitting, and a default that is cut the same way.
    char fit[11];
    EXPECT_EQ(GetPrivateProfileStringA("S", "Long", "", fit, sizeof fit, "a.ini"), 10u);
    EXPECT_STREQ(fit, "0123456789");
    EXPECT_EQ(GetPrivateProfileStringA("S", "None", "abcdefghij", out, sizeof out, "a.ini"), 7u);
    EXPECT_STREQ(out, "abcdefg");
}

TEST_F(Profile, NamesIgnoreCaseBlanksCommentsAndQuotes) {
    ASSERT_TRUE(ra_test_write_file("A.INI",
                                   "\xEF\xBB\xBF; leading comment\r\n"
                                   "  [ ReplayAutosave ]  \r\n"
                                   "# Dir=commented\r\n"
                                   "  sr_NAME  =  %track% ; kept  \r\n"
                                   "Dir=first\r\n"
                                   "DIR=second\r\n"
                                   "Quoted=\"  spaced  \"\r\n"
                                   "no equals sign\r\n"
                                   "[replayautosave]\r\n"
                                   "Late=ignored\r\n"));
    char out[64];
    // Section and key names ignore case and blanks; a ";" inside a value stays.
    GetPrivateProfileStringA("REPLAYAUTOSAVE", "Sr_Name", "", out, sizeof out, "a.ini");
    EXPECT_STREQ(out, "%track% ; kept");
    // Comment lines are skipped; the first key of a name counts.
    GetPrivateProfileStringA("ReplayAutosave", "Dir", "", out, sizeof out, "a.ini");
    EXPECT_STREQ(out, "first");
    // Matching quotes are taken off, the blanks inside them stay.
    GetPrivateProfileStringA("ReplayAutosave", "Quoted", "", out, sizeof out, "a.ini");
    EXPECT_STREQ(out, "  spaced  ");
    // Only the first section of a name is searched.
    GetPrivateProfileStringA("ReplayAutosave", "Late", "none", out, sizeof out, "a.ini");
    EXPECT_STREQ(out, "none");
}

TEST_F(Profile, EncodingsReadAsWindowsReadsThem) {
    char out[64];
    // A UTF-8 byte order mark is not recognised: its bytes are text of line
    // 1, so a header there is not seen; on line 2 it does no harm
    // (observed on Windows 10, Stack Overflow question 6340857).
    ASSERT_TRUE(ra_test_write_file("bom1.ini", "\xEF\xBB\xBF[S]\r\nKey=v\r\n"));
    ASSERT_TRUE(ra_test_write_file("bom2.ini", "\xEF\xBB\xBF\r\n[S]\r\nKey=v\r\n"));
    GetPrivateProfileStringA("S", "Key", "none", out, sizeof out, "bom1.ini");
    EXPECT_STREQ(out, "none");
    GetPrivateProfileStringA("S", "Key", "none", out, sizeof out, "bom2.ini");
    EXPECT_STREQ(out, "v");

    // FF FE marks a "Unicode" profile: UTF-16LE, handed to the ANSI services
    // in the ANSI code page (Windows-1252 here), '?' for what it lacks
    // (same answer; Tera Term's developer notes on ini files).
    std::string le = "\xFF\xFE";
    for (char16_t c : std::u16string(u"[S]\r\nKey=\u00E9\u20AC\u0141\U0001F600!\r\nN=12\r\n")) {
        le += {(char)(c & 0xFF), (char)(c >> 8)};
    }
    ASSERT_TRUE(ra_test_write_file("le.ini", le));
    GetPrivateProfileStringA("S", "Key", "", out, sizeof out, "le.ini");
    EXPECT_STREQ(out,
                 "\xE9\x80?"
                 "?!");  // a surrogate pair is one character
    EXPECT_EQ(GetPrivateProfileIntA("S", "N", 0, "le.ini"), 12u);

    // A reversed mark (UTF-16BE), or UTF-16 without a mark, is read as ANSI
    // bytes: names hold NULs and match nothing (BE not recognised on Windows
    // 10 21H1, same Stack Overflow answer).
    std::string be = "\xFE\xFF", bare;
    for (char c : std::string("[S]\r\nN=12\r\n")) {
        be += {'\0', c};
        bare += {c, '\0'};
    }
    ASSERT_TRUE(ra_test_write_file("be.ini", be));
    ASSERT_TRUE(ra_test_write_file("bare.ini", bare));
    EXPECT_EQ(GetPrivateProfileIntA("S", "N", 7, "be.ini"), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "N", 7, "bare.ini"), 7u);
}

// A name without a folder is looked for in the Windows folder, and a handle
// that does not share reading keeps the services out (Wine's conformance
// test dlls/kernel32/tests/profile.c: test_GetPrivateProfileString, "only
// filename is used"; test_profile_existing, read_error).
TEST_F(Profile, FindsAndOpensTheFileAsWindowsDoes) {
    ASSERT_EQ(mkdir("win", 0777), 0);
    ASSERT_TRUE(ra_test_write_file("a.ini", "[S]\r\nk=here\r\n"));
    ASSERT_TRUE(ra_test_write_file("win/a.ini", "[S]\r\nk=windows\r\n"));
    sim_set_windows_folder((dir_ + "/win").c_str());
    char out[32];
    GetPrivateProfileStringA("S", "k", "dflt", out, sizeof out, "a.ini");
    EXPECT_STREQ(out, "windows");
    GetPrivateProfileStringA("S", "k", "dflt", out, sizeof out, ".\\a.ini");
    EXPECT_STREQ(out, "here");

    struct {
        DWORD access, share;
        const char *expect;
    } holds[] = {
        {GENERIC_READ, FILE_SHARE_READ, "here"},
        {GENERIC_WRITE, FILE_SHARE_READ, "here"},
        {GENERIC_READ, FILE_SHARE_WRITE, "dflt"},
        {GENERIC_WRITE, 0, "dflt"},
    };
    for (const auto &h : holds) {
        HANDLE held = open_file("a.ini", h.access, h.share, OPEN_EXISTING);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        GetPrivateProfileStringA("S", "k", "dflt", out, sizeof out, ".\\a.ini");
        EXPECT_STREQ(out, h.expect) << h.access << " " << h.share;
        CloseHandle(held);
    }
}

// Null names list the names; GetPrivateProfileSectionA gives the lines of
// the section (Microsoft's page on GetPrivateProfileStringA; profile.c:
// test_profile_sections, test_profile_sections_names, and the "lpAppName is
// NULL" and "lpKeyName is NULL" cases of test_GetPrivateProfileString).
TEST_F(Profile, ListsNamesAndSections) {
    ASSERT_TRUE(ra_test_write_file(
        "a.ini", "[s1]\r\nname1=val1\r\nname2 = \"q\" \r\nname3\r\n; c\r\nname4=\r\n[s2]\r\n"));
    ASSERT_TRUE(ra_test_write_file("empty.ini", "k=v\r\n"));
    struct {
        const char *section, *key;
        DWORD size;
        const char *file;
        DWORD ret;
        std::string bytes;  // up to and with the final NUL
    } lists[] = {
        {nullptr, nullptr, 64, "a.ini", 6, std::string("s1\0s2\0\0", 7)},
        {"S1", nullptr, 64, "a.ini", 18, std::string("name1\0name2\0name4\0\0", 19)},
        {"s1", nullptr, 16, "a.ini", 14, std::string("name1\0name2\0na\0\0", 16)},
        {nullptr, nullptr, 64, "empty.ini", 0, std::string("\0", 1)},
        {nullptr, nullptr, 64, "none.ini", 0, std::string("\0", 1)},
        {"s2", nullptr, 64, "a.ini", 4, std::string("dflt\0", 5)},
    };
    for (const auto &l : lists) {
        char out[64];
        memset(out, 0x7F, sizeof out);
        EXPECT_EQ(GetPrivateProfileStringA(l.section, l.key, "dflt", out, l.size, l.file), l.ret);
        EXPECT_EQ(std::string(out, l.bytes.size()), l.bytes) << l.ret;
    }

    char out[64];
    EXPECT_EQ(GetPrivateProfileSectionA("s1", out, sizeof out, "a.ini"), 34u);
    EXPECT_EQ(std::string(out, 35), std::string("name1=val1\0name2=\"q\"\0name3\0name4=\0\0", 35));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    // Too small: cut, both NULs kept, size - 2 returned.
    EXPECT_EQ(GetPrivateProfileSectionA("s1", out, 16, "a.ini"), 14u);
    EXPECT_EQ(std::string(out, 16), std::string("name1=val1\0nam\0\0", 16));
    EXPECT_EQ(GetPrivateProfileSectionA("s2", out, sizeof out, "a.ini"), 0u);
    EXPECT_EQ(std::string(out, 2), std::string("\0\0", 2));
    EXPECT_EQ(GetPrivateProfileSectionA(nullptr, out, sizeof out, "a.ini"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetPrivateProfileSectionA("s1", out, sizeof out, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Profile, IntegersParsedLikeWindows) {
    ASSERT_TRUE(ra_test_write_file("n.ini",
                                   "[N]\nplain=42\nneg=-7\nplus=+3\ntail=12abc\nword=abc\n"
                                   "hex=0x1F\nHEX=0XfF\nwrap=4294967297\nspaced=  5  \n"));
    const char *f = "n.ini";
    EXPECT_EQ(GetPrivateProfileIntA("N", "plain", 0, f), 42u);
    EXPECT_EQ((int)GetPrivateProfileIntA("N", "neg", 0, f), -7);
    EXPECT_EQ(GetPrivateProfileIntA("N", "plus", 0, f), 3u);
    // Digits up to the first other character; none at all give 0.
    EXPECT_EQ(GetPrivateProfileIntA("N", "tail", 0, f), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("N", "word", 9, f), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("N", "hex", 0, f), 31u);
    EXPECT_EQ(GetPrivateProfileIntA("N", "HEX", 0, f), 31u);  // first "hex" key counts
    EXPECT_EQ(GetPrivateProfileIntA("N", "wrap", 0, f), 1u);  // modulo 2^32
    EXPECT_EQ(GetPrivateProfileIntA("N", "spaced", 0, f), 5u);
}

TEST_F(Files, CreateWriteSeekReadClose) {
    EXPECT_EQ(sim_open_handles(), 0u);
    HANDLE h = open_file("f.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);  // created, not replaced
    EXPECT_EQ(sim_open_handles(), 1u);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(n, 11u);

    // Seeking: from the start, from the end, and never before the start.
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    EXPECT_EQ(read_all(h), "world");
    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
    EXPECT_EQ(SetFilePointer(h, -7, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 6u);  // did not move
    char buf[8];
    EXPECT_TRUE(ReadFile(h, buf, 5, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "world");
    // At the end a read succeeds with 0 bytes.
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(sim_open_handles(), 0u);

    // A closed handle is refused, never reused for another file.
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    HANDLE again = open_file("f.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(again, h);
    EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    // Writing through a handle opened for reading only is refused.
    EXPECT_FALSE(WriteFile(again, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(again));
}

TEST_F(Files, DispositionsAndTheirErrors) {
    ASSERT_TRUE(ra_test_write_file("old.bin", "old contents"));
    ASSERT_EQ(mkdir("sub", 0777), 0);

    // CREATE_ALWAYS on an existing file truncates it and reports 183.
    HANDLE h = open_file("old.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(ra_test_read_file("old.bin"), "");
    // CREATE_NEW on an existing file: 80, nothing opened.
    EXPECT_EQ(open_file("old.bin", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    // OPEN_EXISTING: a missing file in an existing folder is 2, in a missing folder 3.
    EXPECT_EQ(open_file("sub\\none", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(open_file("nodir\\none", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(open_file("nodir\\none", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    // A file inside something that is not a folder is a path not found.
    EXPECT_EQ(open_file("old.bin\\x", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    // A folder is not opened as a file.
    EXPECT_EQ(open_file("sub", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim_open_handles(), 0u);

    // Attributes: folder, plain file, missing in either way.
    EXPECT_EQ(GetFileAttributesA("sub"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("old.bin"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("sub\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("nodir\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Files, WriterRefusedWhileReaderSharesOnlyReading) {
    ASSERT_TRUE(ra_test_write_file("r.rp4", "replay"));
    HANDLE reader = open_file("r.rp4", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    // Another writer: 32, and the file is not truncated.
    EXPECT_EQ(open_file("r.rp4", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ra_test_read_file("r.rp4"), "replay");
    // Copying onto it is refused the same way.
    ASSERT_TRUE(ra_test_write_file("src.rp4", "new"));
    EXPECT_FALSE(CopyFileA("src.rp4", "r.rp4", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    // Another reader that shares reading is fine; one that refuses to share
    // reading with us is not.
    HANDLE second = open_file("r.rp4", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open_file("r.rp4", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(reader));

    // A writer that shares reading: only readers that share writing may join.
    HANDLE writer =
        open_file("r.rp4", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open_file("r.rp4", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);  // the new reader must share writing
    HANDLE tolerant =
        open_file("r.rp4", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(tolerant, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(tolerant));
    EXPECT_TRUE(CloseHandle(writer));
    EXPECT_TRUE(CopyFileA("src.rp4", "r.rp4", FALSE));
    EXPECT_EQ(sim_open_handles(), 0u);
}

TEST_F(Files, AppendAccessWritesAtTheEndAndCountsAsWriting) {
    const DWORD both = FILE_SHARE_READ | FILE_SHARE_WRITE;
    // OPEN_ALWAYS creates a missing file without 183, opens an existing one with it.
    HANDLE first = open_file("log.csv", FILE_APPEND_DATA, both, OPEN_ALWAYS);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = open_file("log.csv", FILE_APPEND_DATA, both, OPEN_ALWAYS);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

    // Each write lands at the end, wherever the handle's pointer stands.
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(first, "one\r\n", 5, &n, nullptr));
    EXPECT_TRUE(WriteFile(second, "two\r\n", 5, &n, nullptr));
    EXPECT_EQ(SetFilePointer(first, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_TRUE(WriteFile(first, "three\r\n", 7, &n, nullptr));
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(second, 0, &high, FILE_END), 17u);
    // Appending is no reading.
    char buf[4];
    EXPECT_FALSE(ReadFile(first, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(ra_test_read_file("log.csv"), "one\r\ntwo\r\nthree\r\n");

    // For sharing it is write access: refused by a reader that shares only reading.
    HANDLE reader = open_file("log.csv", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open_file("log.csv", FILE_APPEND_DATA, both, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_EQ(sim_open_handles(), 0u);
}
TEST_F(Copy, ErrorCodesAndReplacement) {
    ASSERT_TRUE(ra_test_write_file("src.rp4", "replay bytes"));
    ASSERT_TRUE(ra_test_write_file("dst.rp4", "older"));
    ASSERT_EQ(mkdir("saves", 0777), 0);

    // Missing source: 2, or 3 when its folder is missing too.
    EXPECT_FALSE(CopyFileA("none.rp4", "saves\\a.rp4", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CopyFileA("nodir\\none.rp4", "saves\\a.rp4", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    // Missing destination folder: 3. Destination or source a folder: 5.
    EXPECT_FALSE(CopyFileA("src.rp4", "nodir\\a.rp4", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CopyFileA("src.rp4", "saves", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileA("saves", "x.rp4", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    // fail_if_exists with an existing destination: 80, destination untouched.
    EXPECT_FALSE(CopyFileA("src.rp4", "dst.rp4", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ra_test_read_file("dst.rp4"), "older");
    // A file onto itself (also through another spelling) is refused.
    EXPECT_FALSE(CopyFileA("src.rp4", "SRC.RP4", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ra_test_read_file("src.rp4"), "replay bytes");

    // Otherwise the destination is replaced whole, or created.
    EXPECT_TRUE(CopyFileA("src.rp4", "DST.rp4", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(ra_test_read_file("dst.rp4"), "replay bytes");
    EXPECT_TRUE(CopyFileA("src.rp4", "SAVES/new.rp4", TRUE));
    EXPECT_EQ(ra_test_read_file("saves/new.rp4"), "replay bytes");
    EXPECT_EQ(sim_open_handles(), 0u);
}

// Windows keeps the source's last write time on the copy, so a saved replay
// is dated by the race, not by the copy.
TEST_F(Copy, KeepsTheSourcesLastWriteTime) {
    ASSERT_TRUE(ra_test_write_file("src.rp4", "replay bytes"));
    struct timespec old_times[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, "src.rp4", old_times, 0), 0);
    ASSERT_TRUE(CopyFileA("src.rp4", "copy.rp4", FALSE));
    struct stat copy;
    ASSERT_EQ(stat("copy.rp4", &copy), 0);
    EXPECT_EQ(copy.st_mtim.tv_sec, 1700000000);
}

TEST_F(Folders, CreateDirectoryCodesAndLog) {
    ASSERT_TRUE(ra_test_write_file("file", "x"));
    EXPECT_TRUE(CreateDirectoryA("SaveData", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(CreateDirectoryA("SaveData\\Saves", nullptr));
    // Existing folder (in any case) or file of that name: 183.
    EXPECT_FALSE(CreateDirectoryA("SAVEDATA", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA("file", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    // Missing parent: 3.
    EXPECT_FALSE(CreateDirectoryA("a/b", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("savedata\\saves"), FILE_ATTRIBUTE_DIRECTORY);

    // Every call is logged in order as written, failures included.
    ASSERT_EQ(sim_created_dir_count(), 5u);
    EXPECT_STREQ(sim_created_dir(0), "SaveData");
    EXPECT_STREQ(sim_created_dir(1), "SaveData\\Saves");
    EXPECT_STREQ(sim_created_dir(2), "SAVEDATA");
    EXPECT_STREQ(sim_created_dir(4), "a/b");
    EXPECT_STREQ(sim_created_dir(5), "");
    sim_clear_faults();
    EXPECT_EQ(sim_created_dir_count(), 0u);
}

TEST_F(Faults, InjectedFailureDoesNothingElseAndCallsAreCounted) {
    ASSERT_TRUE(ra_test_write_file("src.rp4", "replay"));
    ASSERT_TRUE(ra_test_write_file("keep.rp4", "keep"));

    // The next two copies fail with the given code and copy nothing.
    sim_fail_call("CopyFileA", ERROR_DISK_FULL, 2);
    for (int i = 0; i < 2; ++i) {
        SetLastError(0);
        EXPECT_FALSE(CopyFileA("src.rp4", "dst.rp4", FALSE));
        EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
        EXPECT_FALSE(ra_test_file_exists("dst.rp4"));
    }
    EXPECT_TRUE(CopyFileA("src.rp4", "dst.rp4", FALSE));
    EXPECT_EQ(sim_call_count("CopyFileA"), 3u);

    // A failing CREATE_ALWAYS truncates nothing and opens no handle.
    sim_fail_call("CreateFileA", ERROR_SHARING_VIOLATION, 1);
    EXPECT_EQ(open_file("keep.rp4", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ra_test_read_file("keep.rp4"), "keep");
    EXPECT_EQ(sim_open_handles(), 0u);

    // Other services keep working; a count of 0 disarms a pending fault.
    sim_fail_call("GetFileAttributesA", ERROR_ACCESS_DENIED, 5);
    EXPECT_EQ(GetFileAttributesA("src.rp4"), INVALID_FILE_ATTRIBUTES);
    sim_fail_call("GetFileAttributesA", 0, 0);
    EXPECT_EQ(GetFileAttributesA("src.rp4"), FILE_ATTRIBUTE_NORMAL);
    // Profile services fall back to the default as for a missing file.
    ASSERT_TRUE(ra_test_write_file("a.ini", "[S]\nK=1\n"));
    sim_fail_call("GetPrivateProfileIntA", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(GetPrivateProfileIntA("S", "K", 7, "a.ini"), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "K", 7, "a.ini"), 1u);
    // Services that cannot fail are counted all the same.
    sim_fail_call("GetLastError", ERROR_ACCESS_DENIED, 1);
    SetLastError(ERROR_FILE_EXISTS);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_GE(sim_call_count("GetLastError"), 1u);
    EXPECT_EQ(sim_call_count("GetFileAttributesA"), 2u);

    // Clearing forgets faults and counts.
    sim_fail_call("CopyFileA", ERROR_DISK_FULL, 1);
    sim_clear_faults();
    EXPECT_EQ(sim_call_count("CopyFileA"), 0u);
    EXPECT_TRUE(CopyFileA("src.rp4", "dst.rp4", FALSE));
}

TEST_F(Faults, ShortReadThenFailureOnTheSameHandle) {
    ASSERT_TRUE(ra_test_write_file("big.bin", std::string(100, 'r')));
    char buf[100];
    DWORD n = 0;

    // First read capped at 10 bytes; every later read on that handle fails.
    HANDLE h = open_file("big.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE other = open_file("big.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    sim_short_read(10, ERROR_HANDLE_EOF);
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 10u);
    EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
    // Another handle reads normally.
    EXPECT_TRUE(ReadFile(other, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 100u);
    // Clearing the faults lifts the cap of an open handle.
    sim_clear_faults();
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 90u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(CloseHandle(other));

    // Error 0: short reads go on until the end of the file.
    h = open_file("big.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    sim_short_read(30, 0);
    DWORD total = 0;
    int reads = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) {
        EXPECT_LE(n, 30u);
        total += n;
        ++reads;
    }
    EXPECT_EQ(total, 100u);
    EXPECT_EQ(reads, 4);
    EXPECT_TRUE(CloseHandle(h));
    // Counted since the clearing: one full read, four short ones, one at the end.
    EXPECT_EQ(sim_call_count("ReadFile"), 6u);
}

TEST(Clock, FixedClockOrRealLocalTime) {
    ra_test_reset_plugin();
    SYSTEMTIME fixed = {2024, 2, 4, 29, 23, 59, 58, 999};
    sim_set_clock(&fixed);
    SYSTEMTIME got;
    GetLocalTime(&got);
    EXPECT_EQ(memcmp(&got, &fixed, sizeof got), 0);
    // Null follows the real clock again.
    sim_set_clock(nullptr);
    GetLocalTime(&got);
    EXPECT_GE(got.wYear, 2020);
    EXPECT_TRUE(got.wMonth >= 1 && got.wMonth <= 12);
    EXPECT_TRUE(got.wDay >= 1 && got.wDay <= 31);
    EXPECT_LE(got.wDayOfWeek, 6);
    EXPECT_LE(got.wMilliseconds, 999);
    EXPECT_EQ(sim_call_count("GetLocalTime"), 2u);
}

// The stand-ins' ANSI code page, Windows-1252, and the conversions between
// it and UTF-8. Windows keeps file names in UTF-16, and every KERNEL32
// function that takes or gives a file name in 8-bit text (the "A" ones)
// converts it through the ANSI code page (Microsoft's page on
// SetFileApisToANSI: "the file I/O functions ... that accept or return a
// file name" use the ANSI code page by default; Microsoft's article Q108450
// on MultiByteToWideChar and CP_ACP: the name read from the disk is Unicode
// and "is translated into ANSI if an ANSI API is called"). Wine under a
// UTF-8 locale keeps those names as UTF-8 on the host. The stand-ins do the
// same over the host's file system: a name the plug-in writes in
// Windows-1252 ("Zo\xEB") is "Zoë" on the host. Plain C++, no Windows calls:
// it builds for the players' Windows program too, which reads the texts of
// an old share as Windows-1252 on every system.
#pragma once

#include <stdint.h>

#include <string>

// What ra_utf8_next gives for a byte that starts no UTF-8 sequence.
const uint32_t ra_no_char = 0xFFFFFFFFu;

// The character a Windows-1252 byte stands for; the five bytes the code
// page leaves unassigned stand for the C1 control of the same value.
uint32_t ra_cp1252_char(unsigned char byte);

// The Windows-1252 byte of a character into *out, or false when the code
// page has none.
bool ra_cp1252_byte(uint32_t c, char *out);

// The character of the well-formed UTF-8 sequence at text[*at] (no
// overlong form, no surrogate, nothing above U+10FFFF), with *at moved past
// it; ra_no_char for a byte that starts none, with *at moved past that
// byte alone.
uint32_t ra_utf8_next(const std::string &text, size_t *at);

// Appends a character (U+0000 to U+10FFFF) in UTF-8.
void ra_put_utf8(std::string *out, uint32_t c);

// Windows-1252 bytes as UTF-8: every byte is one character.
std::string ra_cp1252_to_utf8(const std::string &bytes);

// UTF-8 text in Windows-1252. A character the code page lacks, and a byte
// of no UTF-8, comes out as '?', as Windows' best-fit conversion writes a
// character it finds no likeness for (we model none of its likenesses),
// with *lossy set.
std::string ra_utf8_to_cp1252(const std::string &text, bool *lossy);

#pragma once
// Loading the framework's message strings and the platform's error texts.
#include <windows.h>

#include <string>

#include "resources/StringIds.h"

namespace lumek {

// The string table entry in the system (ANSI) code page; empty if missing.
std::string LoadMessage(unsigned id);

// printf-style formatting of a loaded message.
std::string FormatMessageId(unsigned id, ...);

// The platform's text for an error code, in the system code page, without the trailing line break.
std::string SystemErrorText(DWORD error);

// Conversions between UTF-8 (source files) and the system code page.
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);

// A path in the system code page as the file system compares names: in
// UTF-16, every letter upper-cased by the file system's casing rules rather
// than a language's, so two spellings of one path fold alike and the second
// bytes of double-byte characters are never mistaken for letters.
std::wstring FoldedPath(const std::string& path);

}  // namespace lumek

#pragma once
// Pure text rules on byte strings in a (possibly double-byte) code page.
// Each takes the code page whose lead bytes it must step over, so tests can
// pin it; the program passes CP_ACP.
#include <windows.h>

#include <string>

namespace lumek {

// Index of the last byte of `text` that is one of `delimiters` and not the
// second byte of a double-byte character; std::string::npos if none.
size_t LastDelimiter(const std::string& text, const char* delimiters, UINT codePage = CP_ACP);

// Everything up to and including the last '\' or ':' (C:\Tools\LUMEK.exe -> C:\Tools\).
std::string ExtractFilePath(const std::string& path, UINT codePage = CP_ACP);

// The directory without its trailing '\', except at a drive root
// (C:\Tools\LUMEK.exe -> C:\Tools, C:\LUMEK.exe -> C:\).
std::string ExtractFileDir(const std::string& path, UINT codePage = CP_ACP);

// The part after the last '\' or ':'.
std::string ExtractFileName(const std::string& path, UINT codePage = CP_ACP);

// A file name without its extension (from the last '.' on), the name whole if it has none.
std::string RemoveExtension(const std::string& fileName, UINT codePage = CP_ACP);

// The application window's first caption: the file name cut at its first
// full stop, every letter after the first lower-cased (MY.TOOL.EXE -> My).
std::string ApplicationCaptionFromFileName(const std::string& fileName);

// What follows the program name on a command line, blanks and tabs skipped.
const char* CommandLineTail(const char* commandLine);

// The exception box's text: a full stop appended when the last character
// (one or two bytes) sorts above "." byte by byte.
std::string ExceptionBoxText(const std::string& message, UINT codePage = CP_ACP);

}  // namespace lumek

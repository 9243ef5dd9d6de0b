#pragma once
// Pure text rules on UTF-16 strings. A surrogate pair is one character, and
// no unit of a character outside ASCII is ever taken for a delimiter.
#include <string>

namespace lumek {

// Index of the last unit of `text` that is one of `delimiters` (all ASCII);
// std::wstring::npos if none.
size_t LastDelimiter(const std::wstring& text, const wchar_t* delimiters);

// Everything up to and including the last '\' or ':' (C:\Tools\LUMEK.exe -> C:\Tools\).
std::wstring ExtractFilePath(const std::wstring& path);

// The directory without its trailing '\', except at a drive root
// (C:\Tools\LUMEK.exe -> C:\Tools, C:\LUMEK.exe -> C:\).
std::wstring ExtractFileDir(const std::wstring& path);

// The part after the last '\' or ':'.
std::wstring ExtractFileName(const std::wstring& path);

// A file name without its extension (from the last '.' on), the name whole if it has none.
std::wstring RemoveExtension(const std::wstring& fileName);

// The application window's first caption: the file name cut at its first
// full stop, every ASCII letter after the first lower-cased (MY.TOOL.EXE -> My).
std::wstring ApplicationCaptionFromFileName(const std::wstring& fileName);

// What follows the program name on a command line, blanks and tabs skipped.
const wchar_t* CommandLineTail(const wchar_t* commandLine);

// Units of the character starting at `index`: two for a whole surrogate pair, else one.
size_t CharacterLength(const std::wstring& text, size_t index);

// The exception box's text: a full stop appended when the last character
// (one unit or a surrogate pair) sorts above ".".
std::wstring ExceptionBoxText(const std::wstring& message);

}  // namespace lumek

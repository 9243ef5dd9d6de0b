#pragma once
// The framework's message strings, the platform's error texts, the face
// (language) the user interface shows, and conversions between UTF-16, the
// program's text, and UTF-8.
#include <windows.h>

#include <string>

#include "resources/StringIds.h"

namespace lumek {

// The language the menu and the message boxes speak. Japanese is the
// program's own and the fallback; every other user sees English.
enum class TFace : uint8_t { Japanese, English };

// The face for a user interface language.
TFace FaceForLanguage(LANGID language);

// The face of the user running the program (GetUserDefaultUILanguage).
TFace UserFace();

// The string table entry in the user's face; the Japanese entry where the
// face has none of its own; empty if missing.
std::wstring LoadMessage(unsigned id);

// printf-style formatting of a loaded message ("%ls" takes a wide text).
std::wstring FormatMessageId(unsigned id, ...);

// The platform's text for an error code, without the trailing line break.
std::wstring SystemErrorText(DWORD error);

// Conversions between UTF-8 (source files, form descriptions, test logs) and UTF-16.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// A path as the file system compares names: every letter upper-cased by the
// file system's casing rules rather than a language's, so two spellings of
// one path fold alike.
std::wstring FoldedPath(const std::wstring& path);

}  // namespace lumek

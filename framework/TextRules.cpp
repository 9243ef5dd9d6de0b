#include "framework/TextRules.h"

#include <cwchar>

namespace lumek {

namespace {

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Start index of the last character of a non-empty text.
size_t LastCharacterStart(const std::wstring& text) {
  size_t last = text.size() - 1;
  return last > 0 && IsLowSurrogate(text[last]) && IsHighSurrogate(text[last - 1]) ? last - 1 : last;
}

}  // namespace

size_t CharacterLength(const std::wstring& text, size_t index) {
  return IsHighSurrogate(text[index]) && index + 1 < text.size() && IsLowSurrogate(text[index + 1]) ? 2 : 1;
}

size_t LastDelimiter(const std::wstring& text, const wchar_t* delimiters) {
  // Every unit of a character outside ASCII is 0x80 or above, so no part of
  // one can equal an ASCII delimiter: the last matching unit is the answer.
  for (size_t i = text.size(); i-- > 0;) {
    if (text[i] != 0 && std::wcschr(delimiters, text[i]) != nullptr) return i;
  }
  return std::wstring::npos;
}

std::wstring ExtractFilePath(const std::wstring& path) {
  size_t last = LastDelimiter(path, L"\\:");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

std::wstring ExtractFileDir(const std::wstring& path) {
  size_t last = LastDelimiter(path, L"\\:");
  if (last == std::wstring::npos) return {};
  // A backslash right after a drive colon (or another backslash) stays: C:\ is a directory.
  bool afterDelimiter = last > 0 && (path[last - 1] == L'\\' || path[last - 1] == L':');
  if (last > 0 && path[last] == L'\\' && !afterDelimiter) return path.substr(0, last);
  return path.substr(0, last + 1);
}

std::wstring ExtractFileName(const std::wstring& path) {
  size_t last = LastDelimiter(path, L"\\:");
  return last == std::wstring::npos ? path : path.substr(last + 1);
}

std::wstring RemoveExtension(const std::wstring& fileName) {
  size_t dot = LastDelimiter(fileName, L".\\:");
  if (dot == std::wstring::npos || fileName[dot] != L'.') return fileName;
  return fileName.substr(0, dot);
}

std::wstring ApplicationCaptionFromFileName(const std::wstring& fileName) {
  std::wstring caption = fileName.substr(0, fileName.find(L'.'));
  for (size_t i = 1; i < caption.size(); ++i) {
    wchar_t c = caption[i];
    if (c >= L'A' && c <= L'Z') caption[i] = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return caption;
}

const wchar_t* CommandLineTail(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  while (*p && isBlank(*p)) ++p;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p && !isBlank(*p)) ++p;
  }
  while (*p && isBlank(*p)) ++p;
  return p;
}

std::wstring ExceptionBoxText(const std::wstring& message) {
  if (message.empty()) return message;
  // Unit by unit: any character outside ASCII sorts above ".".
  if (message.compare(LastCharacterStart(message), std::wstring::npos, L".") > 0) return message + L".";
  return message;
}

}  // namespace lumek

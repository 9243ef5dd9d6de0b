#include "framework/TextRules.h"

#include <cstring>

namespace lumek {

namespace {

bool IsLeadByte(UINT codePage, unsigned char byte) { return ::IsDBCSLeadByteEx(codePage, byte) != FALSE; }

// Start index of the last character (one or two bytes) of a non-empty text.
size_t LastCharacterStart(const std::string& text, UINT codePage) {
  size_t start = 0;
  for (size_t i = 0; i < text.size();) {
    start = i;
    i += (IsLeadByte(codePage, static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return start;
}

}  // namespace

size_t LastDelimiter(const std::string& text, const char* delimiters, UINT codePage) {
  // Scanning forwards is the only way to know which bytes are second bytes.
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(codePage, byte) && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (byte != 0 && std::strchr(delimiters, byte) != nullptr) found = i;
    ++i;
  }
  return found;
}

std::string ExtractFilePath(const std::string& path, UINT codePage) {
  size_t last = LastDelimiter(path, "\\:", codePage);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string ExtractFileDir(const std::string& path, UINT codePage) {
  size_t last = LastDelimiter(path, "\\:", codePage);
  if (last == std::string::npos) return {};
  // A backslash right after a drive colon (or another backslash) stays: C:\ is a directory.
  // The byte before only counts as a delimiter when it is a character of its own.
  bool afterDelimiter = last > 0 && LastDelimiter(path.substr(0, last), "\\:", codePage) == last - 1;
  if (last > 0 && path[last] == '\\' && !afterDelimiter) return path.substr(0, last);
  return path.substr(0, last + 1);
}

std::string ExtractFileName(const std::string& path, UINT codePage) {
  size_t last = LastDelimiter(path, "\\:", codePage);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string RemoveExtension(const std::string& fileName, UINT codePage) {
  size_t dot = LastDelimiter(fileName, ".\\:", codePage);
  if (dot == std::string::npos || fileName[dot] != '.') return fileName;
  return fileName.substr(0, dot);
}

std::string ApplicationCaptionFromFileName(const std::string& fileName) {
  std::string caption = fileName.substr(0, fileName.find('.'));
  for (size_t i = 1; i < caption.size(); ++i) {
    char c = caption[i];
    if (c >= 'A' && c <= 'Z') caption[i] = static_cast<char>(c - 'A' + 'a');
  }
  return caption;
}

const char* CommandLineTail(const char* commandLine) {
  const char* p = commandLine;
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (*p && isBlank(*p)) ++p;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && !isBlank(*p)) ++p;
  }
  while (*p && isBlank(*p)) ++p;
  return p;
}

std::string ExceptionBoxText(const std::string& message, UINT codePage) {
  if (message.empty()) return message;
  std::string last = message.substr(LastCharacterStart(message, codePage));
  // Byte-wise comparison, as unsigned bytes: a double-byte character always sorts above ".".
  if (std::strcmp(last.c_str(), ".") > 0) return message + ".";
  return message;
}

}  // namespace lumek

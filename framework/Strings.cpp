#include "framework/Strings.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace lumek {

namespace {

std::string WideToCodePage(const wchar_t* text, int length, UINT codePage) {
  if (length <= 0) return {};
  int bytes = ::WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(codePage, 0, text, length, result.data(), bytes, nullptr, nullptr);
  return result;
}

std::wstring CodePageToWide(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  int chars = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(chars), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), chars);
  return result;
}

}  // namespace

std::string LoadMessage(unsigned id) {
  // LoadStringW with a zero buffer size hands back a pointer into the resource itself.
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return WideToCodePage(text, length, CP_ACP);
}

std::string FormatMessageId(unsigned id, ...) {
  std::string format = LoadMessage(id);
  va_list args;
  va_start(args, id);
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format.c_str(), copy);
  va_end(copy);
  std::string result;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), args);
    result.assign(buffer.data(), static_cast<size_t>(needed));
  }
  va_end(args);
  return result;
}

std::string SystemErrorText(DWORD error) {
  char* text = nullptr;
  DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string result(text ? text : "", length);
  if (text) ::LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) result.pop_back();
  return result;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  std::wstring wide = CodePageToWide(utf8, CP_UTF8);
  return WideToCodePage(wide.data(), static_cast<int>(wide.size()), CP_ACP);
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::wstring wide = CodePageToWide(ansi, CP_ACP);
  return WideToCodePage(wide.data(), static_cast<int>(wide.size()), CP_UTF8);
}

std::wstring FoldedPath(const std::string& path) {
  std::wstring wide = CodePageToWide(path, CP_ACP);
  if (wide.empty()) return wide;
  const int length = static_cast<int>(wide.size());
  std::wstring folded(wide.size(), L'\0');
  // Without LCMAP_LINGUISTIC_CASING the mapping is the file system's, one unit for one.
  if (::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.data(), length, folded.data(), length) != length) {
    return wide;
  }
  return folded;
}

}  // namespace lumek

#include "framework/Strings.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "framework/Platform.h"

namespace lumek {

namespace {

// The English entries sit this far above their Japanese twins in the string table.
constexpr unsigned kEnglishMessageOffset = 0x100;

std::wstring LoadStringEntry(unsigned id) {
  // LoadStringW with a zero buffer size hands back a pointer into the resource itself.
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

TFace FaceForLanguage(LANGID language) {
  return PRIMARYLANGID(language) == LANG_JAPANESE ? TFace::Japanese : TFace::English;
}

TFace UserFace() { return FaceForLanguage(Platform().GetUserDefaultUILanguage()); }

std::wstring LoadMessage(unsigned id) {
  if (UserFace() == TFace::English) {
    std::wstring english = LoadStringEntry(id + kEnglishMessageOffset);
    if (!english.empty()) return english;
  }
  return LoadStringEntry(id);
}

std::wstring FormatMessageId(unsigned id, ...) {
  std::wstring format = LoadMessage(id);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list args;
    va_start(args, id);
    int written = std::vswprintf(buffer.data(), buffer.size(), format.c_str(), args);
    va_end(args);
    // A buffer too small gives -1, or with some run-times a full buffer of cut
    // text: grow it until the text fits with room to spare (paths have no fixed limit).
    if (written >= 0 && static_cast<size_t>(written) + 1 < buffer.size()) {
      return std::wstring(buffer.data(), static_cast<size_t>(written));
    }
    if (buffer.size() > 0x100000) return format;
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring result(text ? text : L"", text ? length : 0);
  if (text) ::LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
    result.pop_back();
  }
  return result;
}

std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int chars = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(), chars);
  return result;
}

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  int length = static_cast<int>(wide.size());
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, result.data(), bytes, nullptr, nullptr);
  return result;
}

std::wstring FoldedPath(const std::wstring& path) {
  if (path.empty()) return path;
  const int length = static_cast<int>(path.size());
  std::wstring folded(path.size(), L'\0');
  // Without LCMAP_LINGUISTIC_CASING the mapping is the file system's, one unit for one.
  if (::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.data(), length, folded.data(), length) != length) {
    return path;
  }
  return folded;
}

}  // namespace lumek

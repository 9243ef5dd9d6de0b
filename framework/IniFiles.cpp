#include "framework/IniFiles.h"

#include <cstdio>

#include "framework/Exceptions.h"
#include "framework/Platform.h"
#include "framework/Strings.h"

namespace lumek {

namespace {

// Fixed and on the stack: a read allocates nothing but its result.
constexpr DWORD kReadBufferSize = 2048;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHexMark(char c) { return c == 'x' || c == 'X'; }

}  // namespace

bool IniTextToInteger(const std::string& original, int32_t& value) {
  std::string text = original;
  // Only a leading "0x" followed by something is rewritten; a bare "0x" is
  // left for the conversion, which then finds no digits.
  if (text.size() > 2 && text[0] == '0' && IsHexMark(text[1])) text.replace(0, 2, "$");

  const size_t end = text.size();
  size_t i = 0;
  while (i < end && text[i] == ' ') ++i;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hexadecimal = false;
  if (i < end && (text[i] == '$' || IsHexMark(text[i]))) {
    hexadecimal = true;
    i += 1;
  } else if (i + 1 < end && text[i] == '0' && IsHexMark(text[i + 1])) {
    hexadecimal = true;
    i += 2;
  }
  if (i == end) return false;

  uint64_t magnitude = 0;
  if (hexadecimal) {
    for (; i < end; ++i) {
      int digit = HexDigitValue(text[i]);
      if (digit < 0) return false;
      magnitude = magnitude * 16 + static_cast<uint64_t>(digit);
      if (magnitude > 0xFFFFFFFFull) return false;
    }
    value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    return true;
  }

  const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    if (magnitude > limit) return false;
  }
  const int64_t signedValue = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  value = static_cast<int32_t>(signedValue);
  return true;
}

int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const {
  int32_t value = 0;
  return IniTextToInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  WriteString(section, key, text);
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

TIniFile::~TIniFile() { FlushFile(); }

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  wchar_t buffer[kReadBufferSize];
  DWORD count = Platform().GetPrivateProfileStringW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                                    Utf8ToWide(defaultValue).c_str(), buffer, kReadBufferSize,
                                                    FileName().c_str());
  if (count >= kReadBufferSize) count = kReadBufferSize - 1;
  return WideToUtf8(std::wstring(buffer, count));
}

// c_str() of an empty string is an empty text, never null: a null value
// would delete the key instead of writing it empty.
void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  if (!Platform().WritePrivateProfileStringW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                             Utf8ToWide(value).c_str(), FileName().c_str())) {
    throw EIniFileException(FormatMessageId(IDS_INI_WRITE_ERROR, FileName().c_str()));
  }
}

void TIniFile::FlushFile() noexcept {
  Platform().WritePrivateProfileStringW(nullptr, nullptr, nullptr, FileName().c_str());
}

}  // namespace lumek

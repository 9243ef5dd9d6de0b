#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <iterator>
#include <memory>

#include "framework/Exceptions.h"
#include "framework/IniFiles.h"
#include "framework/Strings.h"
#include "framework/TextRules.h"
#include "tests/support/Recorder.h"

namespace lumek {
namespace {

TEST(IniIntegerText, ConvertsStoredTexts) {
  struct Row {
    const char* name;
    std::string text;
    bool converts;
    int32_t value;
  };
  const Row rows[] = {
      {"0x prefix", "0x1F", true, 31},
      {"0X prefix", "0X1f", true, 31},
      {"dollar lower-case digits", "$1f", true, 31},
      {"bare x", "x1F", true, 31},
      {"plus before 0x", "+0x1F", true, 31},
      {"minus before 0x is ignored", "-0x10", true, 16},
      {"minus before dollar is ignored", "-$10", true, 16},
      {"one leading space", " 42", true, 42},
      {"leading spaces then sign", "   -7", true, -7},
      {"leading zeros", "007", true, 7},
      {"zero", "0", true, 0},
      {"minus zero", "-0", true, 0},
      {"lowest", "-2147483648", true, INT_MIN},
      {"highest", "2147483647", true, INT_MAX},
      {"all ones hex is -1", "$FFFFFFFF", true, -1},
      {"hex top bit", "0x80000000", true, INT_MIN},
      {"hex leading zeros", "$000000001", true, 1},
      {"trailing space", "42 ", false, 0},
      {"tab before", "\t42", false, 0},
      {"above highest", "2147483648", false, 0},
      {"below lowest", "-2147483649", false, 0},
      {"far above 64 bits", "99999999999999999999999", false, 0},
      {"hex above 32 bits", "$100000000", false, 0},
      {"hex far above 64 bits", "$1000000000000000000000001", false, 0},
      {"hex digits without prefix", "FF", false, 0},
      {"bare 0x", "0x", false, 0},
      {"bare dollar", "$", false, 0},
      {"sign only", "+", false, 0},
      {"blank between sign and number", "- 5", false, 0},
      {"two signs", "+-1", false, 0},
      {"empty", "", false, 0},
      {"blank only", " ", false, 0},
      {"inner blank", "1 2", false, 0},
      {"exponent", "1e3", false, 0},
      {"hex with a non-digit", "$1G", false, 0},
      {"0x then a second prefix", "0x$1", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int32_t value = 12345;
    EXPECT_EQ(IniTextToInteger(row.text, value), row.converts) << "text \"" << row.text << "\"";
    EXPECT_EQ(value, row.converts ? row.value : 12345);
  }
}

// A fresh directory under the temporary folder, emptied and removed at the end.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::wstring& leaf) {
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp, length) + leaf + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchDirectory() {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
      } while (::FindNextFileW(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryW(path_.c_str());
  }
  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  if (FILE* file = ::_wfopen(path.c_str(), L"wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  if (FILE* file = ::_wfopen(path.c_str(), L"rb")) {
    char chunk[512];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    std::fclose(file);
  }
  return bytes;
}

TEST(IniFileOnDisk, BooleansAreIntegersWithTheCallersDefault) {
  ScratchDirectory dir(L"lumek-ini-bool");
  const std::wstring path = dir.File(L"bools.ini");
  {
    TIniFile ini(path);
    EXPECT_TRUE(ini.ReadBool("SET", "MISSING", true));
    EXPECT_FALSE(ini.ReadBool("SET", "MISSING", false));
    EXPECT_EQ(ini.ReadInteger("SET", "MISSING", -9), -9);
  }
  EXPECT_FALSE(FileExists(path)) << "reading must not create the file";

  struct Row {
    const char* name;
    const char* stored;
    bool defaultValue;
    bool expected;
  };
  const Row rows[] = {
      {"zero", "0", true, false},         {"hex zero", "$0", true, false},
      {"two", "2", false, true},          {"minus one", "-1", false, true},
      {"dollar one", "$1", false, true},  {"0x one", "0x1", false, true},
      {"on, default true", "on", true, true}, {"on, default false", "on", false, false},
      {"true, default false", "true", false, false}, {"empty, default true", "", true, true},
  };
  TIniFile ini(path);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ini.WriteString("SET", "FLAG", row.stored);
    EXPECT_EQ(ini.ReadBool("SET", "FLAG", row.defaultValue), row.expected);
  }
  for (bool value : {true, false}) {
    SCOPED_TRACE(value ? "WriteBool true" : "WriteBool false");
    ini.WriteBool("SET", "FLAG", value);
    EXPECT_EQ(ini.ReadString("SET", "FLAG", "?"), value ? "1" : "0");
    EXPECT_EQ(ini.ReadBool("SET", "FLAG", !value), value);
  }
}

TEST(IniFileOnDisk, IntegersRoundTripAsPlainDecimal) {
  ScratchDirectory dir(L"lumek-ini-int");
  TIniFile ini(dir.File(L"ints.ini"));
  const int32_t values[] = {-5, 0, 255, INT_MIN, INT_MAX};
  for (int32_t value : values) {
    SCOPED_TRACE(value);
    ini.WriteInteger("SET", "N", value);
    EXPECT_EQ(ini.ReadString("SET", "N", ""), std::to_string(value));
    EXPECT_EQ(ini.ReadInteger("SET", "N", 77), value);
  }
}

TEST(IniFileOnDisk, EmptyValueStaysInTheFileAndReadsAsTheDefault) {
  ScratchDirectory dir(L"lumek-ini-empty");
  const std::wstring path = dir.File(L"empty.ini");
  {
    TIniFile ini(path);
    ini.WriteString("SET", "BEFORE", "1");
    ini.WriteString("SET", "BEFORE", "");
  }
  EXPECT_NE(FileBytes(path).find("BEFORE=\r\n"), std::string::npos) << FileBytes(path);
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("SET", "BEFORE", 77), 77);
  // Present but empty, so the string default does not apply.
  EXPECT_EQ(ini.ReadString("SET", "BEFORE", "default"), "");
}

// The settings as every build writes them: ANSI, ASCII, CRLF, nine lines.
const char kSettingsBytes[] =
    "[SET]\r\nXVISIBLE=1\r\nYVISIBLE=0\r\nWARP=1\r\nXYCOLOR=65280\r\nXYBOLD=3\r\nSOUND=0\r\nSPEED=180\r\nALLSCREENS=1\r\n";
const char* const kSettingsKeys[] = {"XVISIBLE", "YVISIBLE", "WARP", "XYCOLOR", "XYBOLD", "SOUND", "SPEED", "ALLSCREENS"};
const int32_t kSettingsValues[] = {1, 0, 1, 65280, 3, 0, 180, 1};

// The bytes of `text` (ASCII) as UTF-16 with its byte-order mark.
std::string Utf16WithBom(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) bytes += std::string{c, '\0'};
  return bytes;
}

TEST(IniFileOnDisk, SettingsLayoutIsOneLinePerKeyInWritingOrderInAnyFolder) {
  for (const wchar_t* folder : {L"lumek-ini-layout", L"Lumek \u00DC\u00E9 \uD55C \U0001F600 "}) {
    SCOPED_TRACE(WideToUtf8(folder));
    ScratchDirectory dir(folder);
    const std::wstring path = dir.File(L"LUMEK.ini");
    {
      TIniFile ini(path);
      for (size_t i = 0; i < std::size(kSettingsKeys); ++i) ini.WriteInteger("SET", kSettingsKeys[i], kSettingsValues[i]);
    }
    EXPECT_EQ(FileBytes(path), kSettingsBytes);
  }
}

TEST(IniFileOnDisk, AFileOfAnEarlierBuildReadsAsBeforeAndWritesBackTheSameBytes) {
  struct Row {
    const char* name;
    std::string bytes;
  } rows[] = {
      {"ANSI, as every earlier build wrote it", kSettingsBytes},
      {"UTF-16 with its mark, as a user may have saved it", Utf16WithBom(kSettingsBytes)},
  };
  ScratchDirectory dir(L"Lumek \u00DC\u00E9 \uD55C \U0001F600 ");
  const std::wstring path = dir.File(L"LUMEK.ini");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteBytes(path, row.bytes);
    {
      TIniFile ini(path);
      for (size_t i = 0; i < std::size(kSettingsKeys); ++i) {
        EXPECT_EQ(ini.ReadInteger("SET", kSettingsKeys[i], -1), kSettingsValues[i]) << kSettingsKeys[i];
      }
      for (size_t i = 0; i < std::size(kSettingsKeys); ++i) ini.WriteInteger("SET", kSettingsKeys[i], kSettingsValues[i]);
    }
    EXPECT_EQ(FileBytes(path), row.bytes);
  }
}

TEST(IniFileOnDisk, LongValueComesBackCutToTheBuffer) {
  ScratchDirectory dir(L"lumek-ini-long");
  TIniFile ini(dir.File(L"long.ini"));
  ini.WriteString("SET", "LONG", std::string(3000, 'a'));
  EXPECT_EQ(ini.ReadString("SET", "LONG", ""), std::string(2047, 'a'));
}

// Held open without sharing, so the platform cannot open it to rewrite it.
// (Wine runs as root here, where a read-only directory would not stop a write.)
class ExclusiveOpen {
 public:
  explicit ExclusiveOpen(const std::wstring& path)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ExclusiveOpen() { Close(); }
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (Held()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

TEST(IniFileOnDisk, RefusedWriteRaisesNamingTheFileAndLeavesTheObjectUsable) {
  ScratchDirectory dir(L"lumek-ini-refused");
  const std::wstring path = dir.File(L"LUMEK.ini");
  // Declared before the ini object so that its flush at destruction also
  // meets the held file, and must not raise.
  ExclusiveOpen holder(path);
  ASSERT_TRUE(holder.Held());
  TIniFile ini(path);
  try {
    ini.WriteInteger("SET", "SPEED", 60);
    ADD_FAILURE() << "the write went through although the file is held without sharing";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), path + L" に書き込めません");
  }
  holder.Close();
  EXPECT_EQ(ini.ReadInteger("SET", "SPEED", -1), -1) << "nothing may be written for the refused key";
  ini.WriteInteger("SET", "SPEED", 180);
  EXPECT_EQ(ini.ReadInteger("SET", "SPEED", -1), 180);
}

TEST(IniFileError, TheWriteErrorNamesAPathOfAnyLengthWhole) {
  for (size_t length : {10u, 254u, 255u, 256u, 600u, 40000u}) {
    SCOPED_TRACE(length);
    const std::wstring path = L"C:\\" + std::wstring(length, L'p') + L"\\LUMEK.ini";
    EXPECT_EQ(FormatMessageId(IDS_INI_WRITE_ERROR, path.c_str()), path + L" に書き込めません");
  }
}

TEST(IniFileOnDisk, AFolderNamedInAnyScriptHoldsTheFile) {
  // "表" is 0x95 0x5C in Shift-JIS; the others are outside code page 932, and
  // "한" (U+D55C) has a backslash's low byte.
  for (const wchar_t* folder : {L"lumek\u8868", L"Lumek \u00DC\u00E9 \uD55C \U0001F600 "}) {
    SCOPED_TRACE(WideToUtf8(folder));
    ScratchDirectory dir(folder);
    const std::wstring exePath = dir.File(L"LUMEK.exe");
    const std::wstring iniPath = ExtractFilePath(exePath) + L"LUMEK.ini";
    ASSERT_EQ(iniPath, dir.File(L"LUMEK.ini"));
    {
      TIniFile ini(iniPath);
      ini.WriteInteger("SET", "XYBOLD", 3);
    }
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(dir.File(L"*.ini").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no ini file inside the directory";
    EXPECT_STREQ(found.cFileName, L"LUMEK.ini");
    ::FindClose(search);
    EXPECT_EQ(TIniFile(iniPath).ReadInteger("SET", "XYBOLD", 1), 3);
  }
}

// Every operation is one profile call with exactly these arguments; the
// flush is the call with nothing but the file.
std::wstring recordedFile;

std::string Argument(LPCWSTR text) {
  if (text == nullptr) return "null";
  return text == recordedFile ? "<file>" : "\"" + WideToUtf8(text) + "\"";
}

TEST(IniFileCalls, EachOperationIsOneProfileCallAndDestructionFlushes) {
  ScratchDirectory dir(L"lumek-ini-calls \uD55C");
  recordedFile = dir.File(L"calls.ini");
  test::CallRecorder recorder;
  Platform().GetPrivateProfileStringW = [](LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                                           DWORD size, LPCWSTR file) {
    test::CallRecorder::Record("GetPrivateProfileStringW(" + Argument(section) + ", " + Argument(key) + ", " +
                               Argument(defaultValue) + ", " + std::to_string(size) + ", " + Argument(file) + ")");
    return RealPlatform().GetPrivateProfileStringW(section, key, defaultValue, buffer, size, file);
  };
  Platform().WritePrivateProfileStringW = [](LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
    test::CallRecorder::Record("WritePrivateProfileStringW(" + Argument(section) + ", " + Argument(key) + ", " +
                               Argument(value) + ", " + Argument(file) + ")");
    return RealPlatform().WritePrivateProfileStringW(section, key, value, file);
  };
  {
    auto ini = std::make_unique<TIniFile>(recordedFile);
    EXPECT_TRUE(recorder.Calls().empty()) << "construction must not touch the file";
    ini->WriteString("SET", "NAME", "");
    ini->WriteBool("SET", "SOUND", false);
    ini->WriteInteger("SET", "SPEED", -5);
    EXPECT_EQ(ini->ReadInteger("SET", "SPEED", 20), -5);
    EXPECT_TRUE(ini->ReadBool("SET", "WARP", true));
    EXPECT_EQ(ini->ReadString("SET", "NAME", "x"), "");
  }
  const std::vector<std::string> expected = {
      "WritePrivateProfileStringW(\"SET\", \"NAME\", \"\", <file>)",
      "WritePrivateProfileStringW(\"SET\", \"SOUND\", \"0\", <file>)",
      "WritePrivateProfileStringW(\"SET\", \"SPEED\", \"-5\", <file>)",
      "GetPrivateProfileStringW(\"SET\", \"SPEED\", \"\", 2048, <file>)",
      "GetPrivateProfileStringW(\"SET\", \"WARP\", \"\", 2048, <file>)",
      "GetPrivateProfileStringW(\"SET\", \"NAME\", \"x\", 2048, <file>)",
      "WritePrivateProfileStringW(null, null, null, <file>)",
  };
  EXPECT_EQ(recorder.Calls(), expected) << test::ShowSequences(recorder.Calls(), expected);
}

}  // namespace
}  // namespace lumek

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
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
  explicit ScratchDirectory(const std::string& leaf) {
    char temp[MAX_PATH];
    DWORD length = ::GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp, length) + leaf + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchDirectory() {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileA((path_ + "\\" + found.cFileName).c_str());
      } while (::FindNextFileA(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryA(path_.c_str());
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string FileBytes(const std::string& path) {
  std::string bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[512];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    std::fclose(file);
  }
  return bytes;
}

TEST(IniFileOnDisk, BooleansAreIntegersWithTheCallersDefault) {
  ScratchDirectory dir("lumek-ini-bool");
  const std::string path = dir.File("bools.ini");
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
  ScratchDirectory dir("lumek-ini-int");
  TIniFile ini(dir.File("ints.ini"));
  const int32_t values[] = {-5, 0, 255, INT_MIN, INT_MAX};
  for (int32_t value : values) {
    SCOPED_TRACE(value);
    ini.WriteInteger("SET", "N", value);
    EXPECT_EQ(ini.ReadString("SET", "N", ""), std::to_string(value));
    EXPECT_EQ(ini.ReadInteger("SET", "N", 77), value);
  }
}

TEST(IniFileOnDisk, EmptyValueStaysInTheFileAndReadsAsTheDefault) {
  ScratchDirectory dir("lumek-ini-empty");
  const std::string path = dir.File("empty.ini");
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

TEST(IniFileOnDisk, SettingsLayoutIsOneLinePerKeyInWritingOrder) {
  ScratchDirectory dir("lumek-ini-layout");
  const std::string path = dir.File("LUMEK.ini");
  {
    TIniFile ini(path);
    ini.WriteBool("SET", "XVISIBLE", true);
    ini.WriteBool("SET", "YVISIBLE", true);
    ini.WriteBool("SET", "WARP", false);
    ini.WriteInteger("SET", "XYCOLOR", 255);
    ini.WriteInteger("SET", "XYBOLD", 1);
    ini.WriteBool("SET", "SOUND", true);
    ini.WriteInteger("SET", "SPEED", 20);
  }
  EXPECT_EQ(FileBytes(path),
            "[SET]\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=255\r\nXYBOLD=1\r\nSOUND=1\r\nSPEED=20\r\n");
}

TEST(IniFileOnDisk, LongValueComesBackCutToTheBuffer) {
  ScratchDirectory dir("lumek-ini-long");
  TIniFile ini(dir.File("long.ini"));
  ini.WriteString("SET", "LONG", std::string(3000, 'a'));
  EXPECT_EQ(ini.ReadString("SET", "LONG", ""), std::string(2047, 'a'));
}

// Held open without sharing, so the platform cannot open it to rewrite it.
// (Wine runs as root here, where a read-only directory would not stop a write.)
class ExclusiveOpen {
 public:
  explicit ExclusiveOpen(const std::string& path)
      : handle_(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
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
  ScratchDirectory dir("lumek-ini-refused");
  const std::string path = dir.File("LUMEK.ini");
  // Declared before the ini object so that its flush at destruction also
  // meets the held file, and must not raise.
  ExclusiveOpen holder(path);
  ASSERT_TRUE(holder.Held());
  TIniFile ini(path);
  try {
    ini.WriteInteger("SET", "SPEED", 60);
    ADD_FAILURE() << "the write went through although the file is held without sharing";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), path + Utf8ToAnsi(" に書き込めません"));
  }
  holder.Close();
  EXPECT_EQ(ini.ReadInteger("SET", "SPEED", -1), -1) << "nothing may be written for the refused key";
  ini.WriteInteger("SET", "SPEED", 180);
  EXPECT_EQ(ini.ReadInteger("SET", "SPEED", -1), 180);
}

TEST(IniFileOnDisk, DirectoryNameWithBackslashTrailByteHoldsTheFile) {
  if (::GetACP() != 932) GTEST_SKIP() << "needs the Shift-JIS system code page, have " << ::GetACP();
  // "表" is 0x95 0x5C: its second byte looks like a path separator.
  ScratchDirectory dir("lumek\x95\x5C");
  const std::string exePath = dir.File("LUMEK.exe");
  const std::string iniPath = ExtractFilePath(exePath) + "LUMEK.ini";
  ASSERT_EQ(iniPath, dir.File("LUMEK.ini"));
  {
    TIniFile ini(iniPath);
    ini.WriteInteger("SET", "XYBOLD", 3);
  }
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA(dir.File("*.ini").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no ini file inside the directory";
  EXPECT_STREQ(found.cFileName, "LUMEK.ini");
  ::FindClose(search);
  EXPECT_EQ(TIniFile(iniPath).ReadInteger("SET", "XYBOLD", 1), 3);
}

// Every operation is one profile call with exactly these arguments; the
// flush is the call with nothing but the file.
std::string recordedFile;

std::string Argument(LPCSTR text) {
  if (text == nullptr) return "null";
  return text == recordedFile ? "<file>" : "\"" + std::string(text) + "\"";
}

TEST(IniFileCalls, EachOperationIsOneProfileCallAndDestructionFlushes) {
  ScratchDirectory dir("lumek-ini-calls");
  recordedFile = dir.File("calls.ini");
  test::CallRecorder recorder;
  Platform().GetPrivateProfileStringA = [](LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                                           DWORD size, LPCSTR file) {
    test::CallRecorder::Record("GetPrivateProfileStringA(" + Argument(section) + ", " + Argument(key) + ", " +
                               Argument(defaultValue) + ", " + std::to_string(size) + ", " + Argument(file) + ")");
    return RealPlatform().GetPrivateProfileStringA(section, key, defaultValue, buffer, size, file);
  };
  Platform().WritePrivateProfileStringA = [](LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    test::CallRecorder::Record("WritePrivateProfileStringA(" + Argument(section) + ", " + Argument(key) + ", " +
                               Argument(value) + ", " + Argument(file) + ")");
    return RealPlatform().WritePrivateProfileStringA(section, key, value, file);
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
      "WritePrivateProfileStringA(\"SET\", \"NAME\", \"\", <file>)",
      "WritePrivateProfileStringA(\"SET\", \"SOUND\", \"0\", <file>)",
      "WritePrivateProfileStringA(\"SET\", \"SPEED\", \"-5\", <file>)",
      "GetPrivateProfileStringA(\"SET\", \"SPEED\", \"\", 2048, <file>)",
      "GetPrivateProfileStringA(\"SET\", \"WARP\", \"\", 2048, <file>)",
      "GetPrivateProfileStringA(\"SET\", \"NAME\", \"x\", 2048, <file>)",
      "WritePrivateProfileStringA(null, null, null, <file>)",
  };
  EXPECT_EQ(recorder.Calls(), expected) << test::ShowSequences(recorder.Calls(), expected);
}

}  // namespace
}  // namespace lumek

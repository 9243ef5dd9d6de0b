// The settings value's reader and writer, each case run against a file held
// in memory and against a real file through the platform's profile functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/LumekSettings.h"
#include "framework/IniFiles.h"
#include "framework/Strings.h"
#include "tests/support/Files.h"

namespace lumek::test {
namespace {

// Keys and values in memory, each section's keys in the order first written.
class MemoryIniFile : public TCustomIniFile {
 public:
  MemoryIniFile() : TCustomIniFile(L"memory") {}

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const override {
    auto found = values_.find({section, key});
    return found != values_.end() ? found->second : defaultValue;
  }
  void WriteString(const std::string& section, const std::string& key, const std::string& value) override {
    if (values_.find({section, key}) == values_.end()) order_.emplace_back(section, key);
    values_[{section, key}] = value;
  }

  // The file the writes make, in the platform's layout.
  std::string Text() const {
    std::string text;
    std::string section;
    for (const auto& [keySection, key] : order_) {
      if (keySection != section) text += "[" + (section = keySection) + "]\r\n";
      text += key + "=" + values_.at({keySection, key}) + "\r\n";
    }
    return text;
  }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
  std::vector<std::pair<std::string, std::string>> order_;
};

// A real settings file in the temp folder, removed at the end.
class RealFile {
 public:
  explicit RealFile(const std::string& bytes) {
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    static unsigned serial = 0;
    path_ = std::wstring(folder) + L"settings-value." + std::to_wstring(::GetCurrentProcessId()) + L"." +
            std::to_wstring(++serial) + L".ini";
    EXPECT_TRUE(WriteFileBytes(path_, bytes));
  }
  ~RealFile() { ::DeleteFileW(path_.c_str()); }
  const std::wstring& Path() const { return path_; }
  std::string Bytes() const { return FileBytes(path_); }

 private:
  std::wstring path_;
};

// Reads one key's text through both kinds of file; both must agree.
LumekSettings ReadOneKey(const char* key, const std::string& text) {
  MemoryIniFile memory;
  memory.WriteString("SET", key, text);
  const LumekSettings fromMemory = ReadLumekSettings(memory, LumekSettings());
  RealFile real(std::string("[SET]\r\n") + key + "=" + text + "\r\n");
  TIniFile ini(real.Path());
  const LumekSettings fromFile = ReadLumekSettings(ini, LumekSettings());
  EXPECT_EQ(fromMemory.thickness, fromFile.thickness);
  EXPECT_EQ(fromMemory.period, fromFile.period);
  return fromFile;
}

TEST(LumekSettingsRanges, ThicknessAndPeriodOutsideTheirRangesReadAsTheDefaults) {
  struct Row {
    const char* key;
    const char* text;
    int64_t read;
  } rows[] = {
      {"XYBOLD", "7", 7},          {"XYBOLD", "1", 1},          {"XYBOLD", "50", 50},
      {"XYBOLD", "0", 1},          {"XYBOLD", "51", 1},         {"XYBOLD", "-3", 1},
      {"XYBOLD", "1000", 1},       {"XYBOLD", "99999", 1},      {"XYBOLD", "0x20", 32},
      {"XYBOLD", "-2147483648", 1}, {"XYBOLD", "wide", 1},      {"XYBOLD", "", 1},
      {"SPEED", "100", 100},       {"SPEED", "10", 10},         {"SPEED", "65535", 65535},
      {"SPEED", "540", 540},       {"SPEED", "9", 20},          {"SPEED", "65536", 20},
      {"SPEED", "0", 20},          {"SPEED", "-5", 20},         {"SPEED", "$FFFFFFFF", 20},
      {"SPEED", "fast", 20},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.key) + "=" + row.text);
    const LumekSettings read = ReadOneKey(row.key, row.text);
    const bool thickness = std::string(row.key) == "XYBOLD";
    EXPECT_EQ(thickness ? read.thickness : static_cast<int64_t>(read.period), row.read);
    EXPECT_EQ(thickness ? static_cast<int64_t>(read.period) : read.thickness, thickness ? 20 : 1)
        << "the other key keeps its default";
  }
}

TEST(LumekSettingsRanges, MissingOrNonNumericKeysTakeTheDefaultsGivenAndNumbersTheirValue) {
  LumekSettings given;
  given.xVisible = false;
  given.warp = true;
  given.color = 65280;
  given.thickness = 3;
  given.period = 180;
  given.allScreens = true;
  MemoryIniFile memory;
  memory.WriteString("SET", "XYBOLD", "0");
  memory.WriteString("SET", "SPEED", "3");
  memory.WriteString("SET", "SOUND", "0");
  memory.WriteString("SET", "YVISIBLE", "yes");
  memory.WriteString("SET", "XYCOLOR", "0x0000FF");
  memory.WriteString("OTHER", "XVISIBLE", "1");
  const LumekSettings read = ReadLumekSettings(memory, given);
  EXPECT_FALSE(read.xVisible) << "a key of another section is not Lumek's";
  EXPECT_TRUE(read.yVisible) << "a non-number keeps the default";
  EXPECT_TRUE(read.warp);
  EXPECT_EQ(read.color, 255);
  EXPECT_EQ(read.thickness, 3) << "outside the range: the default given";
  EXPECT_FALSE(read.sound);
  EXPECT_EQ(read.period, 180u);
  EXPECT_TRUE(read.allScreens);
}

TEST(LumekSettingsFile, TheWriterMakesTheNineLinesInBothFilesAndReadsBackTheSameValue) {
  LumekSettings first;
  MemoryIniFile memory;
  WriteLumekSettings(memory, first);
  const std::string nineLines =
      "[SET]\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=255\r\nXYBOLD=1\r\n"
      "SOUND=1\r\nSPEED=20\r\nALLSCREENS=0\r\n";
  EXPECT_EQ(memory.Text(), nineLines);
  {
    RealFile real("");
    {
      TIniFile ini(real.Path());
      WriteLumekSettings(ini, first);
    }
    EXPECT_EQ(real.Bytes(), nineLines);
  }

  LumekSettings changed;
  changed.xVisible = false;
  changed.yVisible = false;
  changed.warp = true;
  changed.color = -2;
  changed.thickness = 50;
  changed.sound = false;
  changed.period = 65535;
  changed.allScreens = true;
  RealFile real(nineLines);
  TIniFile ini(real.Path());
  WriteLumekSettings(ini, changed);
  WriteLumekSettings(memory, changed);
  const TCustomIniFile* files[] = {&ini, &memory};
  for (const TCustomIniFile* file : files) {
    SCOPED_TRACE(WideToUtf8(file->FileName()));
    const LumekSettings read = ReadLumekSettings(*file, first);
    EXPECT_EQ(read.xVisible, changed.xVisible);
    EXPECT_EQ(read.yVisible, changed.yVisible);
    EXPECT_EQ(read.warp, changed.warp);
    EXPECT_EQ(read.color, changed.color);
    EXPECT_EQ(read.thickness, changed.thickness);
    EXPECT_EQ(read.sound, changed.sound);
    EXPECT_EQ(read.period, changed.period);
    EXPECT_EQ(read.allScreens, changed.allScreens);
  }
}

}  // namespace
}  // namespace lumek::test

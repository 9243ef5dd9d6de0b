// Settings fuzz: generated LUMEK.ini files with random and hostile values for
// every key go through the real main form's read pass and its write pass.
// Nothing may fail, every option read is its default or the value the text
// converts to, and the written file reads back to the same options.
//
// The platform parses the file (blanks around "=", quotes, comments, NUL
// bytes, UTF-16, duplicate keys are its business), so the oracle starts from
// the platform's own answer for each key and checks Lumek's logic from there:
// the integer rule, the defaults, the thickness and period ranges (a value
// outside its range reads as the default), the signed colour.
//
// Wine: its parser trims blanks and tabs around keys and values, strips one
// matching pair of quotes ("0" and '0' read as 0, a lone quote stays), keeps
// a ";" inside a value, takes a lone CR as a line end, reads a UTF-16 file
// with a BOM, ignores everything after a NUL byte, and for a key given twice
// (or a section given twice) answers from the first one. Windows differs in
// some of these; the oracle does not care which.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/LumekSettings.h"
#include "app/Mainwindow1.h"
#include "app/LineWindow.h"
#include "framework/IniFiles.h"
#include "framework/Menus.h"
#include "tests/app/MainFormFixture.h"
#include "timers/HiTimer.h"

namespace lumek::test {
namespace {

const char* const kKeys[] = {"XVISIBLE", "YVISIBLE", "WARP", "XYCOLOR", "XYBOLD", "SOUND", "SPEED", "ALLSCREENS"};

// Deterministic, so a failing case number names the same file on every run.
class Generator {
 public:
  explicit Generator(uint32_t seed) : state_(seed ? seed : 0x1234567u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  size_t Below(size_t bound) { return Next() % bound; }
  bool OneIn(size_t n) { return Below(n) == 0; }
  template <size_t N>
  const char* Pick(const char* const (&table)[N]) {
    return table[Below(N)];
  }

  // One value text: a hostile one, a meaningful one or random bytes.
  std::string Value() {
    static const char* const kHostile[] = {
        "", " ", "   ", "\"1\"", "'0'", "\"\"", "\"0x10\"", "99999999999999999999", "2147483647", "2147483648",
        "-2147483648", "-2147483649", "$FFFFFFFF", "0xFFFFFFFF", "$100000000", "0x80000000", "0x7FFFFFFF",
        "$000000001", "-$10", "+0x1F", "x1F", "X1f", "0x", "0X", "$", "x", "+", "-", "+-1", "--1", " 42", "42 ",
        "\t42", "007", "1 2", "=", "==1", ";1", "1;c", "[", "[SET]", "]", "1\r", "\r", "\x82\xa0", "\x95\\",
        "true", "yes", "on", "0.5", "1e3", "$ 1", "0x-1", "- 1", "+0", "-0", "$0", "0x00FF00", "0x0000FF00",
        "0xFF000000", "$80000005", "-1", "-255",
    };
    static const char* const kMeaningful[] = {"0", "1", "2", "3", "4", "5", "7", "20", "60", "100", "180",
                                              "540", "255", "65280", "1000", "65535", "65536"};
    switch (Below(6)) {
      case 0:
      case 1:
        return Pick(kHostile);
      case 2:
        return Pick(kMeaningful);
      case 3: {
        std::string digits = OneIn(2) ? "-" : "";
        for (size_t i = 0, n = 1 + Below(12); i < n; ++i) digits += static_cast<char>('0' + Below(10));
        return digits;
      }
      case 4: {
        // NUL bytes and other control bytes inside a value.
        std::string bytes;
        for (size_t i = 0, n = Below(6); i < n; ++i) bytes += static_cast<char>(Below(2) ? Below(32) : Below(256));
        return std::string(Pick(kMeaningful)) + bytes;
      }
      default:
        // Longer than the read buffer: the value comes back cut.
        return OneIn(2) ? std::string(1 + Below(3000), static_cast<char>('0' + Below(10)))
                        : "1" + std::string(2100, ' ');
    }
  }

  std::string LineEnd() {
    static const char* const kEnds[] = {"\r\n", "\r\n", "\n", "\r"};
    return Pick(kEnds);
  }

  // One key's line, with the layout variations the platform has to parse.
  std::string KeyLine(const std::string& key) {
    std::string name = key;
    if (OneIn(8)) {
      for (char& c : name) c = static_cast<char>(c | 0x20);
    }
    static const char* const kBefore[] = {"", "", "", " ", "\t"};
    static const char* const kAround[] = {"=", "=", "=", " = ", "= ", " =", "\t=\t"};
    return Pick(kBefore) + name + Pick(kAround) + Value();
  }

  std::string Junk() {
    static const char* const kJunk[] = {";XVISIBLE=0",   "#XYBOLD=3",   "[",       "[SET",       "[ SET ]",
                                        "[OTHER]",       "=1",          "SPEED",   "garbage line", "",
                                        "[set]",         "XYBOLD==2",   "\x1a",    "[SET]]",     "  [SET]"};
    return Pick(kJunk);
  }

  // A whole file: a header, the keys in random order, some missing, some
  // twice, junk lines and other sections around them.
  std::string IniText() {
    std::string text;
    if (OneIn(4)) text += "[OTHER]" + LineEnd() + "XYBOLD=4" + LineEnd();
    text += (OneIn(10) ? "[set]" : "[SET]") + LineEnd();
    std::vector<std::string> keys(std::begin(kKeys), std::end(kKeys));
    for (size_t i = keys.size(); i > 1; --i) std::swap(keys[i - 1], keys[Below(i)]);
    for (const std::string& key : keys) {
      if (OneIn(8)) continue;
      if (OneIn(6)) text += Junk() + LineEnd();
      text += KeyLine(key) + LineEnd();
      if (OneIn(10)) text += KeyLine(key) + LineEnd();
    }
    if (OneIn(4)) text += "[SET]" + LineEnd() + KeyLine(Pick(kKeys)) + LineEnd();
    if (OneIn(3)) text += "[TAIL]" + LineEnd() + KeyLine(Pick(kKeys));
    return text;
  }

 private:
  uint32_t state_;
};

std::string Utf16WithBom(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// Several MB of other sections and long lines before the keys.
std::string SeveralMegabytes(Generator& generator) {
  std::string text;
  text.reserve(5 << 20);
  for (int section = 0; text.size() < (4u << 20); ++section) {
    text += "[FILL" + std::to_string(section) + "]\r\n";
    for (int line = 0; line < 64; ++line) text += "K" + std::to_string(line) + "=" + std::string(1000, 'v') + "\r\n";
  }
  return text + generator.IniText();
}

struct Options {
  bool xVisible = true, yVisible = true, warp = false;
  int32_t color = 255, bold = 1;
  bool sound = true;
  uint32_t speed = 20;
  bool allScreens = false;
};

bool ConvertedBool(const std::string& text, bool defaultValue) {
  int32_t value = 0;
  return IniTextToInteger(text, value) ? value != 0 : defaultValue;
}
int32_t ConvertedInteger(const std::string& text, int32_t defaultValue) {
  int32_t value = 0;
  return IniTextToInteger(text, value) ? value : defaultValue;
}

// The platform's answer for each key of the file at `path`.
std::vector<std::string> PlatformTexts(const std::wstring& path) {
  TIniFile ini(path);
  std::vector<std::string> texts;
  for (const char* key : kKeys) texts.push_back(ini.ReadString("SET", key, ""));
  return texts;
}

// What the read pass must make of the platform's texts.
Options ExpectedFromTexts(const std::vector<std::string>& texts) {
  Options defaults;
  Options expected;
  expected.xVisible = ConvertedBool(texts[0], defaults.xVisible);
  expected.yVisible = ConvertedBool(texts[1], defaults.yVisible);
  expected.warp = ConvertedBool(texts[2], defaults.warp);
  expected.color = ConvertedInteger(texts[3], defaults.color);
  expected.bold = ConvertedInteger(texts[4], defaults.bold);
  if (expected.bold < kMinThickness || expected.bold > kMaxThickness) expected.bold = defaults.bold;
  expected.sound = ConvertedBool(texts[5], defaults.sound);
  const int32_t speed = ConvertedInteger(texts[6], static_cast<int32_t>(defaults.speed));
  expected.speed = speed < kMinPeriod || speed > kMaxPeriod ? defaults.speed : static_cast<uint32_t>(speed);
  expected.allScreens = ConvertedBool(texts[7], defaults.allScreens);
  return expected;
}

// The item of `items` that a value of `values` selects, or `fallback`.
TMenuItem* SelectedItem(int64_t value, const std::vector<int64_t>& values, const std::vector<TMenuItem*>& items,
                        TMenuItem* fallback) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i] == value) return items[i];
  }
  return fallback;
}

// Checks the live form against the oracle; returns the options it holds.
Options CheckReadPass(TMainForm1& form, const Options& expected) {
  EXPECT_EQ(form.N21->Checked(), expected.xVisible);
  EXPECT_EQ(XForm1->Visible(), expected.xVisible);
  EXPECT_EQ(form.N22->Checked(), expected.yVisible);
  EXPECT_EQ(YForm1->Visible(), expected.yVisible);
  EXPECT_EQ(form.N19->Checked(), expected.warp);
  EXPECT_EQ(form.Timer3->Enabled(), expected.warp);
  EXPECT_EQ(XForm1->Color(), expected.color);
  EXPECT_EQ(YForm1->Color(), expected.color);
  EXPECT_EQ(form.N1->Checked(), expected.sound);
  EXPECT_EQ(form.Timer2->Enabled(), expected.sound);
  EXPECT_EQ(form.N24->Checked(), expected.allScreens);

  const int32_t bold = XForm1->Width();
  EXPECT_EQ(bold, expected.bold);
  EXPECT_EQ(YForm1->Height(), bold) << "both lines have one thickness";
  std::vector<TMenuItem*> thickness = {form.N5, form.N6, form.N11, form.N12};
  TMenuItem* thick = SelectedItem(bold, {1, 2, 3, 4}, thickness, form.N5);
  for (TMenuItem* item : thickness) EXPECT_EQ(item->Checked(), item == thick) << item->Name();

  EXPECT_EQ(form.Timer1->Interval(), expected.speed);
  std::vector<TMenuItem*> speeds = {form.N14, form.N15, form.N16, form.N17};
  TMenuItem* fast = SelectedItem(form.Timer1->Interval(), {20, 60, 180, 540}, speeds, form.N14);
  for (TMenuItem* item : speeds) EXPECT_EQ(item->Checked(), item == fast) << item->Name();

  Options held = expected;
  held.bold = bold;
  held.speed = form.Timer1->Interval();
  return held;
}

// The written bytes, copied to a path of their own so the platform reads
// them from the disk, not from its cached copy of the file it just wrote.
void CheckWrittenFileReadsBack(const MainFormFixture& app, const std::string& written, const Options& held) {
  std::wstring copy = app.Directory() + L"readback.ini";
  HANDLE file = ::CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD count = 0;
  ::WriteFile(file, written.data(), static_cast<DWORD>(written.size()), &count, nullptr);
  ::CloseHandle(file);
  std::vector<std::string> texts = PlatformTexts(copy);
  ::DeleteFileW(copy.c_str());
  std::vector<std::string> expected = {held.xVisible ? "1" : "0", held.yVisible ? "1" : "0",
                                       held.warp ? "1" : "0",     std::to_string(held.color),
                                       std::to_string(held.bold), held.sound ? "1" : "0",
                                       std::to_string(held.speed),  held.allScreens ? "1" : "0"};
  EXPECT_EQ(texts, expected) << ShowSequences(texts, expected);
}

constexpr int kGeneratedFiles = 1000;

// Whole-file shapes mixed in among the generated ones, by case number.
std::string FileForCase(int number, Generator& generator, bool& writeFile) {
  writeFile = true;
  switch (number) {
    case 0:
      return "";
    case 1:
      return Utf16WithBom("[SET]\r\nXVISIBLE=0\r\nXYCOLOR=0x0000FF00\r\nXYBOLD=3\r\nSPEED=180\r\n");
    case 2:
      return Utf16WithBom(generator.IniText());
    case 3:
      return "\xEF\xBB\xBF" + generator.IniText();
    case 4:
      return std::string(4096, '\0');
    case 5:
      writeFile = false;
      return "";
    case 500:
      return SeveralMegabytes(generator);
    default:
      return generator.IniText();
  }
}

// The cases in parts of every kParts-th case, which ctest runs side by side.
constexpr int kParts = 2;
class SettingsFuzz : public ::testing::TestWithParam<int> {};

TEST_P(SettingsFuzz, GeneratedFilesReadToDefaultsOrValuesAndWriteBackTheSameOptions) {
  for (int number = GetParam(); number < kGeneratedFiles; number += kParts) {
    Generator generator(0x9E3779B9u * static_cast<uint32_t>(number + 1));
    bool writeFile = true;
    std::string bytes = FileForCase(number, generator, writeFile);
    SCOPED_TRACE("case " + std::to_string(number) + " (" + std::to_string(bytes.size()) + " bytes)");
    MainFormFixture app(WindowsOffTheDesktop());
    if (writeFile) app.WriteIni(bytes);
    const Options expected = ExpectedFromTexts(PlatformTexts(app.IniPath()));
    try {
      TMainForm1& form = app.Construct();
      Options held = CheckReadPass(form, expected);
      CheckWrittenFileReadsBack(app, app.Close(), held);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "raised: " << error.what();
    }
    if (HasFailure()) {
      std::string shown = bytes.size() > 600 ? bytes.substr(0, 600) + "..." : bytes;
      FAIL() << "file text (C escapes not applied): " << shown;
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Part, SettingsFuzz, ::testing::Range(0, kParts));

}  // namespace
}  // namespace lumek::test

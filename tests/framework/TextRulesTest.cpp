#include <gtest/gtest.h>

#include "framework/TextRules.h"

namespace lumek {
namespace {

struct PathRow {
  const char* name;
  std::wstring path;
  std::wstring dir;       // without trailing delimiter, root kept
  std::wstring withDelim; // up to and including the last delimiter
  std::wstring fileName;
};

// "表" is 0x95 0x5C in Shift-JIS: its second byte was a backslash.
const std::wstring kHyo = L"\u8868";
// "한" is U+D55C: its low byte is a backslash's.
const std::wstring kHan = L"\uD55C";
// "😀" is a surrogate pair, U+D83D U+DE00.
const std::wstring kGrin = L"\U0001F600";
// The full-width reverse solidus is a letter of a name, not a delimiter.
const std::wstring kWideBackslash = L"\uFF3C";

TEST(PathRules, SplitsPathsWhateverTheirCharacters) {
  const PathRow rows[] = {
      {"drive root", L"C:\\LUMEK.exe", L"C:\\", L"C:\\", L"LUMEK.exe"},
      {"nested", L"D:\\a\\b\\LUMEK.exe", L"D:\\a\\b", L"D:\\a\\b\\", L"LUMEK.exe"},
      {"tools", L"C:\\Tools\\LUMEK.exe", L"C:\\Tools", L"C:\\Tools\\", L"LUMEK.exe"},
      {"Shift-JIS 0x5C second byte in directory", L"C:\\" + kHyo + L"\\LUMEK.exe", L"C:\\" + kHyo,
       L"C:\\" + kHyo + L"\\", L"LUMEK.exe"},
      {"Shift-JIS 0x5C second byte ends directory name", L"C:\\a" + kHyo + L"\\x.exe", L"C:\\a" + kHyo,
       L"C:\\a" + kHyo + L"\\", L"x.exe"},
      {"Shift-JIS 0x5C second byte in file name", L"C:\\d\\" + kHyo + L".exe", L"C:\\d", L"C:\\d\\",
       kHyo + L".exe"},
      {"outside code page 932, low byte 0x5C", L"C:\\Lumek \u00DC\u00E9 " + kHan + L"\\LUMEK.exe",
       L"C:\\Lumek \u00DC\u00E9 " + kHan, L"C:\\Lumek \u00DC\u00E9 " + kHan + L"\\", L"LUMEK.exe"},
      {"surrogate pair ends directory name", L"C:\\a" + kGrin + L"\\x.exe", L"C:\\a" + kGrin,
       L"C:\\a" + kGrin + L"\\", L"x.exe"},
      {"surrogate pair in file name", L"C:\\d\\" + kGrin + L".exe", L"C:\\d", L"C:\\d\\", kGrin + L".exe"},
      {"full-width reverse solidus", L"C:\\a" + kWideBackslash + L"b.exe", L"C:\\", L"C:\\",
       L"a" + kWideBackslash + L"b.exe"},
      {"drive only", L"C:LUMEK.exe", L"C:", L"C:", L"LUMEK.exe"},
      {"UNC double backslash", L"\\\\srv\\LUMEK.exe", L"\\\\srv", L"\\\\srv\\", L"LUMEK.exe"},
      {"no delimiter", L"LUMEK.exe", L"", L"", L"LUMEK.exe"},
  };
  for (const PathRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ExtractFileDir(row.path), row.dir);
    EXPECT_EQ(ExtractFilePath(row.path), row.withDelim);
    EXPECT_EQ(ExtractFileName(row.path), row.fileName);
  }
}

TEST(PathRules, RemovesTheLastExtensionOnly) {
  EXPECT_EQ(RemoveExtension(L"LUMEK.exe"), L"LUMEK");
  EXPECT_EQ(RemoveExtension(L"my.tool.exe"), L"my.tool");
  EXPECT_EQ(RemoveExtension(L"LUMEK"), L"LUMEK");
  EXPECT_EQ(RemoveExtension(L""), L"");
  EXPECT_EQ(RemoveExtension(kGrin + L".exe"), kGrin);
  // U+FF0E is a full-width full stop: a letter of the name.
  EXPECT_EQ(RemoveExtension(L"a\uFF0Eexe"), L"a\uFF0Eexe");
}

TEST(TextRules, ACharacterIsOneUnitOrAWholeSurrogatePair) {
  const wchar_t kHigh = 0xD83D;
  const wchar_t kLow = 0xDE00;
  const std::wstring text = L"a" + kGrin + kHigh + L"b" + kLow;
  EXPECT_EQ(CharacterLength(text, 0), 1u);
  EXPECT_EQ(CharacterLength(text, 1), 2u) << "a pair";
  EXPECT_EQ(CharacterLength(text, 3), 1u) << "a high surrogate without its low one";
  EXPECT_EQ(CharacterLength(text, 5), 1u) << "a lone low surrogate";
  EXPECT_EQ(CharacterLength(std::wstring(1, kHigh), 0), 1u) << "a high surrogate at the end";
}

TEST(ApplicationCaption, CutsAtFirstStopAndLowersTheRest) {
  EXPECT_EQ(ApplicationCaptionFromFileName(L"TOOL.EXE"), L"Tool");
  EXPECT_EQ(ApplicationCaptionFromFileName(L"MY.TOOL.EXE"), L"My");
  EXPECT_EQ(ApplicationCaptionFromFileName(L"LUMEK.exe"), L"Lumek");
  EXPECT_EQ(ApplicationCaptionFromFileName(L"lumek"), L"lumek");
  EXPECT_EQ(ApplicationCaptionFromFileName(L".hidden"), L"");
  // Only ASCII letters are lowered, as before.
  EXPECT_EQ(ApplicationCaptionFromFileName(L"L\u00DCMEK.EXE"), L"L\u00DCmek");
}

TEST(CommandLineTail, SkipsTheProgramName) {
  struct Row {
    const char* name;
    const wchar_t* line;
    const wchar_t* tail;
  } rows[] = {
      {"quoted path with blanks", L"\"C:\\Program Files\\Lumek\\LUMEK.exe\"  -a  b", L"-a  b"},
      {"plain path", L"LUMEK.exe /x", L"/x"},
      {"tab ends the name", L"LUMEK.exe\t\tz", L"z"},
      {"leading blanks", L"   LUMEK.exe", L""},
      {"unterminated quote", L"\"C:\\a b", L""},
      {"quote glued to argument", L"\"a b\"c d", L"c d"},
      {"folder outside the code page", L"\"C:\\Lumek \u00DC\u00E9 \uD55C \U0001F600\\LUMEK.exe\" x", L"x"},
      {"empty", L"", L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_STREQ(CommandLineTail(row.line), row.tail);
  }
}

TEST(ExceptionBoxText, AppendsFullStopAfterLettersAndWideCharacters) {
  struct Row {
    const char* name;
    std::wstring message;
    std::wstring shown;
  } rows[] = {
      {"letter", L"Failed", L"Failed."},
      {"full stop", L"Failed.", L"Failed."},
      {"exclamation", L"Stop!", L"Stop!"},
      {"comma", L"a,", L"a,"},
      {"trailing blank", L"a ", L"a "},
      {"digit", L"code 5", L"code 5."},
      {"empty", L"", L""},
      // A character beyond ASCII always sorts above ".".
      {"kana", L"\u3059", L"\u3059."},
      {"ideographic full stop", L"\u3002", L"\u3002."},
      {"outside code page 932", L"\uD55C", L"\uD55C."},
      {"surrogate pair", L"a" + kGrin, L"a" + kGrin + L"."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ExceptionBoxText(row.message), row.shown);
  }
}

}  // namespace
}  // namespace lumek

#include <gtest/gtest.h>

#include "framework/TextRules.h"

namespace lumek {
namespace {

constexpr UINT kShiftJis = 932;

struct PathRow {
  const char* name;
  std::string path;
  std::string dir;       // without trailing delimiter, root kept
  std::string withDelim; // up to and including the last delimiter
  std::string fileName;
};

// "表" is 0x95 0x5C in Shift-JIS: its second byte is a backslash.
const std::string kHyo = "\x95\x5C";

TEST(PathRules, SplitsPathsSteppingOverSecondBytes) {
  const PathRow rows[] = {
      {"drive root", "C:\\LUMEK.exe", "C:\\", "C:\\", "LUMEK.exe"},
      {"nested", "D:\\a\\b\\LUMEK.exe", "D:\\a\\b", "D:\\a\\b\\", "LUMEK.exe"},
      {"tools", "C:\\Tools\\LUMEK.exe", "C:\\Tools", "C:\\Tools\\", "LUMEK.exe"},
      {"0x5C second byte in directory", "C:\\" + kHyo + "\\LUMEK.exe", "C:\\" + kHyo, "C:\\" + kHyo + "\\",
       "LUMEK.exe"},
      {"0x5C second byte ends directory name", "C:\\a" + kHyo + "\\x.exe", "C:\\a" + kHyo, "C:\\a" + kHyo + "\\",
       "x.exe"},
      {"0x5C second byte in file name", "C:\\d\\" + kHyo + ".exe", "C:\\d", "C:\\d\\", kHyo + ".exe"},
      {"drive only", "C:LUMEK.exe", "C:", "C:", "LUMEK.exe"},
      {"UNC double backslash", "\\\\srv\\LUMEK.exe", "\\\\srv", "\\\\srv\\", "LUMEK.exe"},
      {"no delimiter", "LUMEK.exe", "", "", "LUMEK.exe"},
  };
  for (const PathRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ExtractFileDir(row.path, kShiftJis), row.dir);
    EXPECT_EQ(ExtractFilePath(row.path, kShiftJis), row.withDelim);
    EXPECT_EQ(ExtractFileName(row.path, kShiftJis), row.fileName);
  }
}

TEST(PathRules, RemovesTheLastExtensionOnly) {
  EXPECT_EQ(RemoveExtension("LUMEK.exe", kShiftJis), "LUMEK");
  EXPECT_EQ(RemoveExtension("my.tool.exe", kShiftJis), "my.tool");
  EXPECT_EQ(RemoveExtension("LUMEK", kShiftJis), "LUMEK");
  EXPECT_EQ(RemoveExtension("", kShiftJis), "");
}

TEST(ApplicationCaption, CutsAtFirstStopAndLowersTheRest) {
  EXPECT_EQ(ApplicationCaptionFromFileName("TOOL.EXE"), "Tool");
  EXPECT_EQ(ApplicationCaptionFromFileName("MY.TOOL.EXE"), "My");
  EXPECT_EQ(ApplicationCaptionFromFileName("LUMEK.exe"), "Lumek");
  EXPECT_EQ(ApplicationCaptionFromFileName("lumek"), "lumek");
  EXPECT_EQ(ApplicationCaptionFromFileName(".hidden"), "");
}

TEST(CommandLineTail, SkipsTheProgramName) {
  struct Row {
    const char* name;
    const char* line;
    const char* tail;
  } rows[] = {
      {"quoted path with blanks", "\"C:\\Program Files\\Lumek\\LUMEK.exe\"  -a  b", "-a  b"},
      {"plain path", "LUMEK.exe /x", "/x"},
      {"tab ends the name", "LUMEK.exe\t\tz", "z"},
      {"leading blanks", "   LUMEK.exe", ""},
      {"unterminated quote", "\"C:\\a b", ""},
      {"quote glued to argument", "\"a b\"c d", "c d"},
      {"empty", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_STREQ(CommandLineTail(row.line), row.tail);
  }
}

TEST(ExceptionBoxText, AppendsFullStopAfterLettersAndDoubleByteCharacters) {
  struct Row {
    const char* name;
    std::string message;
    std::string shown;
  } rows[] = {
      {"letter", "Failed", "Failed."},
      {"full stop", "Failed.", "Failed."},
      {"exclamation", "Stop!", "Stop!"},
      {"comma", "a,", "a,"},
      {"trailing blank", "a ", "a "},
      {"digit", "code 5", "code 5."},
      {"empty", "", ""},
      // "す" = 0x82 0xB7; a double-byte last character always sorts above ".".
      {"double-byte", "\x82\xB7", "\x82\xB7."},
      {"ideographic full stop", "\x81\x42", "\x81\x42."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ExceptionBoxText(row.message, kShiftJis), row.shown);
  }
}

}  // namespace
}  // namespace lumek

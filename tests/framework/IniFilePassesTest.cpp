// Settings passes on a folder path longer than the profile functions open:
// the profile calls work on a copy in the temp folder, and the save puts the
// result in place with the same one-step replace, through \\?\ paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/IniFilePasses.h"
#include "framework/IniFiles.h"
#include "framework/Platform.h"
#include "framework/Strings.h"
#include "tests/support/Files.h"
#include "tests/support/Recorder.h"

namespace lumek {
namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A folder whose path is over 300 characters, removed with what it holds.
class LongFolder {
 public:
  LongFolder() {
    wchar_t temp[MAX_PATH];
    const std::wstring base(temp, ::GetTempPathW(MAX_PATH, temp));
    static unsigned serial = 0;
    path_ = base + L"long-settings." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(++serial);
    folders_.push_back(path_);
    while (path_.size() <= 300) {
      path_ += L"\\" + std::wstring(60, L'd');
      folders_.push_back(path_);
    }
    for (const std::wstring& folder : folders_) ::CreateDirectoryW(Extended(folder).c_str(), nullptr);
  }
  ~LongFolder() {
    ::DeleteFileW(Extended(IniPath()).c_str());
    ::DeleteFileW(Extended(IniPath() + L".new").c_str());
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
      ::RemoveDirectoryW(Extended(*folder).c_str());
    }
  }
  static std::wstring Extended(const std::wstring& path) { return L"\\\\?\\" + path; }

  std::wstring IniPath() const { return path_ + L"\\LUMEK.ini"; }
  void Write(const std::string& bytes) const { ASSERT_TRUE(test::WriteFileBytes(Extended(IniPath()), bytes)); }
  std::string Bytes() const { return test::FileBytes(Extended(IniPath())); }
  bool NewFileExists() const { return Exists(Extended(IniPath() + L".new")); }

 private:
  std::wstring path_;
  std::vector<std::wstring> folders_;
};

TEST(LongSettingsPath, TheReadPassReadsACopyInTheTempFolderAndDeletesIt) {
  LongFolder folder;
  ASSERT_GT(folder.IniPath().size(), 300u);
  folder.Write("[SET]\r\nXYBOLD=3\r\n");
  std::wstring readFrom;
  std::string thickness;
  ReadIniFilePass(folder.IniPath(), [&](const std::wstring& profilePath) {
    readFrom = profilePath;
    thickness = TIniFile(profilePath).ReadString("SET", "XYBOLD", "none");
  });
  EXPECT_EQ(thickness, "3");
  EXPECT_LT(readFrom.size(), static_cast<size_t>(MAX_PATH));
  EXPECT_FALSE(Exists(readFrom)) << WideToUtf8(readFrom);

  LongFolder empty;
  ReadIniFilePass(empty.IniPath(), [&](const std::wstring& profilePath) {
    thickness = TIniFile(profilePath).ReadString("SET", "XYBOLD", "none");
  });
  EXPECT_EQ(thickness, "none") << "no file yet reads as empty";
}

TEST(LongSettingsPath, TheSaveWritesACopyInTheTempFolderAndPutsItInPlaceThroughTheNewFile) {
  struct Row {
    const char* name;
    const char* file;  // null: no file yet
    std::string written;
  } rows[] = {
      {"a file with a comment and another section", "; by hand\r\n[SET]\r\nXYBOLD=3\r\n[OTHER]\r\nKEY=value\r\n",
       "; by hand\r\n[SET]\r\nXYBOLD=4\r\n[OTHER]\r\nKEY=value\r\n"},
      {"no file yet", nullptr, "[SET]\r\nXYBOLD=4\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LongFolder folder;
    if (row.file) folder.Write(row.file);
    test::CallRecorder recorder;
    recorder.Files();
    std::wstring work;
    WriteIniFilePass(folder.IniPath(), [&](const std::wstring& profilePath) {
      work = profilePath;
      TIniFile(profilePath).WriteString("SET", "XYBOLD", "4");
    });
    EXPECT_EQ(folder.Bytes(), row.written);
    EXPECT_FALSE(folder.NewFileExists());
    EXPECT_FALSE(Exists(work)) << WideToUtf8(work);

    const std::string ini = WideToUtf8(LongFolder::Extended(folder.IniPath()));
    std::vector<std::string> expected = {"CopyFileW(" + ini + ", " + WideToUtf8(work) + ", FALSE)"};
    if (!row.file) expected.push_back("DeleteFileW(" + WideToUtf8(work) + ")");
    expected.push_back("CopyFileW(" + WideToUtf8(work) + ", " + ini + ".new, FALSE)");
    expected.push_back("DeleteFileW(" + WideToUtf8(work) + ")");
    expected.push_back("MoveFileExW(" + ini + ".new, " + ini + ", 0x9)");
    EXPECT_EQ(recorder.Calls(), expected) << test::ShowSequences(recorder.Calls(), expected);
  }
}

TEST(LongSettingsPath, AFileThatCannotBeCopiedRaisesTheWriteErrorNamingItsPlainPath) {
  LongFolder folder;
  folder.Write("[SET]\r\nXYBOLD=3\r\n");
  test::CallRecorder recorder;
  Platform().CopyFileW = &test::RefuseCopy<ERROR_SHARING_VIOLATION>;
  const std::wstring message = folder.IniPath() + L" に書き込めません";
  bool ran = false;
  try {
    ReadIniFilePass(folder.IniPath(), [&](const std::wstring&) { ran = true; });
    ADD_FAILURE() << "the read raised nothing";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), message);
  }
  EXPECT_FALSE(ran) << "a pass that cannot read runs nothing";
  try {
    WriteIniFilePass(folder.IniPath(), [&](const std::wstring&) { ran = true; });
    ADD_FAILURE() << "the save raised nothing";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), message);
  }
  EXPECT_FALSE(ran);
  EXPECT_EQ(folder.Bytes(), "[SET]\r\nXYBOLD=3\r\n");
  EXPECT_FALSE(folder.NewFileExists());
}

}  // namespace
}  // namespace lumek

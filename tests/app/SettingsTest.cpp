// LUMEK.ini beside the executable: the read pass at start-up and the write
// pass at close, against a real main form in a private directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/FileLockName.h"
#include "framework/Menus.h"
#include "framework/Strings.h"
#include "tests/app/MainFormFixture.h"
#include "tests/support/Files.h"
#include "timers/HiTimer.h"

namespace lumek::test {
namespace {

constexpr char kUnchangedPass[] =
    "[SET]\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=255\r\nXYBOLD=1\r\nSOUND=1\r\nSPEED=20\r\nALLSCREENS=0\r\n";

// The option state as one line, so a table row states all of it at once.
std::string StateOf(TMainForm1& f) {
  return "lines " + std::string(XForm1->Visible() ? "X" : "-") + (YForm1->Visible() ? "Y" : "-") + " color " +
         std::to_string(XForm1->Color()) + "/" + std::to_string(YForm1->Color()) + " bold " +
         std::to_string(XForm1->Width()) + "/" + std::to_string(YForm1->Height()) + " speed " +
         std::to_string(f.Timer1->Interval()) + " timers " + (f.Timer1->Enabled() ? "1" : "0") +
         (f.Timer2->Enabled() ? "1" : "0") + (f.Timer3->Enabled() ? "1" : "0") + " N21/22 " + Marks({f.N21, f.N22}) +
         " N19 " + Marks({f.N19}) + " N1 " + Marks({f.N1}) + " N5/6/11/12 " + Marks({f.N5, f.N6, f.N11, f.N12}) +
         " N14/15/16/17 " + Marks({f.N14, f.N15, f.N16, f.N17}) + " N24 " + Marks({f.N24});
}

constexpr char kStoredState[] =
    "lines XY color 255/255 bold 1/1 speed 20 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 1000 N24 0";

// The write pass in its order; a key the file already held keeps its place
// at the top (the profile functions rewrite a line in place).
std::string WritePass(const std::string& keptKey, const std::string& keptValue) {
  static const char* kPass[][2] = {{"XVISIBLE", "1"}, {"YVISIBLE", "1"}, {"WARP", "0"},  {"XYCOLOR", "255"},
                                   {"XYBOLD", "1"},   {"SOUND", "1"},    {"SPEED", "20"}, {"ALLSCREENS", "0"}};
  std::string text = "[SET]\r\n";
  if (!keptKey.empty()) text += keptKey + "=" + keptValue + "\r\n";
  for (const auto& [key, value] : kPass) {
    if (key != keptKey) text += std::string(key) + "=" + value + "\r\n";
  }
  return text;
}

TEST(SettingsRead, EachKeyLandsInItsMarksWindowsAndTimersAndIsWrittenBack) {
  struct Row {
    const char* name;
    const char* key;  // "": no file at all
    const char* value;
    const char* state;
    const char* writtenBack;
  } rows[] = {
      {"no file: the stored state", "", "", kStoredState, ""},
      {"XYBOLD=7 is applied unchanged, N5 keeps its mark", "XYBOLD", "7",
       "lines XY color 255/255 bold 7/7 speed 20 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 1000 N24 0",
       "7"},
      {"XYBOLD=3 checks N11 alone", "XYBOLD", "3",
       "lines XY color 255/255 bold 3/3 speed 20 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 0010 N14/15/16/17 1000 N24 0",
       "3"},
      {"SPEED=100 is kept, N14 keeps its mark", "SPEED", "100",
       "lines XY color 255/255 bold 1/1 speed 100 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 1000 N24 0",
       "100"},
      {"SPEED=180 checks N16 alone", "SPEED", "180",
       "lines XY color 255/255 bold 1/1 speed 180 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 0010 N24 0",
       "180"},
      {"XVISIBLE=0 hides the vertical line", "XVISIBLE", "0",
       "lines -Y color 255/255 bold 1/1 speed 20 timers 110 N21/22 01 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 1000 N24 0",
       "0"},
      {"WARP=1 starts the warp timer", "WARP", "1",
       "lines XY color 255/255 bold 1/1 speed 20 timers 111 N21/22 11 N19 1 N1 1 N5/6/11/12 1000 N14/15/16/17 1000 N24 0",
       "1"},
      {"SOUND=0 stops the heartbeat timer", "SOUND", "0",
       "lines XY color 255/255 bold 1/1 speed 20 timers 100 N21/22 11 N19 0 N1 0 N5/6/11/12 1000 N14/15/16/17 1000 N24 0",
       "0"},
      {"a hexadecimal colour gives green lines, written back in decimal", "XYCOLOR", "0x0000FF00",
       "lines XY color 65280/65280 bold 1/1 speed 20 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 "
       "1000 N24 0",
       "65280"},
      {"ALLSCREENS=1 checks N24 and is written back after the older keys", "ALLSCREENS", "1",
       "lines XY color 255/255 bold 1/1 speed 20 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 1000 "
       "N24 1",
       "1"},
      {"XYBOLD=99999 reads as the stored thickness and is never written back", "XYBOLD", "99999", kStoredState, "1"},
      {"XYBOLD=0 reads as the stored thickness", "XYBOLD", "0", kStoredState, "1"},
      {"SPEED=0 reads as the stored 20 ms", "SPEED", "0", kStoredState, "20"},
      {"SPEED=-5 reads as the stored 20 ms", "SPEED", "-5", kStoredState, "20"},
      {"ALLSCREENS that is no number keeps the stored state", "ALLSCREENS", "yes",
       "lines XY color 255/255 bold 1/1 speed 20 timers 110 N21/22 11 N19 0 N1 1 N5/6/11/12 1000 N14/15/16/17 1000 "
       "N24 0",
       "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture app(WindowsOffTheDesktop());
    if (*row.key) app.WriteIni(std::string("[SET]\r\n") + row.key + "=" + row.value + "\r\n");
    TMainForm1& form = app.Construct();
    EXPECT_EQ(StateOf(form), row.state);
    EXPECT_EQ(app.Close(), *row.key ? WritePass(row.key, row.writtenBack) : std::string(kUnchangedPass));
  }
}

TEST(SettingsRead, AFolderNamedInAnyScriptIsTheSettingsDirectory) {
  struct Row {
    const char* name;
    std::wstring directoryName;
  } rows[] = {
      // Its Shift-JIS second byte is '\', which the code-page rules had to step over.
      {"a kanji whose Shift-JIS second byte is a backslash", L"\u8868"},
      // Names the ANSI code page cannot spell, Japanese or not: Latin letters, Hangul whose
      // UTF-16 low byte is 0x5C, and a character outside the basic plane.
      {"outside the code page: Latin, Hangul and an emoji", L"Lumek \u00DC\u00E9 \uD55C \U0001F600"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture::Options options;
    options.directoryName = row.directoryName;
    MainFormFixture app(options);
    app.WriteIni("[SET]\r\nXYBOLD=2\r\n");
    TMainForm1& form = app.Construct();
    EXPECT_EQ(XForm1->Width(), 2);
    EXPECT_TRUE(form.N6->Checked());
    EXPECT_EQ(app.Close(), WritePass("XYBOLD", "2")) << WideToUtf8(app.IniPath());
  }
}

BOOL RefuseTheColour(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
  if (key && std::wstring(key) == L"XYCOLOR") return FALSE;
  return RealPlatform().WritePrivateProfileStringW(section, key, value, file);
}

TEST(SettingsWrite, AFailedWriteRaisesAndTheNextCloseWritesTheWholePass) {
  MainFormFixture app;
  TMainForm1& form = app.Construct();
  form.N12Click(form.N12);
  app.WriteIni("");
  HANDLE held = ::CreateFileW(app.IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  try {
    form.X1Click(form.X1);
    ADD_FAILURE() << "no EIniFileException";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), app.IniPath() + L" に書き込めません");
  }
  ::CloseHandle(held);
  EXPECT_EQ(app.IniBytes(), "");
  EXPECT_FALSE(Application->Terminated());

  // A write that fails midway ends the pass at that key and leaves the file as it was.
  Platform().WritePrivateProfileStringW = &RefuseTheColour;
  EXPECT_THROW(form.X1Click(form.X1), EIniFileException);
  Platform().WritePrivateProfileStringW = RealPlatform().WritePrivateProfileStringW;
  EXPECT_EQ(app.IniBytes(), "");

  form.X1Click(form.X1);
  std::string expected = kUnchangedPass;
  expected.replace(expected.find("XYBOLD=1"), 8, "XYBOLD=4");
  EXPECT_EQ(app.IniBytes(), expected);
  // Not the application's main form: closing it must not end the application.
  EXPECT_FALSE(Application->Terminated());
}

TEST(SettingsPath, AModulePathLongerThanTheOldLimitIsReadWhole) {
  MainFormFixture::Options options;
  options.exeName = L"LUMEK" + std::wstring(300, L'x') + L".exe";
  MainFormFixture app(options);
  app.WriteIni("[SET]\r\nXYBOLD=3\r\n");
  TMainForm1& form = app.Construct();
  EXPECT_TRUE(form.N11->Checked()) << "the settings beside the executable were read";
  EXPECT_EQ(app.Close(), WritePass("XYBOLD", "3"));
  app.Recorder().Clear();
  form.N9Click(form.N9);
  std::vector<std::string> opened = app.Recorder().CallsStartingWith("ShellExecuteW");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_NE(opened[0].find("sn=LUMEK" + std::string(300, 'x') + ", \"\", \"\", 5)"), std::string::npos)
      << opened[0];
}

TEST(SettingsPath, ACutOffModulePathReadsWritesAndOpensNothing) {
  MainFormFixture::Options options;
  // Longer than the longest path the platform hands out: it stays cut off however large the buffer.
  options.exeName = L"LUMEK" + std::wstring(33000, L'x') + L".exe";
  MainFormFixture app(options);
  // Where a cut-off path would point: the settings directory itself.
  const std::string file = "[SET]\r\nXYBOLD=3\r\nSOUND=0\r\n";
  app.WriteIni(file);
  app.Recorder().Mutexes();
  TMainForm1& form = app.Construct();
  EXPECT_EQ(StateOf(form), kStoredState);
  EXPECT_EQ(app.Close(), file);
  EXPECT_TRUE(app.Recorder().CallsStartingWith("CreateMutexW").empty()) << "no file, so no turn to take";

  app.Recorder().Clear();
  form.N8Click(form.N8);
  EXPECT_TRUE(app.Recorder().CallsStartingWith("ShellExecuteW").empty());
  // The name is what the 32768 units held, nothing read beyond them.
  form.N9Click(form.N9);
  std::vector<std::string> opened = app.Recorder().CallsStartingWith("ShellExecuteW");
  ASSERT_EQ(opened.size(), 1u);
  const std::string name = WideToUtf8(app.ModulePath().substr(app.Directory().size(), 32768 - app.Directory().size()));
  EXPECT_NE(opened[0].find("sn=" + name + ", \"\", \"\", 5)"), std::string::npos) << opened[0];
}

TEST(SettingsWrite, SessionEndSavesSilentlyAndDeletingTheFormWritesNothing) {
  MainFormFixture app;
  app.Construct();
  app.Form().N19Click(nullptr);
  // Logoff and shutdown never close the main form, so the session's end saves
  // by itself. (The real message would leave the test application
  // terminating, so the step it runs is run directly.)
  ASSERT_TRUE(Application->OnEndSession);
  Application->OnEndSession(Application);
  std::string saved = app.IniBytes();
  EXPECT_NE(saved.find("WARP=1\r\n"), std::string::npos) << saved;

  // A refused write at the session's end shows no box and raises nothing.
  app.Recorder().MessageBoxes();
  app.Form().N19Click(nullptr);
  {
    HANDLE held = ::CreateFileW(app.IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NO_THROW(Application->OnEndSession(Application));
    ::CloseHandle(held);
  }
  EXPECT_TRUE(app.Recorder().CallsStartingWith("MessageBoxW").empty());
  EXPECT_EQ(app.IniBytes(), saved);

  app.DestroyForm();
  EXPECT_EQ(app.IniBytes(), saved);
}

// What a settings pass asks of the platform: the mutex calls and the profile
// calls in the order made, and nothing else.
std::vector<std::string> TurnAndProfileCalls(const CallRecorder& recorder) {
  std::vector<std::string> calls;
  static const char* kKept[] = {"CreateMutexW", "WaitForSingleObject", "ReleaseMutex", "CloseHandle",
                                "GetPrivateProfile", "WritePrivateProfile"};
  for (const std::string& line : recorder.Calls()) {
    for (const char* kept : kKept) {
      if (line.rfind(kept, 0) == 0) calls.push_back(line);
    }
  }
  return calls;
}

std::string LockNameOf(const MainFormFixture& app) { return FileLockName(FoldedPath(app.IniPath())); }

// The mutex made and waited for before `inside`, released and closed after it.
std::vector<std::string> Turn(const std::string& lockName, const std::vector<std::string>& inside) {
  std::vector<std::string> calls = {"CreateMutexW(0, FALSE, " + lockName + ")",
                                    "WaitForSingleObject(" + lockName + ", 5000)"};
  calls.insert(calls.end(), inside.begin(), inside.end());
  calls.push_back("ReleaseMutex(" + lockName + ")");
  calls.push_back("CloseHandle(" + lockName + ")");
  return calls;
}

// Each key once: the colour and the thickness are one value each for both lines.
const std::vector<std::string> kReadPassCalls = {
    "GetPrivateProfileStringW(SET, XVISIBLE)", "GetPrivateProfileStringW(SET, YVISIBLE)",
    "GetPrivateProfileStringW(SET, WARP)",     "GetPrivateProfileStringW(SET, XYCOLOR)",
    "GetPrivateProfileStringW(SET, XYBOLD)",   "GetPrivateProfileStringW(SET, SOUND)",
    "GetPrivateProfileStringW(SET, SPEED)",    "GetPrivateProfileStringW(SET, ALLSCREENS)",
    "WritePrivateProfileStringW(null, null, null)",
};
// The write pass of the stored state, with its thickness as given.
std::vector<std::string> WritePassCalls(const std::string& bold) {
  return {"WritePrivateProfileStringW(SET, XVISIBLE, 1)", "WritePrivateProfileStringW(SET, YVISIBLE, 1)",
          "WritePrivateProfileStringW(SET, WARP, 0)",     "WritePrivateProfileStringW(SET, XYCOLOR, 255)",
          "WritePrivateProfileStringW(SET, XYBOLD, " + bold + ")",
          "WritePrivateProfileStringW(SET, SOUND, 1)",    "WritePrivateProfileStringW(SET, SPEED, 20)",
          "WritePrivateProfileStringW(SET, ALLSCREENS, 0)", "WritePrivateProfileStringW(null, null, null)"};
}

TEST(SettingsTurn, EveryPassHoldsTheFilesMutexAroundAllItsProfileCallsFlushIncluded) {
  struct Row {
    const char* name;
    void (*pass)(MainFormFixture& app);  // null: the read pass the construction runs
    std::vector<std::string> inside;
  } rows[] = {
      {"read pass at start-up", nullptr, kReadPassCalls},
      {"write pass at close", [](MainFormFixture& app) { app.Close(); }, WritePassCalls("1")},
      {"write pass at the session's end", [](MainFormFixture&) { Application->OnEndSession(Application); },
       WritePassCalls("1")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture app;
    app.Recorder().Mutexes().Profiles();
    app.Construct();
    if (row.pass) {
      app.Recorder().Clear();
      row.pass(app);
    }
    std::vector<std::string> calls = TurnAndProfileCalls(app.Recorder());
    std::vector<std::string> expected = Turn(LockNameOf(app), row.inside);
    EXPECT_EQ(calls, expected) << ShowSequences(calls, expected);
  }
}

TEST(SettingsTurn, AWaitThatIsAbandonedTimesOutOrFailsStillRunsBothPasses) {
  struct Row {
    const char* name;
    DWORD answer;
    bool held;  // released after the pass, or closed at once and the pass unguarded
  } rows[] = {
      {"abandoned by a copy that ended in its pass: the turn is taken", WAIT_ABANDONED, true},
      {"timed out behind a stuck copy", WAIT_TIMEOUT, false},
      {"failed", WAIT_FAILED, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture app;
    app.WriteIni("[SET]\r\nXYBOLD=3\r\n");
    app.Recorder().Mutexes().AnswerWaits(row.answer).Profiles();
    TMainForm1& form = app.Construct();
    EXPECT_TRUE(form.N11->Checked()) << "the read pass ran";
    app.Recorder().Clear();
    EXPECT_EQ(app.Close(), WritePass("XYBOLD", "3"));

    const std::string lockName = LockNameOf(app);
    std::vector<std::string> expected;
    if (row.held) {
      expected = Turn(lockName, WritePassCalls("3"));
    } else {
      expected = {"CreateMutexW(0, FALSE, " + lockName + ")", "WaitForSingleObject(" + lockName + ", 5000)",
                  "CloseHandle(" + lockName + ")"};
      for (const std::string& call : WritePassCalls("3")) expected.push_back(call);
    }
    std::vector<std::string> calls = TurnAndProfileCalls(app.Recorder());
    EXPECT_EQ(calls, expected) << ShowSequences(calls, expected);
  }
}


TEST(SettingsTurn, TwoSpellingsOfOneFolderShareTheMutexAndTwoFoldersDoNot) {
  struct Row {
    const char* name;
    std::wstring modulePath;
    std::wstring otherModulePath;
    bool shared;
  } rows[] = {
      {"ASCII letters in the other case", L"C:\\Tools\\LUMEK.exe", L"c:\\TOOLS\\lumek.EXE", true},
      {"a full-width letter in the other case", L"C:\\\uFF21\\LUMEK.exe", L"C:\\\uFF41\\LUMEK.exe", true},
      // Their Shift-JIS second bytes are "A" and "a".
      {"two katakana", L"C:\\\u30A2\\LUMEK.exe", L"C:\\\u30C2\\LUMEK.exe", false},
      {"a letter outside the code page in the other case", L"C:\\\u00DC\\LUMEK.exe", L"C:\\\u00FC\\LUMEK.exe",
       true},
      {"one letter more", L"C:\\Tools\\LUMEK.exe", L"C:\\Tools2\\LUMEK.exe", false},
      {"the same folder name on another drive", L"C:\\Tools\\LUMEK.exe", L"D:\\Tools\\LUMEK.exe", false},
  };
  // The mutex the read pass takes when the executable reports `modulePath`.
  auto lockNameFor = [](const std::wstring& modulePath) {
    MainFormFixture app;
    app.ReportModulePath(modulePath);
    app.Recorder().Mutexes();
    app.Construct();
    std::vector<std::string> made = app.Recorder().CallsStartingWith("CreateMutexW");
    return made.size() == 1 ? made[0] : "not one mutex: " + std::to_string(made.size());
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string lockName = lockNameFor(row.modulePath);
    const std::string otherLockName = lockNameFor(row.otherModulePath);
    EXPECT_EQ(lockName == otherLockName, row.shared) << lockName << "\n" << otherLockName;
  }
}

TEST(SettingsTurn, ARefusedWriteRaisesWithTheTurnLetGo) {
  MainFormFixture app;
  app.Recorder().Mutexes();
  app.Construct();
  app.Recorder().Clear();
  Platform().WritePrivateProfileStringW = &RefuseTheColour;
  EXPECT_THROW(app.Close(), EIniFileException);
  Platform().WritePrivateProfileStringW = RealPlatform().WritePrivateProfileStringW;
  std::vector<std::string> calls = TurnAndProfileCalls(app.Recorder());
  std::vector<std::string> expected = Turn(LockNameOf(app), {});
  EXPECT_EQ(calls, expected) << ShowSequences(calls, expected);
}

// The profile writes, each with the name of the file it went to.
BOOL RecordWriteAndItsFile(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
  auto text = [](LPCWSTR part) { return part ? WideToUtf8(part) : std::string("null"); };
  const std::wstring path = file;
  CallRecorder::Record("WritePrivateProfileStringW(" + text(section) + ", " + text(key) + ", " + text(value) +
                       ") to " + WideToUtf8(path.substr(path.find_last_of(L'\\') + 1)));
  return RealPlatform().WritePrivateProfileStringW(section, key, value, file);
}

// What a save asks of the platform: its turn, its file calls and its profile writes.
std::vector<std::string> SaveCalls(const CallRecorder& recorder) {
  std::vector<std::string> calls;
  static const char* kKept[] = {"CreateMutexW", "WaitForSingleObject", "ReleaseMutex", "CloseHandle",
                                "CopyFileW",    "MoveFileExW",         "DeleteFileW",  "WritePrivateProfile"};
  for (const std::string& line : recorder.Calls()) {
    for (const char* kept : kKept) {
      if (line.rfind(kept, 0) == 0) calls.push_back(line);
    }
  }
  return calls;
}

TEST(SettingsSave, ACopyOfTheFileIsWrittenFlushedAndPutInPlaceInOneStepInsideTheTurn) {
  struct Row {
    const char* name;
    const char* file;  // null: no file yet
    bool sessionEnd;
  } rows[] = {
      {"exit with a file to start from", "[SET]\r\nXYBOLD=3\r\n", false},
      {"the session's end takes the same way", "[SET]\r\nXYBOLD=3\r\n", true},
      {"exit with no file yet: the copy starts empty", nullptr, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture app;
    if (row.file) app.WriteIni(row.file);
    TMainForm1& form = app.Construct();
    form.N12Click(form.N12);
    app.Recorder().Mutexes().Files();
    Platform().WritePrivateProfileStringW = &RecordWriteAndItsFile;
    app.Recorder().Clear();
    if (row.sessionEnd) {
      Application->OnEndSession(Application);
    } else {
      app.Close();
    }

    const std::string lockName = LockNameOf(app);
    const std::string ini = WideToUtf8(app.IniPath());
    const std::string fresh = WideToUtf8(app.NewIniPath());
    std::vector<std::string> expected = {"CreateMutexW(0, FALSE, " + lockName + ")",
                                         "WaitForSingleObject(" + lockName + ", 5000)",
                                         "CopyFileW(" + ini + ", " + fresh + ", FALSE)"};
    if (!row.file) expected.push_back("DeleteFileW(" + fresh + ")");
    for (std::string call : WritePassCalls("4")) expected.push_back(call + " to LUMEK.ini.new");
    expected.push_back("MoveFileExW(" + fresh + ", " + ini + ", 0x9)");
    expected.push_back("ReleaseMutex(" + lockName + ")");
    expected.push_back("CloseHandle(" + lockName + ")");
    std::vector<std::string> calls = SaveCalls(app.Recorder());
    EXPECT_EQ(calls, expected) << ShowSequences(calls, expected);
    EXPECT_EQ(app.IniBytes(), row.file ? WritePass("XYBOLD", "4") : [] {
      std::string pass = kUnchangedPass;
      return pass.replace(pass.find("XYBOLD=1"), 8, "XYBOLD=4");
    }());
    EXPECT_FALSE(app.NewIniExists());
  }
}

template <DWORD error>
BOOL RefuseTheReplace(LPCWSTR, LPCWSTR, DWORD) {
  ::SetLastError(error);
  return FALSE;
}

TEST(SettingsSave, ARefusedCopyReplaceOrWriteRaisesTheErrorNamingTheFileDeletesTheCopyAndLeavesTheFileWhole) {
  struct Row {
    const char* name;
    void (*refuse)();
  } rows[] = {
      {"the copy refused", [] { Platform().CopyFileW = &RefuseCopy<ERROR_SHARING_VIOLATION>; }},
      {"the replace refused", [] { Platform().MoveFileExW = &RefuseTheReplace<ERROR_WRITE_FAULT>; }},
      {"a write refused midway", [] { Platform().WritePrivateProfileStringW = &RefuseTheColour; }},
  };
  const std::string file = "; written by hand\r\n[SET]\r\nXYBOLD=3\r\n\r\n[OTHER]\r\nKEY=value";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture app;
    app.WriteIni(file);
    TMainForm1& form = app.Construct();
    form.N12Click(form.N12);
    app.Recorder().Files();
    row.refuse();
    try {
      app.Close();
      ADD_FAILURE() << "no EIniFileException";
    } catch (const EIniFileException& error) {
      EXPECT_EQ(error.Message(), app.IniPath() + L" に書き込めません");
    }
    EXPECT_EQ(app.IniBytes(), file);
    EXPECT_FALSE(app.NewIniExists());
    EXPECT_EQ(app.Recorder().CallsStartingWith("DeleteFileW(" + WideToUtf8(app.NewIniPath()) + ")").size(), 1u);
  }
}

TEST(SettingsSave, AReadOnlyFileGivesTheErrorBoxAndExitTriesAgainOnceItIsWritable) {
  MainFormFixture app;
  const std::string file = "[SET]\r\nXYBOLD=3\r\n";
  app.WriteIni(file);
  TMainForm1& form = app.Construct();
  form.N12Click(form.N12);
  ASSERT_TRUE(::SetFileAttributesW(app.IniPath().c_str(), FILE_ATTRIBUTE_READONLY));
  app.Recorder().MessageBoxes();
  try {
    form.X1Click(form.X1);
    ADD_FAILURE() << "no EIniFileException";
  } catch (...) {
    Application->HandleException(nullptr);
  }
  std::vector<std::string> boxes = app.Recorder().CallsStartingWith("MessageBoxW");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(WideToUtf8(app.IniPath()) + " に書き込めません"), std::string::npos) << boxes[0];
  EXPECT_EQ(app.IniBytes(), file);
  EXPECT_FALSE(app.NewIniExists());
  EXPECT_FALSE(Application->Terminated());

  ASSERT_TRUE(::SetFileAttributesW(app.IniPath().c_str(), FILE_ATTRIBUTE_NORMAL));
  form.X1Click(form.X1);
  EXPECT_EQ(app.IniBytes(), WritePass("XYBOLD", "4"));
}

TEST(SettingsSave, AFolderThatTakesNoNewFileGetsTheWritesInPlace) {
  MainFormFixture app;
  app.WriteIni("[SET]\r\nXYBOLD=3\r\n");
  TMainForm1& form = app.Construct();
  form.N12Click(form.N12);
  // The folder takes no new file.
  Platform().CopyFileW = &RefuseCopy<ERROR_ACCESS_DENIED>;
  app.Recorder().Profiles();
  Platform().WritePrivateProfileStringW = &RecordWriteAndItsFile;
  EXPECT_EQ(app.Close(), WritePass("XYBOLD", "4"));
  std::vector<std::string> expected;
  for (std::string call : WritePassCalls("4")) expected.push_back(call + " to LUMEK.ini");
  std::vector<std::string> calls = app.Recorder().CallsStartingWith("WritePrivateProfileStringW");
  EXPECT_EQ(calls, expected) << ShowSequences(calls, expected);
  EXPECT_FALSE(app.NewIniExists());
}

TEST(SettingsSave, AFileThatMayBeWrittenButNotReplacedGetsTheWritesInPlace) {
  struct Row {
    const char* name;
    void (*hold)(MainFormFixture& app, UniqueFile& holder);
  } rows[] = {
      {"the replace refused as denied",
       [](MainFormFixture&, UniqueFile&) { Platform().MoveFileExW = &RefuseTheReplace<ERROR_ACCESS_DENIED>; }},
      {"the replace refused as shared",
       [](MainFormFixture&, UniqueFile&) {
         Platform().MoveFileExW = &RefuseTheReplace<ERROR_SHARING_VIOLATION>;
       }},
      // Another program reading and writing the file, and not letting it be deleted.
      {"the file held open by another program",
       [](MainFormFixture& app, UniqueFile& holder) {
         holder.reset(::CreateFileW(app.IniPath().c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
         ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MainFormFixture app;
    app.WriteIni("[SET]\r\nXYBOLD=3\r\n");
    TMainForm1& form = app.Construct();
    form.N12Click(form.N12);
    UniqueFile holder;
    row.hold(app, holder);
    EXPECT_EQ(app.Close(), WritePass("XYBOLD", "4"));
    EXPECT_FALSE(app.NewIniExists());
  }
}

TEST(SettingsSave, ALeftoverNewFileIsIgnoredByTheReadAndReplacedByTheSave) {
  MainFormFixture app;
  app.WriteIni("[SET]\r\nXYBOLD=2\r\n");
  app.WriteFile(L"LUMEK.ini.new", "[SET]\r\nXYBOLD=4\r\nSOUND=0\r\nWA");
  TMainForm1& form = app.Construct();
  EXPECT_EQ(XForm1->Width(), 2);
  EXPECT_TRUE(form.N1->Checked());
  EXPECT_EQ(app.Close(), WritePass("XYBOLD", "2"));
  EXPECT_FALSE(app.NewIniExists());
}

TEST(SettingsSave, KeysSectionsAndCommentsLumekDoesNotOwnSurviveTheSave) {
  MainFormFixture app;
  app.WriteIni("; written by hand\r\n[SET]\r\nXYBOLD=3\r\nFUTURE=yes\r\n\r\n[OTHER]\r\nKEY=value\r\n");
  TMainForm1& form = app.Construct();
  form.N12Click(form.N12);
  const std::string written = app.Close();
  for (const char* kept : {"; written by hand\r\n", "FUTURE=yes\r\n", "[OTHER]\r\nKEY=value\r\n", "XYBOLD=4\r\n"}) {
    EXPECT_NE(written.find(kept), std::string::npos) << kept << " in:\n" << written;
  }
}

TEST(SettingsPath, AFolderPathThatCannotBeReadIsSaidOnceAtTheStartAndTheStoredStateRuns) {
  MainFormFixture app;
  // Longer than the profile functions open, and not there: no copy of the file can be taken.
  std::wstring folder = L"C:\\missing";
  while (folder.size() <= 300) folder += L"\\" + std::wstring(60, L'm');
  app.ReportModulePath(folder + L"\\LUMEK.exe");
  app.Recorder().MessageBoxes();
  TMainForm1& form = app.Construct();
  EXPECT_EQ(StateOf(form), kStoredState);
  std::vector<std::string> boxes = app.Recorder().CallsStartingWith("MessageBoxW");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(WideToUtf8(folder) + "\\LUMEK.ini に書き込めません"), std::string::npos) << boxes[0];
}


}  // namespace
}  // namespace lumek::test

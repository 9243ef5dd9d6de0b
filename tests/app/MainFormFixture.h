#pragma once
// A real TMainForm1 whose executable seems to live in a fresh directory of
// its own: the seam reports LUMEK.exe there, so LUMEK.ini is read from and
// written to that directory only. The tray's shell calls are recorded and
// never reach the shell, and the primary screen has a known size.
//
//   MainFormFixture app;                      // or MainFormFixture app(options)
//   app.WriteIni("[SET]\r\nXYBOLD=7\r\n");     // before Construct, when needed
//   app.WriteFile(L"heartbeat_left.wav", bytes);  // any file beside the executable
//   TMainForm1& form = app.Construct();        // stored description, FormCreate, read pass
//   std::string written = app.Close();         // FormClose, then the file's bytes
//
// Deleting the form (DestroyForm, or the destructor) writes nothing: only FormClose writes.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/Mainwindow1.h"
#include "app/LineWindow.h"
#include "framework/Application.h"
#include "framework/Menus.h"
#include "framework/MonitorLayout.h"
#include "framework/Platform.h"
#include "framework/Strings.h"
#include "tests/support/Files.h"
#include "tests/support/Recorder.h"

namespace lumek::test {

class MainFormFixture {
 public:
  struct Options {
    // The settings directory's name; a unique suffix is added.
    std::wstring directoryName = L"apptest";
    // The executable's file name; one long enough makes the reported path overflow the caller's buffer.
    std::wstring exeName = L"LUMEK.exe";
    int screenWidth = 1920;
    int screenHeight = 1080;
    // The monitors' rectangles, the primary first; none means one monitor of the
    // screen's size. The screen's size is then the primary's.
    std::vector<RECT> monitors;
    // False makes the form's windows message-only, for tests that look only
    // at the form's own state (its marks, its lines' properties, its timers).
    bool windowsOnDesktop = true;
  };

  MainFormFixture() : MainFormFixture(Options()) {}
  explicit MainFormFixture(const Options& options) {
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    static unsigned serial = 0;
    directory_ = std::wstring(temp, length) + options.directoryName + L"." +
                 std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(++serial) + L"\\";
    ::CreateDirectoryW(directory_.c_str(), nullptr);
    State().modulePath = directory_ + options.exeName;
    State().screen = SIZE{options.screenWidth, options.screenHeight};
    recorder_.Shell();
    if (!options.windowsOnDesktop) recorder_.MessageOnlyWindows();
    Platform().GetModuleFileNameW = &FakeModuleFileName;
    Platform().GetSystemMetrics = &FakeSystemMetrics;
    Platform().EnumDisplayMonitors = &FakeEnumDisplayMonitors;
    Platform().GetMonitorInfoW = &FakeMonitorInfo;
    SetMonitors(options.monitors.empty() ? std::vector<RECT>{RECT{0, 0, options.screenWidth, options.screenHeight}}
                                         : options.monitors);
  }

  ~MainFormFixture() {
    form_.reset();
    // The screen object outlives the fixture: the next one must not see this desktop.
    Screen->NoteDisplayChange();
    ::DeleteFileW(IniPath().c_str());
    ::DeleteFileW(NewIniPath().c_str());
    for (const std::wstring& name : files_) ::DeleteFileW((directory_ + name).c_str());
    ::RemoveDirectoryW(directory_.c_str());
  }

  MainFormFixture(const MainFormFixture&) = delete;
  MainFormFixture& operator=(const MainFormFixture&) = delete;

  // The settings directory, with its trailing backslash.
  const std::wstring& Directory() const { return directory_; }
  std::wstring IniPath() const { return directory_ + L"LUMEK.ini"; }
  // Where a save writes before it puts the file in place.
  std::wstring NewIniPath() const { return IniPath() + L".new"; }
  // The full path the seam reports (before any cut to the caller's buffer).
  const std::wstring& ModulePath() const { return State().modulePath; }
  // The seam reports this path from now on; its directory need not exist for a read pass.
  void ReportModulePath(std::wstring path) { State().modulePath = std::move(path); }

  void WriteIni(const std::string& bytes) const { WriteBytes(IniPath(), bytes); }
  // A file beside the executable, removed with the directory.
  void WriteFile(const std::wstring& name, const std::string& bytes) {
    WriteBytes(directory_ + name, bytes);
    files_.push_back(name);
  }

  // The file's bytes; empty when it does not exist.
  std::string IniBytes() const { return FileBytes(IniPath()); }
  bool IniExists() const { return ::GetFileAttributesW(IniPath().c_str()) != INVALID_FILE_ATTRIBUTES; }
  bool NewIniExists() const { return ::GetFileAttributesW(NewIniPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

  // Constructs the form as WinMain does, but not as the application's main
  // form (terminating the test application would end every later test).
  // Names its windows for the recorder: MainForm1, XForm1, YForm1, Application.
  TMainForm1& Construct() {
    form_ = std::make_unique<TMainForm1>(Application);
    recorder_.Name(form_->WindowHandle(), "MainForm1");
    recorder_.Name(Application->Handle(), "Application");
    if (XForm1) recorder_.Name(XForm1->WindowHandle(), "XForm1");
    if (YForm1) recorder_.Name(YForm1->WindowHandle(), "YForm1");
    return *form_;
  }
  TMainForm1& Form() { return *form_; }
  // Deletes the form as the application object would at the end of a run; the directory stays.
  void DestroyForm() { form_.reset(); }

  // Runs FormClose (the write pass; its exception passes through) and returns the file's bytes.
  std::string Close() {
    TCloseAction action = TCloseAction::caHide;
    form_->FormClose(form_.get(), action);
    return IniBytes();
  }

  // Records the tray's shell calls from the start; a test adds the entries it needs.
  CallRecorder& Recorder() { return recorder_; }

  // The desktop the seam reports from now on, as after a display change the
  // messages announced; the screen object reads it at its next use. Each
  // reading is recorded as "EnumDisplayMonitors()".
  void SetMonitors(const std::vector<RECT>& monitors) {
    ChangeDesktopUnannounced(monitors);
    Screen->NoteDisplayChange();
  }
  // The desktop the seam reports from now on, its metrics included (the
  // primary's size, the virtual screen, the monitor count), with nothing
  // telling the program: as a change of resolution where no message comes.
  void ChangeDesktopUnannounced(const std::vector<RECT>& monitors) {
    State().monitors = monitors;
    State().screen = SIZE{monitors.front().right - monitors.front().left, monitors.front().bottom - monitors.front().top};
  }

  // GetCursorPos reports this point from now on.
  void SetPointer(int x, int y) {
    State().pointer = POINT{x, y};
    Platform().GetCursorPos = &FakeCursorPos;
  }

  // GetWindowThreadProcessId reports this window of the test as another program's from now on.
  void PretendForeign(HWND window) {
    State().foreign = window;
    Platform().GetWindowThreadProcessId = &FakeWindowProcess;
  }

 private:
  static void WriteBytes(const std::wstring& path, const std::string& bytes) {
    if (!WriteFileBytes(path, bytes)) throw std::runtime_error("cannot create " + WideToUtf8(path));
  }

  struct SeamState {
    std::wstring modulePath;
    SIZE screen{};
    POINT pointer{};
    std::vector<RECT> monitors;
    HWND foreign = nullptr;
  };
  static SeamState& State() {
    static SeamState state;
    return state;
  }

  // Like the platform: a path that does not fit fills the whole buffer, and
  // then (as some versions do) without a terminator.
  static DWORD FakeModuleFileName(HMODULE, LPWSTR buffer, DWORD size) {
    const std::wstring& path = State().modulePath;
    if (path.size() >= size) {
      std::wmemcpy(buffer, path.data(), size);
      return size;
    }
    std::wmemcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  static int FakeSystemMetrics(int index) {
    MonitorLayout layout;
    for (const RECT& r : State().monitors) layout.monitors.push_back(ScreenRect{r.left, r.top, r.right, r.bottom});
    const ScreenRect desktop = VirtualScreen(layout);
    switch (index) {
      case SM_CXSCREEN: return State().screen.cx;
      case SM_CYSCREEN: return State().screen.cy;
      case SM_XVIRTUALSCREEN: return desktop.left;
      case SM_YVIRTUALSCREEN: return desktop.top;
      case SM_CXVIRTUALSCREEN: return desktop.Width();
      case SM_CYVIRTUALSCREEN: return desktop.Height();
      case SM_CMONITORS: return static_cast<int>(State().monitors.size());
      default: return RealPlatform().GetSystemMetrics(index);
    }
  }
  // Monitor handles are 1-based indices into the layout.
  static BOOL FakeEnumDisplayMonitors(HDC, LPCRECT, MONITORENUMPROC callback, LPARAM data) {
    CallRecorder::Record("EnumDisplayMonitors()");
    for (size_t i = 0; i < State().monitors.size(); ++i) {
      RECT rect = State().monitors[i];
      if (!callback(reinterpret_cast<HMONITOR>(i + 1), nullptr, &rect, data)) break;
    }
    return TRUE;
  }
  static BOOL FakeMonitorInfo(HMONITOR monitor, LPMONITORINFO info) {
    size_t index = reinterpret_cast<size_t>(monitor) - 1;
    if (index >= State().monitors.size()) return FALSE;
    info->rcMonitor = info->rcWork = State().monitors[index];
    info->dwFlags = index == 0 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
  }
  static DWORD FakeWindowProcess(HWND window, LPDWORD process) {
    DWORD thread = RealPlatform().GetWindowThreadProcessId(window, process);
    if (window == State().foreign && process) *process = ::GetCurrentProcessId() + 4;
    return thread;
  }
  static BOOL FakeCursorPos(POINT* point) {
    *point = State().pointer;
    return TRUE;
  }

  // Declared first: it puts the whole seam back only after the form is gone.
  CallRecorder recorder_;
  std::wstring directory_;
  std::vector<std::wstring> files_;
  std::unique_ptr<TMainForm1> form_;
};

// For a test that looks only at the form's state: its windows need no place on the desktop.
inline MainFormFixture::Options WindowsOffTheDesktop() {
  MainFormFixture::Options options;
  options.windowsOnDesktop = false;
  return options;
}

// The check marks of `items` as a string of 1 and 0, in the order given.
inline std::string Marks(std::initializer_list<TMenuItem*> items) {
  std::string marks;
  for (TMenuItem* item : items) marks += item->Checked() ? '1' : '0';
  return marks;
}

}  // namespace lumek::test

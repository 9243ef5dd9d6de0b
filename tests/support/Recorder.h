#pragma once
// Records the platform calls made through the seam, in the manner of a
// message-sequence test: each call becomes one line of text, windows are
// shown by the names a test gave them, and the recorded calls are forwarded
// to the real platform so the windows really change.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Platform.h"

namespace lumek::test {

class CallRecorder {
 public:
  CallRecorder();   // records nothing until entries are chosen
  ~CallRecorder();  // puts the whole table back
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;

  // Recorded texts are UTF-8.
  // Windowing calls: SetWindowPos, ShowWindow, SetActiveWindow, SetForegroundWindow, EnableWindow, CreateWindowExW.
  CallRecorder& Windows();
  CallRecorder& MessageBoxes();  // MessageBoxW, answered at once with IDOK (no box is shown)
  CallRecorder& Menus();         // TrackPopupMenu (returns at once), CheckMenuItem, InsertMenuItemW
  CallRecorder& Shell();         // Shell_NotifyIconW, ShellExecuteW (not forwarded)
  // timeBeginPeriod, timeEndPeriod, timeSetEvent, timeKillEvent, PlaySoundW (not forwarded; a sound
  // played from memory shows as the name of the file it was read from).
  CallRecorder& Multimedia();
  CallRecorder& WindowTimers();  // SetTimer, KillTimer
  // CreateMutexW, WaitForSingleObject, ReleaseMutex, CloseHandle; a mutex is shown by the name it was made with.
  CallRecorder& Mutexes();
  // Waits are recorded as Mutexes() does and answered with `result` at once (not forwarded).
  CallRecorder& AnswerWaits(DWORD result);
  CallRecorder& Profiles();  // GetPrivateProfileStringW, WritePrivateProfileStringW
  // CopyFileW, MoveFileExW, DeleteFileW, with their paths in UTF-8; each keeps the real call's last error.
  CallRecorder& Files();
  // Not recorded: every window made through the seam is made message-only (not with Windows()), for
  // tests that look only at the windows' objects and procedures. Wine: such a window has no place on
  // the desktop, which cuts the server calls of its making and ending to about a quarter.
  CallRecorder& MessageOnlyWindows();

  void Name(HWND window, std::string name);
  std::string NameOf(HWND window) const;

  // Only while no other thread records.
  const std::vector<std::string>& Calls() const;
  // Only the calls whose text starts with `prefix`: a copy, safe while a worker records.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
  void Clear();

  // For recorders defined in test files: append one line.
  static void Record(std::string line);
  static CallRecorder* Active();

 private:
  PlatformCalls saved_;
};

// Both lists, one per line, for a failure message.
std::string ShowSequences(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

// Runs the thread's messages (and the queued worker calls) until `done`
// holds or `timeoutMs` passes; true when `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
void PumpFor(DWORD milliseconds);

}  // namespace lumek::test

#include "tests/support/Recorder.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <sstream>

#include "framework/Application.h"
#include "framework/Sounds.h"
#include "framework/Strings.h"
#include "framework/TextRules.h"

namespace lumek::test {

namespace {

CallRecorder* active = nullptr;
std::vector<std::string> log;
// A timer's worker records through the seam too, beside the test's own thread.
std::mutex logLock;
std::map<HWND, std::string> names;
std::map<HANDLE, std::string> mutexNames;
DWORD waitAnswer = WAIT_FAILED;

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", value);
  return text;
}

std::string Window(HWND window) {
  if (window == nullptr) return "0";
  if (window == HWND_TOPMOST) return "HWND_TOPMOST";
  if (window == HWND_NOTOPMOST) return "HWND_NOTOPMOST";
  if (window == HWND_BOTTOM) return "HWND_BOTTOM";
  return active ? active->NameOf(window) : Hex(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
}

std::string Mutex(HANDLE mutex) {
  auto found = mutexNames.find(mutex);
  return found != mutexNames.end() ? found->second : Hex(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(mutex)));
}

// Recorded lines are UTF-8, so tests spell expected texts as plain literals.
std::string Text(LPCWSTR text) { return text ? WideToUtf8(text) : "null"; }
std::string Quoted(LPCWSTR text) { return text ? "\"" + WideToUtf8(text) + "\"" : "null"; }

void RecordWait(HANDLE object, DWORD milliseconds) {
  CallRecorder::Record("WaitForSingleObject(" + Mutex(object) + ", " + std::to_string(milliseconds) + ")");
}

// A sound played from memory is shown by the file its bytes were read from.
std::string SoundName(LPCWSTR sound, DWORD flags) {
  if (!sound) return "null";
  if (!(flags & SND_MEMORY)) return Text(sound);
  std::wstring path = Sounds().PathOf(sound);
  return path.empty() ? "memory" : WideToUtf8(ExtractFileName(path));
}

std::string InsertAfter(HWND window) { return window == HWND_TOP ? "HWND_TOP" : Window(window); }

std::string Join(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ", ";
    text += part;
  }
  return text;
}

}  // namespace

CallRecorder::CallRecorder() : saved_(Platform()) {
  active = this;
  log.clear();
}

CallRecorder::~CallRecorder() {
  Platform() = saved_;
  if (active == this) active = nullptr;
  log.clear();
  names.clear();
  mutexNames.clear();
}

CallRecorder* CallRecorder::Active() { return active; }

void CallRecorder::Record(std::string line) {
  std::lock_guard<std::mutex> hold(logLock);
  log.push_back(std::move(line));
}

CallRecorder& CallRecorder::Windows() {
  Platform().SetWindowPos = [](HWND w, HWND after, int x, int y, int cx, int cy, UINT flags) {
    Record("SetWindowPos(" + Join({Window(w), InsertAfter(after), std::to_string(x), std::to_string(y),
                                   std::to_string(cx), std::to_string(cy), Hex(flags)}) + ")");
    return RealPlatform().SetWindowPos(w, after, x, y, cx, cy, flags);
  };
  Platform().ShowWindow = [](HWND w, int command) {
    Record("ShowWindow(" + Join({Window(w), std::to_string(command)}) + ")");
    return RealPlatform().ShowWindow(w, command);
  };
  Platform().SetActiveWindow = [](HWND w) {
    Record("SetActiveWindow(" + Window(w) + ")");
    return RealPlatform().SetActiveWindow(w);
  };
  Platform().SetForegroundWindow = [](HWND w) {
    Record("SetForegroundWindow(" + Window(w) + ")");
    return RealPlatform().SetForegroundWindow(w);
  };
  Platform().EnableWindow = [](HWND w, BOOL enable) {
    Record("EnableWindow(" + Join({Window(w), enable ? "TRUE" : "FALSE"}) + ")");
    return RealPlatform().EnableWindow(w, enable);
  };
  Platform().CreateWindowExW = [](DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    HWND w = RealPlatform().CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                                            instance, param);
    Record("CreateWindowExW(" + Join({Hex(exStyle), Text(className), Hex(style)}) + ")");
    return w;
  };
  return *this;
}

CallRecorder& CallRecorder::MessageOnlyWindows() {
  Platform().CreateWindowExW = [](DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                  int width, int height, HWND, HMENU menu, HINSTANCE instance, LPVOID param) {
    return RealPlatform().CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, HWND_MESSAGE,
                                          menu, instance, param);
  };
  return *this;
}

CallRecorder& CallRecorder::MessageBoxes() {
  Platform().MessageBoxW = [](HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    Record("MessageBoxW(" + Join({Window(owner), Quoted(text), Quoted(caption), Hex(type)}) + ")");
    return IDOK;
  };
  return *this;
}

CallRecorder& CallRecorder::Menus() {
  Platform().TrackPopupMenu = [](HMENU, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    Record("TrackPopupMenu(" + Join({Hex(flags), std::to_string(x), std::to_string(y), Window(owner)}) + ")");
    return TRUE;
  };
  Platform().CheckMenuItem = [](HMENU menu, UINT item, UINT check) {
    Record("CheckMenuItem(" + Join({std::to_string(item), Hex(check)}) + ")");
    return RealPlatform().CheckMenuItem(menu, item, check);
  };
  Platform().InsertMenuItemW = [](HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
    std::string text = (info->fMask & MIIM_STRING) && info->dwTypeData ? WideToUtf8(info->dwTypeData) : "";
    Record("InsertMenuItemW(" + Join({std::to_string(item), "\"" + text + "\""}) + ")");
    return RealPlatform().InsertMenuItemW(menu, item, byPosition, info);
  };
  return *this;
}

CallRecorder& CallRecorder::Shell() {
  Platform().Shell_NotifyIconW = [](DWORD message, PNOTIFYICONDATAW data) {
    static const char* kNames[] = {"NIM_ADD", "NIM_MODIFY", "NIM_DELETE"};
    Record("Shell_NotifyIconW(" + Join({message < 3 ? kNames[message] : Hex(message), std::to_string(data->cbSize),
                                        Window(data->hWnd), std::to_string(data->uID), Hex(data->uFlags),
                                        Hex(data->uCallbackMessage), Quoted(data->szTip)}) + ")");
    return TRUE;
  };
  Platform().ShellExecuteW = [](HWND w, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                INT show) {
    Record("ShellExecuteW(" + Join({Window(w), Text(verb), Text(file), Quoted(parameters), Quoted(directory),
                                    std::to_string(show)}) + ")");
    return reinterpret_cast<HINSTANCE>(33);
  };
  return *this;
}

CallRecorder& CallRecorder::Multimedia() {
  Platform().timeBeginPeriod = [](UINT period) {
    Record("timeBeginPeriod(" + std::to_string(period) + ")");
    return RealPlatform().timeBeginPeriod(period);
  };
  Platform().timeEndPeriod = [](UINT period) {
    Record("timeEndPeriod(" + std::to_string(period) + ")");
    return RealPlatform().timeEndPeriod(period);
  };
  Platform().timeSetEvent = [](UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
    Record("timeSetEvent(" + Join({std::to_string(delay), std::to_string(resolution), Hex(flags)}) + ")");
    return RealPlatform().timeSetEvent(delay, resolution, callback, user, flags);
  };
  Platform().timeKillEvent = [](UINT id) {
    Record("timeKillEvent");
    return RealPlatform().timeKillEvent(id);
  };
  Platform().PlaySoundW = [](LPCWSTR sound, HMODULE, DWORD flags) {
    Record("PlaySoundW(" + Join({SoundName(sound, flags), Hex(flags)}) + ")");
    return TRUE;
  };
  return *this;
}

CallRecorder& CallRecorder::WindowTimers() {
  Platform().SetTimer = [](HWND w, UINT_PTR id, UINT elapse, TIMERPROC callback) {
    Record("SetTimer(" + Join({Window(w), std::to_string(id), std::to_string(elapse), callback ? "callback" : "null"}) +
           ")");
    return RealPlatform().SetTimer(w, id, elapse, callback);
  };
  Platform().KillTimer = [](HWND w, UINT_PTR id) {
    Record("KillTimer(" + Join({Window(w), std::to_string(id)}) + ")");
    return RealPlatform().KillTimer(w, id);
  };
  return *this;
}

CallRecorder& CallRecorder::Mutexes() {
  Platform().CreateMutexW = [](LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) {
    Record("CreateMutexW(" + Join({attributes ? "attributes" : "0", initialOwner ? "TRUE" : "FALSE", Text(name)}) +
           ")");
    HANDLE mutex = RealPlatform().CreateMutexW(attributes, initialOwner, name);
    if (mutex) mutexNames[mutex] = Text(name);
    return mutex;
  };
  Platform().WaitForSingleObject = [](HANDLE object, DWORD milliseconds) {
    RecordWait(object, milliseconds);
    return RealPlatform().WaitForSingleObject(object, milliseconds);
  };
  Platform().ReleaseMutex = [](HANDLE mutex) {
    Record("ReleaseMutex(" + Mutex(mutex) + ")");
    return RealPlatform().ReleaseMutex(mutex);
  };
  Platform().CloseHandle = [](HANDLE object) {
    Record("CloseHandle(" + Mutex(object) + ")");
    mutexNames.erase(object);
    return RealPlatform().CloseHandle(object);
  };
  return *this;
}

CallRecorder& CallRecorder::AnswerWaits(DWORD result) {
  waitAnswer = result;
  Platform().WaitForSingleObject = [](HANDLE object, DWORD milliseconds) {
    RecordWait(object, milliseconds);
    return waitAnswer;
  };
  return *this;
}

CallRecorder& CallRecorder::Profiles() {
  Platform().GetPrivateProfileStringW = [](LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                                           DWORD size, LPCWSTR fileName) {
    Record("GetPrivateProfileStringW(" + Join({Text(section), Text(key)}) + ")");
    return RealPlatform().GetPrivateProfileStringW(section, key, defaultValue, buffer, size, fileName);
  };
  Platform().WritePrivateProfileStringW = [](LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
    Record("WritePrivateProfileStringW(" + Join({Text(section), Text(key), Text(value)}) + ")");
    return RealPlatform().WritePrivateProfileStringW(section, key, value, fileName);
  };
  return *this;
}

CallRecorder& CallRecorder::Files() {
  Platform().CopyFileW = [](LPCWSTR existing, LPCWSTR copy, BOOL failIfExists) {
    BOOL done = RealPlatform().CopyFileW(existing, copy, failIfExists);
    const DWORD error = ::GetLastError();
    Record("CopyFileW(" + Join({Text(existing), Text(copy), failIfExists ? "TRUE" : "FALSE"}) + ")");
    ::SetLastError(error);
    return done;
  };
  Platform().MoveFileExW = [](LPCWSTR existing, LPCWSTR target, DWORD flags) {
    BOOL done = RealPlatform().MoveFileExW(existing, target, flags);
    const DWORD error = ::GetLastError();
    Record("MoveFileExW(" + Join({Text(existing), Text(target), Hex(flags)}) + ")");
    ::SetLastError(error);
    return done;
  };
  Platform().DeleteFileW = [](LPCWSTR path) {
    BOOL done = RealPlatform().DeleteFileW(path);
    const DWORD error = ::GetLastError();
    Record("DeleteFileW(" + Text(path) + ")");
    ::SetLastError(error);
    return done;
  };
  return *this;
}

void CallRecorder::Name(HWND window, std::string name) { names[window] = std::move(name); }

std::string CallRecorder::NameOf(HWND window) const {
  auto found = names.find(window);
  return found != names.end() ? found->second : Hex(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
}

const std::vector<std::string>& CallRecorder::Calls() const { return log; }

std::vector<std::string> CallRecorder::CallsStartingWith(const std::string& prefix) const {
  std::lock_guard<std::mutex> hold(logLock);
  std::vector<std::string> result;
  for (const std::string& line : log) {
    if (line.compare(0, prefix.size(), prefix) == 0) result.push_back(line);
  }
  return result;
}

void CallRecorder::Clear() {
  std::lock_guard<std::mutex> hold(logLock);
  log.clear();
}

std::string ShowSequences(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  std::ostringstream text;
  text << "\nactual:\n";
  for (const std::string& line : actual) text << "  " << line << "\n";
  text << "expected:\n";
  for (const std::string& line : expected) text << "  " << line << "\n";
  return text.str();
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (Application && Application->SynchronizeHook) Application->SynchronizeHook();
    if (done()) return true;
    DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 5), QS_ALLINPUT);
  }
}

void PumpFor(DWORD milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

}  // namespace lumek::test

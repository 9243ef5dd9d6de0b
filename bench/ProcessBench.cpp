// Lumek as a whole process beside a minimal Win32 window program: the idle CPU
// time at 20 ms tracking, the start-up time, and the size of the exe. Both
// programs are started by this exe, one after the other, in the same run.
// bench.sh names them in LUMEK_BENCH_PACKAGE (a copy of the package folder)
// and LUMEK_BENCH_MINIMAL (the minimal program's exe).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/Sections.h"
#include "framework/Handles.h"

namespace lumek::bench {
namespace {

struct Subject {
  const char* name;
  std::string exe;
  std::string directory;
  // True once the program has put up what it shows at start.
  std::function<bool(DWORD process)> ready;
  // Asks the program to end as its user would.
  std::function<void(DWORD process)> close;
};

// The child's own top-level window of the class: another Lumek on the same
// desktop must not be taken for it.
HWND WindowOfClass(const char* className, DWORD process) {
  for (HWND window = ::FindWindowExA(nullptr, nullptr, className, nullptr); window;
       window = ::FindWindowExA(nullptr, window, className, nullptr)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == process) return window;
  }
  return nullptr;
}

bool VisibleWindowOfClass(const char* className, DWORD process) {
  HWND window = WindowOfClass(className, process);
  return window && ::IsWindowVisible(window);
}

void PostClose(const char* className, DWORD process) {
  if (HWND window = WindowOfClass(className, process)) ::PostMessageA(window, WM_CLOSE, 0, 0);
}

std::vector<Subject> Subjects() {
  const char* package = std::getenv("LUMEK_BENCH_PACKAGE");
  const char* minimal = std::getenv("LUMEK_BENCH_MINIMAL");
  if (!package || !minimal) return {};
  std::string minimalExe = minimal;
  std::string minimalDirectory = minimalExe.substr(0, minimalExe.find_last_of('\\'));
  return {
      // The tray icon is added while the main form is loaded, before FormCreate
      // shows the lines, so both lines shown means the icon is there too.
      {"LUMEK.exe", std::string(package) + "\\LUMEK.exe", package,
       [](DWORD process) {
         return VisibleWindowOfClass("TXForm1", process) && VisibleWindowOfClass("TYForm1", process);
       },
       [](DWORD process) { PostClose("TApplication", process); }},
      {"minimal window", minimalExe, minimalDirectory, [](DWORD process) { return VisibleWindowOfClass("LumekMinimalWindow", process); },
       [](DWORD process) { PostClose("LumekMinimalWindow", process); }},
  };
}

class RunningProgram {
 public:
  explicit RunningProgram(const Subject& subject) : subject_(subject) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + subject.exe + "\"";
    started_ = CounterNow();
    if (::CreateProcessA(subject.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                         subject.directory.c_str(), &startup, &info)) {
      process_.reset(info.hProcess);
      processId_ = info.dwProcessId;
      ::CloseHandle(info.hThread);
    }
  }
  ~RunningProgram() {
    if (!process_) return;
    subject_.close(processId_);
    if (::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) ::TerminateProcess(process_.get(), 1);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool Started() const { return static_cast<bool>(process_); }
  // Milliseconds from the start to ready, or a negative value after `limitMs`.
  double WaitReady(DWORD limitMs) {
    DWORD begin = ::GetTickCount();
    while (!subject_.ready(processId_)) {
      if (::GetTickCount() - begin > limitMs) return -1;
      ::Sleep(1);
    }
    return CounterToMs(CounterNow() - started_);
  }
  // User plus kernel time so far, in milliseconds, from the Linux side.
  // Wine: GetProcessTimes reports 0 for another process, so the child is
  // found in /proc (through the Z: drive).
  double CpuMs() {
    if (unixPid_.empty()) unixPid_ = FindUnixPid();
    if (unixPid_.empty()) return -1;
    // utime and stime are the 14th and 15th fields of the line, the 12th and 13th after the command.
    std::vector<std::string> fields = StatFields(unixPid_);
    if (fields.size() < 13) return -1;
    constexpr double kClockTicksPerMs = 0.1;  // USER_HZ 100
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / kClockTicksPerMs;
  }

 private:
  static std::string ReadWholeFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    UniqueKernelHandle holder(file);
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
  }

  // Wine: the Windows environment of a child does not reach its Unix one, so
  // the child is the newest process of this Wine prefix whose command name is
  // the exe's file name (cut to 15 bytes, as the kernel keeps it).
  std::string FindUnixPid() const {
    char prefix[MAX_PATH] = {};
    if (!::GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH)) return std::string();
    std::string wanted = std::string("WINEPREFIX=") + prefix + '\0';
    std::string command = subject_.exe.substr(subject_.exe.find_last_of('\\') + 1).substr(0, 15) + "\n";
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return std::string();
    std::string pid;
    double newest = -1;
    do {
      std::string name = found.cFileName;
      if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::string directory = "Z:\\proc\\" + name + "\\";
      if (ReadWholeFile(directory + "comm") != command) continue;
      if (ReadWholeFile(directory + "environ").find(wanted) == std::string::npos) continue;
      std::vector<std::string> fields = StatFields(name);
      double startTime = fields.size() > 19 ? std::atof(fields[19].c_str()) : 0;
      if (startTime > newest) {
        newest = startTime;
        pid = name;
      }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return pid;
  }

  // The fields of /proc/PID/stat after the command's closing parenthesis (the state first).
  static std::vector<std::string> StatFields(const std::string& pid) {
    std::string stat = ReadWholeFile("Z:\\proc\\" + pid + "\\stat");
    std::vector<std::string> fields;
    size_t close = stat.rfind(')');
    if (close == std::string::npos) return fields;
    for (size_t at = close + 2; at < stat.size();) {
      size_t end = stat.find(' ', at);
      if (end == std::string::npos) end = stat.size();
      fields.push_back(stat.substr(at, end - at));
      at = end + 1;
    }
    return fields;
  }

  const Subject& subject_;
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  int64_t started_ = 0;
  std::string unixPid_;
};

constexpr DWORD kReadyLimitMs = 60000;
constexpr DWORD kSettleMs = 2000;
constexpr DWORD kIdleMs = 30000;
constexpr int kStartRuns = 10;

}  // namespace

void CpuTimeSection() {
  std::vector<Subject> subjects = Subjects();
  if (subjects.empty()) {
    std::printf("skipped: LUMEK_BENCH_PACKAGE and LUMEK_BENCH_MINIMAL are not set (run scripts/bench.sh)\n");
    return;
  }
  std::printf("%u s each, after start and %u s to settle, pointer still; Lumek tracks at 20 ms\n", static_cast<unsigned>(kIdleMs / 1000),
              static_cast<unsigned>(kSettleMs / 1000));
  std::printf("%-16s %12s %14s\n", "program", "CPU ms", "% of one core");
  double percent[2] = {0, 0};
  for (size_t i = 0; i < subjects.size(); ++i) {
    RunningProgram program(subjects[i]);
    if (!program.Started() || program.WaitReady(kReadyLimitMs) < 0) {
      std::printf("%-16s did not start\n", subjects[i].name);
      return;
    }
    ::Sleep(kSettleMs);
    double before = program.CpuMs();
    ::Sleep(kIdleMs);
    double after = program.CpuMs();
    if (before < 0 || after < 0) {
      std::printf("%-16s its CPU time cannot be read\n", subjects[i].name);
      return;
    }
    double used = after - before;
    percent[i] = used * 100.0 / kIdleMs;
    std::printf("%-16s %12.1f %14.3f\n", subjects[i].name, used, percent[i]);
  }
  std::printf("Lumek over the idle baseline: %.3f %% of one core (goal: under 0.5 %%)\n", percent[0] - percent[1]);
}

void StartUpSection() {
  std::vector<Subject> subjects = Subjects();
  if (subjects.empty()) {
    std::printf("skipped: LUMEK_BENCH_PACKAGE and LUMEK_BENCH_MINIMAL are not set (run scripts/bench.sh)\n");
    return;
  }
  std::vector<double> times[2];
  // Interleaved, so a slow phase of the machine weighs on both alike.
  for (int run = 0; run < kStartRuns; ++run) {
    for (size_t i = 0; i < subjects.size(); ++i) {
      RunningProgram program(subjects[i]);
      double ms = program.Started() ? program.WaitReady(kReadyLimitMs) : -1;
      if (ms < 0) {
        std::printf("%s did not start\n", subjects[i].name);
        return;
      }
      times[i].push_back(ms);
    }
  }
  std::printf("%d runs each, interleaved; ms from CreateProcess to ready\n", kStartRuns);
  std::printf("(Lumek: tray icon added and both lines shown; minimal: its window shown)\n");
  std::printf("%-16s %9s %9s %9s\n", "program", "median", "min", "max");
  for (size_t i = 0; i < subjects.size(); ++i) {
    std::printf("%-16s %9.1f %9.1f %9.1f\n", subjects[i].name, Percentile(times[i], 0.5), Percentile(times[i], 0.0),
                Percentile(times[i], 1.0));
  }
  double ratio = Percentile(times[0], 0.5) / Percentile(times[1], 0.5);
  std::printf("start-up ratio Lumek / minimal: %.2f (goal: at most 1.3)\n", ratio);

  for (const Subject& subject : subjects) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExA(subject.exe.c_str(), GetFileExInfoStandard, &data)) {
      std::printf("size of %-16s %8lu bytes (%.1f KB)\n", subject.name, data.nFileSizeLow, data.nFileSizeLow / 1024.0);
    }
  }
  std::printf("goal: LUMEK.exe at most 512 KB\n");
}

}  // namespace lumek::bench

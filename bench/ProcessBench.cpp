// Lumek as a whole process beside its references: the CPU time of 20 ms
// tracking at rest and moving, the start-up time, and the size of the exe.
// Every program is started by this exe, one after the other, in the same run.
// bench.sh names them in LUMEK_BENCH_PACKAGE (a copy of the package folder),
// LUMEK_BENCH_MINIMAL (a minimal window program) and LUMEK_BENCH_REFERENCE
// (the reference program with its modes).
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
  std::string arguments;
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

std::string DirectoryOf(const std::string& exe) { return exe.substr(0, exe.find_last_of('\\')); }

// The programs, named by what the sections ask for.
struct Subjects {
  std::vector<Subject> all;
  bool Complete() const { return all.size() == 5; }
  const Subject& Lumek() const { return all[0]; }
  const Subject& Minimal() const { return all[1]; }
  const Subject& Poll() const { return all[2]; }
  const Subject& Calls() const { return all[3]; }
  const Subject& StartUp() const { return all[4]; }
};

Subjects BenchSubjects() {
  const char* package = std::getenv("LUMEK_BENCH_PACKAGE");
  const char* minimal = std::getenv("LUMEK_BENCH_MINIMAL");
  const char* reference = std::getenv("LUMEK_BENCH_REFERENCE");
  if (!package || !minimal || !reference) return {};
  auto referenceReady = [](DWORD process) { return WindowOfClass("LumekReference", process) != nullptr; };
  auto referenceLinesShown = [](DWORD process) {
    return VisibleWindowOfClass("LumekReferenceX", process) && VisibleWindowOfClass("LumekReferenceY", process);
  };
  auto closeReference = [](DWORD process) { PostClose("LumekReference", process); };
  return {{
      // The tray icon is added while the main form is loaded, before FormCreate
      // shows the lines, so both lines shown means the icon is there too.
      {"LUMEK.exe", std::string(package) + "\\LUMEK.exe", "", package,
       [](DWORD process) {
         return VisibleWindowOfClass("TXForm1", process) && VisibleWindowOfClass("TYForm1", process);
       },
       [](DWORD process) { PostClose("TApplication", process); }},
      {"minimal window", minimal, "", DirectoryOf(minimal),
       [](DWORD process) { return VisibleWindowOfClass("LumekMinimalWindow", process); },
       [](DWORD process) { PostClose("LumekMinimalWindow", process); }},
      {"(a) poll", reference, "poll", DirectoryOf(reference), referenceReady, closeReference},
      {"(b) calls", reference, "calls", DirectoryOf(reference), referenceLinesShown, closeReference},
      {"(c) start-up", reference, "startup", DirectoryOf(reference), referenceLinesShown, closeReference},
  }};
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  UniqueKernelHandle holder(file);
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

// The fields of /proc/PID/stat after the command's closing parenthesis (the state first).
std::vector<std::string> StatFields(const std::string& pid) {
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

// User plus kernel time of a Linux process, in milliseconds; -1 if it is gone.
// Wine: GetProcessTimes reports 0 for another process, so /proc is read
// through the Z: drive.
double UnixCpuMs(const std::string& pid) {
  if (pid.empty()) return -1;
  // utime and stime are the 14th and 15th fields of the line, the 12th and 13th after the command.
  std::vector<std::string> fields = StatFields(pid);
  if (fields.size() < 13) return -1;
  constexpr double kClockTicksPerMs = 0.1;  // USER_HZ 100
  return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / kClockTicksPerMs;
}

std::string Environment(const char* name) {
  char value[MAX_PATH] = {};
  return ::GetEnvironmentVariableA(name, value, MAX_PATH) ? value : "";
}

// The newest Linux process whose command name starts with `command` and whose
// environment (or, with `inCommandLine`, command line) holds `needle`.
std::string NewestUnixProcess(const std::string& command, const std::string& needle, bool inCommandLine = false) {
  WIN32_FIND_DATAA found{};
  HANDLE search = ::FindFirstFileA("Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return std::string();
  std::string pid;
  double newest = -1;
  do {
    std::string name = found.cFileName;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string directory = "Z:\\proc\\" + name + "\\";
    if (ReadWholeFile(directory + "comm").compare(0, command.size(), command) != 0) continue;
    if (ReadWholeFile(directory + (inCommandLine ? "cmdline" : "environ")).find(needle) == std::string::npos) continue;
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

// The servers every window call of a Wine program also costs: this prefix's
// Wine server and the X server of this display.
struct Servers {
  std::string wine = NewestUnixProcess("wineserver", "WINEPREFIX=" + Environment("WINEPREFIX") + '\0');
  std::string x = FindX();
  static std::string FindX() {
    std::string display = '\0' + Environment("DISPLAY") + '\0';
    std::string found = NewestUnixProcess("Xephyr", display, true);
    return found.empty() ? NewestUnixProcess("Xvfb", display, true) : found;
  }
};

class RunningProgram {
 public:
  explicit RunningProgram(const Subject& subject) : subject_(subject) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + subject.exe + "\"";
    if (!subject.arguments.empty()) commandLine += " " + subject.arguments;
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
  // Wine: the Windows environment of a child does not reach its Unix one, so
  // the child is the newest process of this Wine prefix whose command name is
  // the exe's file name (cut to 15 bytes, as the kernel keeps it).
  std::string UnixPid() {
    if (unixPid_.empty()) {
      std::string command = subject_.exe.substr(subject_.exe.find_last_of('\\') + 1).substr(0, 15) + "\n";
      unixPid_ = NewestUnixProcess(command, "WINEPREFIX=" + Environment("WINEPREFIX") + '\0');
    }
    return unixPid_;
  }

 private:
  const Subject& subject_;
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  int64_t started_ = 0;
  std::string unixPid_;
};

// CPU milliseconds of the program and of the two servers over one window.
struct CpuUse {
  double own = -1;
  double wine = 0;
  double x = 0;
  double Total() const { return own + wine + x; }
};

constexpr DWORD kReadyLimitMs = 60000;
constexpr DWORD kSettleMs = 2000;
constexpr DWORD kMeasureMs = 20000;
constexpr int kStartRuns = 10;

// Walks the pointer along a square every 20 ms, as a hand would move it.
void MovePointerFor(DWORD milliseconds) {
  const DWORD begin = ::GetTickCount();
  for (int step = 0; ::GetTickCount() - begin < milliseconds; ++step) {
    int along = step % 400;
    int x = 200 + (along < 100 ? along : along < 200 ? 100 : along < 300 ? 300 - along : 0) * 3;
    int y = 200 + (along < 100 ? 0 : along < 200 ? along - 100 : along < 300 ? 100 : 400 - along) * 3;
    ::SetCursorPos(x, y);
    ::Sleep(20);
  }
}

// Starts the program, lets it settle and measures its CPU use over kMeasureMs,
// with the pointer still or moving.
CpuUse MeasureCpu(const Subject& subject, bool moving) {
  CpuUse use;
  RunningProgram program(subject);
  if (!program.Started() || program.WaitReady(kReadyLimitMs) < 0) return use;
  ::SetCursorPos(200, 200);
  ::Sleep(kSettleMs);
  Servers servers;
  std::string pid = program.UnixPid();
  double own = UnixCpuMs(pid), wine = UnixCpuMs(servers.wine), x = UnixCpuMs(servers.x);
  if (moving) {
    MovePointerFor(kMeasureMs);
  } else {
    ::Sleep(kMeasureMs);
  }
  double ownAfter = UnixCpuMs(pid);
  if (own < 0 || ownAfter < 0) return use;
  use.own = ownAfter - own;
  if (wine >= 0) use.wine = UnixCpuMs(servers.wine) - wine;
  if (x >= 0) use.x = UnixCpuMs(servers.x) - x;
  return use;
}

void PrintCpuRow(const char* name, const CpuUse& use) {
  if (use.own < 0) {
    std::printf("%-16s did not start, or its CPU time cannot be read\n", name);
    return;
  }
  std::printf("%-16s %9.1f %9.1f %9.1f %9.1f %9.3f\n", name, use.own, use.wine, use.x, use.Total(),
              use.Total() * 100.0 / kMeasureMs);
}

void PrintRatio(const char* what, double value, double reference, double goal) {
  if (reference <= 0) {
    std::printf("%s: reference used no measurable CPU\n", what);
    return;
  }
  double ratio = value / reference;
  std::printf("%s: %.2f (goal: at most %.2f) %s\n", what, ratio, goal, ratio <= goal ? "met" : "NOT MET");
}

void SkippedWithoutSubjects() {
  std::printf(
      "skipped: LUMEK_BENCH_PACKAGE, LUMEK_BENCH_MINIMAL and LUMEK_BENCH_REFERENCE are not set (run "
      "scripts/bench.sh)\n");
}

}  // namespace

void CpuTimeSection() {
  Subjects subjects = BenchSubjects();
  if (!subjects.Complete()) return SkippedWithoutSubjects();
  std::printf("%u s each after %u s to settle; CPU ms of the program, of this prefix's Wine server and of the X\n"
              "server (the servers' figures hold whatever else ran then: this benchmark's own pointer moves)\n",
              static_cast<unsigned>(kMeasureMs / 1000), static_cast<unsigned>(kSettleMs / 1000));
  std::printf("%-16s %9s %9s %9s %9s %9s\n", "program", "own", "wine srv", "X srv", "total", "% core");
  std::printf("pointer at rest\n");
  CpuUse lumekAtRest = MeasureCpu(subjects.Lumek(), false);
  PrintCpuRow(subjects.Lumek().name, lumekAtRest);
  CpuUse poll = MeasureCpu(subjects.Poll(), false);
  PrintCpuRow(subjects.Poll().name, poll);
  CpuUse idle = MeasureCpu(subjects.Minimal(), false);
  PrintCpuRow(subjects.Minimal().name, idle);
  std::printf("pointer moving (every 20 ms)\n");
  CpuUse lumekMoving = MeasureCpu(subjects.Lumek(), true);
  PrintCpuRow(subjects.Lumek().name, lumekMoving);
  CpuUse calls = MeasureCpu(subjects.Calls(), true);
  PrintCpuRow(subjects.Calls().name, calls);
  if (lumekAtRest.own < 0 || poll.own < 0 || lumekMoving.own < 0 || calls.own < 0) return;
  PrintRatio("at rest, Lumek / (a)", lumekAtRest.Total(), poll.Total(), 1.2);
  PrintRatio("moving, Lumek / (b)", lumekMoving.Total(), calls.Total(), 1.05);
}

void StartUpSection() {
  Subjects subjects = BenchSubjects();
  if (!subjects.Complete()) return SkippedWithoutSubjects();
  const Subject* timed[] = {&subjects.Lumek(), &subjects.StartUp(), &subjects.Minimal()};
  std::vector<double> times[3];
  // Interleaved, so a slow phase of the machine weighs on all alike.
  for (int run = 0; run < kStartRuns; ++run) {
    for (size_t i = 0; i < 3; ++i) {
      RunningProgram program(*timed[i]);
      double ms = program.Started() ? program.WaitReady(kReadyLimitMs) : -1;
      if (ms < 0) {
        std::printf("%s did not start\n", timed[i]->name);
        return;
      }
      times[i].push_back(ms);
    }
  }
  std::printf("%d runs each, interleaved; ms from CreateProcess to ready\n", kStartRuns);
  std::printf("(Lumek and (c): tray icon added and both lines shown; minimal: its window shown)\n");
  std::printf("%-16s %9s %9s %9s\n", "program", "median", "min", "max");
  for (size_t i = 0; i < 3; ++i) {
    std::printf("%-16s %9.1f %9.1f %9.1f\n", timed[i]->name, Percentile(times[i], 0.5), Percentile(times[i], 0.0),
                Percentile(times[i], 1.0));
  }
  PrintRatio("start-up, Lumek / (c)", Percentile(times[0], 0.5), Percentile(times[1], 0.5), 1.15);
  PrintRatio("start-up, Lumek / minimal", Percentile(times[0], 0.5), Percentile(times[2], 0.5), 1.3);

  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExA(subjects.Lumek().exe.c_str(), GetFileExInfoStandard, &data)) {
    std::printf("size of LUMEK.exe %8lu bytes (%.1f KB; goal: at most 512 KB)\n", data.nFileSizeLow,
                data.nFileSizeLow / 1024.0);
  }
}

}  // namespace lumek::bench

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
#include <climits>
#include <functional>
#include <thread>
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
  bool Complete() const { return all.size() == 7; }
  const Subject& Lumek() const { return all[0]; }
  const Subject& Minimal() const { return all[1]; }
  const Subject& Poll() const { return all[2]; }
  const Subject& Calls() const { return all[3]; }
  const Subject& StartUp() const { return all[4]; }
  const Subject& LumekHeartbeat() const { return all[5]; }
  // The "other program" whose window the pointer moves over.
  const Subject& Window() const { return all[6]; }
};

Subjects BenchSubjects() {
  const char* package = std::getenv("LUMEK_BENCH_PACKAGE");
  const char* heartbeatPackage = std::getenv("LUMEK_BENCH_PACKAGE_HEARTBEAT");
  const char* minimal = std::getenv("LUMEK_BENCH_MINIMAL");
  const char* reference = std::getenv("LUMEK_BENCH_REFERENCE");
  const char* poll = std::getenv("LUMEK_BENCH_REFERENCE_POLL");
  if (!package || !heartbeatPackage || !minimal || !reference || !poll) return {};
  auto referenceReady = [](DWORD process) { return WindowOfClass("LumekReference", process) != nullptr; };
  auto referenceLinesShown = [](DWORD process) {
    return VisibleWindowOfClass("LumekReferenceX", process) && VisibleWindowOfClass("LumekReferenceY", process);
  };
  auto closeReference = [](DWORD process) { PostClose("LumekReference", process); };
  // The tray icon is added while the main form is loaded, before FormCreate
  // shows the lines, so both lines shown means the icon is there too.
  auto lumekReady = [](DWORD process) {
    return VisibleWindowOfClass("TXForm1", process) && VisibleWindowOfClass("TYForm1", process);
  };
  auto closeLumek = [](DWORD process) { PostClose("TApplication", process); };
  auto minimalReady = [](DWORD process) { return VisibleWindowOfClass("LumekMinimalWindow", process); };
  auto closeMinimal = [](DWORD process) { PostClose("LumekMinimalWindow", process); };
  return {{
      {"LUMEK.exe", std::string(package) + "\\LUMEK.exe", "", package, lumekReady, closeLumek},
      {"minimal window", minimal, "", DirectoryOf(minimal), minimalReady, closeMinimal},
      {"(a) poll", poll, "", DirectoryOf(poll), referenceReady, closeReference},
      {"(b) calls", reference, "calls", DirectoryOf(reference), referenceLinesShown, closeReference},
      {"(c) start-up", reference, "startup", DirectoryOf(reference), referenceLinesShown, closeReference},
      {"LUMEK.exe, beat", std::string(heartbeatPackage) + "\\LUMEK.exe", "", heartbeatPackage, lumekReady, closeLumek},
      {"other program", minimal, "", DirectoryOf(minimal), minimalReady, closeMinimal},
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

// Nanoseconds a Linux process has run, summed over its threads (the first
// field of each task's schedstat); -1 if it is gone. Wine: GetProcessTimes
// reports 0 for another process, so /proc is read through the Z: drive, and
// /proc/PID/stat counts only in 10 ms ticks, a handful for an idle minute.
double UnixCpuNs(const std::string& pid) {
  if (pid.empty()) return -1;
  const std::string tasks = "Z:\\proc\\" + pid + "\\task\\";
  WIN32_FIND_DATAA found{};
  HANDLE search = ::FindFirstFileA((tasks + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return -1;
  double total = 0;
  do {
    std::string name = found.cFileName;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    total += std::atof(ReadWholeFile(tasks + name + "\\schedstat").c_str());
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return total;
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
  DWORD ProcessId() const { return processId_; }
  double MsSinceStart() const { return CounterToMs(CounterNow() - started_); }
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

// The pointer is moved as a hand moves it, by the X server's test device
// (xdotool, run by bench.sh): a move a program makes with SetCursorPos is
// one the platform's notices never report. A request is the arguments of one
// xdotool run, written to a file the script's mover watches; the mover
// deletes the file when the run is over.
bool MovePointer(const std::string& arguments) {
  const char* folder = std::getenv("LUMEK_BENCH_MOVER");
  if (!folder) return false;
  const std::string request = std::string(folder) + "\\request";
  const std::string pending = request + ".new";
  HANDLE file = ::CreateFileA(pending.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  ::WriteFile(file, arguments.data(), static_cast<DWORD>(arguments.size()), &written, nullptr);
  ::CloseHandle(file);
  if (!::MoveFileA(pending.c_str(), request.c_str())) return false;
  const DWORD begin = ::GetTickCount();
  while (::GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (::GetTickCount() - begin > 120000) return false;
    ::Sleep(5);
  }
  return true;
}

bool MovePointerTo(int x, int y) { return MovePointer("mousemove " + std::to_string(x) + " " + std::to_string(y)); }

// Walks the pointer along a square every 20 ms for `milliseconds`, as a hand would move it.
bool WalkPointerFor(DWORD milliseconds) {
  std::string arguments;
  for (DWORD step = 0; step * 20 < milliseconds; ++step) {
    int along = static_cast<int>(step % 400);
    int x = 200 + (along < 100 ? along : along < 200 ? 100 : along < 300 ? 300 - along : 0) * 3;
    int y = 200 + (along < 100 ? 0 : along < 200 ? along - 100 : along < 300 ? 100 : 400 - along) * 3;
    arguments += "mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.02 ";
  }
  return MovePointer(arguments);
}

// CPU nanoseconds of the program and of the two servers over one window.
struct CpuUse {
  double own = -1;
  double wine = 0;
  double x = 0;
  double Total() const { return own + wine + x; }
};

constexpr DWORD kReadyLimitMs = 60000;
// The pointer has not moved for this long when a resting window starts.
constexpr DWORD kRestSettleMs = 2000;
constexpr DWORD kRestMeasureMs = 60000;
constexpr DWORD kMovingMeasureMs = 20000;
constexpr int kRounds = 3;
constexpr int kStartRuns = 10;

// Starts the program, parks the pointer, lets it settle and measures its CPU
// use over `measureMs`, with the pointer still or walking.
CpuUse MeasureCpu(const Subject& subject, bool moving, DWORD measureMs) {
  CpuUse use;
  RunningProgram program(subject);
  if (!program.Started() || program.WaitReady(kReadyLimitMs) < 0) return use;
  MovePointerTo(200, 200);
  ::Sleep(kRestSettleMs);
  Servers servers;
  std::string pid = program.UnixPid();
  double own = UnixCpuNs(pid), wine = UnixCpuNs(servers.wine), x = UnixCpuNs(servers.x);
  if (moving) {
    WalkPointerFor(measureMs);
  } else {
    ::Sleep(measureMs);
  }
  double ownAfter = UnixCpuNs(pid);
  if (own < 0 || ownAfter < 0) return use;
  use.own = ownAfter - own;
  if (wine >= 0) use.wine = UnixCpuNs(servers.wine) - wine;
  if (x >= 0) use.x = UnixCpuNs(servers.x) - x;
  return use;
}

// One subject's rounds, as per cent of one core.
struct CpuRounds {
  const Subject* subject;
  bool moving;
  DWORD measureMs;
  std::vector<double> own, wine, x, total;
  bool failed = false;
  void Add(const CpuUse& use) {
    if (use.own < 0) {
      failed = true;
      return;
    }
    const double toPercent = 100.0 / (measureMs * 1e6);
    own.push_back(use.own * toPercent);
    wine.push_back(use.wine * toPercent);
    x.push_back(use.x * toPercent);
    total.push_back(use.Total() * toPercent);
  }
  double Median() const { return Percentile(total, 0.5); }
};

void PrintCpuRow(const CpuRounds& rounds) {
  if (rounds.failed || rounds.total.empty()) {
    std::printf("%-16s did not start, or its CPU time cannot be read\n", rounds.subject->name);
    return;
  }
  std::printf("%-16s %8.3f %8.3f %8.3f %8.3f  %6.3f..%-6.3f\n", rounds.subject->name, Percentile(rounds.own, 0.5),
              Percentile(rounds.wine, 0.5), Percentile(rounds.x, 0.5), rounds.Median(),
              Percentile(rounds.total, 0.0), Percentile(rounds.total, 1.0));
}

void PrintGoal(const char* what, double ratio, double goal) {
  std::printf("%s: %.2f (goal: at most %.2f) %s\n", what, ratio, goal, ratio <= goal ? "MET" : "NOT MET");
}

void PrintRatio(const char* what, double value, double reference, double goal) {
  if (!(reference > 0) || !(value >= 0)) {
    std::printf("%s: no figure (goal: at most %.2f) NOT MET\n", what, goal);
    return;
  }
  PrintGoal(what, value / reference, goal);
}

void SkippedWithoutSubjects() {
  std::printf(
      "skipped: LUMEK_BENCH_PACKAGE, LUMEK_BENCH_PACKAGE_HEARTBEAT, LUMEK_BENCH_MINIMAL, LUMEK_BENCH_REFERENCE and "
      "LUMEK_BENCH_REFERENCE_POLL are not set (run scripts/bench.sh)\n");
}

// The left edge of the process's vertical line, or INT_MIN when there is none.
int VerticalLineLeft(DWORD process) {
  HWND line = WindowOfClass("TXForm1", process);
  RECT rect;
  if (!line || !::GetWindowRect(line, &rect)) return INT_MIN;
  return rect.left;
}

// Milliseconds from the moment the pointer is seen at `to` until Lumek's
// vertical line stands one pixel right of it; negative after a second.
double FirstMoveLag(DWORD process, POINT to) {
  std::string arguments = "mousemove " + std::to_string(to.x) + " " + std::to_string(to.y);
  // The mover runs xdotool while this thread watches, so the moment of the move is seen here.
  std::thread mover([arguments] { MovePointer(arguments); });
  int64_t moved = 0;
  double lag = -1;
  const DWORD begin = ::GetTickCount();
  while (::GetTickCount() - begin < 5000) {
    POINT pointer;
    ::GetCursorPos(&pointer);
    if (!moved && pointer.x == to.x && pointer.y == to.y) moved = CounterNow();
    if (moved && VerticalLineLeft(process) == to.x + 1) {
      lag = CounterToMs(CounterNow() - moved);
      break;
    }
    if (moved && CounterToMs(CounterNow() - moved) > 1000) break;
  }
  mover.join();
  return lag;
}

}  // namespace

void CpuTimeSection() {
  Subjects subjects = BenchSubjects();
  if (!subjects.Complete()) return SkippedWithoutSubjects();
  CpuRounds rows[] = {
      {&subjects.Lumek(), false, kRestMeasureMs, {}, {}, {}, {}},
      {&subjects.Minimal(), false, kRestMeasureMs, {}, {}, {}, {}},
      {&subjects.Poll(), false, kRestMeasureMs, {}, {}, {}, {}},
      {&subjects.LumekHeartbeat(), false, kRestMeasureMs, {}, {}, {}, {}},
      {&subjects.Lumek(), true, kMovingMeasureMs, {}, {}, {}, {}},
      {&subjects.Calls(), true, kMovingMeasureMs, {}, {}, {}, {}},
  };
  const DWORD begin = ::GetTickCount();
  // Interleaved: round by round every subject once, so a busy phase of the machine weighs on all alike.
  for (int round = 0; round < kRounds; ++round) {
    for (CpuRounds& row : rows) row.Add(MeasureCpu(*row.subject, row.moving, row.measureMs));
  }
  std::printf("%d interleaved rounds per subject; at rest %u s each, the pointer still for %u s before; moving %u s\n"
              "each, xdotool walking the pointer every 20 ms. %% of one core: the program (all threads), this\n"
              "prefix's Wine server and the X server (both hold whatever else ran: the walk's own moves).\n"
              "Medians of the rounds, and the spread of the total. Lumek with the heartbeat off, as the\n"
              "references; \"beat\" is Lumek with it on. %.0f s in all.\n",
              kRounds, static_cast<unsigned>(kRestMeasureMs / 1000), static_cast<unsigned>(kRestSettleMs / 1000),
              static_cast<unsigned>(kMovingMeasureMs / 1000), (::GetTickCount() - begin) / 1000.0);
  std::printf("%-16s %8s %8s %8s %8s  %s\n", "program", "own", "wine srv", "X srv", "total", "spread");
  std::printf("pointer at rest\n");
  for (int i = 0; i < 4; ++i) PrintCpuRow(rows[i]);
  std::printf("pointer moving\n");
  for (int i = 4; i < 6; ++i) PrintCpuRow(rows[i]);
  const double lumekAtRest = rows[0].Median(), idle = rows[1].Median(), poll = rows[2].Median();
  const double beat = rows[3].Median();
  std::printf("the heartbeat's own cost at rest: %.3f %% of a core (beat - Lumek)\n", beat - lumekAtRest);
  std::printf("at rest, Lumek / (a) the tick's road: %.2f\n", poll > 0 ? lumekAtRest / poll : 0.0);
  PrintRatio("at rest, Lumek / idle window program", lumekAtRest, idle, 1.2);
  PrintRatio("moving, Lumek / (b)", rows[4].Median(), rows[5].Median(), 1.05);
}

void FirstMoveSection() {
  Subjects subjects = BenchSubjects();
  if (!subjects.Complete()) return SkippedWithoutSubjects();
  RunningProgram other(subjects.Window());  // its window: 320 x 200 at (100, 100)
  RunningProgram lumek(subjects.Lumek());
  if (!other.Started() || other.WaitReady(kReadyLimitMs) < 0 || !lumek.Started() ||
      lumek.WaitReady(kReadyLimitMs) < 0) {
    std::printf("Lumek or the other program did not start\n");
    return;
  }
  struct Surface {
    const char* name;
    POINT spots[2];
    std::vector<double> lags;
    int missed = 0;
  } surfaces[] = {
      {"over the bare desktop", {{700, 500}, {900, 650}}, {}, 0},
      {"over another program", {{180, 160}, {340, 240}}, {}, 0},
  };
  constexpr int kTrials = 8;
  for (int trial = 0; trial < kTrials; ++trial) {
    for (Surface& surface : surfaces) {
      MovePointerTo(surface.spots[0].x, surface.spots[0].y);
      ::Sleep(kRestSettleMs);  // tracking rests after a second still
      double lag = FirstMoveLag(lumek.ProcessId(), surface.spots[1]);
      if (lag < 0) {
        ++surface.missed;
      } else {
        surface.lags.push_back(lag);
      }
    }
  }
  std::printf("%d moves each after %u s at rest; ms from the pointer seen at its new place to the vertical\n"
              "line beside it (tracking at 20 ms)\n",
              kTrials, static_cast<unsigned>(kRestSettleMs / 1000));
  std::printf("%-24s %9s %9s %9s %7s\n", "first move", "median", "p90", "max", "missed");
  for (Surface& surface : surfaces) {
    std::printf("%-24s %9.1f %9.1f %9.1f %7d\n", surface.name, Percentile(surface.lags, 0.5),
                Percentile(surface.lags, 0.9), Percentile(surface.lags, 1.0), surface.missed);
  }
  for (Surface& surface : surfaces) {
    const double worst = surface.missed ? 1e9 : Percentile(surface.lags, 1.0);
    std::printf("first move %s, slowest / one tracking period: %.2f (goal: at most 1.00) %s\n", surface.name,
                worst / 20.0, worst <= 20.0 ? "MET" : "NOT MET");
  }
}

// Start-up in phases, each seen from outside the program as the first moment
// its windows show it has got there.
struct Phase {
  const char* name;
  std::function<bool(DWORD process)> reached;
};

void StartUpSection() {
  Subjects subjects = BenchSubjects();
  if (!subjects.Complete()) return SkippedWithoutSubjects();
  const Subject* timed[] = {&subjects.Lumek(), &subjects.StartUp(), &subjects.Minimal()};
  const std::vector<Phase> phases[] = {
      {{"application window", [](DWORD p) { return WindowOfClass("TApplication", p) != nullptr; }},
       {"main form's window", [](DWORD p) { return WindowOfClass("TMainForm1", p) != nullptr; }},
       {"vertical line shown", [](DWORD p) { return VisibleWindowOfClass("TXForm1", p); }},
       {"both lines shown", timed[0]->ready}},
      {{"main window", [](DWORD p) { return WindowOfClass("LumekReference", p) != nullptr; }},
       {"both lines shown", timed[1]->ready}},
      {{"window shown", timed[2]->ready}},
  };
  std::vector<std::vector<double>> times[3];
  for (size_t i = 0; i < 3; ++i) times[i].resize(phases[i].size());
  // Interleaved, so a slow phase of the machine weighs on all alike.
  for (int run = 0; run < kStartRuns; ++run) {
    for (size_t i = 0; i < 3; ++i) {
      RunningProgram program(*timed[i]);
      if (!program.Started()) {
        std::printf("%s did not start\n", timed[i]->name);
        return;
      }
      size_t next = 0;
      const DWORD begin = ::GetTickCount();
      while (next < phases[i].size()) {
        if (::GetTickCount() - begin > kReadyLimitMs) {
          std::printf("%s did not reach \"%s\"\n", timed[i]->name, phases[i][next].name);
          return;
        }
        // A phase seen at the same look as the one before it ends there too.
        while (next < phases[i].size() && phases[i][next].reached(program.ProcessId())) {
          times[i][next++].push_back(program.MsSinceStart());
        }
        ::Sleep(1);
      }
    }
  }
  std::printf("%d runs each, interleaved; ms from CreateProcess to ready\n", kStartRuns);
  std::printf("(Lumek and (c): tray icon added and both lines shown; minimal: its window shown)\n");
  std::printf("%-16s %9s %9s %9s\n", "program", "median", "min", "max");
  for (size_t i = 0; i < 3; ++i) {
    const std::vector<double>& ready = times[i].back();
    std::printf("%-16s %9.1f %9.1f %9.1f\n", timed[i]->name, Percentile(ready, 0.5), Percentile(ready, 0.0),
                Percentile(ready, 1.0));
  }
  for (size_t i = 0; i < 2; ++i) {
    std::printf("phases of %s, medians in order (ms each):", timed[i]->name);
    double previous = 0;
    for (size_t phase = 0; phase < phases[i].size(); ++phase) {
      const double at = Percentile(times[i][phase], 0.5);
      std::printf("%s %s %.1f", phase ? "," : "", phases[i][phase].name, at - previous);
      previous = at;
    }
    std::printf("\n");
  }
  PrintRatio("start-up, Lumek / (c)", Percentile(times[0].back(), 0.5), Percentile(times[1].back(), 0.5), 1.15);
  PrintRatio("start-up, Lumek / minimal", Percentile(times[0].back(), 0.5), Percentile(times[2].back(), 0.5), 1.3);

  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExA(subjects.Lumek().exe.c_str(), GetFileExInfoStandard, &data)) {
    std::printf("size of LUMEK.exe %8lu bytes (%.1f KB; goal: at most 512 KB)\n", data.nFileSizeLow,
                data.nFileSizeLow / 1024.0);
  }
}

}  // namespace lumek::bench

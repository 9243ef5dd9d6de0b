#include "app/Mainwindow1.h"

#include <algorithm>
#include <atomic>
#include <iterator>

#include "app/CrosshairRules.h"
#include "app/LumekSettings.h"
#include "app/LineWindow.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "framework/FileLock.h"
#include "framework/IniFilePasses.h"
#include "framework/IniFiles.h"
#include "framework/Menus.h"
#include "framework/Platform.h"
#include "framework/Sounds.h"
#include "framework/Strings.h"
#include "framework/TextRules.h"
#include "timers/HiTimer.h"
#include "tray/TrayIcon.h"

namespace lumek {

TMainForm1* MainForm1 = nullptr;

// The state a resting tick compares against. Only the user-interface thread
// writes it, at the end of each tracking tick; Timer1's worker reads it. The
// window handles are plain values there: a line destroyed meanwhile only
// makes the worker hand one more tick over, which then finds no timer.
struct RestingView {
  std::atomic<int64_t> pointer{0};
  std::atomic<HWND> form{nullptr};
  std::atomic<HWND> lines[2] = {};
  std::atomic<bool> shown[2] = {};
  const DWORD process = ::GetCurrentProcessId();
};

namespace {

// Lumek's information page; the executable's base name is appended.
constexpr wchar_t kInformationAddress[] = L"https://www.lumek.example/info.php?pf=w&sn=";
constexpr wchar_t kSettingsFileName[] = L"LUMEK.ini";
// A pass takes milliseconds; a copy stuck in its pass must not keep another
// from closing, nor from saving before a logoff ends it.
constexpr DWORD kSettingsTurnTimeoutMs = 5000;
// Some display changes (a resolution set outside the program under some
// systems) come with no message: the desktop's metrics are compared this often.
constexpr UINT kDisplayCheckMs = 1000;

// A menu item and the value it stands for.
template <typename Value>
struct MenuChoice {
  TMenuItem* TMainForm1::*item;
  Value value;
};
// One table each, for the file's reader and the menu's handlers alike.
constexpr MenuChoice<int32_t> kThicknessChoices[] = {
    {&TMainForm1::N5, 1}, {&TMainForm1::N6, 2}, {&TMainForm1::N11, 3}, {&TMainForm1::N12, 4}};
constexpr MenuChoice<uint32_t> kSpeedChoices[] = {
    {&TMainForm1::N14, 20}, {&TMainForm1::N15, 60}, {&TMainForm1::N16, 180}, {&TMainForm1::N17, 540}};

// The value `item` stands for; every item of the table stands for one.
template <typename Value, size_t N>
Value ValueOf(const MenuChoice<Value> (&choices)[N], const TMainForm1& form, const TMenuItem* item) {
  size_t i = 0;
  while (i + 1 < N && form.*choices[i].item != item) ++i;
  return choices[i].value;
}

// Checks the item standing for `value` alone. A value no item stands for
// (SPEED=100) keeps the marks as they are.
template <typename Value, size_t N>
void MarkChoice(const MenuChoice<Value> (&choices)[N], TMainForm1& form, Value value) {
  const auto stands = [value](const MenuChoice<Value>& choice) { return choice.value == value; };
  const MenuChoice<Value>* chosen = std::find_if(std::begin(choices), std::end(choices), stands);
  if (chosen == std::end(choices)) return;
  (form.*chosen->item)->SetChecked(true);
  for (const MenuChoice<Value>& choice : choices) {
    if (&choice != chosen) (form.*choice.item)->SetChecked(false);
  }
}

// The component classes the stored descriptions of Lumek's forms name.
void RegisterLumekStoredClasses() {
  RegisterStoredClass<THiTimer>("THiTimer");
  RegisterMenuClasses();
  RegisterTrayClasses();
}

template <typename T>
bool BindFieldOfType(T*& field, const char* fieldName, const std::string& name, TComponent* component) {
  if (name != fieldName) return false;
  field = dynamic_cast<T*>(component);
  return true;
}

// The executable's path when the platform reported all of it; empty otherwise,
// so nothing is ever read, written or opened from a cut-off path elsewhere.
std::wstring CompleteModulePath() {
  bool complete = false;
  std::wstring path = ModuleFileName(&complete);
  return complete ? path : std::wstring();
}

// The menu's English captions, item by item: the same items and lines in the
// same order as the Japanese description, access keys unique at each level.
struct EnglishCaption {
  TMenuItem* TMainForm1::*item;
  const wchar_t* caption;
};
constexpr EnglishCaption kEnglishCaptions[] = {
    {&TMainForm1::Close1, L"&Close"},
    {&TMainForm1::N20, L"Cursor &Display"},
    {&TMainForm1::N21, L"&Vertical Line"},
    {&TMainForm1::N22, L"&Horizontal Line"},
    {&TMainForm1::N24, L"Span &All Screens"},
    {&TMainForm1::N19, L"&Wrap at Screen Edges"},
    {&TMainForm1::N2, L"Line C&olour..."},
    {&TMainForm1::N4, L"Line &Thickness"},
    {&TMainForm1::N5, L"&Extra Fine (1 px)"},
    {&TMainForm1::N6, L"&Fine (2 px)"},
    {&TMainForm1::N11, L"&Bold (3 px)"},
    {&TMainForm1::N12, L"E&xtra Bold (4 px)"},
    {&TMainForm1::N13, L"Tracking &Speed"},
    {&TMainForm1::N14, L"&Fast (20 ms)"},
    {&TMainForm1::N15, L"F&airly Fast (60 ms)"},
    {&TMainForm1::N16, L"Fairly S&low (180 ms)"},
    {&TMainForm1::N17, L"Sl&ow (540 ms)"},
    {&TMainForm1::N1, L"&Heartbeat"},
    {&TMainForm1::N8, L"User's &Guide"},
    {&TMainForm1::N9, L"&Information..."},
    {&TMainForm1::X1, L"E&xit"},
};

int64_t PackedPoint(ScreenPoint point) {
  return static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(point.x)) << 32 |
                              static_cast<uint32_t>(point.y));
}

// A look down the z-order from the top, until every shown line is passed.
struct CoverLook {
  const HWND (&own)[3];
  const bool (&shown)[2];
  DWORD process;
  int linesToPass;
  bool covered = false;
};

BOOL CALLBACK LookAtWindow(HWND window, LPARAM data) try {
  CoverLook& look = *reinterpret_cast<CoverLook*>(data);
  for (int i = 0; i < 2; ++i) {
    if (window == look.own[i + 1] && look.shown[i] && --look.linesToPass == 0) return FALSE;
  }
  if (std::find(std::begin(look.own), std::end(look.own), window) != std::end(look.own)) return TRUE;
  if (!Platform().IsWindowVisible(window)) return TRUE;
  // Lumek's own menu and colour dialog open over its lines, as they always have.
  DWORD owner = 0;
  Platform().GetWindowThreadProcessId(window, &owner);
  look.covered = owner != look.process;
  return !look.covered;
} catch (...) {
  // A look that cannot tell leaves the decision to a raise, which costs nothing when not needed.
  reinterpret_cast<CoverLook*>(data)->covered = true;
  return FALSE;
}

// True when a visible window of another process lies above a shown line.
// One list of the top-level windows serves both lines: under Wine each step
// of a walk window by window is a round trip to its server. Only
// thread-agnostic calls: the resting ticks look from the timer's worker.
bool ForeignWindowAboveLines(const HWND (&own)[3], const bool (&shown)[2], DWORD process) {
  CoverLook look{own, shown, process, shown[0] + shown[1]};
  if (look.linesToPass == 0) return false;
  Platform().EnumWindows(&LookAtWindow, reinterpret_cast<LPARAM>(&look));
  return look.covered;
}

// Timer1's resting probe, on its worker: true when the tick has work for the
// user-interface thread, that is a line shown or hidden since, a pointer that
// moved while a line shows, or a window come over a shown line.
bool RestingTickHasWork(const RestingView& view) {
  const HWND own[] = {view.form.load(), view.lines[0].load(), view.lines[1].load()};
  bool shown[2] = {};
  for (int i = 0; i < 2; ++i) {
    shown[i] = own[i + 1] && Platform().IsWindowVisible(own[i + 1]);
    if (shown[i] != view.shown[i].load()) return true;
  }
  if (!shown[0] && !shown[1]) return false;
  POINT pointer{};
  Platform().GetCursorPos(&pointer);
  if (PackedPoint(ScreenPoint{pointer.x, pointer.y}) != view.pointer.load()) return true;
  return ForeignWindowAboveLines(own, shown, view.process);
}

}  // namespace

TMainForm1::TMainForm1(TComponent* owner) : TForm(owner), restingView_(std::make_shared<RestingView>()) {
  RegisterLumekStoredClasses();
  std::vector<PublishedMethod> methods = PublishedMethods();
  StoredContext context(this);
  context.SetMethods(&methods);
  context.SetFieldBinder([this](const std::string& name, TComponent* component) { BindField(name, component); });
  ReadStoredForm(this, L"MAINFORM1", context);
  Timer1->SetRestingProbe([view = restingView_] { return RestingTickHasWork(*view); });
  if (UserFace() == TFace::English) ShowEnglishFace();

  ExeDir = ExtractFileDir(ModuleFileName());
  const std::wstring module = CompleteModulePath();
  if (!module.empty()) soundFolder_ = ExtractFilePath(module);
  FollowPrimaryMonitor();
  AfterConstruction();
}

TMainForm1::~TMainForm1() {
  if (HandleAllocated()) Platform().KillTimer(WindowHandle(), kDisplayCheckTimer);
  if (Application && Application->OnEndSession) Application->OnEndSession = nullptr;
  WatchPointerMoves(false);
  XForm1 = nullptr;
  YForm1 = nullptr;
}

std::vector<PublishedMethod> TMainForm1::PublishedMethods() {
  auto notify = [this](void (TMainForm1::*method)(TObject*)) -> PublishedHandler {
    return TNotifyEvent([this, method](TObject* sender) { (this->*method)(sender); });
  };
  return {
      {"X1Click", notify(&TMainForm1::X1Click)},
      {"N1Click", notify(&TMainForm1::N1Click)},
      {"N9Click", notify(&TMainForm1::N9Click)},
      {"N8Click", notify(&TMainForm1::N8Click)},
      {"N2Click", notify(&TMainForm1::N2Click)},
      {"N5Click", notify(&TMainForm1::N5Click)},
      {"N6Click", notify(&TMainForm1::N6Click)},
      {"N11Click", notify(&TMainForm1::N11Click)},
      {"N12Click", notify(&TMainForm1::N12Click)},
      {"Timer2Timer", notify(&TMainForm1::Timer2Timer)},
      {"FormClose", TCloseEvent([this](TObject* sender, TCloseAction& action) { FormClose(sender, action); })},
      {"N14Click", notify(&TMainForm1::N14Click)},
      {"N15Click", notify(&TMainForm1::N15Click)},
      {"N16Click", notify(&TMainForm1::N16Click)},
      {"N17Click", notify(&TMainForm1::N17Click)},
      {"FormCreate", notify(&TMainForm1::FormCreate)},
      {"N21Click", notify(&TMainForm1::N21Click)},
      {"N22Click", notify(&TMainForm1::N22Click)},
      {"N19Click", notify(&TMainForm1::N19Click)},
      {"Timer1Timer", notify(&TMainForm1::Timer1Timer)},
      {"Timer3Timer", notify(&TMainForm1::Timer3Timer)},
      {"N24Click", notify(&TMainForm1::N24Click)},
      {"TrayIcon1MouseDown",
       TMouseEvent([this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
         TrayIcon1MouseDown(sender, button, shift, x, y);
       })},
  };
}

void TMainForm1::BindField(const std::string& name, TComponent* component) {
  struct ItemField {
    const char* name;
    TMenuItem* TMainForm1::*field;
  };
  static const ItemField kItems[] = {
      {"N1", &TMainForm1::N1},   {"N7", &TMainForm1::N7},   {"N8", &TMainForm1::N8},   {"N9", &TMainForm1::N9},
      {"N10", &TMainForm1::N10}, {"X1", &TMainForm1::X1},   {"N2", &TMainForm1::N2},   {"N3", &TMainForm1::N3},
      {"N4", &TMainForm1::N4},   {"N5", &TMainForm1::N5},   {"N6", &TMainForm1::N6},   {"N11", &TMainForm1::N11},
      {"N12", &TMainForm1::N12}, {"N13", &TMainForm1::N13}, {"N14", &TMainForm1::N14}, {"N15", &TMainForm1::N15},
      {"N16", &TMainForm1::N16}, {"N17", &TMainForm1::N17}, {"N19", &TMainForm1::N19}, {"N20", &TMainForm1::N20},
      {"N21", &TMainForm1::N21}, {"N22", &TMainForm1::N22}, {"N23", &TMainForm1::N23}, {"N24", &TMainForm1::N24}, {"Close1", &TMainForm1::Close1},
      {"N18", &TMainForm1::N18},
  };
  for (const ItemField& item : kItems) {
    if (BindFieldOfType(this->*item.field, item.name, name, component)) return;
  }
  BindFieldOfType(TrayIcon1, "TrayIcon1", name, component) ||
      BindFieldOfType(PopupMenu1, "PopupMenu1", name, component) ||
      BindFieldOfType(ColorDialog1, "ColorDialog1", name, component) ||
      BindFieldOfType(Timer1, "Timer1", name, component) || BindFieldOfType(Timer2, "Timer2", name, component) ||
      BindFieldOfType(Timer3, "Timer3", name, component);
}

void TMainForm1::ShowEnglishFace() {
  for (const EnglishCaption& entry : kEnglishCaptions) {
    if (TMenuItem* item = this->*entry.item) item->SetCaption(entry.caption);
  }
}

void TMainForm1::FollowPrimaryMonitor() {
  const MonitorLayout& layout = Screen->Monitors();
  if (centreGeneration_ == Screen->MonitorsGeneration()) return;
  const ScreenRect& primary = layout.monitors.front();
  CenterX = ScreenCentre(primary.Width());
  CenterY = ScreenCentre(primary.Height());
  centreGeneration_ = Screen->MonitorsGeneration();
}

void TMainForm1::WndProc(HWND window, TMessage& message) {
  if (message.Msg == WM_TIMER && message.WParam == kDisplayCheckTimer) {
    FollowDisplay();
    return;
  }
  if (message.Msg == WM_INPUT) {
    WakeTracking();
    // The platform frees the input's record here.
    DefaultHandling(window, message);
    return;
  }
  TForm::WndProc(window, message);
}

void TMainForm1::FollowDisplay() {
  if (!XForm1 || !YForm1 || !Screen->LayoutOutdated()) return;
  FollowPrimaryMonitor();
  POINT pointer{};
  Platform().GetCursorPos(&pointer);
  // Hidden lines too: shown again, they already span the new desktop.
  PlaceLines(ScreenPoint{pointer.x, pointer.y});
}

void TMainForm1::FormCreate(TObject*) {
  XForm1 = NewXForm1(this);
  XForm1->SetHeight(Screen->Height());
  XForm1->SetWidth(1);
  XForm1->SetTop(0);
  XForm1->ShowAndRaise();

  YForm1 = NewYForm1(this);
  YForm1->SetWidth(Screen->Width());
  YForm1->SetHeight(1);
  YForm1->SetLeft(0);
  YForm1->ShowAndRaise();

  // No taskbar button: the first line shown made the application window visible.
  Platform().ShowWindow(Application->Handle(), SW_HIDE);
  // No Lumek window ever takes the keyboard from the user's window.
  Platform().SetWindowPos(WindowHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  ReadSettings();
  // A window timer: no thread of its own, and it beats whether the pointer moves or not. Without it
  // (the system out of timers) the display messages alone are followed.
  Platform().SetTimer(WindowHandle(), kDisplayCheckTimer, kDisplayCheckMs, nullptr);
  // A session that ends (logoff, shutdown) never closes the form: save there too, without a box.
  Application->OnEndSession = [this](TObject*) {
    try {
      WriteSettings();
    } catch (...) {
    }
  };
}

std::wstring TMainForm1::SettingsPath() const {
  std::wstring module = CompleteModulePath();
  return module.empty() ? std::wstring() : ExtractFilePath(module) + kSettingsFileName;
}

// Each pass takes its turn with every other copy using the same file, from
// before the file object exists until after its flush: two copies closed
// together otherwise interleave their key-by-key rewrites and lose keys.
// The options are read into one value inside the turn and applied after it.
void TMainForm1::ReadSettings() {
  std::wstring path = SettingsPath();
  if (path.empty()) return;
  LumekSettings settings = CurrentSettings();
  try {
    FileLock turn = LockFile(path, kSettingsTurnTimeoutMs);
    ReadIniFilePass(path, [&settings](const std::wstring& file) {
      TIniFile ini(file);
      settings = ReadLumekSettings(ini, settings);
    });
  } catch (const EIniFileException& error) {
    // Said once, at the start, rather than running on without settings unnoticed.
    Application->ShowException(error);
  }
  ApplySettings(settings);
}

void TMainForm1::WriteSettings() {
  std::wstring path = SettingsPath();
  if (path.empty()) return;
  const LumekSettings settings = CurrentSettings();
  FileLock turn = LockFile(path, kSettingsTurnTimeoutMs);
  WriteIniFilePass(path, [&settings](const std::wstring& file) {
    TIniFile ini(file);
    WriteLumekSettings(ini, settings);
  });
}

LumekSettings TMainForm1::CurrentSettings() const {
  LumekSettings settings;
  settings.xVisible = N21->Checked();
  settings.yVisible = N22->Checked();
  settings.warp = N19->Checked();
  settings.color = XForm1->Color();
  settings.thickness = XForm1->Width();
  settings.sound = N1->Checked();
  settings.period = Timer1->Interval();
  settings.allScreens = N24->Checked();
  return settings;
}

void TMainForm1::ApplySettings(const LumekSettings& settings) {
  N21->SetChecked(settings.xVisible);
  N22->SetChecked(settings.yVisible);
  XForm1->SetVisible(N21->Checked());
  YForm1->SetVisible(N22->Checked());
  N19->SetChecked(settings.warp);
  Timer3->SetEnabled(N19->Checked());
  XForm1->SetColor(settings.color);
  YForm1->SetColor(settings.color);
  ApplyThickness(settings.thickness);
  N1->SetChecked(settings.sound);
  Timer2->SetEnabled(N1->Checked());
  ApplyPeriod(settings.period);
  N24->SetChecked(settings.allScreens);
}

void TMainForm1::FormClose(TObject*, TCloseAction&) { WriteSettings(); }

void TMainForm1::Timer1Timer(TObject*) {
  // The workers start while the description is read; ticks before the lines exist do nothing.
  if (!XForm1 || !YForm1) return;
  const bool resting = Timer1->Resting();
  const uint32_t restingInterval = RestingInterval(Timer1->Interval());
  if (!XForm1->Visible() && !YForm1->Visible()) {
    // Nothing to follow: a line shown again is placed by the next resting tick.
    if (!resting) Timer1->Rest(restingInterval);
    PublishForRestingTicks();
    return;
  }
  POINT pointer{};
  Platform().GetCursorPos(&pointer);
  const ScreenPoint at{pointer.x, pointer.y};
  PlaceLines(at);
  // While the pointer rests nothing is moved and nothing needs putting back:
  // a tick then costs no more than the pointer read.
  if (!(at == trackedPointer_)) {
    trackedPointer_ = at;
    stillTicks_ = 0;
    // A move the platform did not report (under Wine: one over no window of a Windows program).
    if (resting) WakeTracking();
    Platform().SetWindowPos(WindowHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else if (TrackingRests(++stillTicks_, Timer1->Interval())) {
    // A pointer that stays put for a long while is the usual case on a laptop
    // left alone: from now on its moves wake the tracking. (A rest begun
    // while both lines were hidden gets its watch here too.)
    if (!resting) Timer1->Rest(restingInterval);
    WatchPointerMoves(true);
  }
  // Moves keep the z-order, so a topmost window that came over the lines
  // would stay there, pointer moving or not: look now and then, raise once.
  if (++ticksSinceCoverCheck_ >= TicksPerCoverCheck(resting ? restingInterval : Timer1->Interval())) {
    ticksSinceCoverCheck_ = 0;
    if (LinesCovered()) RaiseLines();
  }
  PublishForRestingTicks();
}

void TMainForm1::PublishForRestingTicks() {
  RestingView& view = *restingView_;
  view.pointer.store(PackedPoint(trackedPointer_));
  view.form.store(WindowHandle());
  view.lines[0].store(XForm1->WindowHandle());
  view.lines[1].store(YForm1->WindowHandle());
  view.shown[0].store(XForm1->Visible());
  view.shown[1].store(YForm1->Visible());
}

// Raw input rather than a low-level mouse hook: its notices wait in the queue
// and never hold up the pointer itself, as a hook on a busy thread would. It
// is on only while tracking rests, so a moving pointer costs no notice at all.
void TMainForm1::WatchPointerMoves(bool watch) {
  if (watch == watchingPointer_) return;
  constexpr USHORT kGenericDesktopControls = 0x01;
  constexpr USHORT kMouse = 0x02;
  const RAWINPUTDEVICE mouse{kGenericDesktopControls, kMouse, static_cast<DWORD>(watch ? RIDEV_INPUTSINK : RIDEV_REMOVE),
                             watch ? WindowHandle() : nullptr};
  // Refused, the resting ticks still find the moves, only later.
  if (Platform().RegisterRawInputDevices(&mouse, 1, sizeof mouse)) watchingPointer_ = watch;
}

void TMainForm1::WakeTracking() {
  WatchPointerMoves(false);
  stillTicks_ = 0;
  Timer1->Wake();
}

bool TMainForm1::LinesCovered() {
  const HWND own[] = {WindowHandle(), XForm1->WindowHandle(), YForm1->WindowHandle()};
  const bool shown[] = {XForm1->Visible(), YForm1->Visible()};
  return ForeignWindowAboveLines(own, shown, restingView_->process);
}

void TMainForm1::RaiseLines() {
  for (TForm* line : {static_cast<TForm*>(XForm1), static_cast<TForm*>(YForm1)}) {
    Platform().SetWindowPos(line->WindowHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TMainForm1::PlaceLines(ScreenPoint pointer) {
  // A line that keeps its place and length makes no platform call.
  CrosshairLines lines = LinesAt(Screen->Monitors(), pointer, XForm1->Width(), YForm1->Height(), N24->Checked());
  XForm1->MoveResize(lines.vertical.left, lines.vertical.top, lines.vertical.Width(), lines.vertical.Height());
  YForm1->MoveResize(lines.horizontal.left, lines.horizontal.top, lines.horizontal.Width(),
                     lines.horizontal.Height());
}

void TMainForm1::Timer2Timer(TObject*) {
  if (!N1 || !N1->Checked()) return;
  POINT pointer{};
  Platform().GetCursorPos(&pointer);
  FollowPrimaryMonitor();
  // A sound that cannot start is silence, never an error.
  try {
    if (!soundFolder_.empty()) PlaySoundFile(soundFolder_ + HeartbeatSoundFor(pointer.x, CenterX));
  } catch (...) {
  }
  Timer2->SetInterval(HeartbeatInterval(pointer.x, pointer.y, CenterX, CenterY));
}

void TMainForm1::Timer3Timer(TObject*) {
  POINT pointer{};
  Platform().GetCursorPos(&pointer);
  WarpMoves moves = WarpTargets(Screen->Monitors(), ScreenPoint{pointer.x, pointer.y});
  for (int i = 0; i < moves.count; ++i) Platform().SetCursorPos(moves.targets[i].x, moves.targets[i].y);
  // The platform reports no move made by a program: the lines would wait for the next resting tick.
  if (moves.count > 0) WakeTracking();
}

void TMainForm1::TrayIcon1MouseDown(TObject*, TMouseButton, TShiftState shift, int, int) {
  if (shift.Contains(TShiftState::ssDouble)) {
    if (XForm1->Visible() || YForm1->Visible()) {
      XForm1->SetVisible(false);
      YForm1->SetVisible(false);
    } else {
      if (N21->Checked()) XForm1->SetVisible(true);
      if (N22->Checked()) YForm1->SetVisible(true);
    }
    return;
  }
  POINT pointer{};
  Platform().GetCursorPos(&pointer);
  PopupMenu1->PopupAt(pointer.x, pointer.y);
}

void TMainForm1::N21Click(TObject*) {
  N21->SetChecked(!N21->Checked());
  XForm1->SetVisible(N21->Checked());
}

void TMainForm1::N22Click(TObject*) {
  N22->SetChecked(!N22->Checked());
  YForm1->SetVisible(N22->Checked());
}

void TMainForm1::N24Click(TObject*) {
  N24->SetChecked(!N24->Checked());
  if (!XForm1->Visible() && !YForm1->Visible()) return;
  POINT pointer{};
  Platform().GetCursorPos(&pointer);
  PlaceLines(ScreenPoint{pointer.x, pointer.y});
}

void TMainForm1::N19Click(TObject*) {
  N19->SetChecked(!N19->Checked());
  Timer3->SetEnabled(N19->Checked());
}

void TMainForm1::N1Click(TObject*) {
  N1->SetChecked(!N1->Checked());
  Timer2->SetEnabled(N1->Checked());
}

void TMainForm1::ApplyThickness(int32_t thickness) {
  MarkChoice(kThicknessChoices, *this, thickness);
  XForm1->SetWidth(thickness);
  YForm1->SetHeight(thickness);
}

void TMainForm1::N5Click(TObject*) { ApplyThickness(ValueOf(kThicknessChoices, *this, N5)); }
void TMainForm1::N6Click(TObject*) { ApplyThickness(ValueOf(kThicknessChoices, *this, N6)); }
void TMainForm1::N11Click(TObject*) { ApplyThickness(ValueOf(kThicknessChoices, *this, N11)); }
void TMainForm1::N12Click(TObject*) { ApplyThickness(ValueOf(kThicknessChoices, *this, N12)); }

void TMainForm1::ApplyPeriod(uint32_t period) {
  MarkChoice(kSpeedChoices, *this, period);
  Timer1->SetInterval(period);
}

void TMainForm1::N14Click(TObject*) { ApplyPeriod(ValueOf(kSpeedChoices, *this, N14)); }
void TMainForm1::N15Click(TObject*) { ApplyPeriod(ValueOf(kSpeedChoices, *this, N15)); }
void TMainForm1::N16Click(TObject*) { ApplyPeriod(ValueOf(kSpeedChoices, *this, N16)); }
void TMainForm1::N17Click(TObject*) { ApplyPeriod(ValueOf(kSpeedChoices, *this, N17)); }

void TMainForm1::N2Click(TObject*) {
  Timer1->SetEnabled(false);
  // Tracking comes back however the dialog ends, an error included.
  struct TrackingResumes {
    THiTimer* timer;
    ~TrackingResumes() { timer->SetEnabled(true); }
  } resumes{Timer1};
  ColorDialog1->Color = XForm1->Color();
  if (ColorDialog1->RunDialog()) {
    XForm1->SetColor(ColorDialog1->Color);
    YForm1->SetColor(ColorDialog1->Color);
  }
}

void TMainForm1::N8Click(TObject*) {
  if (CompleteModulePath().empty()) return;
  // The guide in the user interface's language; the Japanese one is the original.
  std::wstring guide = ExeDir + (UserFace() == TFace::English ? L"/Readme-en.txt" : L"/Readme.txt");
  // The shell takes one plain path; a longer one than the platform allows is not handed over.
  if (guide.size() >= MAX_PATH) return;
  // The menu gives the foreground back as it closes; the program that opens the file may still take it.
  ::AllowSetForegroundWindow(ASFW_ANY);
  Platform().ShellExecuteW(WindowHandle(), L"OPEN", guide.c_str(), L"", L"", SW_SHOW);
}

void TMainForm1::N9Click(TObject*) {
  std::wstring address = InformationAddress(ModuleFileName());
  ::AllowSetForegroundWindow(ASFW_ANY);
  Platform().ShellExecuteW(WindowHandle(), L"OPEN", address.c_str(), L"", L"", SW_SHOW);
}

std::wstring InformationAddress(const std::wstring& modulePath) {
  return kInformationAddress + RemoveExtension(ExtractFileName(modulePath));
}

void TMainForm1::X1Click(TObject*) { RequestClose(); }

}  // namespace lumek

#include "framework/Forms.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "framework/Platform.h"
#include "framework/Strings.h"
#include "framework/Units.h"

namespace lumek {

TScreen* Screen = nullptr;

namespace {

void InitializeScreenUnit() { Screen = new TScreen(); }
void FinalizeScreenUnit() {
  delete Screen;
  Screen = nullptr;
}
// The screen exists before the application object, whose window is placed by it.
const UnitRegistration kScreenUnit(9, InitializeScreenUnit, FinalizeScreenUnit);

// The application window's visibility as this rule last set it.
bool applicationShownByRule = false;

void UpdateApplicationWindowVisibility() {
  if (!Application || !Screen) return;
  bool wanted = std::any_of(Screen->Forms().begin(), Screen->Forms().end(), [](TForm* f) { return f->Visible(); });
  HWND app = Application->Handle();
  bool actual = ::IsWindowVisible(app) != FALSE;
  // Someone else showed or hid the window: leave it as they did.
  if (actual != applicationShownByRule || wanted == applicationShownByRule) return;
  UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | (wanted ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  Platform().SetWindowPos(app, nullptr, 0, 0, 0, 0, flags);
  applicationShownByRule = wanted;
}

struct ActivationCandidates {
  HWND except;
  HWND application;
  HWND firstNormal = nullptr;
  HWND firstTopmost = nullptr;
};

BOOL CALLBACK CollectCandidate(HWND window, LPARAM context) {
  auto* candidates = reinterpret_cast<ActivationCandidates*>(context);
  if (window == candidates->except || window == candidates->application) return TRUE;
  if (!::IsWindowVisible(window) || !::IsWindowEnabled(window)) return TRUE;
  bool topmost = (::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (!topmost) {
    candidates->firstNormal = window;
    return FALSE;
  }
  if (!candidates->firstTopmost) candidates->firstTopmost = window;
  return TRUE;
}

}  // namespace

TColor ColorFromStored(const StoredValue& value) {
  if (value.kind == StoredValue::Kind::Integer) return value.AsInt();
  static const std::pair<const char*, TColor> kNames[] = {
      {"clRed", clRed},          {"clBlack", clBlack},  {"clBtnFace", clBtnFace}, {"clWindowText", clWindowText},
      {"clWhite", 0x00FFFFFF},   {"clLime", 0x0000FF00}, {"clBlue", 0x00FF0000},
  };
  for (const auto& [name, color] : kNames) {
    if (value.AsIdentifier() == name) return color;
  }
  throw EStoredFormError("unknown colour " + value.text);
}

WindowStyles FormWindowStyles(TBorderStyle borderStyle, TFormStyle, TBorderIcons borderIcons, bool enabled) {
  // A windowed control starts as a clipping child; a form takes children of
  // its own; a form without a parent is no child at all.
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  DWORD exStyle = WS_EX_CONTROLPARENT;
  if (!enabled) style |= WS_DISABLED;
  style &= ~(WS_CHILD | WS_GROUP | WS_TABSTOP);
  switch (borderStyle) {
    case TBorderStyle::bsNone:
      style |= WS_POPUP;
      borderIcons.bits = 0;
      break;
    case TBorderStyle::bsSingle:
    case TBorderStyle::bsToolWindow:
      style |= WS_CAPTION | WS_BORDER;
      break;
    case TBorderStyle::bsSizeable:
    case TBorderStyle::bsSizeToolWin:
      style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case TBorderStyle::bsDialog:
      style |= WS_POPUP | WS_CAPTION;
      exStyle |= WS_EX_DLGMODALFRAME;
      borderIcons.bits &= TBorderIcons::biSystemMenu | TBorderIcons::biHelp;
      break;
  }
  if (borderStyle == TBorderStyle::bsToolWindow || borderStyle == TBorderStyle::bsSizeToolWin) {
    exStyle |= WS_EX_TOOLWINDOW;
  }
  if (borderIcons.bits & TBorderIcons::biSystemMenu) {
    style |= WS_SYSMENU;
    if (borderIcons.bits & TBorderIcons::biMinimize) style |= WS_MINIMIZEBOX;
    if (borderIcons.bits & TBorderIcons::biMaximize) style |= WS_MAXIMIZEBOX;
  }
  return {style, exStyle};
}

int TScreen::Width() const { return Platform().GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return Platform().GetSystemMetrics(SM_CYSCREEN); }

namespace {

// What one enumeration of the monitors reads: their rectangles in the
// platform's order and, when asked for, the layout with the primary first.
struct MonitorReading {
  bool withLayout = false;
  DesktopFingerprint fingerprint;
  std::vector<ScreenRect> layout;
};

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT listed, LPARAM context) try {
  auto& reading = *reinterpret_cast<MonitorReading*>(context);
  if (listed) reading.fingerprint.monitors.push_back(ScreenRect{listed->left, listed->top, listed->right, listed->bottom});
  if (!reading.withLayout) return TRUE;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!Platform().GetMonitorInfoW(monitor, &info)) return TRUE;
  ScreenRect rect{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
  if (info.dwFlags & MONITORINFOF_PRIMARY) {
    reading.layout.insert(reading.layout.begin(), rect);
  } else {
    reading.layout.push_back(rect);
  }
  return TRUE;
} catch (...) {
  // Read in part, the fingerprint differs and the next check reads again.
  return FALSE;
}

}  // namespace

DesktopFingerprint TScreen::ReadFingerprint() const {
  MonitorReading reading;
  Platform().EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&reading));
  return std::move(reading.fingerprint);
}

bool TScreen::LayoutOutdated() {
  if (!monitorsStale_ && ReadFingerprint() != fingerprint_) monitorsStale_ = true;
  return monitorsStale_;
}

const MonitorLayout& TScreen::Monitors() {
  if (!monitorsStale_) return monitors_;
  MonitorReading reading;
  reading.withLayout = true;
  Platform().EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&reading));
  // A desktop that cannot be enumerated is still the primary screen the metrics report.
  if (reading.layout.empty()) reading.layout.push_back(ScreenRect{0, 0, Width(), Height()});
  fingerprint_ = std::move(reading.fingerprint);
  monitors_.monitors = std::move(reading.layout);
  monitorsStale_ = false;
  ++monitorsGeneration_;
  return monitors_;
}

void TScreen::RemoveForm(TForm* form) { forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end()); }

TForm* TScreen::ActiveForm() const {
  HWND active = ::GetActiveWindow();
  if (!active) return nullptr;
  for (TForm* form : forms_) {
    if (form->HandleAllocated() && form->WindowHandle() == active) return form;
  }
  return nullptr;
}

HCURSOR TScreen::Cursor(int index) const {
  auto found = cursors_.find(index);
  return found == cursors_.end() ? nullptr : found->second;
}

void TScreen::SetCursor(int index, HCURSOR cursor) { cursors_[index] = cursor; }

TForm::TForm(TComponent* owner) : TComponent(owner) {
  procedure_ = BoundWindowProc([this](HWND window, TMessage& message) { WndProc(window, message); });
  brush_.reset(::CreateSolidBrush(ColorToRGB(color_)));
  if (Screen) Screen->AddForm(this);
}

TForm::~TForm() {
  MarkDestroying();
  if (OnDestroy) OnDestroy(this);
  if (visible_) SetVisible(false);
  if (Screen) Screen->RemoveForm(this);
  if (window_) {
    HWND window = std::exchange(window_, nullptr);
    ::DestroyWindow(window);
  }
}

void TForm::AfterConstruction() {
  if (!OldCreateOrder && OnCreate) OnCreate(this);
}

HWND TForm::WindowHandle() {
  if (!window_) CreateHandle();
  return window_;
}

void TForm::CreateHandle() {
  EnsureWindowClass(ClassName(), CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW));
  WindowStyles styles = CreationStyles();
  HWND owner = Application ? Application->Handle() : nullptr;
  window_ = CreateBoundWindow(procedure_, styles.exStyle, ClassName(), caption_.c_str(), styles.style, left_, top_,
                              width_, height_, owner);
  neverActivated_ = (styles.exStyle & WS_EX_NOACTIVATE) != 0;
  // A layered window shows nothing until its opacity is set.
  if (styles.exStyle & WS_EX_LAYERED) ::SetLayeredWindowAttributes(window_, 0, 255, LWA_ALPHA);
  if (formStyle_ == TFormStyle::fsStayOnTop) {
    Platform().SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  }
  HICON icon = Icon ? Icon : reinterpret_cast<HICON>(::GetClassLongPtrW(Application->Handle(), GCLP_HICON));
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  UpdateBoundsFromWindow();
}

WindowStyles TForm::CreationStyles() const { return FormWindowStyles(borderStyle_, formStyle_, borderIcons_, true); }

void TForm::UpdateBoundsFromWindow() {
  RECT rect;
  if (!window_ || ::IsIconic(window_) || !::GetWindowRect(window_, &rect)) return;
  left_ = rect.left;
  top_ = rect.top;
  width_ = rect.right - rect.left;
  height_ = rect.bottom - rect.top;
}

void TForm::MoveResize(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (window_ && !::IsIconic(window_)) {
    // The properties follow the platform's report of what it did (WM_WINDOWPOSCHANGED).
    Platform().SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (window_) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ::GetWindowPlacement(window_, &placement);
    placement.rcNormalPosition = RECT{left, top, left + width, top + height};
    Platform().SetWindowPlacement(window_, &placement);
  }
}

void TForm::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  brush_.reset(::CreateSolidBrush(ColorToRGB(color_)));
  if (window_) ::InvalidateRect(window_, nullptr, TRUE);
}

void TForm::SetCaption(const std::wstring& caption) {
  caption_ = caption;
  if (window_) ::SetWindowTextW(window_, caption_.c_str());
}

void TForm::SetVisible(bool visible) {
  if (visible && !visible_) AdjustToDefaultMonitor();
  if (visible == visible_) return;
  if (inShowHide_) throw EInvalidOperation(LoadMessage(IDS_VISIBLE_CHANGE_IN_SHOW_HIDE));
  visible_ = visible;
  if (visible && !window_) CreateHandle();
  if (window_ && (::IsWindowVisible(window_) != FALSE) != visible) ShowingStep(visible);
}

void TForm::ShowingStep(bool show) {
  UpdateApplicationWindowVisibility();
  struct ShowHideGuard {
    bool& flag;
    explicit ShowHideGuard(bool& f) : flag(f) { flag = true; }
    ~ShowHideGuard() { flag = false; }
  };
  if (show) {
    {
      ShowHideGuard guard(inShowHide_);
      if (OnShow) OnShow(this);
    }
    int command = windowState_ == TWindowState::wsMinimized   ? SW_SHOWMINNOACTIVE
                  : windowState_ == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                  : neverActivated_                           ? SW_SHOWNA
                                                              : SW_SHOWNORMAL;
    Platform().ShowWindow(window_, command);
    return;
  }
  {
    ShowHideGuard guard(inShowHide_);
    if (OnHide) OnHide(this);
  }
  if (::GetActiveWindow() == window_ && !::IsIconic(window_)) {
    // Hand activation to another window of this thread, so it does not fall to another program.
    ActivationCandidates candidates{window_, Application ? Application->Handle() : nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectCandidate, reinterpret_cast<LPARAM>(&candidates));
    HWND next = candidates.firstNormal ? candidates.firstNormal : candidates.firstTopmost;
    if (next) {
      Platform().SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                              SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
      Platform().SetActiveWindow(next);
      return;
    }
  }
  Platform().ShowWindow(window_, SW_HIDE);
}

void TForm::AdjustToDefaultMonitor() {
  if (!Application || !Application->MainForm() || DefaultMonitor == TDefaultMonitor::dmDesktop) return;
  HMONITOR target = nullptr;
  switch (DefaultMonitor) {
    case TDefaultMonitor::dmActiveForm:
      if (TForm* active = Screen ? Screen->ActiveForm() : nullptr) {
        target = ::MonitorFromWindow(active->WindowHandle(), MONITOR_DEFAULTTONEAREST);
      }
      break;
    case TDefaultMonitor::dmMainForm:
      target = ::MonitorFromWindow(Application->MainForm()->WindowHandle(), MONITOR_DEFAULTTONEAREST);
      break;
    case TDefaultMonitor::dmPrimary:
      target = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
      break;
    case TDefaultMonitor::dmDesktop:
      break;
  }
  if (!target) return;
  HMONITOR own = ::MonitorFromWindow(WindowHandle(), MONITOR_DEFAULTTONEAREST);
  if (own == target) return;
  MONITORINFO targetInfo{};
  targetInfo.cbSize = sizeof targetInfo;
  MONITORINFO ownInfo{};
  ownInfo.cbSize = sizeof ownInfo;
  if (!::GetMonitorInfoW(target, &targetInfo) || !::GetMonitorInfoW(own, &ownInfo)) return;
  const RECT& t = targetInfo.rcMonitor;
  const RECT& o = ownInfo.rcMonitor;
  int left = t.left + (left_ - o.left);
  if (left + width_ > t.right) left = t.right - width_;
  int top = t.top + (top_ - o.top);
  if (top + height_ > t.bottom) top = t.bottom - height_;
  MoveResize(left, top, width_, height_);
}

void TForm::ShowAndRaise() {
  SetVisible(true);
  RaiseToTop();
}

void TForm::RaiseToTop() {
  if (window_) {
    Platform().SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0,
                            SWP_NOMOVE | SWP_NOSIZE | (neverActivated_ ? SWP_NOACTIVATE : 0));
  }
}

void TForm::SetWindowState(TWindowState state) {
  if (state == windowState_) return;
  windowState_ = state;
  if (window_ && visible_) {
    int command = state == TWindowState::wsMinimized   ? SW_MINIMIZE
                  : state == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                                                       : SW_RESTORE;
    Platform().ShowWindow(window_, command);
  }
}

void TForm::RequestClose() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = formStyle_ == TFormStyle::fsMDIChild ? TCloseAction::caMinimize : TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case TCloseAction::caHide:
      SetVisible(false);
      break;
    case TCloseAction::caMinimize:
      SetWindowState(TWindowState::wsMinimized);
      break;
    case TCloseAction::caFree:
      // After the messages already queued for the form.
      ::PostMessageW(WindowHandle(), WM_APP + 0x3F0, 0, 0);
      break;
    case TCloseAction::caNone:
      break;
  }
}

void TForm::WndProc(HWND window, TMessage& message) {
  switch (message.Msg) {
    case WM_WINDOWPOSCHANGED:
      UpdateBoundsFromWindow();
      DefaultHandling(window, message);
      return;
    case WM_ERASEBKGND:
      if (::IsIconic(window)) break;
      {
        RECT client;
        ::GetClientRect(window, &client);
        ::FillRect(reinterpret_cast<HDC>(message.WParam), &client, static_cast<HBRUSH>(brush_.get()));
        message.Result = 1;
      }
      return;
    case WM_DISPLAYCHANGE:
      if (Screen) Screen->NoteDisplayChange();
      break;
    case WM_DPICHANGED:
      // The lines size themselves from the monitors; the platform's suggested rectangle is not wanted.
      if (Screen) Screen->NoteDisplayChange();
      message.Result = 0;
      return;
    case WM_CLOSE:
      RequestClose();
      return;
    case WM_APP + 0x3F0:
      delete this;
      return;
    default:
      break;
  }
  DefaultHandling(window, message);
}

void TForm::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "Left") {
    SetLeft(value.AsInt());
  } else if (name == "Top") {
    SetTop(value.AsInt());
  } else if (name == "Width") {
    SetWidth(value.AsInt());
  } else if (name == "Height") {
    SetHeight(value.AsInt());
  } else if (name == "ClientWidth") {
    // Only borderless forms store their client size here, where it is the outer size.
    SetWidth(value.AsInt());
  } else if (name == "ClientHeight") {
    SetHeight(value.AsInt());
  } else if (name == "Color") {
    SetColor(ColorFromStored(value));
  } else if (name == "Caption") {
    SetCaption(value.AsString());
  } else if (name == "Visible") {
    SetVisible(value.AsBool());
  } else if (name == "BorderStyle") {
    borderStyle_ = StoredEnum<TBorderStyle>(
        value, {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"});
  } else if (name == "FormStyle") {
    formStyle_ = StoredEnum<TFormStyle>(value, {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"});
  } else if (name == "OldCreateOrder") {
    OldCreateOrder = value.AsBool();
  } else if (name == "OnCreate") {
    OnCreate = context.NotifyHandler(value);
  } else if (name == "OnDestroy") {
    OnDestroy = context.NotifyHandler(value);
  } else if (name == "OnShow") {
    OnShow = context.NotifyHandler(value);
  } else if (name == "OnHide") {
    OnHide = context.NotifyHandler(value);
  } else if (name == "OnClose") {
    OnClose = context.CloseHandler(value);
  } else if (name == "Font.Charset") {
    Font.Charset = value.kind == StoredValue::Kind::Integer ? value.AsInt() : SHIFTJIS_CHARSET;
  } else if (name == "Font.Color") {
    Font.Color = ColorFromStored(value);
  } else if (name == "Font.Height") {
    Font.Height = value.AsInt();
  } else if (name == "Font.Name") {
    Font.Name = value.AsString();
  } else if (name == "Font.Style") {
    Font.Style = value.members;
  } else if (name == "PixelsPerInch") {
    PixelsPerInch = value.AsInt();
  } else if (name == "TextHeight") {
    TextHeight = value.AsInt();
  } else if (name == "HorzScrollBar.Visible" || name == "VertScrollBar.Visible") {
    value.AsBool();  // a form without scrolling content shows no scroll bars either way
  } else {
    TComponent::SetStoredProperty(name, value, context);
  }
}

}  // namespace lumek

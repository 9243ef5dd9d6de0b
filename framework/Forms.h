#pragma once
// Form windows and the screen object.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Handles.h"
#include "framework/MonitorLayout.h"
#include "framework/WindowProcedure.h"

namespace lumek {

enum class TBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle : uint8_t { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
enum class TDefaultMonitor : uint8_t { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };
enum class TPosition : uint8_t { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };

struct TBorderIcons {
  static constexpr uint8_t biSystemMenu = 1;
  static constexpr uint8_t biMinimize = 2;
  static constexpr uint8_t biMaximize = 4;
  static constexpr uint8_t biHelp = 8;
  uint8_t bits = biSystemMenu | biMinimize | biMaximize;
};

struct WindowStyles {
  DWORD style;
  DWORD exStyle;
};

// A stored colour: an integer or a colour name such as clRed.
TColor ColorFromStored(const StoredValue& value);

// The creation styles of a top-level form (no WS_VISIBLE, no WS_EX_TOPMOST:
// a window is created hidden and made topmost by a call right after).
WindowStyles FormWindowStyles(TBorderStyle borderStyle, TFormStyle formStyle, TBorderIcons borderIcons, bool enabled);

class TFont {
 public:
  int Charset = DEFAULT_CHARSET;
  TColor Color = clWindowText;
  int Height = -11;
  std::wstring Name = L"MS Sans Serif";
  std::vector<std::string> Style;
};

using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TForm : public TComponent {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // The window class is registered under this name.
  virtual const wchar_t* ClassName() const { return L"TForm"; }

  // The platform window, created hidden on first need.
  HWND WindowHandle();
  bool HandleAllocated() const { return window_ != nullptr; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int value) { MoveResize(value, top_, width_, height_); }
  void SetTop(int value) { MoveResize(left_, value, width_, height_); }
  void SetWidth(int value) { MoveResize(left_, top_, value, height_); }
  void SetHeight(int value) { MoveResize(left_, top_, width_, value); }
  void MoveResize(int left, int top, int width, int height);

  TColor Color() const { return color_; }
  void SetColor(TColor color);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void ShowAndRaise();
  void RaiseToTop();
  void RequestClose();

  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  TFormStyle FormStyle() const { return formStyle_; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  const std::wstring& Caption() const { return caption_; }
  void SetCaption(const std::wstring& caption);
  TDefaultMonitor DefaultMonitor = TDefaultMonitor::dmActiveForm;
  TPosition Position = TPosition::poDesigned;
  bool OldCreateOrder = true;
  TFont Font;
  int PixelsPerInch = 96;
  int TextHeight = 13;
  HICON Icon = nullptr;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;

 protected:
  // Runs the create event for a form whose description has been read
  // (the constructor of a concrete form calls it last).
  void AfterConstruction();
  virtual void WndProc(HWND window, TMessage& message);
  // The styles the window is created with; a form that adds WS_EX_NOACTIVATE
  // is also shown and raised without activation, and one that adds
  // WS_EX_LAYERED is drawn at full opacity.
  virtual WindowStyles CreationStyles() const;

 private:
  void CreateHandle();
  void ShowingStep(bool show);
  void AdjustToDefaultMonitor();
  void UpdateBoundsFromWindow();

  BoundWindowProc procedure_;
  HWND window_ = nullptr;
  UniqueGdiObject brush_;
  int left_ = 0;
  int top_ = 0;
  int width_ = 320;
  int height_ = 240;
  TColor color_ = clBtnFace;
  bool visible_ = false;
  bool inShowHide_ = false;
  bool neverActivated_ = false;
  TWindowState windowState_ = TWindowState::wsNormal;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
  TBorderIcons borderIcons_;
  std::wstring caption_;
};

class TScreen {
 public:
  // The primary monitor's size, asked anew at every read.
  int Width() const;
  int Height() const;

  // The monitors' full rectangles, the primary first. Read from the platform
  // on first use and again only after a display change was noted, so the
  // tracking tick costs no platform call for it.
  const MonitorLayout& Monitors();
  // Counts the layouts read: a reader that remembers it knows when to re-place what it sized.
  unsigned MonitorsGeneration() const { return monitorsGeneration_; }
  // A resolution, monitor or scaling change: the layout is read anew at its next use.
  void NoteDisplayChange() { monitorsStale_ = true; }
  // True when the layout is to be read anew: a change was noted, or the
  // monitors' rectangles differ from those listed when the layout was last
  // read, which is then noted as a change. Some changes come with no message
  // at all; this costs one listing, not the per-monitor reads of a layout.
  bool LayoutOutdated();

  const std::vector<TForm*>& Forms() const { return forms_; }
  void AddForm(TForm* form) { forms_.push_back(form); }
  void RemoveForm(TForm* form);
  // The form whose window is the active window, if any.
  TForm* ActiveForm() const;

  HCURSOR Cursor(int index) const;
  void SetCursor(int index, HCURSOR cursor);

 private:
  DesktopFingerprint ReadFingerprint() const;

  std::vector<TForm*> forms_;
  std::map<int, HCURSOR> cursors_;
  MonitorLayout monitors_;
  // The rectangles as they were listed when monitors_ was read.
  DesktopFingerprint fingerprint_;
  bool monitorsStale_ = true;
  unsigned monitorsGeneration_ = 0;
};

extern TScreen* Screen;

}  // namespace lumek

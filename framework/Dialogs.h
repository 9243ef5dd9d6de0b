#pragma once
// The common dialogs: run task-modally over the application window, centred
// on the active form's monitor. The colour dialog is the only one Lumek uses.
#include <windows.h>
#include <commdlg.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/WindowProcedure.h"

namespace lumek {

// Where a dialog of this size goes on a monitor: centred horizontally, one
// third of the free height down.
POINT DialogPositionOnMonitor(const RECT& monitor, int dialogWidth, int dialogHeight);

class TCommonDialog : public TComponent {
 public:
  explicit TCommonDialog(TComponent* owner);

  // Kept for stored descriptions; the platform draws the dialog as it likes.
  bool Ctl3D = true;
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

  // Shows the dialog and returns when it is closed; true when confirmed.
  virtual bool RunDialog() = 0;

  // The dialog window while it is shown.
  HWND Handle() const { return dialog_; }

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;

 protected:
  // Runs `showDialog` with the thread's other windows disabled and gives
  // activation and focus back afterwards, whatever it returned or threw.
  BOOL TaskModalDialog(const std::function<BOOL()>& showDialog);
  // The hook procedure the platform dialog calls, bound to this object.
  LPCCHOOKPROC HookProcedure() const;

 private:
  void HookMessage(HWND dialog, TMessage& message);
  void CentreOnMonitor(HWND dialog);

  BoundWindowProc hook_;
  HWND dialog_ = nullptr;
};

struct TColorDialogOptions {
  static constexpr uint8_t cdFullOpen = 0x01;
  static constexpr uint8_t cdPreventFullOpen = 0x02;
  static constexpr uint8_t cdShowHelp = 0x04;
  static constexpr uint8_t cdSolidColor = 0x08;
  static constexpr uint8_t cdAnyColor = 0x10;
  uint8_t bits = 0;
};

// CHOOSECOLOR flags: the initial colour and the hook always, plus the options.
DWORD ChooseColorFlags(TColorDialogOptions options);

// The 16 custom colours from lines "ColorA=<hex>" .. "ColorP=<hex>"; an
// entry without a (hexadecimal) line is 0xFFFFFFFF.
std::array<COLORREF, 16> CustomColorsFromLines(const std::vector<std::string>& lines);
// The lines "ColorA=%.6x" .. "ColorP=%.6x".
std::vector<std::string> CustomColorsToLines(const std::array<COLORREF, 16>& colors);

class TColorDialog : public TCommonDialog {
 public:
  explicit TColorDialog(TComponent* owner);

  // The colour shown first and, after a confirmed run, the chosen one.
  TColor Color = clBlack;
  // Stored as one string of comma-separated lines: 'ColorA=FFFFFF,ColorB=00FF00'.
  std::vector<std::string> CustomColors;
  TColorDialogOptions Options;

  // True with the chosen colour in Color; false (nothing changed) on cancel or failure.
  bool RunDialog() override;

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override;
};

}  // namespace lumek

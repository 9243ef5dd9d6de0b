#pragma once
// The hidden main form: owner of every component and of the two line
// windows; its handlers are all of Lumek's behaviour.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/ScreenGeometry.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"

namespace lumek {

struct LumekSettings;
class TTrayIcon;
class TPopupMenu;
class TMenuItem;
class TColorDialog;
class THiTimer;
struct RestingView;

class TMainForm1 : public TForm {
 public:
  explicit TMainForm1(TComponent* owner);
  ~TMainForm1() override;
  const wchar_t* ClassName() const override { return L"TMainForm1"; }

  // Published component fields, in declaration order.
  TTrayIcon* TrayIcon1 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem *N1 = nullptr, *N7 = nullptr, *N8 = nullptr, *N9 = nullptr, *N10 = nullptr, *X1 = nullptr,
            *N2 = nullptr, *N3 = nullptr;
  TColorDialog* ColorDialog1 = nullptr;
  TMenuItem *N4 = nullptr, *N5 = nullptr, *N6 = nullptr, *N11 = nullptr, *N12 = nullptr, *N13 = nullptr,
            *N14 = nullptr, *N15 = nullptr, *N16 = nullptr, *N17 = nullptr, *N19 = nullptr, *N20 = nullptr,
            *N21 = nullptr, *N22 = nullptr, *N23 = nullptr, *N24 = nullptr;
  THiTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;
  TMenuItem *Close1 = nullptr, *N18 = nullptr;

  // Published handlers, in method-table order.
  void X1Click(TObject* sender);
  void N1Click(TObject* sender);
  void N9Click(TObject* sender);
  void N8Click(TObject* sender);
  void N2Click(TObject* sender);
  void N5Click(TObject* sender);
  void N6Click(TObject* sender);
  void N11Click(TObject* sender);
  void N12Click(TObject* sender);
  void Timer2Timer(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void N14Click(TObject* sender);
  void N15Click(TObject* sender);
  void N16Click(TObject* sender);
  void N17Click(TObject* sender);
  void FormCreate(TObject* sender);
  void N21Click(TObject* sender);
  void N22Click(TObject* sender);
  void N19Click(TObject* sender);
  void Timer1Timer(TObject* sender);
  void Timer3Timer(TObject* sender);
  void TrayIcon1MouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void N24Click(TObject* sender);

  // The window timer of the display check, on this form's window.
  static constexpr UINT_PTR kDisplayCheckTimer = 1;
  // Run by that timer once a second, pointer moving or resting: a desktop
  // that changed, announced or not, moves the lines now and the heartbeat's
  // centre and the warp's edges at their next ticks.
  void FollowDisplay();

  const std::wstring& ExeDirectory() const { return ExeDir; }
  int CenterXValue() const { return CenterX; }
  int CenterYValue() const { return CenterY; }

 protected:
  void WndProc(HWND window, TMessage& message) override;

 private:
  std::vector<PublishedMethod> PublishedMethods();
  void BindField(const std::string& name, TComponent* component);
  // The settings file beside the executable; empty when the executable's path is not known whole.
  std::wstring SettingsPath() const;
  // Where the user interface is not Japanese, the menu speaks English.
  void ShowEnglishFace();
  void ReadSettings();
  void WriteSettings();
  // The options as the menu marks, the lines and the timers hold them.
  LumekSettings CurrentSettings() const;
  void ApplySettings(const LumekSettings& settings);
  // Both lines take the thickness; the item standing for it, if any, is checked alone.
  void ApplyThickness(int32_t thickness);
  // The tracking timer takes the period; the item standing for it, if any, is checked alone.
  void ApplyPeriod(uint32_t period);
  // Sizes and places both lines for the pointer on the current monitor layout.
  void PlaceLines(ScreenPoint pointer);
  // True when a visible window of another program lies above a shown line.
  bool LinesCovered();
  // What the resting ticks compare against, as this tick leaves it.
  void PublishForRestingTicks();
  // Puts both lines back at the top of the topmost band, without activating them.
  void RaiseLines();
  // The heartbeat's centre: half the primary monitor's size, taken anew when the layout changed.
  void FollowPrimaryMonitor();
  // Starts or ends the platform's notice of the pointer's moves over the whole desktop.
  void WatchPointerMoves(bool watch);
  // The pointer moved: tracking leaves its rest and ticks at once.
  void WakeTracking();

  std::wstring ExeDir;
  // The executable's folder with its trailing delimiter, where the heartbeat's
  // sounds lie; empty when the executable's path is not known whole.
  std::wstring soundFolder_;
  int CenterX = 0;
  int CenterY = 0;
  unsigned centreGeneration_ = 0;
  // The pointer the lines were last placed for, and the ticks since the last look above them.
  ScreenPoint trackedPointer_{INT_MIN, INT_MIN};
  uint32_t ticksSinceCoverCheck_ = 0;
  // Ticks in a row that found the pointer where the lines already were.
  uint32_t stillTicks_ = 0;
  bool watchingPointer_ = false;
  // Shared with Timer1's resting probe, which reads it on the timer's worker.
  std::shared_ptr<RestingView> restingView_;
};

extern TMainForm1* MainForm1;

// The information page's address for an executable path: the base name without its extension appended.
std::wstring InformationAddress(const std::wstring& modulePath);

}  // namespace lumek

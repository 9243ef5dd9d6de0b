#include "framework/Dialogs.h"

#include <algorithm>
#include <cstdio>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Foreground.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Platform.h"

namespace lumek {

namespace {

bool ParseHex(const std::string& text, COLORREF& value) {
  if (text.empty() || text.size() > 8) return false;
  COLORREF result = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    result = (result << 4) | static_cast<COLORREF>(digit);
  }
  value = result;
  return true;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// Leaves a hook on the application window for as long as a dialog runs.
class ApplicationWindowHook {
 public:
  ApplicationWindowHook(const void* key, TApplication::WindowHook hook) : key_(key) {
    if (Application) Application->HookMainWindow(key_, std::move(hook));
  }
  ~ApplicationWindowHook() {
    if (Application) Application->UnhookMainWindow(key_);
  }
  ApplicationWindowHook(const ApplicationWindowHook&) = delete;
  ApplicationWindowHook& operator=(const ApplicationWindowHook&) = delete;

 private:
  const void* key_;
};

}  // namespace

POINT DialogPositionOnMonitor(const RECT& monitor, int dialogWidth, int dialogHeight) {
  int monitorWidth = monitor.right - monitor.left;
  int monitorHeight = monitor.bottom - monitor.top;
  return POINT{monitor.left + (monitorWidth - dialogWidth) / 2, monitor.top + (monitorHeight - dialogHeight) / 3};
}

TCommonDialog::TCommonDialog(TComponent* owner)
    : TComponent(owner), hook_([this](HWND dialog, TMessage& message) { HookMessage(dialog, message); }) {}

LPCCHOOKPROC TCommonDialog::HookProcedure() const {
  // A hook procedure has the window procedure's calling convention and
  // arguments; only the declared result type differs.
  return reinterpret_cast<LPCCHOOKPROC>(reinterpret_cast<void (*)()>(hook_.Proc()));
}

void TCommonDialog::HookMessage(HWND dialog, TMessage& message) {
  // The result stays 0 throughout, so the platform's own handling goes on.
  switch (message.Msg) {
    case WM_INITDIALOG:
      dialog_ = dialog;
      CentreOnMonitor(dialog);
      if (OnShow) OnShow(this);
      break;
    case WM_DESTROY:
      if (OnClose) OnClose(this);
      dialog_ = nullptr;
      break;
    default:
      break;
  }
}

void TCommonDialog::CentreOnMonitor(HWND dialog) {
  HMONITOR monitor = nullptr;
  if (TForm* active = Screen ? Screen->ActiveForm() : nullptr) {
    monitor = ::MonitorFromWindow(active->WindowHandle(), MONITOR_DEFAULTTONEAREST);
  } else if (Application && Application->MainForm()) {
    monitor = ::MonitorFromWindow(Application->MainForm()->WindowHandle(), MONITOR_DEFAULTTONEAREST);
  } else {
    monitor = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  }
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT bounds;
  if (!::GetMonitorInfoW(monitor, &info) || !::GetWindowRect(dialog, &bounds)) return;
  POINT position = DialogPositionOnMonitor(info.rcMonitor, bounds.right - bounds.left, bounds.bottom - bounds.top);
  Platform().SetWindowPos(dialog, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL TCommonDialog::TaskModalDialog(const std::function<BOOL()>& showDialog) {
  static const UINT helpMessage = ::RegisterWindowMessageW(HELPMSGSTRINGW);
  ForegroundReturn foregroundReturn;
  HWND active = ::GetActiveWindow();
  HWND focus = ::GetFocus();
  BOOL result = FALSE;
  {
    TaskWindowsDisabled disabled;
    // No help file comes with the program: the dialog's help request ends here.
    ApplicationWindowHook help(this, [](TMessage& message) { return message.Msg == helpMessage; });
    result = showDialog();
  }
  if (active && ::IsWindow(active)) Platform().SetActiveWindow(active);
  if (focus && ::IsWindow(focus)) ::SetFocus(focus);
  return result;
}

void TCommonDialog::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "Ctl3D") {
    Ctl3D = value.AsBool();
  } else {
    TComponent::SetStoredProperty(name, value, context);
  }
}

DWORD ChooseColorFlags(TColorDialogOptions options) {
  static const std::pair<uint8_t, DWORD> kFlags[] = {
      {TColorDialogOptions::cdFullOpen, CC_FULLOPEN},     {TColorDialogOptions::cdPreventFullOpen, CC_PREVENTFULLOPEN},
      {TColorDialogOptions::cdShowHelp, CC_SHOWHELP},     {TColorDialogOptions::cdSolidColor, CC_SOLIDCOLOR},
      {TColorDialogOptions::cdAnyColor, CC_ANYCOLOR},
  };
  DWORD flags = CC_RGBINIT | CC_ENABLEHOOK;
  for (const auto& [option, flag] : kFlags) {
    if (options.bits & option) flags |= flag;
  }
  return flags;
}

std::array<COLORREF, 16> CustomColorsFromLines(const std::vector<std::string>& lines) {
  std::array<COLORREF, 16> colors;
  colors.fill(0xFFFFFFFF);
  for (size_t i = 0; i < colors.size(); ++i) {
    std::string name = std::string("Color") + static_cast<char>('A' + i);
    for (const std::string& line : lines) {
      size_t equals = line.find('=');
      if (equals == std::string::npos || !SameTextAscii(line.substr(0, equals), name)) continue;
      COLORREF value;
      if (ParseHex(line.substr(equals + 1), value)) colors[i] = value;
      break;
    }
  }
  return colors;
}

std::vector<std::string> CustomColorsToLines(const std::array<COLORREF, 16>& colors) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < colors.size(); ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "Color%c=%.6lx", static_cast<char>('A' + i),
                  static_cast<unsigned long>(colors[i]));
    lines.push_back(line);
  }
  return lines;
}

TColorDialog::TColorDialog(TComponent* owner) : TCommonDialog(owner) {}

bool TColorDialog::RunDialog() {
  std::array<COLORREF, 16> customColors = CustomColorsFromLines(CustomColors);
  CHOOSECOLORW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = Application ? Application->Handle() : nullptr;
  // The header declares this member as a window; it carries the module.
  request.hInstance = reinterpret_cast<HWND>(::GetModuleHandleW(nullptr));
  request.rgbResult = ColorToRGB(Color);
  request.lpCustColors = customColors.data();
  request.Flags = ChooseColorFlags(Options);
  request.lpfnHook = HookProcedure();
  if (!TaskModalDialog([&request] { return Platform().ChooseColorW(&request); })) return false;
  Color = static_cast<TColor>(request.rgbResult);
  CustomColors = CustomColorsToLines(customColors);
  return true;
}

void TColorDialog::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "Color") {
    Color = ColorFromStored(value);
  } else if (name == "CustomColors") {
    CustomColors.clear();
    // The lines are ASCII: colour names and hexadecimal digits.
    const std::string text = WideToUtf8(value.AsString());
    for (size_t start = 0; start < text.size();) {
      size_t comma = std::min(text.find(',', start), text.size());
      if (comma > start) CustomColors.push_back(text.substr(start, comma - start));
      start = comma + 1;
    }
  } else if (name == "Options") {
    TColorDialogOptions options;
    options.bits = StoredSetBits(value, {{"cdFullOpen", TColorDialogOptions::cdFullOpen},
                                         {"cdPreventFullOpen", TColorDialogOptions::cdPreventFullOpen},
                                         {"cdShowHelp", TColorDialogOptions::cdShowHelp},
                                         {"cdSolidColor", TColorDialogOptions::cdSolidColor},
                                         {"cdAnyColor", TColorDialogOptions::cdAnyColor}});
    Options = options;
  } else {
    TCommonDialog::SetStoredProperty(name, value, context);
  }
}

}  // namespace lumek

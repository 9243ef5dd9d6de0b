#pragma once
// Lumek's options as one plain value: read from the settings file in one
// pass, then applied to the form; taken from the form, then written in one
// pass. The file's layout and the sane ranges live here and nowhere else.
#include <cstdint>

#include "framework/IniFiles.h"

namespace lumek {

struct LumekSettings {
  bool xVisible = true;
  bool yVisible = true;
  bool warp = false;
  int32_t color = 255;
  int32_t thickness = 1;
  bool sound = true;
  uint32_t period = 20;
  bool allScreens = false;
};

// Thicker bars hide the screen and cost whole cores to draw; thinner ones
// are invisible lines that still count as shown.
constexpr int32_t kMinThickness = 1;
constexpr int32_t kMaxThickness = 50;
// A tick faster than any screen shows only burns the processor; a slower
// one leaves the crosshair behind for a minute.
constexpr int32_t kMinPeriod = 10;
constexpr int32_t kMaxPeriod = 65535;

// The file's value for each key; `defaults` where a key is missing, holds
// no number, or holds one outside its key's range.
LumekSettings ReadLumekSettings(const TCustomIniFile& file, const LumekSettings& defaults);

// Every key, changed or not, in the order the file has always had them.
void WriteLumekSettings(TCustomIniFile& file, const LumekSettings& settings);

}  // namespace lumek

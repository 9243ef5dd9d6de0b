#include "app/LumekSettings.h"

namespace lumek {

namespace {

constexpr char kSection[] = "SET";

int32_t ReadInRange(const TCustomIniFile& file, const char* key, int32_t low, int32_t high, int32_t defaultValue) {
  const int32_t value = file.ReadInteger(kSection, key, defaultValue);
  return value >= low && value <= high ? value : defaultValue;
}

}  // namespace

LumekSettings ReadLumekSettings(const TCustomIniFile& file, const LumekSettings& defaults) {
  LumekSettings read;
  read.xVisible = file.ReadBool(kSection, "XVISIBLE", defaults.xVisible);
  read.yVisible = file.ReadBool(kSection, "YVISIBLE", defaults.yVisible);
  read.warp = file.ReadBool(kSection, "WARP", defaults.warp);
  read.color = file.ReadInteger(kSection, "XYCOLOR", defaults.color);
  read.thickness = ReadInRange(file, "XYBOLD", kMinThickness, kMaxThickness, defaults.thickness);
  read.sound = file.ReadBool(kSection, "SOUND", defaults.sound);
  read.period = static_cast<uint32_t>(
      ReadInRange(file, "SPEED", kMinPeriod, kMaxPeriod, static_cast<int32_t>(defaults.period)));
  read.allScreens = file.ReadBool(kSection, "ALLSCREENS", defaults.allScreens);
  return read;
}

void WriteLumekSettings(TCustomIniFile& file, const LumekSettings& settings) {
  file.WriteBool(kSection, "XVISIBLE", settings.xVisible);
  file.WriteBool(kSection, "YVISIBLE", settings.yVisible);
  file.WriteBool(kSection, "WARP", settings.warp);
  file.WriteInteger(kSection, "XYCOLOR", settings.color);
  file.WriteInteger(kSection, "XYBOLD", settings.thickness);
  file.WriteBool(kSection, "SOUND", settings.sound);
  file.WriteInteger(kSection, "SPEED", static_cast<int32_t>(settings.period));
  // After the older keys, so a copy of Lumek that predates it reads the file as before.
  file.WriteBool(kSection, "ALLSCREENS", settings.allScreens);
}

}  // namespace lumek

#pragma once
// Lumek takes the foreground only for what the user asked for: its menu, the
// colour dialog and its message boxes. For as long as one of those runs, the
// window of another program that had the foreground is remembered; when it
// ends, that window gets the foreground back.
#include <windows.h>

namespace lumek {

class ForegroundReturn {
 public:
  ForegroundReturn();
  ~ForegroundReturn();
  ForegroundReturn(const ForegroundReturn&) = delete;
  ForegroundReturn& operator=(const ForegroundReturn&) = delete;

 private:
  HWND previous_ = nullptr;
};

}  // namespace lumek

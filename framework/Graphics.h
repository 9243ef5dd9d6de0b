#pragma once
// Icons kept as the bytes of an .ico file and turned into a platform icon on
// first use, and the few bitmap operations the tray icon's frames need.
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "framework/Classes.h"
#include "framework/Handles.h"

namespace lumek {

// Where one image of an .ico file lies inside the file.
struct IconFileImage {
  size_t offset = 0;
  size_t size = 0;
  int width = 0;   // 0 in the file means 256
  int height = 0;
};

// The image of `wantedWidth` if the file has one, else its first image;
// nothing when the bytes are no icon file or an entry points outside them.
std::optional<IconFileImage> FindIconFileImage(const std::string& icoBytes, int wantedWidth);

class TIcon {
 public:
  TIcon() = default;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  // The platform icon, made from the stored file on first use; null for an
  // empty icon or one whose bytes hold no usable image.
  HICON Handle();
  bool Empty() const { return icoBytes_.empty(); }
  const std::string& IconFileBytes() const { return icoBytes_; }

  void LoadFromIconFile(const std::string& icoBytes);
  // Copies the image (not the handle: each icon makes its own).
  void Assign(const TIcon& source);

  TNotifyEvent OnChange;

 private:
  void Changed();

  std::string icoBytes_;
  UniqueIcon handle_;
};

// A bitmap compatible with the screen, its pixels undefined.
UniqueGdiObject CreateScreenBitmap(int width, int height);

// Copies the top-left width x height pixels of `from` onto `to`.
void CopyBitmapBlock(HBITMAP from, HBITMAP to, int width, int height);

// Fills the top-left width x height pixels of `bitmap` with one colour.
void FillBitmap(HBITMAP bitmap, int width, int height, COLORREF colour);

// A monochrome copy made the platform's way: white pixels become set bits, all others clear.
UniqueGdiObject MonochromeCopy(HBITMAP source, int width, int height);

// An icon (not a cursor) whose colour image is `colour` and whose mask is its
// monochrome copy.
UniqueIcon IconFromBitmap(HBITMAP colour, int width, int height);

}  // namespace lumek

#include "framework/Graphics.h"

#include <cstdint>
#include <cstring>

namespace lumek {

namespace {

uint16_t ReadWord(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t ReadLong(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(ReadWord(bytes, at)) | static_cast<uint32_t>(ReadWord(bytes, at + 2)) << 16;
}

// A memory DC with a bitmap selected into it, put back on release.
class SelectedBitmap {
 public:
  SelectedBitmap(HDC screen, HBITMAP bitmap) : dc_(::CreateCompatibleDC(screen)) {
    if (dc_) previous_ = ::SelectObject(dc_, bitmap);
  }
  ~SelectedBitmap() {
    if (!dc_) return;
    ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
  }
  SelectedBitmap(const SelectedBitmap&) = delete;
  SelectedBitmap& operator=(const SelectedBitmap&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ previous_ = nullptr;
};

class ScreenDc {
 public:
  ScreenDc() : dc_(::GetDC(nullptr)) {}
  ~ScreenDc() { ::ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

std::optional<IconFileImage> FindIconFileImage(const std::string& icoBytes, int wantedWidth) {
  constexpr size_t kHeader = 6;
  constexpr size_t kEntry = 16;
  if (icoBytes.size() < kHeader || ReadWord(icoBytes, 0) != 0 || ReadWord(icoBytes, 2) != 1) return std::nullopt;
  size_t count = ReadWord(icoBytes, 4);
  if (count == 0 || icoBytes.size() < kHeader + count * kEntry) return std::nullopt;
  std::optional<IconFileImage> chosen;
  for (size_t i = 0; i < count; ++i) {
    size_t entry = kHeader + i * kEntry;
    IconFileImage image;
    image.width = static_cast<uint8_t>(icoBytes[entry]) ? static_cast<uint8_t>(icoBytes[entry]) : 256;
    image.height = static_cast<uint8_t>(icoBytes[entry + 1]) ? static_cast<uint8_t>(icoBytes[entry + 1]) : 256;
    image.size = ReadLong(icoBytes, entry + 8);
    image.offset = ReadLong(icoBytes, entry + 12);
    // Compared without adding, so a huge size cannot wrap around.
    if (image.size == 0 || image.offset > icoBytes.size() || image.size > icoBytes.size() - image.offset) {
      return std::nullopt;
    }
    if (!chosen) chosen = image;
    if (image.width == wantedWidth) return image;
  }
  return chosen;
}

HICON TIcon::Handle() {
  if (!handle_ && !icoBytes_.empty()) {
    if (auto image = FindIconFileImage(icoBytes_, ::GetSystemMetrics(SM_CXICON))) {
      // The resource API wants a writable copy of the image bits.
      std::string bits = icoBytes_.substr(image->offset, image->size);
      handle_.reset(::CreateIconFromResourceEx(reinterpret_cast<BYTE*>(bits.data()), static_cast<DWORD>(bits.size()),
                                               TRUE, 0x00030000, image->width, image->height, LR_DEFAULTCOLOR));
    }
  }
  return handle_.get();
}

void TIcon::LoadFromIconFile(const std::string& icoBytes) {
  icoBytes_ = icoBytes;
  handle_.reset();
  Changed();
}

void TIcon::Assign(const TIcon& source) {
  if (&source != this) {
    icoBytes_ = source.icoBytes_;
    handle_.reset();
  }
  Changed();
}

void TIcon::Changed() {
  if (OnChange) OnChange(nullptr);
}

UniqueGdiObject CreateScreenBitmap(int width, int height) {
  ScreenDc screen;
  return UniqueGdiObject(::CreateCompatibleBitmap(screen.Dc(), width, height));
}

void CopyBitmapBlock(HBITMAP from, HBITMAP to, int width, int height) {
  ScreenDc screen;
  SelectedBitmap source(screen.Dc(), from);
  SelectedBitmap target(screen.Dc(), to);
  ::BitBlt(target.Dc(), 0, 0, width, height, source.Dc(), 0, 0, SRCCOPY);
}

void FillBitmap(HBITMAP bitmap, int width, int height, COLORREF colour) {
  ScreenDc screen;
  SelectedBitmap target(screen.Dc(), bitmap);
  UniqueGdiObject brush(::CreateSolidBrush(colour));
  RECT all{0, 0, width, height};
  ::FillRect(target.Dc(), &all, static_cast<HBRUSH>(brush.get()));
}

UniqueGdiObject MonochromeCopy(HBITMAP source, int width, int height) {
  UniqueGdiObject mask(::CreateBitmap(width, height, 1, 1, nullptr));
  if (!mask) return mask;
  ScreenDc screen;
  SelectedBitmap from(screen.Dc(), source);
  SelectedBitmap to(screen.Dc(), static_cast<HBITMAP>(mask.get()));
  // Blitting colour to monochrome sets the bits of pixels in the source's background colour.
  ::SetBkColor(from.Dc(), RGB(255, 255, 255));
  ::BitBlt(to.Dc(), 0, 0, width, height, from.Dc(), 0, 0, SRCCOPY);
  return mask;
}

UniqueIcon IconFromBitmap(HBITMAP colour, int width, int height) {
  UniqueGdiObject mask = MonochromeCopy(colour, width, height);
  if (!mask) return UniqueIcon();
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = static_cast<HBITMAP>(mask.get());
  info.hbmColor = colour;
  return UniqueIcon(::CreateIconIndirect(&info));
}

}  // namespace lumek

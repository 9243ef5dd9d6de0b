#include "framework/ImgList.h"

#include <algorithm>

#include "framework/Exceptions.h"
#include "framework/Graphics.h"

namespace lumek {

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange) OnChange(sender_);
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : links_) link->sender_ = nullptr;
}

int TCustomImageList::ItemCount(int list) const { return list == 0 ? static_cast<int>(images_.size()) : 0; }

int TCustomImageList::Add(HBITMAP image) {
  UniqueGdiObject copy = CreateScreenBitmap(kImageWidth, kImageHeight);
  if (!copy) throw EOutOfResources("no memory for an image");
  CopyBitmapBlock(image, static_cast<HBITMAP>(copy.get()), kImageWidth, kImageHeight);
  images_.push_back(std::move(copy));
  Changed();
  return static_cast<int>(images_.size()) - 1;
}

int TCustomImageList::AddColor(TColor color) {
  UniqueGdiObject image = CreateScreenBitmap(kImageWidth, kImageHeight);
  if (!image) throw EOutOfResources("no memory for an image");
  FillBitmap(static_cast<HBITMAP>(image.get()), kImageWidth, kImageHeight, ColorToRGB(color));
  images_.push_back(std::move(image));
  Changed();
  return static_cast<int>(images_.size()) - 1;
}

void TCustomImageList::Delete(int index) {
  if (index < 0 || index >= static_cast<int>(images_.size())) return;
  images_.erase(images_.begin() + index);
  Changed();
}

void TCustomImageList::Clear() {
  if (images_.empty()) return;
  images_.clear();
  Changed();
}

bool TCustomImageList::GetBitmapItem(int list, int index, HBITMAP target) const {
  if (list != 0 || index < 0 || index >= static_cast<int>(images_.size()) || !target) return false;
  CopyBitmapBlock(static_cast<HBITMAP>(images_[index].get()), target, kImageWidth, kImageHeight);
  return true;
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (!link || link->sender_ == this) return;
  if (link->sender_) link->sender_->UnRegisterChanges(link);
  link->sender_ = this;
  links_.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  auto found = std::find(links_.begin(), links_.end(), link);
  if (found == links_.end()) return;
  links_.erase(found);
  link->sender_ = nullptr;
}

void TCustomImageList::Changed() {
  // A handler may unregister links (its own or another) while it runs.
  std::vector<TChangeLink*> links = links_;
  for (TChangeLink* link : links) {
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->Change();
  }
}

}  // namespace lumek

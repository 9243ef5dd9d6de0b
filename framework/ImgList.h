#pragma once
// A minimal image list: 16 x 16 images in list 0, drawn into bitmaps on
// request, with change links that hear of every change to the images.
#include <windows.h>

#include <vector>

#include "framework/Classes.h"
#include "framework/Handles.h"

namespace lumek {

class TCustomImageList;

// One registration with an image list's change notification. Freeing a link
// unregisters it; a list that goes first detaches its links.
class TChangeLink {
 public:
  TChangeLink() = default;
  ~TChangeLink();
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;

  TCustomImageList* Sender() const { return sender_; }
  void Change();

  TNotifyEvent OnChange;

 private:
  friend class TCustomImageList;
  TCustomImageList* sender_ = nullptr;
};

class TCustomImageList : public TComponent {
 public:
  static constexpr int kImageWidth = 16;
  static constexpr int kImageHeight = 16;

  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;

  // Only list 0 holds images; every other list is empty.
  int ItemCount(int list) const;
  // Copies the top-left 16 x 16 pixels of `image` into list 0; returns the new index.
  int Add(HBITMAP image);
  // Adds an image of one solid colour to list 0; returns the new index.
  int AddColor(TColor color);
  void Delete(int index);
  void Clear();

  // Draws image `index` of `list` into `target` (at least 16 x 16); false
  // when there is no such image, and `target` is left as it was.
  bool GetBitmapItem(int list, int index, HBITMAP target) const;

  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);

 protected:
  void Changed();

 private:
  std::vector<UniqueGdiObject> images_;
  std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};

}  // namespace lumek

#include "framework/Menus.h"

#include <algorithm>

#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "framework/Foreground.h"
#include "framework/FormReader.h"
#include "framework/Platform.h"
#include "framework/Strings.h"
#include "framework/TextRules.h"

namespace lumek {

namespace {

constexpr wchar_t kAccessKeyPool[] = L"1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ";

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Index of the character after the last single "&" ("&&" is a literal
// ampersand); npos when the caption marks no access key.
size_t AccessKeyIndex(const std::wstring& caption) {
  size_t found = std::wstring::npos;
  for (size_t i = 0; i < caption.size();) {
    if (caption[i] == L'&' && i + 1 < caption.size()) {
      if (caption[i + 1] == L'&') {
        i += 2;
        continue;
      }
      found = i + 1;
    }
    i += CharacterLength(caption, i);
  }
  return found;
}

// Index of the first ASCII character whose upper case is still in `pool`; npos if none.
size_t FreeKeyIndex(const std::wstring& caption, const std::wstring& pool) {
  for (size_t i = 0; i < caption.size(); i += CharacterLength(caption, i)) {
    if (caption[i] < 0x80 && pool.find(UpperAscii(caption[i])) != std::wstring::npos) return i;
  }
  return std::wstring::npos;
}

// "(&K)" at the end, or before a closing "..." so the ellipsis stays last.
std::wstring WithBracketedKey(const std::wstring& caption, wchar_t key) {
  std::wstring mark = std::wstring(L"(&") + key + L")";
  const std::wstring ellipsis = L"...";
  if (caption.size() >= ellipsis.size() &&
      caption.compare(caption.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0) {
    return caption.substr(0, caption.size() - ellipsis.size()) + mark + ellipsis;
  }
  return caption + mark;
}

std::wstring WithoutAccessKey(const std::wstring& caption, size_t keyIndex, bool japaneseFace) {
  size_t ampersand = keyIndex - 1;
  std::wstring result = caption;
  bool bracketed = ampersand > 0 && caption[ampersand - 1] == L'(' && keyIndex + 1 < caption.size() &&
                   caption[keyIndex + 1] == L')';
  if (japaneseFace && bracketed) {
    result.erase(ampersand - 1, 4);
  } else {
    result.erase(ampersand, 1);
  }
  return result;
}

struct KeyAttempt {
  std::vector<size_t> keyIndex;  // per entry to assign: index of the chosen character, or npos
  std::vector<size_t> failed;    // entry numbers, in menu order
  std::wstring pool;
  size_t assigned = 0;
};

KeyAttempt TryAssign(const std::vector<std::wstring>& captions, const std::vector<size_t>& toAssign,
                     const std::vector<size_t>& tryFirst, const std::wstring& pool) {
  KeyAttempt attempt;
  attempt.pool = pool;
  attempt.keyIndex.assign(captions.size(), std::wstring::npos);
  std::vector<size_t> order = tryFirst;
  for (size_t entry : toAssign) {
    if (std::find(tryFirst.begin(), tryFirst.end(), entry) == tryFirst.end()) order.push_back(entry);
  }
  for (size_t entry : order) {
    size_t index = FreeKeyIndex(captions[entry], attempt.pool);
    if (index == std::wstring::npos) {
      attempt.failed.push_back(entry);
      continue;
    }
    attempt.keyIndex[entry] = index;
    attempt.pool.erase(attempt.pool.find(UpperAscii(captions[entry][index])), 1);
    ++attempt.assigned;
  }
  std::sort(attempt.failed.begin(), attempt.failed.end());
  return attempt;
}

class CommandIdentifiers {
 public:
  uint16_t Allocate() {
    for (unsigned tries = 0; tries < 0xFFFF; ++tries) {
      uint16_t candidate = next_;
      next_ = next_ == 0xFFFF ? 1 : static_cast<uint16_t>(next_ + 1);
      if (!used_[candidate]) {
        used_[candidate] = true;
        return candidate;
      }
    }
    throw EMenuError(LoadMessage(IDS_MENU_CREATE_ERROR));
  }
  void Release(uint16_t command) { used_[command] = false; }

 private:
  std::vector<bool> used_ = std::vector<bool>(0x10000, false);
  uint16_t next_ = 1;
};

CommandIdentifiers& Commands() {
  static CommandIdentifiers commands;
  return commands;
}

TMenuAutoFlag AutoFlagFromStored(const StoredValue& value) {
  return StoredEnum<TMenuAutoFlag>(value, {"maAutomatic", "maManual"});
}

}  // namespace

bool HasWideCharacter(const std::wstring& caption) {
  for (wchar_t unit : caption) {
    // Half-width katakana are the Japanese face's narrow letters; every other
    // character beyond ASCII is written wide, a surrogate pair included.
    if (unit >= 0x80 && !(unit >= 0xFF61 && unit <= 0xFF9F)) return true;
  }
  return false;
}

std::vector<std::wstring> DeriveAccessKeys(const std::vector<AccessKeyEntry>& entries, bool japaneseFace) {
  std::vector<std::wstring> captions;
  for (const AccessKeyEntry& entry : entries) captions.push_back(entry.caption);
  std::wstring pool = kAccessKeyPool;
  std::vector<size_t> toAssign;

  for (size_t i = 0; i < entries.size(); ++i) {
    const std::wstring& caption = captions[i];
    if (!entries[i].visible || caption.empty() || caption == L"-") continue;
    size_t keyIndex = AccessKeyIndex(caption);
    if (keyIndex == std::wstring::npos) {
      toAssign.push_back(i);
      continue;
    }
    wchar_t key = UpperAscii(caption[keyIndex]);
    if (std::wstring(kAccessKeyPool).find(key) == std::wstring::npos) continue;
    size_t inPool = pool.find(key);
    if (inPool != std::wstring::npos) {
      pool.erase(inPool, 1);
    } else {
      captions[i] = WithoutAccessKey(caption, keyIndex, japaneseFace);
      toAssign.push_back(i);
    }
  }
  if (toAssign.empty()) return captions;

  KeyAttempt best;
  bool haveBest = false;
  std::vector<size_t> failedBefore;
  for (size_t round = 0; round < toAssign.size(); ++round) {
    KeyAttempt attempt = TryAssign(captions, toAssign, failedBefore, pool);
    bool done = attempt.failed.empty();
    failedBefore = attempt.failed;
    if (!haveBest || attempt.assigned > best.assigned) {
      best = std::move(attempt);
      haveBest = true;
    }
    if (done) break;
  }

  for (size_t entry : toAssign) {
    size_t index = best.keyIndex[entry];
    if (index == std::wstring::npos) continue;
    std::wstring& caption = captions[entry];
    if (japaneseFace && HasWideCharacter(caption)) {
      caption = WithBracketedKey(caption, UpperAscii(caption[index]));
    } else {
      caption.insert(index, 1, L'&');
    }
  }
  if (japaneseFace) {
    for (size_t entry : best.failed) {
      if (best.pool.empty()) break;
      wchar_t key = best.pool.back();
      best.pool.pop_back();
      if (HasWideCharacter(captions[entry])) captions[entry] = WithBracketedKey(captions[entry], key);
    }
  }
  return captions;
}

std::vector<bool> RedundantSeparators(const std::vector<LineEntry>& entries) {
  std::vector<bool> redundant(entries.size(), false);
  bool itemSeen = false;
  size_t pending = std::string::npos;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].visible) continue;
    if (!entries[i].separator) {
      itemSeen = true;
      pending = std::string::npos;
    } else if (!itemSeen) {
      redundant[i] = true;
    } else {
      if (pending != std::string::npos) redundant[pending] = true;
      pending = i;
    }
  }
  if (pending != std::string::npos) redundant[pending] = true;
  return redundant;
}


UINT PopupMenuFlags(TPopupAlignment alignment, bool rightToLeft, TTrackButton button, TMenuAnimation animation) {
  if (rightToLeft && alignment == TPopupAlignment::paLeft) {
    alignment = TPopupAlignment::paRight;
  } else if (rightToLeft && alignment == TPopupAlignment::paRight) {
    alignment = TPopupAlignment::paLeft;
  }
  UINT flags = 0;
  switch (alignment) {
    case TPopupAlignment::paLeft:
      flags = TPM_LEFTALIGN;
      break;
    case TPopupAlignment::paRight:
      flags = TPM_RIGHTALIGN;
      break;
    case TPopupAlignment::paCenter:
      flags = TPM_CENTERALIGN;
      break;
  }
  if (button == TTrackButton::tbRightButton) flags |= TPM_RIGHTBUTTON;
  return flags | (static_cast<UINT>(animation.bits) << 10);
}

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(Commands().Allocate()) {}

TMenuItem::~TMenuItem() {
  if (parent_) parent_->Remove(this);
  // Unlinked first: destroying this menu must not take the children's submenus with it.
  RemoveEntries();
  while (!items_.empty()) {
    TMenuItem* last = items_.back();
    Remove(last);
    delete last;
  }
  handle_.reset();
  Commands().Release(command_);
}

TMenu* TMenuItem::Menu() const {
  const TMenuItem* item = this;
  while (item->parent_) item = item->parent_;
  return item->menu_;
}

bool TMenuItem::MenuIsLoading() const {
  TMenu* menu = Menu();
  return IsLoading() || (menu && menu->IsLoading());
}

void TMenuItem::SetCaption(std::wstring caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  if (parent_ && Menu() && !MenuIsLoading()) {
    Platform().CheckMenuItem(parent_->Handle(), command_, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
  }
  if (checked && RadioItem && parent_) {
    for (TMenuItem* sibling : parent_->items_) {
      if (sibling != this && sibling->RadioItem && sibling->GroupIndex == GroupIndex) sibling->SetChecked(false);
    }
  }
}

void TMenuItem::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::Add(TMenuItem* item) {
  if (item->parent_) item->parent_->Remove(item);
  items_.push_back(item);
  item->parent_ = this;
  stale_ = true;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto found = std::find(items_.begin(), items_.end(), item);
  if (found == items_.end()) return;
  // The platform menu may still hold the child's submenu: unlink everything
  // now and rebuild when the menu is next shown.
  RemoveEntries();
  items_.erase(found);
  item->parent_ = nullptr;
  stale_ = true;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (AutoCheck) SetChecked(!checked_);
  if (OnClick) OnClick(this);
}

HMENU TMenuItem::Handle() {
  if (!handle_) {
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu) throw EMenuError(LoadMessage(IDS_MENU_CREATE_ERROR));
    handle_ = std::move(menu);
    stale_ = true;
    AppendEntries();
    stale_ = false;
  }
  return handle_.get();
}

void TMenuItem::Rebuild() {
  if (!handle_) {
    Handle();
    return;
  }
  RemoveEntries();
  stale_ = true;
  AppendEntries();
  stale_ = false;
}

void TMenuItem::AppendEntries() {
  HMENU menu = handle_.get();
  for (TMenuItem* child : items_) {
    if (!child->visible_ || child->redundantLine_) continue;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    if (child->IsSeparator()) {
      info.fType = MFT_SEPARATOR;
    } else {
      info.fMask |= MIIM_STRING;
      info.fType = child->RadioItem ? MFT_RADIOCHECK : MFT_STRING;
      info.dwTypeData = const_cast<wchar_t*>(child->caption_.c_str());
      info.cch = static_cast<UINT>(child->caption_.size());
    }
    info.fState = (child->checked_ ? MFS_CHECKED : 0) | (child->enabled_ ? 0 : MFS_GRAYED);
    info.wID = child->command_;
    info.hSubMenu = child->items_.empty() ? nullptr : child->Handle();
    UINT position = static_cast<UINT>(std::max(::GetMenuItemCount(menu), 0));
    if (!Platform().InsertMenuItemW(menu, position, TRUE, &info)) throw EMenuError(LoadMessage(IDS_MENU_CREATE_ERROR));
  }
}

void TMenuItem::RemoveEntries() {
  if (!handle_) return;
  // RemoveMenu, not DeleteMenu: the submenus belong to the child items.
  while (::GetMenuItemCount(handle_.get()) > 0) {
    if (!::RemoveMenu(handle_.get(), 0, MF_BYPOSITION)) break;
  }
}

bool TMenuItem::ReviseChildren() {
  TMenu* menu = Menu();
  bool changed = false;
  if (!menu || menu->AutoHotkeys == TMenuAutoFlag::maAutomatic) {
    std::vector<AccessKeyEntry> entries;
    for (TMenuItem* child : items_) entries.push_back({child->caption_, child->visible_});
    std::vector<std::wstring> captions = DeriveAccessKeys(entries, UserFace() == TFace::Japanese);
    for (size_t i = 0; i < items_.size(); ++i) {
      if (captions[i] != items_[i]->caption_) {
        items_[i]->caption_ = std::move(captions[i]);
        changed = true;
      }
    }
  }
  std::vector<bool> redundant(items_.size(), false);
  if (!menu || menu->AutoLineReduction == TMenuAutoFlag::maAutomatic) {
    std::vector<LineEntry> entries;
    for (TMenuItem* child : items_) entries.push_back({child->IsSeparator(), child->visible_});
    redundant = RedundantSeparators(entries);
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    if (redundant[i] != items_[i]->redundantLine_) {
      items_[i]->redundantLine_ = redundant[i];
      changed = true;
    }
  }
  return changed;
}

void TMenuItem::RefreshSubmenu() {
  bool changed = ReviseChildren();
  if (changed || stale_ || !handle_) Rebuild();
}

TMenuItem* TMenuItem::FindByCommand(uint16_t command) {
  if (command_ == command) return this;
  for (TMenuItem* child : items_) {
    if (TMenuItem* found = child->FindByCommand(command)) return found;
  }
  return nullptr;
}

TMenuItem* TMenuItem::FindBySubmenu(HMENU submenu) {
  if (handle_ && handle_.get() == submenu) return this;
  for (TMenuItem* child : items_) {
    if (TMenuItem* found = child->FindBySubmenu(submenu)) return found;
  }
  return nullptr;
}

void TMenuItem::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "Caption") {
    SetCaption(value.AsString());
  } else if (name == "Checked") {
    SetChecked(value.AsBool());
  } else if (name == "Enabled") {
    SetEnabled(value.AsBool());
  } else if (name == "Visible") {
    SetVisible(value.AsBool());
  } else if (name == "RadioItem") {
    RadioItem = value.AsBool();
  } else if (name == "AutoCheck") {
    AutoCheck = value.AsBool();
  } else if (name == "GroupIndex") {
    GroupIndex = static_cast<uint8_t>(value.AsInt());
  } else if (name == "OnClick") {
    OnClick = context.NotifyHandler(value);
  } else {
    TComponent::SetStoredProperty(name, value, context);
  }
}

void TMenuItem::AddStoredChild(TComponent* child) {
  auto* item = dynamic_cast<TMenuItem*>(child);
  if (!item) {
    TComponent::AddStoredChild(child);
    return;
  }
  Add(item);
}

// ---------------------------------------------------------------------------
// TMenu, TPopupMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(std::make_unique<TMenuItem>(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() = default;

void TMenu::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "AutoHotkeys") {
    AutoHotkeys = AutoFlagFromStored(value);
  } else if (name == "AutoLineReduction") {
    AutoLineReduction = AutoFlagFromStored(value);
  } else {
    TComponent::SetStoredProperty(name, value, context);
  }
}

void TMenu::AddStoredChild(TComponent* child) {
  auto* item = dynamic_cast<TMenuItem*>(child);
  if (!item) {
    TComponent::AddStoredChild(child);
    return;
  }
  items_->Add(item);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) { PopupList().Add(this); }

TPopupMenu::~TPopupMenu() { PopupList().Remove(this); }

void TPopupMenu::SetPopupComponent(TComponent* component) {
  if (component == popupComponent_) return;
  popupComponent_ = component;
  if (component) component->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == TOperation::opRemove && component == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::PopupAt(int x, int y) {
  popupPoint_ = POINT{x, y};
  if (OnPopup) OnPopup(this);
  Items()->ReviseChildren();
  Items()->Rebuild();
  HWND owner = PopupList().Window();
  ForegroundReturn foregroundReturn;
  // A notification-area menu closes when the user clicks elsewhere only while
  // its owner has the foreground, and opens again at the next click only once
  // a message has reached the owner after it closed.
  Platform().SetForegroundWindow(owner);
  Platform().TrackPopupMenu(Handle(), PopupMenuFlags(Alignment, RightToLeft, TrackButton, MenuAnimation), x, y, 0,
                            owner, nullptr);
  ::PostMessageA(owner, WM_NULL, 0, 0);
  // The chosen command runs before the foreground goes back, so a dialog or
  // box it opens has it. It may destroy this menu: nothing of it is touched after.
  MSG command;
  if (::PeekMessageA(&command, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE)) ::DispatchMessageA(&command);
}

void TPopupMenu::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "Alignment") {
    Alignment = StoredEnum<TPopupAlignment>(value, {"paLeft", "paRight", "paCenter"});
  } else if (name == "TrackButton") {
    TrackButton = StoredEnum<TTrackButton>(value, {"tbRightButton", "tbLeftButton"});
  } else if (name == "MenuAnimation") {
    TMenuAnimation animation;
    animation.bits = StoredSetBits(value, {{"maLeftToRight", TMenuAnimation::maLeftToRight},
                                           {"maRightToLeft", TMenuAnimation::maRightToLeft},
                                           {"maTopToBottom", TMenuAnimation::maTopToBottom},
                                           {"maBottomToTop", TMenuAnimation::maBottomToTop},
                                           {"maNone", TMenuAnimation::maNone}});
    MenuAnimation = animation;
  } else if (name == "AutoPopup") {
    AutoPopup = value.AsBool();
  } else if (name == "OnPopup") {
    OnPopup = context.NotifyHandler(value);
  } else {
    TMenu::SetStoredProperty(name, value, context);
  }
}

// ---------------------------------------------------------------------------
// TPopupList

TPopupList& PopupList() {
  static TPopupList list;
  return list;
}

void TPopupList::Add(TPopupMenu* menu) {
  if (menus_.empty()) window_ = UtilWindow([this](HWND window, TMessage& message) { WindowMessage(window, message); });
  menus_.push_back(menu);
}

void TPopupList::Remove(TPopupMenu* menu) {
  auto found = std::find(menus_.begin(), menus_.end(), menu);
  if (found == menus_.end()) return;
  menus_.erase(found);
  if (menus_.empty()) window_.Destroy();
}

void TPopupList::WindowMessage(HWND window, TMessage& message) {
  switch (message.Msg) {
    case WM_COMMAND:
      CommandMessage(LOWORD(message.WParam));
      return;
    case WM_INITMENUPOPUP:
      InitMenuPopupMessage(reinterpret_cast<HMENU>(message.WParam));
      return;
    case WM_MENUSELECT:
      // Items carry no hints, so there is nothing to show for the highlighted one.
      return;
    default:
      // WM_MENUCHAR: the platform has already matched the "&" keys when this
      // arrives, so its default answer (no match) is right. No item is owner-drawn,
      // so WM_DRAWITEM and WM_MEASUREITEM are not ours either.
      DefaultHandling(window, message);
  }
}

void TPopupList::CommandMessage(uint16_t command) {
  for (TPopupMenu* menu : menus_) {
    if (TMenuItem* item = menu->Items()->FindByCommand(command)) {
      // The handler may destroy menus: nothing of the list is touched after it.
      item->Click();
      return;
    }
  }
}

void TPopupList::InitMenuPopupMessage(HMENU submenu) {
  for (TPopupMenu* menu : menus_) {
    if (TMenuItem* item = menu->Items()->FindBySubmenu(submenu)) {
      item->Click();
      item->RefreshSubmenu();
      return;
    }
  }
}

void RegisterMenuClasses() {
  RegisterStoredClass<TPopupMenu>("TPopupMenu");
  RegisterStoredClass<TMenuItem>("TMenuItem");
  RegisterStoredClass<TColorDialog>("TColorDialog");
}

}  // namespace lumek

#include "framework/Classes.h"

#include <algorithm>

#include "framework/Exceptions.h"
#include "framework/FormReader.h"

namespace lumek {

int PlatformThreadPriority(TThreadPriority priority) {
  static constexpr int kPriorities[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
                                        THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL,
                                        THREAD_PRIORITY_HIGHEST,      THREAD_PRIORITY_TIME_CRITICAL};
  return kPriorities[static_cast<size_t>(priority)];
}

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return ::GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  MarkDestroying();
  for (TComponent* other : std::vector<TComponent*>(freeNotifies_)) {
    other->RemoveFreeNotification(this);
    other->Notification(this, TOperation::opRemove);
  }
  freeNotifies_.clear();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : components_) {
    if (c->name_ == name) return c;
  }
  return nullptr;
}

void TComponent::SetLoading(bool loading) {
  state_ = loading ? (state_ | kLoading) : (state_ & ~kLoading);
}

void TComponent::SetDesigning(bool designing) {
  state_ = designing ? (state_ | kDesigning) : (state_ & ~kDesigning);
}

void TComponent::MarkDestroying() {
  state_ |= kDestroying;
  for (TComponent* c : components_) c->MarkDestroying();
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    RemoveComponent(last);
    delete last;
  }
}

void TComponent::FreeNotification(TComponent* other) {
  if (!other || other == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
    freeNotifies_.push_back(other);
    other->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), other), freeNotifies_.end());
}

void TComponent::Loaded() { SetLoading(false); }

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) {
    RemoveFreeNotification(component);
  }
}

void TComponent::SetStoredProperty(const std::string& name, const StoredValue&, StoredContext&) {
  throw EStoredFormError("unknown stored property " + Name() + "." + name);
}

void TComponent::AddStoredChild(TComponent* child) {
  throw EStoredFormError("unexpected nested object " + child->Name());
}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
  component->owner_ = nullptr;
}

void TCustomComponent::Change() {
  if (!updating_ && OnChange) OnChange(this);
}

void TCustomComponent::EndUpdate(bool change) {
  updating_ = false;
  if (change) Change();
}

void TCustomComponent::GetChange(TObject*) { Change(); }

void TCustomComponent::SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) {
  if (name == "About") {
    About = value.AsString();
    return;
  }
  TComponent::SetStoredProperty(name, value, context);
}

}  // namespace lumek

#include "platform/component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner, TComponentKind kind) : kind_(kind), owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  Changed(TChange::Destroying);
  // Later components may refer to earlier ones (a tab sheet to its page control), so the
  // owned components go in the reverse order of their creation.
  while (!components_.empty()) {
    TComponent* last = components_.back();
    delete last;  // removes itself from components_
  }
  if (owner_) {
    auto& siblings = owner_->components_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TComponent::SetName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed(TChange::Name);
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  for (TComponent* c : components_) {
    if (c->name_ == name) return c;
  }
  return nullptr;
}

void TComponent::AddObserver(TFormObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void TComponent::RemoveObserver(TFormObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

TComponent& TComponent::Root() {
  TComponent* c = this;
  while (c->owner_) c = c->owner_;
  return *c;
}

void TComponent::Changed(TChange change) {
  TComponent& root = Root();
  if (root.observers_.empty()) return;
  // An observer may remove itself while it is told.
  std::vector<TFormObserver*> observers = root.observers_;
  for (TFormObserver* o : observers) {
    if (std::find(root.observers_.begin(), root.observers_.end(), o) != root.observers_.end()) {
      o->ComponentChanged(*this, change);
    }
  }
}

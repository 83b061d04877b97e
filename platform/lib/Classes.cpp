#include "lib/Classes.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    delete last;  // its destructor takes it out of components_
  }
  if (owner_) {
    auto& siblings = owner_->components_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  for (TComponent* c : components_)
    if (c->Name() == name) return c;
  return nullptr;
}

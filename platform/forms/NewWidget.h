#pragma once
// Creating a control's widget: the Qt application object must exist first.
#include <utility>

#include "forms/Application.h"

template <class W, class... Args>
W* NewWidget(Args&&... args) {
  TApplication::EnsureQt();
  return new W(std::forward<Args>(args)...);
}

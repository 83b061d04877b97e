#pragma once
// TImageList: a list of small pictures. The forms carry one; nothing uses its pictures.
#include "lib/Classes.h"

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner) : TComponent(owner) {}
  int Count() const { return 0; }
};

#pragma once
// TLabel: a line of text.
#include "forms/Control.h"

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);

  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
  bool WordWrap() const;
  void SetWordWrap(bool wrap);
};

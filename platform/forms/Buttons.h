#pragma once
// Push buttons: TButton, TBitBtn (a button that may carry a picture, its glyph, beside or
// instead of its caption) and TSpeedButton (a flat tool button). Click() runs OnClick as a
// press of the button would.
#include "forms/Control.h"
#include "forms/Image.h"

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner);

  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
  void Click();

  TNotifyEvent OnClick;

 protected:
  TButton(TComponent* owner, QWidget* widget);
};

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);
  TPicture* Glyph() { return &glyph_; }

 private:
  TPicture glyph_;
};

class TSpeedButton : public TButton {
 public:
  explicit TSpeedButton(TComponent* owner);
  bool Flat() const { return flat_; }
  void SetFlat(bool flat);

 private:
  bool flat_ = false;
};

#pragma once
// TEdit (one line of text) and TLabeledEdit (with its label above).
//
// OnChange fires whenever Text changes: typed by the user or set by the program (setting the
// same text again fires nothing). A handler may set Text itself; that fires OnChange again,
// inside the first call, as the class library does.
#include "forms/Control.h"

class QLabel;

class TEdit : public TControl {
 public:
  explicit TEdit(TComponent* owner);

  AnsiString Text() const;
  void SetText(const AnsiString& text);
  bool ReadOnly() const;
  void SetReadOnly(bool readOnly);
  // '\0' shows the text; any other character hides it.
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  int MaxLength() const;
  void SetMaxLength(int length);

  TNotifyEvent OnChange;

 private:
  void fireChange();
  char passwordChar_ = '\0';
};

// The label of a TLabeledEdit; it keeps above the edit.
class TBoundLabel {
 public:
  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);

 private:
  friend class TLabeledEdit;
  QPointer<QLabel> label_;
};

class TLabeledEdit : public TEdit {
 public:
  explicit TLabeledEdit(TComponent* owner);
  ~TLabeledEdit() override;
  TBoundLabel* EditLabel() { return &editLabel_; }
  void SetVisible(bool visible) override;

 protected:
  void boundsChanged() override;
  void parentChanged() override;

 private:
  TBoundLabel editLabel_;
};

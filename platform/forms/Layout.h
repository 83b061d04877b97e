#pragma once
// Small helpers for building a window's stored layout in code: each control is created owned
// by the form, named, placed on its parent and, where it has one, captioned; its events are
// connected to the form's published handlers.
#include "forms/Control.h"
#include "lib/AnsiString.h"

template <class C>
C* placeControl(TComponent* owner, TControl* parent, const char* name, int left, int top, int width,
                int height) {
  C* control = new C(owner);
  control->SetName(name);
  control->SetParent(parent);
  control->SetBounds(left, top, width, height);
  return control;
}

template <class C>
C* placeCaptioned(TComponent* owner, TControl* parent, const char* name, const AnsiString& caption,
                  int left, int top, int width, int height) {
  C* control = placeControl<C>(owner, parent, name, left, top, width, height);
  control->SetCaption(caption);
  return control;
}

// An event that runs the handler, a method of the form (or any object), on object.
template <class T>
TNotifyEvent handlerOf(T* object, void (T::*handler)(TObject* Sender)) {
  return [object, handler](TObject* Sender) { (object->*handler)(Sender); };
}

#pragma once
// The component model of the class library: every component has an owner that frees it, a
// name, and reports through events that take the sender first.
#include <functional>
#include <memory>
#include <vector>

#include "lib/AnsiString.h"

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// A component is owned by its owner, which destroys it (in reverse order of creation) when it
// is destroyed itself. A component freed earlier takes itself out of its owner's list.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name) { name_ = name; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }
  TComponent* FindComponent(const AnsiString& name) const;

 private:
  TComponent* owner_;
  AnsiString name_;
  std::vector<TComponent*> components_;
};

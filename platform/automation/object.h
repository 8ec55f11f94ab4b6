// The inside of the automation service: the base of every automation object
// and the member table through which calls by name reach it.
#ifndef VELK_PLATFORM_AUTOMATION_OBJECT_H_
#define VELK_PLATFORM_AUTOMATION_OBJECT_H_

#include <span>
#include <string_view>

#include "platform/automation/automation.h"

namespace velk::platform {

// How a member is reached.
enum class Access { kGet, kPut, kCall };

// True when `a` and `b` are equal after folding ASCII letters.
bool FoldedEqual(std::u16string_view a, std::u16string_view b);
inline bool EqualsIgnoringAsciiCase(std::u16string_view a,
                                    std::u16string_view b) {
  // Inline for the common answers: another length, or the exact spelling.
  if (a.size() != b.size()) return false;
  return a == b || FoldedEqual(a, b);
}

// A counted object. The count starts at 0; the first ObjectRef takes it to 1
// and the last release deletes the object. Objects live on one thread.
class AutomationObject {
 public:
  AutomationObject() = default;
  AutomationObject(const AutomationObject&) = delete;
  AutomationObject& operator=(const AutomationObject&) = delete;
  virtual ~AutomationObject() = default;

  void AddRef() { ++references_; }
  void Release() {
    if (--references_ == 0) delete this;
  }
  int references() const { return references_; }

  // Runs member `name` the way `access` says. For kPut, `arguments` holds
  // the one value to write. The arguments are the call's own copies: a
  // member may take their storage. Returns false, changing nothing the
  // caller can see, when there is no such member or it cannot take the
  // arguments.
  virtual bool Invoke(std::u16string_view name, Access access,
                      std::span<Variant> arguments, Variant& result) = 0;

 private:
  int references_ = 0;
};

// One row of a class's member table. A property has `get` and, when
// writable, `put`; a method has `call`. Each returns false when it cannot
// take its arguments, having changed nothing.
template <typename T>
struct Member {
  std::u16string_view name;
  bool (*get)(T& self, std::span<Variant> arguments, Variant& result);
  bool (*put)(T& self, const Variant& value);
  bool (*call)(T& self, std::span<Variant> arguments, Variant& result);
};

// An object whose members are the rows of T::kMembers, looked up by name
// without ASCII case.
template <typename T>
class TableObject : public AutomationObject {
 public:
  bool Invoke(std::u16string_view name, Access access,
              std::span<Variant> arguments, Variant& result) override {
    for (const Member<T>& member : T::kMembers) {
      if (!EqualsIgnoringAsciiCase(member.name, name)) continue;
      T& self = static_cast<T&>(*this);
      switch (access) {
        case Access::kGet:
          return member.get != nullptr && member.get(self, arguments, result);
        case Access::kPut:
          return member.put != nullptr && arguments.size() == 1 &&
                 member.put(self, arguments[0]);
        case Access::kCall:
          return member.call != nullptr && member.call(self, arguments, result);
      }
    }
    return false;
  }
};

// Creates a fresh "VBScript.RegExp" engine object (regexp_class.cpp).
AutomationObject* NewRegExpObject();

}  // namespace velk::platform

#endif  // VELK_PLATFORM_AUTOMATION_OBJECT_H_

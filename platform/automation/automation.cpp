#include "platform/automation/automation.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/automation/object.h"

namespace velk::platform {
namespace {

thread_local int initializeCount = 0;

struct RegisteredClass {
  std::u16string_view progId;
  AutomationObject* (*create)();
};

// The one table of creatable classes.
constexpr RegisteredClass kClasses[] = {
    {u"VBScript.RegExp", &NewRegExpObject},
};

char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool InvokeOwned(const ObjectRef& object, std::u16string_view name,
                 Access access, std::span<Variant> arguments, Variant& result) {
  if (object.IsEmpty()) return false;
  // The member writes into a scratch value so that a failed call leaves the
  // caller's result as it was.
  Variant scratch;
  if (!object.get()->Invoke(name, access, arguments, scratch)) return false;
  result = std::move(scratch);
  return true;
}

// Gives the member copies of the caller's arguments, as a call by value.
bool Invoke(const ObjectRef& object, std::u16string_view name, Access access,
            std::span<const Variant> arguments, Variant& result) {
  if (object.IsEmpty()) return false;
  // Most calls take no argument or one; those need no heap buffer.
  if (arguments.empty()) return InvokeOwned(object, name, access, {}, result);
  if (arguments.size() == 1) {
    Variant copy = arguments[0];
    return InvokeOwned(object, name, access, std::span(&copy, 1), result);
  }
  std::vector<Variant> copies(arguments.begin(), arguments.end());
  return InvokeOwned(object, name, access, copies, result);
}

}  // namespace

bool FoldedEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

ObjectRef::ObjectRef(AutomationObject* object) : object_(object) {
  if (object_ != nullptr) object_->AddRef();
}

ObjectRef::ObjectRef(const ObjectRef& other) : ObjectRef(other.object_) {}

ObjectRef::ObjectRef(ObjectRef&& other) noexcept : object_(other.object_) {
  other.object_ = nullptr;
}

ObjectRef& ObjectRef::operator=(const ObjectRef& other) {
  if (this != &other) {
    // Take the new reference before dropping the old one: the old object may
    // be the only owner of the new.
    AutomationObject* old = object_;
    object_ = other.object_;
    if (object_ != nullptr) object_->AddRef();
    if (old != nullptr) old->Release();
  }
  return *this;
}

ObjectRef& ObjectRef::operator=(ObjectRef&& other) noexcept {
  if (this != &other) {
    AutomationObject* old = object_;
    object_ = other.object_;
    other.object_ = nullptr;
    if (old != nullptr) old->Release();
  }
  return *this;
}

ObjectRef::~ObjectRef() { Reset(); }

void ObjectRef::Reset() {
  AutomationObject* old = object_;
  object_ = nullptr;
  if (old != nullptr) old->Release();
}

Variant Variant::Boolean(bool value) {
  Variant v;
  v.kind = Kind::kBoolean;
  v.boolean = value;
  return v;
}

Variant Variant::Double(double value) {
  Variant v;
  v.kind = Kind::kDouble;
  v.number = value;
  return v;
}

Variant Variant::Integer(int value) {
  Variant v;
  v.kind = Kind::kInteger;
  v.integer = value;
  return v;
}

Variant Variant::FromText(std::u16string value) {
  Variant v;
  v.kind = Kind::kText;
  v.text = std::move(value);
  return v;
}

Variant Variant::FromObject(ObjectRef value) {
  Variant v;
  v.kind = Kind::kObject;
  v.object = std::move(value);
  return v;
}

bool AutomationInitialize() {
  ++initializeCount;
  return true;
}

void AutomationUninitialize() {
  if (initializeCount > 0) --initializeCount;
}

int AutomationInitializeCount() { return initializeCount; }

bool CreateObjectByProgId(std::u16string_view progId, ObjectRef& result) {
  if (initializeCount == 0) return false;
  for (const RegisteredClass& registered : kClasses) {
    if (EqualsIgnoringAsciiCase(registered.progId, progId)) {
      result = ObjectRef(registered.create());
      return true;
    }
  }
  return false;
}

bool PutProperty(const ObjectRef& object, std::u16string_view name,
                 const Variant& value) {
  Variant unused;
  return Invoke(object, name, Access::kPut, std::span(&value, 1), unused);
}

bool GetProperty(const ObjectRef& object, std::u16string_view name,
                 std::span<const Variant> arguments, Variant& result) {
  return Invoke(object, name, Access::kGet, arguments, result);
}

bool CallMethod(const ObjectRef& object, std::u16string_view name,
                std::span<const Variant> arguments, Variant& result) {
  return Invoke(object, name, Access::kCall, arguments, result);
}

bool CallMethodWithValues(const ObjectRef& object, std::u16string_view name,
                          std::vector<Variant> arguments, Variant& result) {
  return InvokeOwned(object, name, Access::kCall, arguments, result);
}

namespace {

std::u16string AsciiToWide(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::u16string NumberText(double value) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value > 0 ? u"Infinity" : u"-Infinity";
  char buffer[64];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer,
                                   static_cast<long long>(value));
    return AsciiToWide(std::string_view(buffer, end));
  }
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::u16string text = AsciiToWide(std::string_view(buffer, end));
  for (char16_t& c : text) {
    if (c == u'e') c = u'E';
  }
  return text;
}

}  // namespace

bool VariantToText(const Variant& value, std::u16string& result) {
  switch (value.kind) {
    case Variant::Kind::kEmpty:
      result.clear();
      return true;
    case Variant::Kind::kBoolean:
      result = value.boolean ? u"-1" : u"0";
      return true;
    case Variant::Kind::kDouble:
      result = NumberText(value.number);
      return true;
    case Variant::Kind::kInteger:
      result = NumberText(value.integer);
      return true;
    case Variant::Kind::kText:
      result = value.text;
      return true;
    case Variant::Kind::kObject:
      return false;
  }
  return false;
}

bool VariantToDouble(const Variant& value, double& result) {
  switch (value.kind) {
    case Variant::Kind::kEmpty:
      result = 0;
      return true;
    case Variant::Kind::kBoolean:
      result = value.boolean ? -1 : 0;
      return true;
    case Variant::Kind::kDouble:
      result = value.number;
      return true;
    case Variant::Kind::kInteger:
      result = value.integer;
      return true;
    case Variant::Kind::kText: {
      std::string ascii;
      for (char16_t c : value.text) {
        if (c >= 0x80) return false;
        ascii += static_cast<char>(c);
      }
      size_t first = ascii.find_first_not_of(" \t");
      size_t last = ascii.find_last_not_of(" \t");
      if (first == std::string::npos) return false;
      ascii = ascii.substr(first, last - first + 1);
      char* end = nullptr;
      double parsed = std::strtod(ascii.c_str(), &end);
      if (end != ascii.c_str() + ascii.size()) return false;
      result = parsed;
      return true;
    }
    case Variant::Kind::kObject:
      return false;
  }
  return false;
}

}  // namespace velk::platform

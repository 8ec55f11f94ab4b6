// The late-bound automation service: objects created by programmatic
// identifier and driven by member name, with variant arguments and results.
//
// A thread must initialise the service before it creates objects; the
// initialisations are counted per thread and each one is undone by one
// uninitialisation. Objects are reference counted and held in ObjectRef
// holders. A property read, property write or method call names its member;
// a name the object lacks, or arguments the member cannot take, make the
// call fail, change nothing and leave the result untouched. No call throws
// or reports anything beyond its boolean result.
//
// Texts inside the service are UTF-16. AnsiToWide and WideToAnsi convert
// from and to the ANSI code page (936) through the code page service, as
// callers that hold code page texts must do at the boundary.
//
// Registered classes: "VBScript.RegExp", the regular expression engine
// (see regexp_class.h for its members).
#ifndef VELK_PLATFORM_AUTOMATION_AUTOMATION_H_
#define VELK_PLATFORM_AUTOMATION_AUTOMATION_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velk::platform {

class AutomationObject;

// Owns one counted reference to an automation object, or nothing.
class ObjectRef {
 public:
  ObjectRef() = default;
  // Takes one more reference to `object` (may be null).
  explicit ObjectRef(AutomationObject* object);
  ObjectRef(const ObjectRef& other);
  ObjectRef(ObjectRef&& other) noexcept;
  ObjectRef& operator=(const ObjectRef& other);
  ObjectRef& operator=(ObjectRef&& other) noexcept;
  ~ObjectRef();

  // Releases the reference, if any; the holder is empty afterwards.
  void Reset();
  bool IsEmpty() const { return object_ == nullptr; }
  AutomationObject* get() const { return object_; }

 private:
  AutomationObject* object_ = nullptr;
};

// A value that crosses the service: empty, boolean, double, integer, text
// (UTF-16) or object.
struct Variant {
  enum class Kind { kEmpty, kBoolean, kDouble, kInteger, kText, kObject };

  static Variant Boolean(bool value);
  static Variant Double(double value);
  static Variant Integer(int value);
  static Variant FromText(std::u16string value);
  static Variant FromObject(ObjectRef value);

  Kind kind = Kind::kEmpty;
  bool boolean = false;
  double number = 0;
  int integer = 0;
  std::u16string text;
  ObjectRef object;
};

// Counts one initialisation of the service on the calling thread. Always
// succeeds; returns true.
bool AutomationInitialize();
// Undoes one initialisation of the calling thread; does nothing when the
// thread has none left.
void AutomationUninitialize();
// The calling thread's number of outstanding initialisations.
int AutomationInitializeCount();

// Creates an instance of the class registered as `progId` (compared without
// ASCII case) and stores it in `result`. Fails, leaving `result` untouched,
// when the thread is not initialised or the identifier is unknown.
bool CreateObjectByProgId(std::u16string_view progId, ObjectRef& result);

// Writes property `name` of `object`. Fails and changes nothing when the
// holder is empty, the property does not exist or cannot take `value`.
bool PutProperty(const ObjectRef& object, std::u16string_view name,
                 const Variant& value);
// Reads property `name` of `object` with optional arguments (e.g. the index
// of "Item") into `result`. Fails, leaving `result` untouched, when the
// holder is empty, the property does not exist or the arguments do not fit.
bool GetProperty(const ObjectRef& object, std::u16string_view name,
                 std::span<const Variant> arguments, Variant& result);
// Calls method `name` of `object` with `arguments` and stores its result.
// Fails like GetProperty.
bool CallMethod(const ObjectRef& object, std::u16string_view name,
                std::span<const Variant> arguments, Variant& result);

// CallMethod with arguments handed over by value: a large text argument
// moves to the object instead of being copied.
bool CallMethodWithValues(const ObjectRef& object, std::u16string_view name,
                          std::vector<Variant> arguments, Variant& result);

// Converts `value` to text with no conversion flags: empty gives "", true
// "-1", false "0", numbers their shortest decimal form. Fails for objects.
bool VariantToText(const Variant& value, std::u16string& result);
// Converts `value` to a double: empty gives 0, booleans -1 or 0, texts
// their decimal value. Fails for objects and texts that are not numbers.
bool VariantToDouble(const Variant& value, double& result);

// The UTF-16 form of ANSI (code page 936) bytes; empty on failure.
std::u16string AnsiToWide(std::string_view ansi);
// The ANSI (code page 936) form of UTF-16 units; empty on failure.
std::string WideToAnsi(std::u16string_view wide);
// The same into `ansi`, reusing its storage (for callers that convert many
// short texts).
void WideToAnsi(std::u16string_view wide, std::string& ansi);

}  // namespace velk::platform

#endif  // VELK_PLATFORM_AUTOMATION_AUTOMATION_H_

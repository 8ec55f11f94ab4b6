#include "regex/regex_object.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "text/extract.h"

namespace velk {
namespace {

using platform::ObjectRef;
using platform::Variant;

Variant TextVariant(const Text& text) {
  return Variant::FromText(platform::AnsiToWide(text.view()));
}

Text AnsiText(const std::u16string& wide) {
  // One buffer per thread for the conversion: the search reads thousands
  // of short group texts in a row.
  thread_local std::string ansi;
  platform::WideToAnsi(wide, ansi);
  Text text{std::string_view(ansi)};
  if (ansi.capacity() > 4096) std::string().swap(ansi);  // keep it small
  return text;
}

// A variant as text; a text variant gives up its own storage.
bool ToText(Variant& value, std::u16string& text) {
  if (value.kind == Variant::Kind::kText) {
    text = std::move(value.text);
    return true;
  }
  return platform::VariantToText(value, text);
}

// A failed write changes nothing and is not reported.
void PutBoolean(const ObjectRef& object, std::u16string_view name, bool value) {
  platform::PutProperty(object, name, Variant::Boolean(value));
}

// Property `name` read as text; the empty text on failure.
Text ReadText(const ObjectRef& object, std::u16string_view name) {
  Variant value;
  std::u16string wide;
  if (!platform::GetProperty(object, name, {}, value) || !ToText(value, wide)) {
    return Text();
  }
  return AnsiText(wide);
}

// Property `name` read as a number and truncated toward zero; 0 on failure.
int ReadInteger(const ObjectRef& object, std::u16string_view name) {
  Variant value;
  double number = 0;
  if (!platform::GetProperty(object, name, {}, value) ||
      !platform::VariantToDouble(value, number) || !std::isfinite(number)) {
    return 0;
  }
  return static_cast<int>(std::trunc(number));
}

// Property `name` with an optional argument, read as an object; an empty
// holder on failure.
ObjectRef ReadObject(const ObjectRef& object, std::u16string_view name,
                     const Variant* argument = nullptr) {
  Variant value;
  const std::span<const Variant> arguments =
      argument == nullptr ? std::span<const Variant>()
                          : std::span<const Variant>(argument, 1);
  if (!platform::GetProperty(object, name, arguments, value) ||
      value.kind != Variant::Kind::kObject) {
    return ObjectRef();
  }
  return std::move(value.object);
}

// The collection's "Item" for a 1-based number, which the engine counts
// from 0; the index goes as a double.
ObjectRef MatchItem(const ObjectRef& matches, int matchIndex) {
  const Variant index = Variant::Double(static_cast<double>(matchIndex) - 1);
  return ReadObject(matches, u"Item", &index);
}

}  // namespace

RegexObject::RegexObject() : initialized(platform::AutomationInitialize()) {}

RegexObject::~RegexObject() { Release(); }

RegexObject::RegexObject(RegexObject&& other) noexcept
    : engine(std::move(other.engine)),
      matches(std::move(other.matches)),
      subject(std::exchange(other.subject, Text())),
      initialized(std::exchange(other.initialized, false)) {}

RegexObject& RegexObject::operator=(RegexObject&& other) noexcept {
  if (this != &other) {
    Release();
    engine = std::move(other.engine);
    matches = std::move(other.matches);
    subject = std::exchange(other.subject, Text());
    initialized = std::exchange(other.initialized, false);
  }
  return *this;
}

void RegexObject::Release() {
  // The engine objects go before the service is uninitialised.
  engine.Reset();
  matches.Reset();
  subject = Text();
  if (initialized) {
    platform::AutomationUninitialize();
    initialized = false;
  }
}

bool RegexObject::Create(const Text& pattern, const Text& subject,
                         std::optional<bool> caseSensitive,
                         std::optional<bool> multiline,
                         std::optional<bool> global,
                         std::optional<bool> replaceQuotePlaceholder) {
  engine.Reset();
  matches.Reset();
  platform::CreateObjectByProgId(u"VBScript.RegExp", engine);

  PutBoolean(engine, u"IgnoreCase", !caseSensitive.value_or(false));
  PutBoolean(engine, u"Multiline", multiline.value_or(true));
  // The engine has no such property; the write fails and changes nothing.
  PutBoolean(engine, u"Singleline", true);
  PutBoolean(engine, u"Global", global.value_or(true));

  const Text patternText =
      replaceQuotePlaceholder.value_or(false)
          ? ReplaceText(pattern, QuotePlaceholder, Text("\""), std::nullopt,
                        std::nullopt, true)
          : pattern;
  platform::PutProperty(engine, u"Pattern", TextVariant(patternText));

  std::vector<Variant> arguments;
  arguments.push_back(TextVariant(subject));
  Variant result;
  if (platform::CallMethodWithValues(engine, u"Execute", std::move(arguments),
                                     result) &&
      result.kind == Variant::Kind::kObject) {
    matches = std::move(result.object);
  }
  this->subject = subject;
  return !matches.IsEmpty();
}

Text RegexObject::GetPattern() {
  if (engine.IsEmpty()) return Text();
  return ReadText(engine, u"Pattern");
}

Text RegexObject::Replace(const Text& replacement) {
  std::vector<Variant> arguments;
  arguments.push_back(TextVariant(subject));
  arguments.push_back(TextVariant(replacement));
  Variant result;
  std::u16string wide;
  if (!platform::CallMethodWithValues(engine, u"Replace", std::move(arguments),
                                      result) ||
      !ToText(result, wide)) {
    return Text();
  }
  return AnsiText(wide);
}

int RegexObject::MatchCount() { return ReadInteger(matches, u"Count"); }

Text RegexObject::MatchText(int matchIndex, int* position) {
  ObjectRef match = MatchItem(matches, matchIndex);
  Text text = ReadText(match, u"Value");
  if (position != nullptr) *position = PositionOf(text, match);
  return text;
}

Text RegexObject::SubmatchText(int matchIndex, int submatchIndex,
                               int* position) {
  ObjectRef match = MatchItem(matches, matchIndex);
  ObjectRef groups = ReadObject(match, u"SubMatches");
  const Variant index = Variant::Double(static_cast<double>(submatchIndex) - 1);
  Variant item;
  std::u16string wide;
  Text text;
  // A group that took no part is the empty variant, which reads as "".
  if (platform::GetProperty(groups, u"Item", std::span(&index, 1), item) &&
      ToText(item, wide)) {
    text = AnsiText(wide);
  }
  // The group is looked for from the start of its match.
  if (position != nullptr) *position = PositionOf(text, match);
  return text;
}

int RegexObject::SubmatchCount() {
  const Variant first = Variant::Integer(0);
  ObjectRef match = ReadObject(matches, u"Item", &first);
  return ReadInteger(ReadObject(match, u"SubMatches"), u"Count");
}

RegexObject RegexObject::Copy() const {
  RegexObject copy{CopyTag()};
  copy.engine = engine;
  copy.matches = matches;
  copy.subject = subject;
  copy.initialized = platform::AutomationInitialize();
  return copy;
}

int RegexObject::PositionOf(const Text& sought, const ObjectRef& match) {
  const int firstIndex = ReadInteger(match, u"FirstIndex");
  const bool ignoreCase = ReadText(engine, u"IgnoreCase") != Text("0");
  return FindText(subject, sought, firstIndex + 1, ignoreCase) - 1;
}

}  // namespace velk

// RegexObject: the system's regular expression class over the platform's
// "VBScript.RegExp" engine, reached by member name through the automation
// service.
//
// Create builds a fresh engine with the wanted options and pattern and runs
// it over a subject; the queries then read the matches. Positions in the
// subject are 0-based byte offsets found by searching for the match or group
// text from the match's FirstIndex (counted by the engine in UTF-16 units),
// so with two-byte characters before a match they may point at an earlier
// occurrence of the same text. Nothing is reported: every failure gives the
// empty text, 0 or false, and every query on a fresh object, or after a
// failed Create, gives the empty text or 0.
//
// Each object initialises the automation service once for its thread and
// uninitialises it once when destroyed, after releasing its engine objects.
// Objects are used on the thread that made them.
#ifndef VELK_REGEX_REGEX_OBJECT_H_
#define VELK_REGEX_REGEX_OBJECT_H_

#include <optional>

#include "platform/automation/automation.h"
#include "text/text.h"

namespace velk {

class RegexObject {
 public:
  RegexObject();
  ~RegexObject();
  RegexObject(RegexObject&& other) noexcept;
  RegexObject& operator=(RegexObject&& other) noexcept;
  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;

  // Creates a new engine with IgnoreCase = not caseSensitive (default
  // false), Multiline (default true) and Global (default true), writes the
  // pattern (with every QuotePlaceholder made a double quote when
  // replaceQuotePlaceholder, default false) and runs it over `subject`.
  // True when the engine returned a match collection, even an empty one.
  bool Create(const Text& pattern, const Text& subject,
              std::optional<bool> caseSensitive = std::nullopt,
              std::optional<bool> multiline = std::nullopt,
              std::optional<bool> global = std::nullopt,
              std::optional<bool> replaceQuotePlaceholder = std::nullopt);
  // The pattern as the engine holds it; empty without an engine.
  Text GetPattern();
  // The last subject with the engine's matches replaced by `replacement`
  // ($$, $&, $`, $', $1 to $99); every match when Global.
  Text Replace(const Text& replacement);
  // The number of matches.
  int MatchCount();
  // Match `matchIndex` (from 1); its byte position when asked.
  Text MatchText(int matchIndex, int* position = nullptr);
  // Group `submatchIndex` (from 1) of match `matchIndex` (from 1); empty for
  // a group that took no part. The position is searched from the match's
  // start.
  Text SubmatchText(int matchIndex, int submatchIndex, int* position = nullptr);
  // The number of groups, as the first match reports it; 0 without one.
  int SubmatchCount();
  // A new object holding further references to the same engine objects and
  // a copy of the subject. It takes its own initialisation of the service,
  // so that every object's destruction stays balanced.
  RegexObject Copy() const;

 private:
  struct CopyTag {};
  explicit RegexObject(CopyTag) {}
  // Empties both holders and gives up this object's initialisation.
  void Release();
  // The 0-based byte position of `sought`, searched from `match`'s
  // FirstIndex + 1 with the engine's IgnoreCase.
  int PositionOf(const Text& sought, const platform::ObjectRef& match);

  platform::ObjectRef engine;
  platform::ObjectRef matches;
  Text subject;
  // Whether this object holds one initialisation of the service (a
  // moved-from object holds none).
  bool initialized = false;
};

}  // namespace velk

#endif  // VELK_REGEX_REGEX_OBJECT_H_

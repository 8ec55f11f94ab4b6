// The "VBScript.RegExp" engine object and the objects its Execute returns.
//
// RegExp:          Pattern (text), IgnoreCase, Multiline, Global (booleans);
//                  Execute(subject) -> MatchCollection, Test(subject) ->
//                  boolean, Replace(subject, replacement) -> text.
// MatchCollection: Count, Item(index from 0) -> Match.
// Match:           Value, FirstIndex, Length (UTF-16 units), SubMatches.
// SubMatches:      Count, Item(index from 0) -> text, or empty for a group
//                  that took no part in the match.
// An Execute, Test or Replace with a pattern that cannot be compiled fails.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/regexp_matcher.h"

namespace velk::platform {
namespace {

using Arguments = std::span<Variant>;

// The result of one Execute, shared by the objects that read it.
struct ExecuteResult {
  std::u16string subject;
  int groups = 0;
  std::vector<int> spans;  // Matcher::Execute's layout

  int count() const {
    return static_cast<int>(spans.size() /
                            (2 * static_cast<size_t>(groups + 1)));
  }
  const int* span(int match, int group) const {
    return &spans[(static_cast<size_t>(match) * (groups + 1) + group) * 2];
  }
};

bool ReadBoolean(const Variant& value, bool& result) {
  switch (value.kind) {
    case Variant::Kind::kBoolean:
      result = value.boolean;
      return true;
    case Variant::Kind::kInteger:
      result = value.integer != 0;
      return true;
    case Variant::Kind::kDouble:
      result = value.number != 0;
      return true;
    default:
      return false;
  }
}

// A text argument; the call's own copy gives up its storage.
bool ReadText(Variant& value, std::u16string& result) {
  if (value.kind == Variant::Kind::kObject) return false;
  if (value.kind == Variant::Kind::kText) {
    result = std::move(value.text);
    return true;
  }
  return VariantToText(value, result);
}

// An index argument, integral and within [0, count).
bool ReadIndex(Arguments arguments, int count, int& index) {
  if (arguments.size() != 1) return false;
  const Variant& value = arguments[0];
  double number;
  if (value.kind == Variant::Kind::kInteger) {
    number = value.integer;
  } else if (value.kind == Variant::Kind::kDouble) {
    number = std::nearbyint(value.number);
  } else {
    return false;
  }
  if (!(number >= 0 && number < count)) return false;
  index = static_cast<int>(number);
  return true;
}

// The compiled form of a pattern under its options, shared through a small
// cache of the thread's recent patterns: a search makes a fresh engine every
// time, with the same pattern, so this saves compiling it each time. Null
// when the pattern cannot be compiled.
std::shared_ptr<const regexp::Matcher> CompiledMatcher(
    const std::u16string& pattern, bool ignoreCase, bool multiline) {
  struct Entry {
    std::u16string pattern;
    bool ignoreCase;
    bool multiline;
    std::shared_ptr<const regexp::Matcher> matcher;
  };
  constexpr size_t kEntries = 8;
  thread_local std::vector<Entry> recent;  // most recent first
  for (size_t i = 0; i < recent.size(); ++i) {
    if (recent[i].pattern == pattern && recent[i].ignoreCase == ignoreCase &&
        recent[i].multiline == multiline) {
      std::rotate(recent.begin(), recent.begin() + static_cast<long>(i),
                  recent.begin() + static_cast<long>(i) + 1);
      return recent.front().matcher;
    }
  }
  std::shared_ptr<const regexp::Matcher> matcher =
      regexp::Matcher::Compile(pattern, ignoreCase, multiline);
  if (matcher == nullptr) return nullptr;
  if (recent.size() == kEntries) recent.pop_back();
  recent.insert(recent.begin(), {pattern, ignoreCase, multiline, matcher});
  return matcher;
}

class SubMatchesObject : public TableObject<SubMatchesObject> {
 public:
  SubMatchesObject(std::shared_ptr<const ExecuteResult> result, int match)
      : result_(std::move(result)), match_(match) {}

  static bool Count(SubMatchesObject& self, Arguments arguments, Variant& out) {
    if (!arguments.empty()) return false;
    out = Variant::Integer(self.result_->groups);
    return true;
  }
  static bool Item(SubMatchesObject& self, Arguments arguments, Variant& out) {
    int index;
    if (!ReadIndex(arguments, self.result_->groups, index)) return false;
    const int* span = self.result_->span(self.match_, index + 1);
    if (span[0] < 0) {
      out = Variant();
    } else {
      out = Variant::FromText(
          self.result_->subject.substr(static_cast<size_t>(span[0]),
                                       static_cast<size_t>(span[1] - span[0])));
    }
    return true;
  }

  static constexpr Member<SubMatchesObject> kMembers[] = {
      {u"Count", &Count, nullptr, nullptr},
      {u"Item", &Item, nullptr, nullptr},
  };

 private:
  std::shared_ptr<const ExecuteResult> result_;
  int match_;
};

class MatchObject : public TableObject<MatchObject> {
 public:
  MatchObject(std::shared_ptr<const ExecuteResult> result, int match)
      : result_(std::move(result)), match_(match) {}

  static bool Value(MatchObject& self, Arguments arguments, Variant& out) {
    if (!arguments.empty()) return false;
    const int* span = self.result_->span(self.match_, 0);
    out = Variant::FromText(self.result_->subject.substr(
        static_cast<size_t>(span[0]), static_cast<size_t>(span[1] - span[0])));
    return true;
  }
  static bool FirstIndex(MatchObject& self, Arguments arguments, Variant& out) {
    if (!arguments.empty()) return false;
    out = Variant::Integer(self.result_->span(self.match_, 0)[0]);
    return true;
  }
  static bool Length(MatchObject& self, Arguments arguments, Variant& out) {
    if (!arguments.empty()) return false;
    const int* span = self.result_->span(self.match_, 0);
    out = Variant::Integer(span[1] - span[0]);
    return true;
  }
  // The same SubMatches object on every read, as the match is read for
  // several groups in a row.
  static bool SubMatches(MatchObject& self, Arguments arguments, Variant& out) {
    if (!arguments.empty()) return false;
    if (self.subMatches_.IsEmpty()) {
      self.subMatches_ =
          ObjectRef(new SubMatchesObject(self.result_, self.match_));
    }
    out = Variant::FromObject(self.subMatches_);
    return true;
  }

  static constexpr Member<MatchObject> kMembers[] = {
      {u"Value", &Value, nullptr, nullptr},
      {u"FirstIndex", &FirstIndex, nullptr, nullptr},
      {u"Length", &Length, nullptr, nullptr},
      {u"SubMatches", &SubMatches, nullptr, nullptr},
  };

 private:
  std::shared_ptr<const ExecuteResult> result_;
  int match_;
  ObjectRef subMatches_;  // made on first read
};

class MatchCollectionObject : public TableObject<MatchCollectionObject> {
 public:
  explicit MatchCollectionObject(std::shared_ptr<const ExecuteResult> result)
      : result_(std::move(result)) {}

  static bool Count(MatchCollectionObject& self, Arguments arguments,
                    Variant& out) {
    if (!arguments.empty()) return false;
    out = Variant::Integer(self.result_->count());
    return true;
  }
  static bool Item(MatchCollectionObject& self, Arguments arguments,
                   Variant& out) {
    int index;
    if (!ReadIndex(arguments, self.result_->count(), index)) return false;
    // One Match object per match, made on its first read: callers read the
    // same match once per group they want.
    if (self.items_.empty()) self.items_.resize(self.result_->count());
    ObjectRef& item = self.items_[static_cast<size_t>(index)];
    if (item.IsEmpty()) item = ObjectRef(new MatchObject(self.result_, index));
    out = Variant::FromObject(item);
    return true;
  }

  static constexpr Member<MatchCollectionObject> kMembers[] = {
      {u"Count", &Count, nullptr, nullptr},
      {u"Item", &Item, nullptr, nullptr},
  };

 private:
  std::shared_ptr<const ExecuteResult> result_;
  std::vector<ObjectRef> items_;  // one per match once any is read
};

// Appends the expansion of `replacement` for match `match` of `result`.
void ExpandReplacement(const ExecuteResult& result, int match,
                       std::u16string_view replacement, std::u16string& out) {
  const std::u16string_view subject = result.subject;
  const int* whole = result.span(match, 0);
  auto appendGroup = [&](int group) {
    const int* span = result.span(match, group);
    if (span[0] >= 0) {
      out.append(subject.substr(static_cast<size_t>(span[0]),
                                static_cast<size_t>(span[1] - span[0])));
    }
  };
  auto digit = [](char16_t c) {
    return c >= u'0' && c <= u'9' ? c - u'0' : -1;
  };
  for (size_t i = 0; i < replacement.size(); ++i) {
    const char16_t c = replacement[i];
    if (c != u'$' || i + 1 == replacement.size()) {
      out += c;
      continue;
    }
    const char16_t next = replacement[i + 1];
    if (next == u'$') {
      out += u'$';
      ++i;
    } else if (next == u'&') {
      appendGroup(0);
      ++i;
    } else if (next == u'`') {
      out.append(subject.substr(0, static_cast<size_t>(whole[0])));
      ++i;
    } else if (next == u'\'') {
      out.append(subject.substr(static_cast<size_t>(whole[1])));
      ++i;
    } else if (const int first = digit(next); first >= 0) {
      // Two digits name a group only when that group exists; otherwise the
      // first digit alone does, and $0 or a missing group stays literal.
      const int second =
          i + 2 < replacement.size() ? digit(replacement[i + 2]) : -1;
      const int two = second >= 0 ? first * 10 + second : -1;
      if (two >= 1 && two <= result.groups) {
        appendGroup(two);
        i += 2;
      } else if (first >= 1 && first <= result.groups) {
        appendGroup(first);
        i += 1;
      } else {
        out += c;
      }
    } else {
      out += c;
    }
  }
}

class RegExpObject : public TableObject<RegExpObject> {
  // Declared first: the member table below names the flags.
  std::u16string pattern_;
  bool ignoreCase_ = false;
  bool multiline_ = false;
  bool global_ = false;
  std::shared_ptr<const regexp::Matcher> matcher_;  // null until compiled

 public:
  static bool GetPattern(RegExpObject& self, Arguments arguments,
                         Variant& out) {
    if (!arguments.empty()) return false;
    out = Variant::FromText(self.pattern_);
    return true;
  }
  static bool PutPattern(RegExpObject& self, const Variant& value) {
    std::u16string pattern;
    if (value.kind == Variant::Kind::kObject ||
        !VariantToText(value, pattern)) {
      return false;
    }
    self.pattern_ = std::move(pattern);
    self.matcher_.reset();
    return true;
  }

  template <bool RegExpObject::*Flag, bool kRecompile>
  static bool GetFlag(RegExpObject& self, Arguments arguments, Variant& out) {
    if (!arguments.empty()) return false;
    out = Variant::Boolean(self.*Flag);
    return true;
  }
  template <bool RegExpObject::*Flag, bool kRecompile>
  static bool PutFlag(RegExpObject& self, const Variant& value) {
    bool flag;
    if (!ReadBoolean(value, flag)) return false;
    if (kRecompile && self.*Flag != flag) self.matcher_.reset();
    self.*Flag = flag;
    return true;
  }

  static bool Execute(RegExpObject& self, Arguments arguments, Variant& out) {
    std::shared_ptr<ExecuteResult> result;
    if (arguments.size() != 1 ||
        !self.Run(arguments[0], self.global_, result)) {
      return false;
    }
    out = Variant::FromObject(
        ObjectRef(new MatchCollectionObject(std::move(result))));
    return true;
  }

  static bool Test(RegExpObject& self, Arguments arguments, Variant& out) {
    std::shared_ptr<ExecuteResult> result;
    if (arguments.size() != 1 || !self.Run(arguments[0], false, result)) {
      return false;
    }
    out = Variant::Boolean(result->count() > 0);
    return true;
  }

  static bool Replace(RegExpObject& self, Arguments arguments, Variant& out) {
    std::u16string replacement;
    std::shared_ptr<ExecuteResult> result;
    if (arguments.size() != 2 || !ReadText(arguments[1], replacement) ||
        !self.Run(arguments[0], self.global_, result)) {
      return false;
    }
    std::u16string replaced;
    int copied = 0;
    for (int match = 0; match < result->count(); ++match) {
      const int* span = result->span(match, 0);
      replaced.append(result->subject, static_cast<size_t>(copied),
                      static_cast<size_t>(span[0] - copied));
      ExpandReplacement(*result, match, replacement, replaced);
      copied = span[1];
    }
    replaced.append(result->subject, static_cast<size_t>(copied));
    out = Variant::FromText(std::move(replaced));
    return true;
  }

  static constexpr Member<RegExpObject> kMembers[] = {
      {u"Pattern", &GetPattern, &PutPattern, nullptr},
      {u"IgnoreCase", &GetFlag<&RegExpObject::ignoreCase_, true>,
       &PutFlag<&RegExpObject::ignoreCase_, true>, nullptr},
      {u"Multiline", &GetFlag<&RegExpObject::multiline_, true>,
       &PutFlag<&RegExpObject::multiline_, true>, nullptr},
      {u"Global", &GetFlag<&RegExpObject::global_, false>,
       &PutFlag<&RegExpObject::global_, false>, nullptr},
      {u"Execute", nullptr, nullptr, &Execute},
      {u"Test", nullptr, nullptr, &Test},
      {u"Replace", nullptr, nullptr, &Replace},
  };

 private:
  // Matches `subjectValue` with the current pattern and options; false when
  // the pattern cannot be compiled or the subject is not a text.
  bool Run(Variant& subjectValue, bool global,
           std::shared_ptr<ExecuteResult>& result) {
    auto fresh = std::make_shared<ExecuteResult>();
    if (!ReadText(subjectValue, fresh->subject)) return false;
    if (matcher_ == nullptr) {
      matcher_ = CompiledMatcher(pattern_, ignoreCase_, multiline_);
      if (matcher_ == nullptr) return false;
    }
    fresh->groups = matcher_->GroupCount();
    matcher_->Execute(fresh->subject, global, fresh->spans);
    result = std::move(fresh);
    return true;
  }
};

}  // namespace

AutomationObject* NewRegExpObject() { return new RegExpObject(); }

}  // namespace velk::platform

// The "VBScript.RegExp" engine through the automation layer, in UTF-16.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/automation/automation.h"
#include "platform/automation/regexp_matcher.h"

namespace velk::platform {
namespace {

struct Found {
  int firstIndex;
  int length;
  std::u16string value;
  std::vector<std::optional<std::u16string>> groups;  // nullopt: took no part

  friend bool operator==(const Found&, const Found&) = default;
};

std::ostream& operator<<(std::ostream& out, const Found& found) {
  out << "{" << found.firstIndex << "," << found.length << ", groups "
      << found.groups.size() << "}";
  return out;
}

class RegExpTest : public ::testing::Test {
 protected:
  void SetUp() override { AutomationInitialize(); }
  void TearDown() override {
    engine_.Reset();
    AutomationUninitialize();
  }

  // A fresh engine with `flags` (any of "i", "m", "g") and `pattern`.
  ObjectRef& Engine(std::u16string_view flags, std::u16string pattern) {
    engine_.Reset();
    EXPECT_TRUE(CreateObjectByProgId(u"VBScript.RegExp", engine_));
    auto has = [&](char16_t c) {
      return flags.find(c) != std::u16string_view::npos;
    };
    EXPECT_TRUE(
        PutProperty(engine_, u"IgnoreCase", Variant::Boolean(has('i'))));
    EXPECT_TRUE(PutProperty(engine_, u"Multiline", Variant::Boolean(has('m'))));
    EXPECT_TRUE(PutProperty(engine_, u"Global", Variant::Boolean(has('g'))));
    EXPECT_TRUE(PutProperty(engine_, u"Pattern",
                            Variant::FromText(std::move(pattern))));
    return engine_;
  }

  // Every match of Execute, or nullopt when Execute fails.
  std::optional<std::vector<Found>> Execute(std::u16string_view flags,
                                            std::u16string pattern,
                                            std::u16string subject) {
    ObjectRef& engine = Engine(flags, std::move(pattern));
    const Variant argument = Variant::FromText(std::move(subject));
    Variant matches;
    if (!CallMethod(engine, u"Execute", std::span(&argument, 1), matches)) {
      return std::nullopt;
    }
    Variant count;
    EXPECT_TRUE(GetProperty(matches.object, u"Count", {}, count));
    std::vector<Found> all;
    for (int i = 0; i < count.integer; ++i) {
      const Variant index = Variant::Double(i);
      Variant match, value, first, length, subs, subCount;
      EXPECT_TRUE(
          GetProperty(matches.object, u"Item", std::span(&index, 1), match));
      EXPECT_TRUE(GetProperty(match.object, u"Value", {}, value));
      EXPECT_TRUE(GetProperty(match.object, u"FirstIndex", {}, first));
      EXPECT_TRUE(GetProperty(match.object, u"Length", {}, length));
      EXPECT_TRUE(GetProperty(match.object, u"SubMatches", {}, subs));
      EXPECT_TRUE(GetProperty(subs.object, u"Count", {}, subCount));
      Found found{first.integer, length.integer, value.text, {}};
      for (int k = 0; k < subCount.integer; ++k) {
        const Variant subIndex = Variant::Double(k);
        Variant item;
        EXPECT_TRUE(
            GetProperty(subs.object, u"Item", std::span(&subIndex, 1), item));
        if (item.kind == Variant::Kind::kEmpty) {
          found.groups.push_back(std::nullopt);
        } else {
          EXPECT_EQ(item.kind, Variant::Kind::kText);
          found.groups.push_back(item.text);
        }
      }
      all.push_back(found);
    }
    return all;
  }

  // The first indexes of all matches, or {-1} when Execute fails.
  std::vector<int> Starts(std::u16string_view flags, std::u16string pattern,
                          std::u16string subject) {
    auto found = Execute(flags, std::move(pattern), std::move(subject));
    if (!found) return {-1};
    std::vector<int> starts;
    for (const Found& f : *found) starts.push_back(f.firstIndex);
    return starts;
  }

  ObjectRef engine_;
};

TEST_F(RegExpTest, DialectTable) {
  struct Case {
    const char* name;
    const char16_t* flags;
    const char16_t* pattern;
    std::u16string subject;
    std::vector<int> starts;  // {-1}: Execute fails
  };
  const Case kCases[] = {
      {"dot skips LF",
       u"g",
       u"a.b",
       u"a\nb a\x01"
       u"b",
       {4}},
      {"dot skips CR", u"g", u".", u"\r", {}},
      {"dot skips U+2028 and U+2029", u"g", u".", u"\x2028\x2029x", {2}},
      {"dot is one unit", u"g", u".", u"\xD83D\xDE00", {0, 1}},
      {"[\\s\\S] takes anything", u"g", u"[\\s\\S]", u"\n\r\x2028", {0, 1, 2}},
      {"[^] takes anything, [] nothing", u"g", u"[^][]|x", u"\nx", {1}},
      {"^ only at start", u"g", u"^b", u"b\nb", {0}},
      {"^ after LF with Multiline", u"gm", u"^b", u"b\nb", {0, 2}},
      {"^ after CR with Multiline", u"gm", u"^b", u"a\rb", {2}},
      {"^ after U+2028 with Multiline",
       u"gm",
       u"^b",
       u"a\x2028"
       u"b",
       {2}},
      {"^ between CR and LF", u"gm", u"^", u"a\r\nb", {0, 2, 3}},
      {"$ only at end", u"g", u"a$", u"a\na", {2}},
      {"$ before CR and LF with Multiline",
       u"gm",
       u"a$",
       u"a\ra\na",
       {0, 2, 4}},
      {"$ alone with Multiline", u"gm", u"$", u"\r\n", {0, 1, 2}},
      {"empty pattern on ab", u"g", u"", u"ab", {0, 1, 2}},
      {"empty then longer match", u"g", u"a*", u"baa", {0, 1, 3}},
      {"empty match inside a pair", u"g", u"x*", u"\xD83D\xDE00", {0, 1, 2}},
      {"without Global only the first", u"", u"a", u"aaa", {0}},
      {"IgnoreCase folds ASCII", u"gi", u"k[a-c]", u"KB kb Kd", {0, 3}},
      {"IgnoreCase leaves Kelvin sign", u"gi", u"k", u"\x212A", {}},
      {"IgnoreCase leaves Latin-1", u"gi", u"\xE9", u"\xC9\xE9", {1}},
      {"negated class with IgnoreCase", u"gi", u"[^a]", u"aAb", {2}},
      {"case counts without IgnoreCase", u"g", u"k", u"Kk", {1}},
      {"\\w is ASCII",
       u"g",
       u"\\w",
       u"a\xE9_\x4E2D"
       u"9",
       {0, 2, 4}},
      {"\\d is ASCII", u"g", u"\\d", u"1\x0663", {0}},
      {"\\b is ASCII",
       u"g",
       u"\\b",
       u"\xE9"
       u"a\xE9",
       {1, 2}},
      {"\\B inside words and between others",
       u"g",
       u"\\B",
       u"ab \x4E2D",
       {1, 3, 4}},
      {"\\s is ECMAScript's",
       u"g",
       u"\\s",
       u"\xA0\x3000\x85\xFEFF\t",
       {0, 1, 3, 4}},
      {"\\S", u"g", u"\\S", u"\xA0x", {1}},
      {"\\u escapes",
       u"g",
       u"\\u4E2D\\x41",
       u"\x4E2D"
       u"A",
       {0}},
      {"astral literal", u"g", u"\xD83D\xDE00", u"a\xD83D\xDE00", {1}},
      {"lone surrogate class",
       u"g",
       u"[\\uD800-\\uDBFF]",
       u"a\xD83D\xDE00",
       {1}},
      {"escaped punctuation", u"g", u"\\.\\*\\/\\-", u"x.*/-", {1}},
      {"control escapes",
       u"g",
       u"\\t\\n\\v\\f\\r\\0\\cJ",
       std::u16string(u"\t\n\v\f\r\0\n", 7),
       {0}},
      {"lazy group", u"g", u"a.*?b", u"a1b2b", {0}},
      {"alternation order", u"g", u"ab|a", u"ab", {0}},
      {"non-capturing group", u"g", u"(?:ab)+", u"ababx", {0}},
      {"brace repetition", u"g", u"a{2}", u"aaaaa", {0, 2}},
      {"open-ended brace repetition", u"g", u"a{2,}", u"aaaaa", {0}},
      {"lone brace is literal", u"g", u"a{", u"a{", {0}},
      {"brace without number is literal", u"g", u"a{,2}", u"a{,2}", {0}},
      {"brace with letters is literal", u"g", u"x{a}", u"x{a}", {0}},
      {"closing brace and bracket are literal", u"g", u"}]", u"}]", {0}},
      {"range with a class escape", u"g", u"[\\d-z]+", u"1-z", {0}},
      {"\\b in a class is backspace", u"g", u"[\\b]", u"\b", {0}},
      {"reversed range", u"g", u"[z-a]", u"a", {-1}},
      {"reversed repetition", u"g", u"a{2,1}", u"a", {-1}},
      {"repetition too large", u"g", u"a{100000}", u"a", {-1}},
      {"named group (?P<>)", u"g", u"(?P<n>a)", u"a", {-1}},
      {"named group (?<>)", u"g", u"(?<n>a)", u"a", {-1}},
      {"inline flag", u"g", u"(?i)a", u"A", {-1}},
      {"lookahead", u"g", u"a(?=b)", u"ab", {-1}},
      {"lookbehind", u"g", u"(?<=a)b", u"ab", {-1}},
      {"backreference", u"g", u"(a)\\1", u"aa", {-1}},
      {"\\A", u"g", u"\\Aa", u"a", {-1}},
      {"\\z", u"g", u"a\\z", u"a", {-1}},
      {"\\pL", u"g", u"\\pL", u"a", {-1}},
      {"\\p{L}", u"g", u"\\p{L}", u"a", {-1}},
      {"\\x without digits", u"g", u"\\xZ", u"xZ", {-1}},
      {"quantifier on nothing", u"g", u"*a", u"a", {-1}},
      {"double quantifier", u"g", u"a**", u"a", {-1}},
      {"quantified anchor", u"g", u"^*", u"a", {-1}},
      {"braced quantifier on nothing", u"g", u"{2}", u"a", {-1}},
      {"unclosed group", u"g", u"(a", u"a", {-1}},
      {"stray parenthesis", u"g", u"a)", u"a)", {-1}},
      {"unclosed class", u"g", u"[a", u"a", {-1}},
      {"trailing backslash", u"g", u"a\\", u"a", {-1}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Starts(c.flags, c.pattern, c.subject), c.starts);
  }
}

TEST_F(RegExpTest, MatchFields) {
  // FirstIndex and Length count UTF-16 units: one for a BMP character, two
  // for an astral one.
  auto found = Execute(u"g", u"b(.)(x)?(y*)",
                       u"\x4E2D\xD83D\xDE00"
                       u"bcbd");
  ASSERT_TRUE(found);
  const std::vector<Found> expected = {
      {3, 2, u"bc", {u"c", std::nullopt, u""}},
      {5, 2, u"bd", {u"d", std::nullopt, u""}},
  };
  EXPECT_EQ(*found, expected);

  // Group text lifted from an astral character splits it.
  found = Execute(u"", u"(.)", u"\xD83D\xDE00");
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ((*found)[0].groups[0], std::u16string(u"\xD83D"));
}

TEST_F(RegExpTest, TestAndFailingPattern) {
  ObjectRef& engine = Engine(u"g", u"b+");
  const Variant subject = Variant::FromText(u"abbb");
  Variant result;
  ASSERT_TRUE(CallMethod(engine, u"Test", std::span(&subject, 1), result));
  EXPECT_EQ(result.kind, Variant::Kind::kBoolean);
  EXPECT_TRUE(result.boolean);

  ASSERT_TRUE(PutProperty(engine, u"Pattern", Variant::FromText(u"(")));
  Variant untouched = Variant::FromText(u"keep");
  const Variant both[] = {subject, Variant::FromText(u"x")};
  EXPECT_FALSE(CallMethod(engine, u"Test", std::span(&subject, 1), untouched));
  EXPECT_FALSE(
      CallMethod(engine, u"Execute", std::span(&subject, 1), untouched));
  EXPECT_FALSE(CallMethod(engine, u"Replace", both, untouched));
  EXPECT_EQ(untouched.text, u"keep");

  // A good pattern again works; so does a change of options after a run.
  ASSERT_TRUE(PutProperty(engine, u"Pattern", Variant::FromText(u"B")));
  ASSERT_TRUE(CallMethod(engine, u"Test", std::span(&subject, 1), result));
  EXPECT_FALSE(result.boolean);
  ASSERT_TRUE(PutProperty(engine, u"IgnoreCase", Variant::Boolean(true)));
  ASSERT_TRUE(CallMethod(engine, u"Test", std::span(&subject, 1), result));
  EXPECT_TRUE(result.boolean);
}

TEST_F(RegExpTest, ReplaceSpecials) {
  struct Case {
    const char* name;
    const char16_t* flags;
    const char16_t* pattern;
    const char16_t* subject;
    const char16_t* replacement;
    const char16_t* result;
  };
  const Case kCases[] = {
      {"only the first without Global", u"", u"o", u"foo", u"0", u"f0o"},
      {"every match with Global", u"g", u"o", u"foo", u"0", u"f00"},
      {"dollar dollar", u"g", u"b", u"abc", u"$$", u"a$c"},
      {"whole match", u"g", u"b", u"abc", u"[$&]", u"a[b]c"},
      {"text before", u"g", u"b", u"abc", u"[$`]", u"a[a]c"},
      {"text after", u"g", u"b", u"abc", u"[$']", u"a[c]c"},
      {"groups", u"g", u"(a)(b)", u"ab", u"$2$1", u"ba"},
      {"leading zero", u"g", u"(a)", u"a", u"$01", u"a"},
      {"two digits when the group exists", u"g",
       u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", u"abcdefghij", u"$10", u"j"},
      {"one digit when two do not name a group", u"g", u"(a)", u"a", u"$10",
       u"a0"},
      {"$0 stays", u"g", u"a", u"a", u"$0", u"$0"},
      {"missing group stays", u"g", u"(a)", u"a", u"$2", u"$2"},
      {"final lone dollar stays", u"g", u"a", u"a", u"x$", u"x$"},
      {"dollar before other text stays", u"g", u"a", u"a", u"$x", u"$x"},
      {"group that took no part is empty", u"g", u"(x)?a", u"a", u"[$1]",
       u"[]"},
      {"empty matches everywhere", u"g", u"", u"ab", u"-", u"-a-b-"},
      {"empty and longer matches", u"g", u"a*", u"baa", u"-", u"-b--"},
      {"units of astral text", u"g", u".", u"\xD83D\xDE00", u"<$&>",
       u"<\xD83D><\xDE00>"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ObjectRef& engine = Engine(c.flags, c.pattern);
    const Variant arguments[] = {Variant::FromText(c.subject),
                                 Variant::FromText(c.replacement)};
    Variant result;
    ASSERT_TRUE(CallMethod(engine, u"Replace", arguments, result));
    EXPECT_EQ(result.text, c.result);
  }
}

// The row pattern's shape over a subject that makes backtracking explode:
// good rows and long broken fragments in turn. At each fragment the fast
// engine gives up, the linear engine finds the next row, the fast engine
// goes on after it, and no row is lost.
TEST(MatcherTest, FallbackLosesNoRows) {
  const std::u16string pattern =
      u"<tr><td>(.*?)</td><td>(.*?)<(.*?)Detail</a><a href=\"(.*?)\" title=";
  auto row = [](int i) {
    std::u16string n = u"\x4E2D" + std::u16string(1, u'0' + i % 10);
    return u"<tr><td>" + n + u"</td><td>1 GB</td><td>x</td>Detail</a><a " +
           u"href=\"magnet:?" + n + u"\" title=\"t\"></tr>";
  };
  std::u16string fragment;
  for (int i = 0; i < 3000; ++i) fragment += u"<tr><td>a</td><td>b</td><td>";
  std::u16string subject;
  for (int i = 0; i < 60; ++i) {
    subject += row(i);
    if (i % 20 == 19 && i < 59) subject += fragment + u"\n";
  }

  auto hybrid = regexp::Matcher::Compile(pattern, true, true,
                                         regexp::EngineChoice::kHybrid);
  auto linear = regexp::Matcher::Compile(pattern, true, true,
                                         regexp::EngineChoice::kLinearOnly);
  ASSERT_TRUE(hybrid && linear);
  std::vector<int> fast, slow;
  hybrid->Execute(subject, true, fast);
  linear->Execute(subject, true, slow);
  EXPECT_EQ(hybrid->fallbacks(), 2);  // once per fragment
  EXPECT_EQ(fast.size(), 60u * 10u);
  EXPECT_EQ(fast, slow);
}

// Patterns whose backtracking explodes, over subjects long enough that the
// fast engine runs out of budget: it hands over to the linear engine, which
// finishes with the same matches. (Without the budget each of these takes
// seconds or more.)
TEST(MatcherTest, ExplodingBacktrackingHandsOver) {
  struct Case {
    const char* name;
    const char16_t* pattern;
    std::u16string subject;
  };
  std::u16string commas;
  for (int i = 0; i < 20000; ++i) commas += u"abc";
  commas += u",\n=";
  const Case kCases[] = {
      {"two greedy stars", u".*.*=", commas},
      {"lazy star inside a lazy group", u"(?:.*?,)*?=", commas},
      {"nested plus", u"(x+x+)+y", std::u16string(50000, u'x') + u"\ny"},
      {"alternation under a star", u"(a|aa)*b",
       std::u16string(50000, u'a') + u"\nb"},
      {"bounded repeats", u".{0,100}.{0,100}=", commas},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto hybrid = regexp::Matcher::Compile(c.pattern, false, false,
                                           regexp::EngineChoice::kHybrid);
    auto linear = regexp::Matcher::Compile(c.pattern, false, false,
                                           regexp::EngineChoice::kLinearOnly);
    ASSERT_TRUE(hybrid && linear);
    std::vector<int> fast, slow;
    hybrid->Execute(c.subject, true, fast);
    linear->Execute(c.subject, true, slow);
    EXPECT_EQ(hybrid->fallbacks(), 1);
    EXPECT_EQ(fast, slow);
  }
}

// Both engines give the same spans on patterns of every construct.
TEST(MatcherTest, EnginesAgree) {
  const char16_t* kPatterns[] = {
      u"a|b+?",
      u"(a)|(b)",
      u"^\\w+$",
      u"(\\d{1,3}?)(\\d*)",
      u"[^\\s]+",
      u"x*",
      u"\\b.",
      u"(?:a(b)?)+",
      u"$",
      u"[\\u4E00-\\u9FFF]+(.)?",
      // Repeated groups that can match empty: the backtracking library
      // would take a last empty iteration and report other groups.
      u"(ab|)*",
      u"(a?)+",
      u"(?:a|())*",
  };
  const std::u16string subject =
      u"ab 123456\r\nb\x4E2D\x4E8C"
      u"a\xD83D\xDE00"
      u"aab\x2028z";
  for (const char16_t* pattern : kPatterns) {
    for (bool multiline : {false, true}) {
      SCOPED_TRACE(testing::Message()
                   << "pattern "
                   << testing::PrintToString(std::u16string(pattern))
                   << " multiline " << multiline);
      auto hybrid = regexp::Matcher::Compile(pattern, true, multiline,
                                             regexp::EngineChoice::kHybrid);
      auto linear = regexp::Matcher::Compile(pattern, true, multiline,
                                             regexp::EngineChoice::kLinearOnly);
      ASSERT_TRUE(hybrid && linear);
      std::vector<int> fast, slow;
      hybrid->Execute(subject, true, fast);
      linear->Execute(subject, true, slow);
      EXPECT_EQ(hybrid->fallbacks(), 0);
      EXPECT_EQ(fast, slow);
    }
  }
}

}  // namespace
}  // namespace velk::platform

#include "platform/automation/regexp_dialect.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace velk::platform::regexp {
namespace {

// Deeper nesting is rejected; the linear library refuses much deeper
// patterns anyway, and this keeps the recursive parser's stack small.
constexpr int kMaxDepth = 200;
// The linear library's repetition limit; larger counts cannot be compiled.
constexpr int kMaxRepeat = 1000;

// A set of UTF-16 units as sorted, disjoint, non-adjacent ranges.
class UnitSet {
 public:
  void Add(char32_t lo, char32_t hi) { ranges_.emplace_back(lo, hi); }
  void Add(char32_t unit) { Add(unit, unit); }
  void AddSet(const UnitSet& other) {
    ranges_.insert(ranges_.end(), other.ranges_.begin(), other.ranges_.end());
  }

  void Normalize() {
    std::sort(ranges_.begin(), ranges_.end());
    std::vector<std::pair<char32_t, char32_t>> merged;
    for (const auto& range : ranges_) {
      if (!merged.empty() && range.first <= merged.back().second + 1) {
        merged.back().second = std::max(merged.back().second, range.second);
      } else {
        merged.push_back(range);
      }
    }
    ranges_ = std::move(merged);
  }

  // Adds the other case of every ASCII letter in the set.
  void FoldAscii() {
    std::vector<std::pair<char32_t, char32_t>> extra;
    struct Block {
      char32_t first, last;
      int shift;
    };
    constexpr Block kBlocks[] = {{U'A', U'Z', 32}, {U'a', U'z', -32}};
    for (const auto& [lo, hi] : ranges_) {
      for (const Block& block : kBlocks) {
        const char32_t a = std::max(lo, block.first);
        const char32_t b = std::min(hi, block.last);
        if (a <= b) {
          extra.emplace_back(
              static_cast<char32_t>(static_cast<int>(a) + block.shift),
              static_cast<char32_t>(static_cast<int>(b) + block.shift));
        }
      }
    }
    ranges_.insert(ranges_.end(), extra.begin(), extra.end());
    Normalize();
  }

  // REQUIRES: normalized.
  UnitSet Complement() const {
    UnitSet result;
    char32_t next = 0;
    for (const auto& [lo, hi] : ranges_) {
      if (lo > next) result.Add(next, lo - 1);
      next = hi + 1;
    }
    if (next <= 0xFFFF) result.Add(next, 0xFFFF);
    return result;
  }

  bool Contains(char32_t unit) const {
    for (const auto& [lo, hi] : ranges_) {
      if (unit >= lo && unit <= hi) return true;
    }
    return false;
  }

  const std::vector<std::pair<char32_t, char32_t>>& ranges() const {
    return ranges_;
  }

 private:
  std::vector<std::pair<char32_t, char32_t>> ranges_;
};

bool IsAsciiLetter(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}
bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
int HexValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
  return -1;
}

UnitSet DigitSet() {
  UnitSet set;
  set.Add(U'0', U'9');
  return set;
}

UnitSet WordSet() {
  UnitSet set;
  set.Add(U'0', U'9');
  set.Add(U'A', U'Z');
  set.Add(U'_');
  set.Add(U'a', U'z');
  return set;
}

// ECMAScript's WhiteSpace and LineTerminator.
UnitSet SpaceSet() {
  UnitSet set;
  set.Add(0x09, 0x0D);
  set.Add(0x20);
  set.Add(0xA0);
  set.Add(0x1680);
  set.Add(0x2000, 0x200A);
  set.Add(0x2028, 0x2029);
  set.Add(0x202F);
  set.Add(0x205F);
  set.Add(0x3000);
  set.Add(0xFEFF);
  return set;
}

UnitSet TerminatorSet() {
  UnitSet set;
  set.Add(0x0A);
  set.Add(0x0D);
  set.Add(0x2028, 0x2029);
  return set;
}

void AppendHex(std::string& out, char32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "\\x{%X}", static_cast<unsigned>(c));
  out += buffer;
}

// The character the linear library sees for a unit that is not a line
// terminator.
char32_t MappedUnit(char32_t unit) {
  if (unit >= 0xD800 && unit <= 0xDFFF) return kSurrogateBase + (unit - 0xD800);
  return unit;
}

void AppendMappedRange(std::string& out, char32_t lo, char32_t hi) {
  AppendHex(out, MappedUnit(lo));
  if (hi != lo) {
    out += '-';
    AppendHex(out, MappedUnit(hi));
  }
}

// The linear library's form of a set of units, as one atom.
std::string LinearSet(const UnitSet& set) {
  // Line terminators become alternatives of their own; the rest is one
  // class, cut at the surrogate block, which maps to a range of its own.
  UnitSet without = set.Complement();
  without.AddSet(TerminatorSet());
  without.Normalize();
  without = without.Complement();
  std::string ranges;
  for (auto [lo, hi] : without.ranges()) {
    for (auto [a, b] :
         {std::pair<char32_t, char32_t>{lo, std::min<char32_t>(hi, 0xD7FF)},
          {std::max<char32_t>(lo, 0xD800), std::min<char32_t>(hi, 0xDFFF)},
          {std::max<char32_t>(lo, 0xE000), hi}}) {
      if (a <= b) AppendMappedRange(ranges, a, b);
    }
  }
  std::vector<std::string> alternatives;
  if (!ranges.empty()) alternatives.push_back("[" + ranges + "]");
  for (char16_t terminator : {u'\n', u'\r', u'\x2028', u'\x2029'}) {
    if (set.Contains(terminator)) {
      std::string sequence = "\\x{A}";
      AppendHex(sequence,
                kTerminatorMarkBase +
                    static_cast<char32_t>(TerminatorIndex(terminator)));
      sequence += "\\x{A}";
      alternatives.push_back(sequence);
    }
  }
  if (alternatives.empty()) return "[^\\x{0}-\\x{10FFFF}]";
  if (alternatives.size() == 1 && !ranges.empty()) return alternatives[0];
  std::string out = "(?:";
  for (size_t i = 0; i < alternatives.size(); ++i) {
    if (i > 0) out += '|';
    out += alternatives[i];
  }
  out += ')';
  return out;
}

// The backtracking library's form of a set of units, as one atom.
std::string BacktrackingSet(const UnitSet& set) {
  if (set.ranges().empty()) return "(?!)";
  std::string out = "[";
  for (auto [lo, hi] : set.ranges()) {
    AppendHex(out, lo);
    if (hi != lo) {
      out += '-';
      AppendHex(out, hi);
    }
  }
  out += ']';
  return out;
}

class Parser {
 public:
  Parser(std::u16string_view pattern, bool ignoreCase, bool multiline,
         TranslatedPattern& out)
      : pattern_(pattern),
        ignoreCase_(ignoreCase),
        multiline_(multiline),
        out_(out) {}

  bool Run() {
    out_ = TranslatedPattern();
    bool nullable;
    if (!Disjunction(0, nullable)) return false;
    return pos_ == pattern_.size();  // a stray ")" stops the parse early
  }

 private:
  bool AtEnd() const { return pos_ >= pattern_.size(); }
  char32_t Peek(size_t ahead = 0) const {
    return pos_ + ahead < pattern_.size() ? pattern_[pos_ + ahead] : 0;
  }
  bool Has(size_t ahead) const { return pos_ + ahead < pattern_.size(); }

  void Emit(std::string_view linear, std::string_view backtracking) {
    out_.linear += linear;
    out_.backtracking += backtracking;
  }

  // Each parse step also tells whether what it read can match the empty
  // text (`nullable`).
  bool Disjunction(int depth, bool& nullable) {
    if (depth > kMaxDepth) return false;
    if (!Alternative(depth, nullable)) return false;
    while (!AtEnd() && Peek() == U'|') {
      ++pos_;
      Emit("|", "|");
      if (depth == 0) {
        // Alternatives at the top share no prefix.
        prefixOpen_ = false;
        out_.prefix.clear();
      }
      bool more;
      if (!Alternative(depth, more)) return false;
      nullable = nullable || more;
    }
    return true;
  }

  bool Alternative(int depth, bool& nullable) {
    nullable = true;
    while (!AtEnd() && Peek() != U'|' && Peek() != U')') {
      bool term;
      if (!Term(depth, term)) return false;
      nullable = nullable && term;
    }
    return true;
  }

  // Reads a braced repetition at the current position without consuming it.
  // Returns the length of the "{...}" text, or 0 when it is not one.
  size_t BracedRepetition(int& min, int& max) const {
    size_t i = pos_;
    if (i >= pattern_.size() || pattern_[i] != u'{') return 0;
    ++i;
    auto number = [&](int& value) {
      size_t start = i;
      long long n = 0;
      while (i < pattern_.size() && IsDigit(pattern_[i])) {
        n = std::min<long long>(n * 10 + (pattern_[i] - u'0'), 1 << 30);
        ++i;
      }
      value = static_cast<int>(n);
      return i > start;
    };
    if (!number(min)) return 0;
    max = min;
    if (i < pattern_.size() && pattern_[i] == u',') {
      ++i;
      if (!number(max)) max = -1;
    }
    if (i >= pattern_.size() || pattern_[i] != u'}') return 0;
    return i + 1 - pos_;
  }

  bool StartsQuantifier() const {
    if (AtEnd()) return false;
    char32_t c = Peek();
    if (c == U'*' || c == U'+' || c == U'?') return true;
    int min, max;
    return BracedRepetition(min, max) > 0;
  }

  bool Term(int depth, bool& nullable) {
    const char32_t c = Peek();
    nullable = true;  // assertions
    // Assertions take no quantifier.
    if (c == U'^' || c == U'$') {
      ++pos_;
      static constexpr char kBefore[] =
          "(?<![^\\x{A}\\x{D}\\x{2028}\\x{2029}])";
      static constexpr char kAfter[] = "(?![^\\x{A}\\x{D}\\x{2028}\\x{2029}])";
      if (c == U'^') {
        Emit(multiline_ ? "(?m:^)" : "\\A", multiline_ ? kBefore : "\\A");
      } else {
        Emit(multiline_ ? "(?m:$)" : "\\z", multiline_ ? kAfter : "\\z");
      }
      if (depth == 0) prefixOpen_ = false;
      return !StartsQuantifier();
    }
    if (c == U'\\' && (Peek(1) == U'b' || Peek(1) == U'B')) {
      if (depth == 0) prefixOpen_ = false;
      pos_ += 2;
      const char* boundary = pattern_[pos_ - 1] == u'b' ? "\\b" : "\\B";
      Emit(boundary, boundary);
      return !StartsQuantifier();
    }
    if (StartsQuantifier()) return false;  // nothing to repeat
    const size_t atomStart = out_.backtracking.size();
    const bool group = c == U'(';
    lastUnit_ = -1;
    bool atomNullable = false;
    if (!Atom(depth, atomNullable)) return false;
    if (depth == 0 && prefixOpen_) {
      // A literal unit outside any group that is not repeated starts every
      // match, after the ones before it.
      if (!group && lastUnit_ >= 0 && !StartsQuantifier()) {
        out_.prefix.push_back(
            {static_cast<char16_t>(lastUnit_),
             ignoreCase_ && IsAsciiLetter(static_cast<char32_t>(lastUnit_))});
      } else {
        prefixOpen_ = false;
      }
    }
    if (!group && StartsQuantifier()) {
      // The backtracking library counts its work budget per group
      // iteration, not per character of a repeated single character or
      // class, so a repeated atom goes in a group: otherwise its backtracking
      // could run uncounted and the budget would not bound the time.
      out_.backtracking.insert(atomStart, "(?:");
      out_.backtracking += ')';
    }
    const bool repeated = StartsQuantifier();
    if (group && repeated && atomNullable) {
      // The dialect stops a repetition at an iteration that matches
      // nothing, as the linear library does; the backtracking library takes
      // such an iteration and reports different groups.
      out_.backtrackingSafe = false;
    }
    int min = 1;
    if (!Quantifier(min)) return false;
    nullable = atomNullable || (repeated && min == 0);
    return true;
  }

  // Reads an optional quantifier; `min` is its least count.
  bool Quantifier(int& min) {
    if (AtEnd()) return true;
    std::string text;
    char32_t c = Peek();
    int max = 0;
    if (c == U'*' || c == U'+' || c == U'?') {
      text = static_cast<char>(c);
      min = c == U'+' ? 1 : 0;
      ++pos_;
    } else if (size_t length = BracedRepetition(min, max); length > 0) {
      if (min > kMaxRepeat || max > kMaxRepeat) return false;
      if (max >= 0 && max < min) return false;
      // Appended piece by piece: g++ 12 at -O3 warns (falsely) about
      // overlapping copies in a chain of string operator+.
      text = "{";
      text += std::to_string(min);
      text += ",";
      if (max >= 0) text += std::to_string(max);
      text += "}";
      pos_ += length;
    } else {
      return true;
    }
    if (!AtEnd() && Peek() == U'?') {
      text += '?';
      ++pos_;
    }
    Emit(text, text);
    return !StartsQuantifier();  // "a**" and "a{2}{3}" are errors
  }

  bool Atom(int depth, bool& nullable) {
    const char32_t c = Peek();
    nullable = false;
    switch (c) {
      case U'.': {
        ++pos_;
        UnitSet dot = TerminatorSet();
        dot.Normalize();
        EmitSet(dot.Complement());
        return true;
      }
      case U'(':
        return Group(depth, nullable);
      case U'[':
        return Class();
      case U'\\':
        return AtomEscape();
      default:
        ++pos_;
        EmitUnit(c);
        return true;
    }
  }

  bool Group(int depth, bool& nullable) {
    ++pos_;
    if (!AtEnd() && Peek() == U'?') {
      // Only (?:...) is in the dialect; lookahead needs an engine with
      // backtracking, and every other (?...) form belongs to wider syntaxes.
      if (Peek(1) != U':') return false;
      pos_ += 2;
      Emit("(?:", "(?:");
    } else {
      ++out_.groupCount;
      Emit("(", "(");
    }
    if (!Disjunction(depth + 1, nullable)) return false;
    if (AtEnd() || Peek() != U')') return false;
    ++pos_;
    Emit(")", ")");
    return true;
  }

  // Reads the escapes shared by atoms and classes after the backslash:
  // control and numeric escapes, and escaped punctuation. Returns false for
  // a letter or digit escape that is not one of these.
  bool CharacterEscape(char32_t& unit) {
    if (AtEnd()) return false;
    const char32_t c = Peek();
    ++pos_;
    switch (c) {
      case U't':
        unit = 0x09;
        return true;
      case U'n':
        unit = 0x0A;
        return true;
      case U'v':
        unit = 0x0B;
        return true;
      case U'f':
        unit = 0x0C;
        return true;
      case U'r':
        unit = 0x0D;
        return true;
      case U'0':
        if (!AtEnd() && IsDigit(Peek())) return false;  // octal escapes
        unit = 0;
        return true;
      case U'c':
        if (AtEnd() || !IsAsciiLetter(Peek())) return false;
        unit = Peek() % 32;
        ++pos_;
        return true;
      case U'x':
      case U'u': {
        const int digits = c == U'x' ? 2 : 4;
        char32_t value = 0;
        for (int i = 0; i < digits; ++i) {
          const int hex = HexValue(Peek(static_cast<size_t>(i)));
          if (!Has(static_cast<size_t>(i)) || hex < 0) return false;
          value = value * 16 + static_cast<char32_t>(hex);
        }
        pos_ += static_cast<size_t>(digits);
        unit = value;
        return true;
      }
      default:
        if (IsAsciiLetter(c) || IsDigit(c)) return false;
        unit = c;
        return true;
    }
  }

  // A class escape (\d \D \w \W \s \S) into `set`; false when the escape at
  // the current position is not one.
  bool ClassEscape(UnitSet& set) {
    UnitSet base;
    switch (Peek()) {
      case U'd':
      case U'D':
        base = DigitSet();
        break;
      case U'w':
      case U'W':
        base = WordSet();
        break;
      case U's':
      case U'S':
        base = SpaceSet();
        break;
      default:
        return false;
    }
    const bool negated = Peek() >= U'A' && Peek() <= U'Z';
    ++pos_;
    base.Normalize();
    set = negated ? base.Complement() : base;
    return true;
  }

  bool AtomEscape() {
    ++pos_;
    if (AtEnd()) return false;
    UnitSet set;
    if (ClassEscape(set)) {
      // Folding adds nothing to these sets or their complements.
      EmitSet(set, false);
      return true;
    }
    char32_t unit;
    if (!CharacterEscape(unit)) return false;
    EmitUnit(unit);
    return true;
  }

  // One class member: a unit, or a class escape into `set`.
  bool ClassAtom(char32_t& unit, UnitSet& set, bool& isSet) {
    isSet = false;
    if (Peek() != U'\\') {
      unit = Peek();
      ++pos_;
      return true;
    }
    ++pos_;
    if (AtEnd()) return false;
    if (ClassEscape(set)) {
      isSet = true;
      return true;
    }
    if (Peek() == U'b') {
      ++pos_;
      unit = 0x08;
      return true;
    }
    if (Peek() == U'-') {
      ++pos_;
      unit = U'-';
      return true;
    }
    return CharacterEscape(unit);
  }

  bool Class() {
    ++pos_;
    bool negated = false;
    if (!AtEnd() && Peek() == U'^') {
      negated = true;
      ++pos_;
    }
    UnitSet members;
    while (true) {
      if (AtEnd()) return false;
      if (Peek() == U']') {
        ++pos_;
        break;
      }
      char32_t first = 0;
      UnitSet firstSet;
      bool firstIsSet = false;
      if (!ClassAtom(first, firstSet, firstIsSet)) return false;
      if (!AtEnd() && Peek() == U'-' && Has(1) && Peek(1) != U']') {
        ++pos_;
        char32_t last = 0;
        UnitSet lastSet;
        bool lastIsSet = false;
        if (!ClassAtom(last, lastSet, lastIsSet)) return false;
        if (firstIsSet || lastIsSet) {
          // A class escape cannot bound a range: both members and the "-"
          // stand for themselves.
          firstIsSet ? members.AddSet(firstSet) : members.Add(first);
          lastIsSet ? members.AddSet(lastSet) : members.Add(last);
          members.Add(U'-');
        } else {
          if (last < first) return false;
          members.Add(first, last);
        }
        continue;
      }
      firstIsSet ? members.AddSet(firstSet) : members.Add(first);
    }
    members.Normalize();
    if (ignoreCase_) members.FoldAscii();
    EmitSet(negated ? members.Complement() : members, false);
    return true;
  }

  void EmitSet(const UnitSet& set, bool fold = true) {
    UnitSet folded = set;
    folded.Normalize();
    if (fold && ignoreCase_) folded.FoldAscii();
    Emit(LinearSet(folded), BacktrackingSet(folded));
  }

  void EmitUnit(char32_t unit) {
    lastUnit_ = static_cast<int>(unit);
    if (ignoreCase_ && IsAsciiLetter(unit)) {
      UnitSet set;
      set.Add(unit);
      EmitSet(set);
      return;
    }
    const bool plain = IsDigit(unit) || IsAsciiLetter(unit);
    std::string backtracking;
    if (plain) {
      backtracking = static_cast<char>(unit);
    } else {
      AppendHex(backtracking, unit);
    }
    if (TerminatorIndex(static_cast<char16_t>(unit)) >= 0) {
      UnitSet set;
      set.Add(unit);
      Emit(LinearSet(set), backtracking);
      return;
    }
    std::string linear;
    if (plain) {
      linear = static_cast<char>(unit);
    } else {
      AppendHex(linear, MappedUnit(unit));
    }
    Emit(linear, backtracking);
  }

  std::u16string_view pattern_;
  size_t pos_ = 0;
  bool ignoreCase_;
  bool multiline_;
  TranslatedPattern& out_;
  bool prefixOpen_ = true;  // still collecting the literal prefix
  int lastUnit_ = -1;       // the unit the last atom emitted, if one
};

}  // namespace

bool TranslatePattern(std::u16string_view pattern, bool ignoreCase,
                      bool multiline, TranslatedPattern& result) {
  Parser parser(pattern, ignoreCase, multiline, result);
  return parser.Run();
}

}  // namespace velk::platform::regexp

#include "platform/automation/regexp_matcher.h"

#include <re2/re2.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/automation/regexp_backtracking.h"
#include "platform/automation/regexp_dialect.h"

namespace velk::platform::regexp {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The subject as the linear engine sees it (see regexp_dialect.h): every
// unit one UTF-8 character, line terminators as LF, mark, LF.
std::string MapSubject(std::u16string_view subject) {
  std::string mapped;
  mapped.reserve(subject.size() * 3);
  for (char16_t unit : subject) {
    if (unit < 0x80 && unit != u'\n' && unit != u'\r') {
      mapped += static_cast<char>(unit);
      continue;
    }
    const int terminator = TerminatorIndex(unit);
    if (terminator >= 0) {
      mapped += '\n';
      AppendUtf8(mapped,
                 kTerminatorMarkBase + static_cast<char32_t>(terminator));
      mapped += '\n';
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(mapped, kSurrogateBase + (unit - 0xD800));
    } else {
      AppendUtf8(mapped, unit);
    }
  }
  return mapped;
}

// Bytes of the mapped unit that starts with `lead`.
size_t MappedLength(unsigned char lead) {
  if (lead == '\n') return 6;
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// A position in the mapped subject that lies on a unit boundary.
struct Cursor {
  size_t byte = 0;
  int unit = 0;
};

// Moves `cursor` forward to the first boundary at or after byte `target`.
// Returns true when `target` itself is a boundary.
bool Advance(const std::string& mapped, Cursor& cursor, size_t target) {
  while (cursor.byte < target) {
    cursor.byte +=
        MappedLength(static_cast<unsigned char>(mapped[cursor.byte]));
    ++cursor.unit;
  }
  return cursor.byte == target;
}

// One search of the linear engine through a subject, from start positions
// that only move forward; the mapped subject is made once.
class LinearScan {
 public:
  LinearScan(const RE2& re, std::u16string_view subject)
      : re_(re),
        mapped_(MapSubject(subject)),
        length_(subject.size()),
        found_(static_cast<size_t>(re.NumberOfCapturingGroups()) + 1) {}

  // Finds the first match that starts at or after unit `startUnit` (not
  // before an earlier call's) and appends its spans; `nextUnit` is where
  // the next search starts (one unit on after an empty match). False when
  // there is none.
  bool Next(size_t startUnit, std::vector<int>& spans, size_t& nextUnit) {
    if (startUnit > length_) return false;
    while (cursor_.unit < static_cast<int>(startUnit)) {
      Advance(mapped_, cursor_, cursor_.byte + 1);
    }
    const char* base = mapped_.data();
    const int n = static_cast<int>(found_.size());
    while (cursor_.byte <= mapped_.size()) {
      if (!re_.Match(mapped_, cursor_.byte, mapped_.size(), RE2::UNANCHORED,
                     found_.data(), n)) {
        return false;
      }
      const size_t start = static_cast<size_t>(found_[0].data() - base);
      const size_t end = start + found_[0].size();
      Cursor at = cursor_;
      if (!Advance(mapped_, at, start)) {
        // Only an empty match can lie inside a line terminator's three
        // characters; it is no match of the subject, whose next boundary is
        // where the search goes on.
        cursor_ = at;
        continue;
      }
      // Every offset of the match lies on a boundary in [start, end]; one
      // walk over the match converts them all.
      offsets_.clear();
      for (const re2::StringPiece& piece : found_) {
        if (piece.data() == nullptr) continue;
        const size_t a = static_cast<size_t>(piece.data() - base);
        offsets_.emplace_back(a, -1);
        offsets_.emplace_back(a + piece.size(), -1);
      }
      std::sort(offsets_.begin(), offsets_.end());
      Cursor walk = at;
      for (auto& [byte, unit] : offsets_) {
        Advance(mapped_, walk, byte);
        unit = walk.unit;
      }
      auto unitOf = [&](size_t byte) {
        return std::lower_bound(offsets_.begin(), offsets_.end(),
                                std::pair<size_t, int>(byte, -1))
            ->second;
      };
      for (const re2::StringPiece& piece : found_) {
        if (piece.data() == nullptr) {
          spans.push_back(-1);
          spans.push_back(-1);
          continue;
        }
        const size_t a = static_cast<size_t>(piece.data() - base);
        spans.push_back(unitOf(a));
        spans.push_back(unitOf(a + piece.size()));
      }
      const int endUnit = unitOf(end);
      nextUnit = static_cast<size_t>(endUnit) + (end == start ? 1 : 0);
      cursor_ = at;
      return true;
    }
    return false;
  }

 private:
  const RE2& re_;
  const std::string mapped_;
  const size_t length_;
  std::vector<re2::StringPiece> found_;
  std::vector<std::pair<size_t, int>> offsets_;  // byte, unit
  Cursor cursor_;
};

class LinearEngine {
 public:
  explicit LinearEngine(const std::string& pattern) : re_(pattern, Options()) {}

  bool ok() const { return re_.ok(); }
  int GroupCount() const { return re_.NumberOfCapturingGroups(); }
  const RE2& re() const { return re_; }

 private:
  static RE2::Options Options() {
    RE2::Options options;
    options.set_log_errors(false);
    options.set_max_mem(64 << 20);
    return options;
  }

  RE2 re_;
};

class HybridMatcher : public Matcher {
 public:
  HybridMatcher(const TranslatedPattern& pattern, EngineChoice choice)
      : linear_(pattern.linear), groupCount_(pattern.groupCount) {
    if (choice == EngineChoice::kHybrid && pattern.backtrackingSafe) {
      backtracking_ =
          BacktrackingEngine::Compile(pattern.backtracking, pattern.prefix);
    }
  }

  bool ok() const {
    return linear_.ok() && linear_.GroupCount() == groupCount_;
  }

  int GroupCount() const override { return groupCount_; }

  void Execute(std::u16string_view subject, bool global,
               std::vector<int>& spans) const override {
    fallbacks_ = 0;
    std::optional<LinearScan> scan;
    size_t position = 0;
    size_t next = 0;
    if (backtracking_ != nullptr) {
      BacktrackingEngine::Budget budget(subject.size());
      while (true) {
        size_t resumeAt = 0;
        const auto outcome = backtracking_->Run(
            subject, position, global, groupCount_, spans, resumeAt, budget);
        if (outcome == BacktrackingEngine::Outcome::kFinished) return;
        ++fallbacks_;
        if (!scan) scan.emplace(linear_.re(), subject);
        position = resumeAt;
        if (outcome != BacktrackingEngine::Outcome::kPositionTooCostly) break;
        // One position needed more than a typical match: the linear engine
        // finds the next match, and the fast engine goes on after it.
        if (!scan->Next(position, spans, next) || !global) return;
        position = next;
      }
    } else {
      scan.emplace(linear_.re(), subject);
    }
    // The rest of the subject on the linear engine.
    while (scan->Next(position, spans, next) && global) position = next;
  }

  int fallbacks() const override { return fallbacks_; }

 private:
  LinearEngine linear_;
  std::unique_ptr<BacktrackingEngine> backtracking_;
  int groupCount_;
  mutable int fallbacks_ = 0;
};

}  // namespace

std::unique_ptr<Matcher> Matcher::Compile(std::u16string_view pattern,
                                          bool ignoreCase, bool multiline,
                                          EngineChoice choice) {
  TranslatedPattern translated;
  if (!TranslatePattern(pattern, ignoreCase, multiline, translated)) {
    return nullptr;
  }
  auto matcher = std::make_unique<HybridMatcher>(translated, choice);
  if (!matcher->ok()) return nullptr;
  return matcher;
}

}  // namespace velk::platform::regexp

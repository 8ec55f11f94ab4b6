#include "platform/automation/regexp_backtracking.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace velk::platform::regexp {
namespace {

// The work budget, in the library's match-limit counts. The library resets
// its count at every start position of a search and does not count the
// steps of a repeated single character, so the engine compiles the pattern
// anchored (one start position per call, see the dialect's grouping of
// repeated atoms) and does the scan for start positions itself.
//
// Every start position gets kFirstTry counts for free. A position that
// needs more is tried again with a larger limit, paid from a credit of
// kCreditPerUnit counts per unit of the subject; when the credit is spent
// the linear engine takes over at that position. So a run costs at most
// (kFirstTry + kCreditPerUnit) * (n + 1) counts, and a count is a bounded
// amount of work: the time is linear in the subject.
//
// Checks for candidate start units stand in for the library's own
// start-of-match optimisations, which scan ahead without counting.
constexpr uint64_t kFirstTry = 32;
constexpr uint64_t kCreditPerUnit = 32;
constexpr uint64_t kRetryFactor = 4;
// A position is given at most this many times the limit that found the
// last match (and at least kMinCap): a start that needs far more than a
// typical match, such as a broken row on a long line, goes to the linear
// engine at once instead of spending the credit.
constexpr uint64_t kCapFactor = 16;
constexpr uint64_t kMinCap = 16 * 1024;
// Limits of the library's own backtracking stack.
constexpr size_t kStackStart = 32 * 1024;
constexpr size_t kStackMax = 1024 * 1024;

bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

struct Code {
  pcre2_code* code = nullptr;
  ~Code() { pcre2_code_free(code); }
};

pcre2_code* CompileWide(const std::string& pattern, uint32_t options) {
  const std::u16string wide(pattern.begin(), pattern.end());
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  return pcre2_compile(
      reinterpret_cast<PCRE2_SPTR>(wide.data()), wide.size(),
      options | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C,
      &error, &errorOffset, nullptr);
}

}  // namespace

struct BacktrackingEngine::Compiled {
  Code anchored;
  // Which units can start a match: one fixed unit, a bitmap over units
  // below 256 (bit 255 stands for every unit from 255 up), or any.
  enum class Start { kAny, kUnit, kBitmap } start = Start::kAny;
  char16_t firstUnit = 0;
  uint8_t bitmap[32] = {};
  size_t minLength = 0;
  std::vector<PrefixUnit> prefix;

  // The first position at or after `position` where a match can start;
  // `subject.size() + 1` when there is none before the end.
  size_t NextStart(std::u16string_view subject, size_t position) const;

  bool CanStart(char16_t unit) const {
    switch (start) {
      case Start::kAny:
        return true;
      case Start::kUnit:
        // The library reports [Aa] as one caseless first unit, without
        // saying so; both cases of an ASCII letter may start a match.
        return unit == firstUnit || (unit < 0x80 && IsAsciiLetter(unit) &&
                                     (unit | 0x20) == (firstUnit | 0x20));
      case Start::kBitmap: {
        const unsigned c = std::min<unsigned>(unit, 255);
        return (bitmap[c / 8] & (1u << (c % 8))) != 0;
      }
    }
    return true;
  }
};

namespace {

bool SameUnit(char16_t unit, const PrefixUnit& p) {
  return unit == p.unit || (p.foldCase && (unit | 0x20) == (p.unit | 0x20));
}

// The first unit equal to `unit` at or after `from`, found with memchr over
// the units' low bytes; `units.size()` when there is none.
size_t FindUnit(std::u16string_view units, size_t from, char16_t unit) {
  if constexpr (std::endian::native != std::endian::little) {
    const size_t found = units.find(unit, from);
    return found == std::u16string_view::npos ? units.size() : found;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(units.data());
  const size_t end = units.size() * 2;
  size_t at = from * 2;
  const unsigned char low = static_cast<unsigned char>(unit & 0xFF);
  while (at < end) {
    const void* hit = std::memchr(bytes + at, low, end - at);
    if (hit == nullptr) break;
    const size_t offset =
        static_cast<size_t>(static_cast<const unsigned char*>(hit) - bytes);
    if (offset % 2 == 0 && units[offset / 2] == unit) return offset / 2;
    at = offset + 1;
  }
  return units.size();
}

}  // namespace

size_t BacktrackingEngine::Compiled::NextStart(std::u16string_view subject,
                                               size_t position) const {
  const size_t length = subject.size();
  if (!prefix.empty()) {
    const PrefixUnit& first = prefix[0];
    while (true) {
      if (length - position < prefix.size()) return length + 1;
      if (first.foldCase) {
        while (position < length && !SameUnit(subject[position], first)) {
          ++position;
        }
      } else {
        position = FindUnit(subject, position, first.unit);
      }
      if (length - position < prefix.size()) return length + 1;
      size_t i = 1;
      while (i < prefix.size() && SameUnit(subject[position + i], prefix[i])) {
        ++i;
      }
      if (i == prefix.size()) return position;
      ++position;
    }
  }
  if (length - position < minLength) return length + 1;
  if (start != Start::kAny) {
    while (position < length && !CanStart(subject[position])) ++position;
    if (position == length && minLength > 0) return length + 1;
  }
  return position;
}

BacktrackingEngine::BacktrackingEngine(std::unique_ptr<Compiled> compiled)
    : compiled_(std::move(compiled)) {}

BacktrackingEngine::~BacktrackingEngine() = default;

std::unique_ptr<BacktrackingEngine> BacktrackingEngine::Compile(
    const std::string& pattern, const std::vector<PrefixUnit>& prefix) {
  auto compiled = std::make_unique<Compiled>();
  compiled->prefix = prefix;
  // The library's start-of-match optimisations search ahead of the start
  // position without counting; they are off, and the unanchored form of the
  // pattern only tells which units can start a match.
  compiled->anchored.code =
      CompileWide(pattern, PCRE2_ANCHORED | PCRE2_NO_START_OPTIMIZE);
  if (compiled->anchored.code == nullptr ||
      pcre2_jit_compile(compiled->anchored.code, PCRE2_JIT_COMPLETE) != 0) {
    return nullptr;
  }
  Code unanchored;
  unanchored.code = CompileWide(pattern, 0);
  if (unanchored.code == nullptr) return nullptr;
  uint32_t firstType = 0;
  uint32_t minLength = 0;
  const uint8_t* bitmap = nullptr;
  pcre2_pattern_info(unanchored.code, PCRE2_INFO_FIRSTCODETYPE, &firstType);
  pcre2_pattern_info(unanchored.code, PCRE2_INFO_MINLENGTH, &minLength);
  compiled->minLength = minLength;
  if (firstType == 1) {
    uint32_t unit = 0;
    pcre2_pattern_info(unanchored.code, PCRE2_INFO_FIRSTCODEUNIT, &unit);
    compiled->start = Compiled::Start::kUnit;
    compiled->firstUnit = static_cast<char16_t>(unit);
  } else if (firstType == 0 &&
             pcre2_pattern_info(unanchored.code, PCRE2_INFO_FIRSTBITMAP,
                                &bitmap) == 0 &&
             bitmap != nullptr) {
    compiled->start = Compiled::Start::kBitmap;
    std::copy(bitmap, bitmap + 32, compiled->bitmap);
  }
  return std::unique_ptr<BacktrackingEngine>(
      new BacktrackingEngine(std::move(compiled)));
}

BacktrackingEngine::Budget::Budget(size_t subjectLength)
    : credit(kCreditPerUnit * (uint64_t{subjectLength} + 1)),
      typical(kFirstTry * kRetryFactor) {}

BacktrackingEngine::Outcome BacktrackingEngine::Run(
    std::u16string_view subject, size_t from, bool global, int groups,
    std::vector<int>& spans, size_t& resumeAt, Budget& budget) const {
  struct Resources {
    pcre2_match_data* data = nullptr;
    pcre2_match_context* context = nullptr;
    pcre2_jit_stack* stack = nullptr;
    ~Resources() {
      pcre2_match_data_free(data);
      pcre2_match_context_free(context);
      pcre2_jit_stack_free(stack);
    }
  } r;
  resumeAt = from;
  const Compiled& c = *compiled_;
  r.data = pcre2_match_data_create_from_pattern(c.anchored.code, nullptr);
  r.context = pcre2_match_context_create(nullptr);
  r.stack = pcre2_jit_stack_create(kStackStart, kStackMax, nullptr);
  if (r.data == nullptr || r.context == nullptr || r.stack == nullptr) {
    return Outcome::kStopped;
  }
  pcre2_jit_stack_assign(r.context, nullptr, r.stack);
  const auto* units = reinterpret_cast<PCRE2_SPTR>(subject.data());
  const size_t length = subject.size();
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(r.data);
  // `typical` is the limit that last found a match: a retry starts there,
  // since the positions that need more than the first try are mostly real
  // matches.
  uint64_t& credit = budget.credit;
  uint64_t& typical = budget.typical;

  size_t position = from;
  while (position <= length) {
    position = c.NextStart(subject, position);
    if (position > length) return Outcome::kFinished;
    uint64_t limit = kFirstTry;
    bool paid = false;
    if (!c.prefix.empty() && typical > kFirstTry &&
        credit >= typical - kFirstTry) {
      // A position that passed the literal prefix is most likely a match:
      // it gets the limit that found the last one at once, the part above
      // the free try paid from the credit, and saves a call that would
      // only run out.
      credit -= typical - kFirstTry;
      limit = typical;
      paid = true;
    }
    int rc;
    while (true) {
      pcre2_set_match_limit(r.context, static_cast<uint32_t>(limit));
      // The JIT entry point skips the argument checks of pcre2_match: the
      // code is JIT-compiled and the arguments are ours.
      rc = pcre2_jit_match(c.anchored.code, units, length, position, 0, r.data,
                           r.context);
      if (rc != PCRE2_ERROR_MATCHLIMIT) break;
      const uint64_t next = paid ? limit * kRetryFactor
                                 : std::max(typical, kFirstTry * kRetryFactor);
      const uint64_t cap = std::max(kMinCap, typical * kCapFactor);
      if (next > credit || next > UINT32_MAX) {
        resumeAt = position;  // the linear engine goes on from here
        return Outcome::kStopped;
      }
      if (next > cap) {
        resumeAt = position;
        return Outcome::kPositionTooCostly;
      }
      credit -= next;
      limit = next;
      paid = true;
    }
    if (rc == PCRE2_ERROR_NOMATCH) {
      ++position;
      continue;
    }
    if (rc <= 0) {
      // The stack ran out, or an error the linear engine does not have.
      resumeAt = position;
      return Outcome::kStopped;
    }
    if (paid) typical = limit;
    for (int i = 0; i <= groups; ++i) {
      const PCRE2_SIZE a = ovector[2 * i];
      const PCRE2_SIZE b = ovector[2 * i + 1];
      const bool set = i < rc && a != PCRE2_UNSET;
      spans.push_back(set ? static_cast<int>(a) : -1);
      spans.push_back(set ? static_cast<int>(b) : -1);
    }
    if (!global) return Outcome::kFinished;
    position = ovector[1] == ovector[0] ? ovector[1] + 1 : ovector[1];
  }
  return Outcome::kFinished;
}

}  // namespace velk::platform::regexp

#include "platform/automation/regexp_backtracking.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace velk::platform::regexp {
namespace {

// The work budget, in the library's match-limit steps. Each search may take
// kStepsPerCall plus kStepsPerUnit for every unit the previous search moved
// on (the first search: for every unit of the subject). So a whole run takes
// at most 2 * kStepsPerUnit * n + kStepsPerCall * (n + 1) steps.
constexpr uint32_t kStepsPerCall = 256;
constexpr uint32_t kStepsPerUnit = 32;
// The backtracking depth; deeper searches go to the linear engine too.
constexpr uint32_t kDepthLimit = 100000;

}  // namespace

struct BacktrackingEngine::Compiled {
  pcre2_code* code = nullptr;
  ~Compiled() { pcre2_code_free(code); }
};

BacktrackingEngine::BacktrackingEngine(std::unique_ptr<Compiled> compiled)
    : compiled_(std::move(compiled)) {}

BacktrackingEngine::~BacktrackingEngine() = default;

std::unique_ptr<BacktrackingEngine> BacktrackingEngine::Compile(
    const std::string& pattern) {
  std::u16string wide(pattern.begin(), pattern.end());
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  auto compiled = std::make_unique<Compiled>();
  compiled->code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(wide.data()), wide.size(),
                    PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C,
                    &error, &errorOffset, nullptr);
  if (compiled->code == nullptr) return nullptr;
  if (pcre2_jit_compile(compiled->code, PCRE2_JIT_COMPLETE) != 0) {
    return nullptr;
  }
  return std::unique_ptr<BacktrackingEngine>(
      new BacktrackingEngine(std::move(compiled)));
}

bool BacktrackingEngine::Run(std::u16string_view subject, bool global,
                             int groups, std::vector<int>& spans,
                             size_t& resumeAt) const {
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
  resumeAt = 0;
  r.data = pcre2_match_data_create_from_pattern(compiled_->code, nullptr);
  r.context = pcre2_match_context_create(nullptr);
  r.stack = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
  if (r.data == nullptr || r.context == nullptr || r.stack == nullptr) {
    return false;
  }
  pcre2_jit_stack_assign(r.context, nullptr, r.stack);
  pcre2_set_depth_limit(r.context, kDepthLimit);
  const auto* units = reinterpret_cast<PCRE2_SPTR>(subject.data());
  const size_t length = subject.size();
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(r.data);
  size_t start = 0;
  size_t moved = length;
  while (start <= length) {
    const uint64_t limit = kStepsPerCall + uint64_t{kStepsPerUnit} * moved;
    pcre2_set_match_limit(r.context, static_cast<uint32_t>(std::min<uint64_t>(
                                         limit, UINT32_MAX)));
    const int rc = pcre2_match(compiled_->code, units, length, start, 0, r.data,
                               r.context);
    if (rc == PCRE2_ERROR_NOMATCH) return true;
    if (rc <= 0) {
      // The budget, the depth or the stack ran out (or an error the linear
      // engine does not have): the linear engine searches on from here.
      resumeAt = start;
      return false;
    }
    for (int i = 0; i <= groups; ++i) {
      const PCRE2_SIZE a = ovector[2 * i];
      const PCRE2_SIZE b = ovector[2 * i + 1];
      const bool set = i < rc && a != PCRE2_UNSET;
      spans.push_back(set ? static_cast<int>(a) : -1);
      spans.push_back(set ? static_cast<int>(b) : -1);
    }
    if (!global) return true;
    size_t next = ovector[1];
    if (ovector[1] == ovector[0]) ++next;
    moved = next - start;
    start = next;
  }
  return true;
}

}  // namespace velk::platform::regexp

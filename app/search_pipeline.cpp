#include "app/search_pipeline.h"

#include <utility>

#include "net/web_fetch.h"
#include "text/codepage.h"

namespace velk {

const char SearchHost[] = VELK_SEARCH_HOST;

namespace {

class RegexMatcher final : public SearchSteps::Matcher {
 public:
  RegexObject regex;
};

}  // namespace

SearchPipeline::SearchPipeline(Text host, Text rowPattern)
    : host_(std::move(host)), rowPattern_(std::move(rowPattern)) {}

std::unique_ptr<SearchSteps::Matcher> SearchPipeline::NewMatcher() {
  return std::make_unique<RegexMatcher>();
}

Text SearchPipeline::BuildSearchUrl(const Text& keyword) {
  return ConcatText(host_, "/search/", keyword, "/");
}

Text SearchPipeline::FetchSearchPage(const Text& url) {
  FetchRequest request;
  request.url = url;
  FetchResult result;
  Text page = BytesToText(WebFetch(request, result));
  // Converting a 936 text "from UTF-8" again would turn every Chinese
  // character into "?" and lose text, so only a text that can be UTF-8 is
  // converted.
  if (IsWellFormedUtf8(page)) page = Utf8TextToGbk(page);
  return page;
}

SearchOutcome SearchPipeline::ExtractRows(Matcher& matcher, const Text& page,
                                          std::vector<ResultRow>& rows) {
  return ExtractRowsWith(rowPattern_, static_cast<RegexMatcher&>(matcher).regex,
                         page, rows);
}

SearchOutcome SearchPipeline::ExtractRows(RegexObject& regex, const Text& page,
                                          std::vector<ResultRow>& rows) {
  return ExtractRowsWith(RowPattern, regex, page, rows);
}

SearchOutcome SearchPipeline::ExtractRowsWith(const Text& pattern,
                                              RegexObject& regex,
                                              const Text& page,
                                              std::vector<ResultRow>& rows) {
  if (!regex.Create(pattern, page, /*caseSensitive=*/false,
                    /*multiline=*/true, /*global=*/true,
                    /*replaceQuotePlaceholder=*/true)) {
    return SearchOutcome::EngineFailed;
  }
  int count = regex.MatchCount();
  if (count <= 0) return SearchOutcome::NothingFound;
  rows.reserve(static_cast<size_t>(count));
  for (int i = 1; i <= count; ++i) {
    ResultRow& row = rows.emplace_back();
    row.name = regex.SubmatchText(i, 1);
    row.size = regex.SubmatchText(i, 2);
    row.link = regex.SubmatchText(i, 4);
  }
  return SearchOutcome::RowsFound;
}

bool IsWellFormedUtf8(const Text& text) {
  std::string_view s = text.view();
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      if (b == 0xE0) low = 0xA0;   // overlong
      if (b == 0xED) high = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      if (b == 0xF0) low = 0x90;   // overlong
      if (b == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (s.size() - i <= static_cast<size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char c =
          static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      unsigned char lo = k == 1 ? low : 0x80;
      unsigned char hi = k == 1 ? high : 0xBF;
      if (c < lo || c > hi) return false;
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

}  // namespace velk

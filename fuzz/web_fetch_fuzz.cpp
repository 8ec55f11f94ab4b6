// Response reading and cookie merging over arbitrary header blocks, bodies
// and cookie lists, with checks of what must hold for every input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/cookies.h"
#include "net/response.h"
#include "net/url.h"
#include "text/text.h"

namespace {

bool EndsWith(const velk::Text& text, const velk::Text& tail) {
  return velk::CompareText(velk::TextRight(text, velk::TextLength(tail)),
                           tail) == 0 &&
         velk::TextLength(text) >= velk::TextLength(tail);
}

// A merged list: items without blanks or deletion marks, no repeats.
void CheckMerged(const velk::Text& merged, const velk::Text& returned) {
  FUZZ_CHECK(velk::RemoveAllSpaces(returned) == returned);
  velk::TextArray items = velk::SplitText(merged, velk::Text("; "));
  for (int i = 1; i <= velk::MemberCount(items); ++i) {
    FUZZ_CHECK(velk::RemoveAllSpaces(items[i]) == items[i]);
    FUZZ_CHECK(velk::TextLength(items[i]) < 8 ||
               !EndsWith(items[i], "=deleted"));
  }
  for (int i = 1; i <= velk::MemberCount(items); ++i) {
    for (int j = i + 1; j <= velk::MemberCount(items); ++j) {
      FUZZ_CHECK(velk::CompareText(items[i], items[j]) != 0);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const bool cookiesGiven = input.ConsumeBool();
  const bool mayFollow = input.ConsumeBool();
  const velk::Text rawHeaders(input.ConsumeRandomLengthString(2048));
  const velk::Bytes body(input.ConsumeRandomLengthString(2048));
  const velk::Text cookies(input.ConsumeRandomLengthString(512));
  const velk::Text url(input.ConsumeRandomLengthString(256));
  const velk::Text location(input.ConsumeRandomLengthString(1024));

  velk::FetchRequest request;
  request.url = url;
  request.cookies = cookies;
  request.cookiesGiven = cookiesGiven;
  velk::FetchResult result;
  result.rawHeaders = rawHeaders;
  result.location = location;
  velk::ResponseOutcome outcome =
      velk::InterpretResponse(url, request, result, body, mayFollow);

  FUZZ_CHECK(result.rawHeaders == rawHeaders);
  if (cookiesGiven) {
    CheckMerged(request.cookies, result.returnedCookies);
  } else {
    FUZZ_CHECK(request.cookies == cookies);
    FUZZ_CHECK(result.returnedCookies.empty() ||
               EndsWith(result.returnedCookies, "; "));
  }
  if (outcome.followUp) {
    FUZZ_CHECK(mayFollow);
    FUZZ_CHECK(result.location.empty());
    FUZZ_CHECK(outcome.body.empty());
    FUZZ_CHECK(EndsWith(outcome.nextUrl, velk::UrlPath(url)));
  } else {
    // A header block or an incoming location always leaves a location.
    FUZZ_CHECK(result.location.empty() ==
               (rawHeaders.empty() && location.empty()));
    const bool utf8 =
        velk::FindBytes(body, velk::Bytes(std::string_view("charset=utf-8"))) >
            0 ||
        velk::FindText(rawHeaders, "charset=utf-8", std::nullopt, false) > 0;
    if (!utf8) FUZZ_CHECK(outcome.body == body);
  }

  // The merge on its own, with lists shaped like a response's.
  velk::Text mine = cookies;
  velk::Text theirs = location;
  velk::Text copy = velk::MergeCookies(mine, theirs);
  FUZZ_CHECK(copy == mine);
  CheckMerged(mine, theirs);
  return 0;
}

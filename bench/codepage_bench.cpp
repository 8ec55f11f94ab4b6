// Converting a mostly-Chinese UTF-8 page of 1 MB and 10 MB to code page 936
// with Utf8BytesToGbk and Utf8TextToGbk, against the same bytes converted
// in one raw ICU pass (ucnv_convertEx, UTF-8 to windows-936) and with glibc
// iconv, all in the same run. Each routine makes two calls (sizing and
// conversion) in each of two steps (UTF-8 to UTF-16, UTF-16 to 936), so the
// raw pass is the floor.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "text/codepage.h"
#include "text/text.h"

namespace velk {
namespace {

constexpr int kMegabyte = 1 << 20;

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// A result page: rows of markup around Chinese names (ideographs from
// U+4E00..U+9FA5, all in 936) with sizes and a link, so most bytes belong
// to three-byte characters and the rest are ASCII runs.
std::string MakePage(int megabytes) {
  const size_t size = static_cast<size_t>(megabytes) * kMegabyte;
  std::string page;
  page.reserve(size + 256);
  uint32_t seed = 2463534242u;
  auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return seed;
  };
  while (page.size() < size) {
    page += "<tr><td class=\"name\">";
    int characters = 40 + static_cast<int>(next() % 40);
    for (int i = 0; i < characters; ++i) {
      AppendUtf8(page, 0x4E00 + next() % (0x9FA6 - 0x4E00));
    }
    page += "</td><td>1.2 GB</td><td><a href=\"/d/";
    page += std::to_string(next() % 100000);
    page += "\">";
    for (int i = 0; i < 4; ++i) AppendUtf8(page, 0x4E00 + next() % 0x5000);
    page += "</a></td></tr>\n";
  }
  return page;
}

const std::string& Page(int megabytes) {
  static std::map<int, std::string> pages;
  auto found = pages.find(megabytes);
  if (found == pages.end()) {
    found = pages.emplace(megabytes, MakePage(megabytes)).first;
  }
  return found->second;
}

// The one-pass ICU conversion; the output buffer is made once, outside the
// timed loop. Returns the output length, or -1 on failure.
class IcuPass {
 public:
  IcuPass() {
    UErrorCode status = U_ZERO_ERROR;
    utf8_ = ucnv_open("UTF-8", &status);
    gbk_ = ucnv_open("windows-936", &status);
    if (gbk_ != nullptr) ucnv_setFallback(gbk_, true);
    ok_ = U_SUCCESS(status);
  }
  ~IcuPass() {
    if (utf8_ != nullptr) ucnv_close(utf8_);
    if (gbk_ != nullptr) ucnv_close(gbk_);
  }
  IcuPass(const IcuPass&) = delete;
  IcuPass& operator=(const IcuPass&) = delete;

  int64_t Convert(const std::string& input, std::vector<char>& output) {
    if (!ok_) return -1;
    char* target = output.data();
    const char* source = input.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(gbk_, utf8_, &target, output.data() + output.size(), &source,
                   input.data() + input.size(), nullptr, nullptr, nullptr,
                   nullptr, true, true, &status);
    if (U_FAILURE(status)) return -1;
    return target - output.data();
  }

 private:
  UConverter* utf8_ = nullptr;
  UConverter* gbk_ = nullptr;
  bool ok_ = false;
};

void BM_Utf8BytesToGbk(benchmark::State& state) {
  const Bytes page(Page(static_cast<int>(state.range(0))));
  int64_t length = 0;
  for (auto _ : state) {
    Bytes gbk = Utf8BytesToGbk(page);
    length = gbk.length();
    benchmark::DoNotOptimize(gbk.data());
  }
  benchmark::DoNotOptimize(length);
  state.SetBytesProcessed(state.iterations() * page.length());
}

void BM_Utf8TextToGbk(benchmark::State& state) {
  const Text page(Page(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    Text gbk = Utf8TextToGbk(page);
    benchmark::DoNotOptimize(gbk.c_str());
  }
  state.SetBytesProcessed(state.iterations() * page.length());
}

void BM_IcuConvertEx(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  IcuPass icu;
  std::vector<char> output(page.size());
  // The routines must give the same bytes, or the comparison is void.
  int64_t length = icu.Convert(page, output);
  if (length < 0 ||
      Utf8BytesToGbk(Bytes(page)).view() !=
          std::string_view(output.data(), static_cast<size_t>(length))) {
    state.SkipWithError("ICU and Utf8BytesToGbk disagree");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(icu.Convert(page, output));
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(page.size()));
}

void BM_Iconv(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  iconv_t handle = iconv_open("CP936", "UTF-8");
  if (handle == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("no CP936 in iconv");
    return;
  }
  std::vector<char> output(page.size());
  for (auto _ : state) {
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(page.data());
    size_t inLeft = page.size();
    char* out = output.data();
    size_t outLeft = output.size();
    size_t result = iconv(handle, &in, &inLeft, &out, &outLeft);
    if (result == static_cast<size_t>(-1)) {
      state.SkipWithError("iconv failed");
      break;
    }
    benchmark::DoNotOptimize(out);
  }
  iconv_close(handle);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(page.size()));
}

BENCHMARK(BM_Utf8BytesToGbk)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8TextToGbk)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IcuConvertEx)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iconv)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velk

int main(int argc, char** argv) {
  std::vector<velk::bench::Ratio> ratios;
  for (const char* size : {"1", "10"}) {
    const std::string mb = std::string(size) + " MB";
    for (const char* routine : {"Utf8BytesToGbk", "Utf8TextToGbk"}) {
      const std::string name = std::string("BM_") + routine + "/" + size;
      ratios.push_back({std::string(routine) + " / ICU pass, " + mb, name,
                        std::string("BM_IcuConvertEx/") + size, "<= 2.5"});
      ratios.push_back({std::string(routine) + " / iconv, " + mb, name,
                        std::string("BM_Iconv/") + size, "< 1.0"});
    }
  }
  return velk::bench::RunWithRatios(argc, argv, ratios);
}

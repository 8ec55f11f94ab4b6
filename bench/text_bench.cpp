// Searching a 5-byte marker in 1 MB of mostly Chinese text: FindText (which
// walks by characters) and FindBytes against glibc memmem over the same
// bytes. The marker sits at the very end, so every search reads the whole
// text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench/ratio_reporter.h"
#include "text/extract.h"
#include "text/text.h"

namespace velk {
namespace {

constexpr int kSize = 1 << 20;

// Two-byte characters from the GBK range with an ASCII byte now and then,
// the marker last. `misaligned` puts the marker's bytes at second-byte
// offsets throughout, the worst case for the character check.
std::string MakeText(bool misaligned) {
  std::string text;
  text.reserve(kSize + 16);
  unsigned seed = 12345;
  const std::string marker = QuotePlaceholder;
  while (text.size() < kSize) {
    seed = seed * 1103515245u + 12345u;
    const unsigned r = (seed >> 16) & 0x7FFF;
    if (misaligned && r % 16 == 0) {
      text += '\xB0';  // lead byte: the marker that follows is its tail
      text += marker;
    } else if (r % 10 == 0) {
      text += static_cast<char>('a' + r % 26);
    } else {
      text += static_cast<char>(0xB0 + r % 0x40);
      text += static_cast<char>(0xA1 + (r >> 6) % 0x5E);
    }
  }
  if (misaligned && text.size() % 2 == 1) text += 'x';
  text += marker;
  return text;
}

const Text& Haystack(bool misaligned) {
  static const Text plain(MakeText(false));
  static const Text odd(MakeText(true));
  return misaligned ? odd : plain;
}

void BM_FindText(benchmark::State& state) {
  const Text& text = Haystack(state.range(0) != 0);
  const Text marker(QuotePlaceholder);
  int found = 0;
  for (auto _ : state) {
    found = FindText(text, marker, std::nullopt, false);
    benchmark::DoNotOptimize(found);
  }
  if (found != text.length() - marker.length() + 1) {
    state.SkipWithError("marker not found at the end");
  }
  state.SetBytesProcessed(state.iterations() * text.length());
}

void BM_FindBytes(benchmark::State& state) {
  const Bytes bytes = TextToBytes(Haystack(state.range(0) != 0));
  const Bytes marker(QuotePlaceholder);
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindBytes(bytes, marker));
  }
  state.SetBytesProcessed(state.iterations() * bytes.length());
}

void BM_Memmem(benchmark::State& state) {
  const Text& text = Haystack(state.range(0) != 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        memmem(text.c_str(), static_cast<size_t>(text.length()),
               QuotePlaceholder, std::strlen(QuotePlaceholder)));
  }
  state.SetBytesProcessed(state.iterations() * text.length());
}

BENCHMARK(BM_FindText)->Arg(0)->Arg(1);
BENCHMARK(BM_FindBytes)->Arg(0);
BENCHMARK(BM_Memmem)->Arg(0);

}  // namespace
}  // namespace velk

int main(int argc, char** argv) {
  // Throughput as a share of memmem's is time(memmem) / time(ours).
  return velk::bench::RunWithRatios(
      argc, argv,
      {
          {"memmem / FindText (throughput share)", "BM_Memmem/0",
           "BM_FindText/0", ">= 0.25"},
          {"memmem / FindBytes (throughput share)", "BM_Memmem/0",
           "BM_FindBytes/0", ">= 0.25"},
          {"memmem / FindText, marker bytes at second bytes throughout",
           "BM_Memmem/0", "BM_FindText/1", "(worst case, no target)"},
      });
}

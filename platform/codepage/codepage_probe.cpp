// A line protocol over the code page service, for debugging and for
// comparing the service with other converters from a script.
//
//   m2w CP FLAGS INLEN HEXBYTES CAPACITY  ->  m2w ret=N out=HEX
//   w2m CP FLAGS INLEN HEXUNITS CAPACITY  ->  w2m ret=N out=HEX
//
// CP and FLAGS are decimal or 0x-hex; INLEN may be -1. HEXBYTES is two hex
// digits a byte, HEXUNITS four a UTF-16 unit (most significant first), "-"
// is empty. The input is followed by zero padding, so -1 finds a
// terminator. The output buffer is filled with 0xCC (0xCCCC) before the call
// and `out` shows all CAPACITY elements; CAPACITY 0 is the sizing call with
// no buffer and prints out=-. Lines starting with '#' and empty lines are
// skipped; a line that cannot be read is answered with "error ...".
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage/codepage.h"

namespace {

// Zero elements after the input: enough for a -1 call to find a terminator
// of either width.
constexpr size_t kPadding = 4;
// A bound on the output buffer a line may ask for.
constexpr long kMaxCapacity = 1 << 24;

std::optional<long> ParseNumber(const std::string& word) {
  if (word.empty()) return std::nullopt;
  char* end = nullptr;
  long value = std::strtol(word.c_str(), &end, 0);
  if (*end != '\0') return std::nullopt;
  return value;
}

// Reads `digits` hex digits per element.
std::optional<std::vector<unsigned>> ParseHex(const std::string& word,
                                              size_t digits) {
  std::vector<unsigned> values;
  if (word == "-") return values;
  if (word.empty() || word.size() % digits != 0) return std::nullopt;
  for (size_t at = 0; at < word.size(); at += digits) {
    unsigned value = 0;
    for (size_t k = 0; k < digits; ++k) {
      char c = word[at + k];
      unsigned digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<unsigned>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
      value = value * 16 + digit;
    }
    values.push_back(value);
  }
  return values;
}

template <typename Element>
std::string Hex(const std::vector<Element>& values, size_t digits) {
  if (values.empty()) return "-";
  std::string text;
  char piece[8];
  for (Element value : values) {
    std::snprintf(piece, sizeof piece, "%0*x", static_cast<int>(digits),
                  static_cast<unsigned>(value));
    text += piece;
  }
  return text;
}

std::string Answer(const std::string& line) {
  std::istringstream words(line);
  std::string verb, cpWord, flagsWord, lengthWord, dataWord, capacityWord,
      extra;
  if (!(words >> verb >> cpWord >> flagsWord >> lengthWord >> dataWord >>
        capacityWord) ||
      (words >> extra)) {
    return "error: expected VERB CP FLAGS INLEN HEX CAPACITY";
  }
  bool toWide = verb == "m2w";
  if (!toWide && verb != "w2m") return "error: unknown verb " + verb;
  std::optional<long> codePage = ParseNumber(cpWord);
  std::optional<long> flags = ParseNumber(flagsWord);
  std::optional<long> length = ParseNumber(lengthWord);
  std::optional<long> capacity = ParseNumber(capacityWord);
  if (!codePage || !flags || !length || !capacity || *capacity < 0 ||
      *capacity > kMaxCapacity || *flags < 0) {
    return "error: bad number";
  }
  std::optional<std::vector<unsigned>> data =
      ParseHex(dataWord, toWide ? 2 : 4);
  if (!data) return "error: bad hex";
  // An explicit length may not reach past the data and its padding.
  if (*length > static_cast<long>(data->size() + kPadding)) {
    return "error: INLEN beyond the input";
  }

  int cp = static_cast<int>(*codePage);
  auto flagBits = static_cast<unsigned>(*flags);
  int inLength = static_cast<int>(*length);
  int room = static_cast<int>(*capacity);
  std::ostringstream answer;
  if (toWide) {
    std::vector<char> input(data->begin(), data->end());
    input.resize(input.size() + kPadding, 0);
    std::vector<char16_t> output(static_cast<size_t>(room), 0xCCCC);
    int result = velk::platform::MultiByteToWide(
        cp, flagBits, input.data(), inLength,
        room == 0 ? nullptr : output.data(), room);
    answer << "m2w ret=" << result << " out=" << Hex(output, 4);
  } else {
    std::vector<char16_t> input(data->begin(), data->end());
    input.resize(input.size() + kPadding, 0);
    std::vector<unsigned char> output(static_cast<size_t>(room), 0xCC);
    int result = velk::platform::WideToMultiByte(
        cp, flagBits, input.data(), inLength,
        room == 0 ? nullptr : reinterpret_cast<char*>(output.data()), room);
    answer << "w2m ret=" << result << " out=" << Hex(output, 2);
  }
  return answer.str();
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::cout << Answer(line) << '\n' << std::flush;
  }
  return 0;
}

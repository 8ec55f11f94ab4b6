#include "text/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>

namespace velk {
namespace {

constexpr unsigned char kSpace = 0x20;
constexpr unsigned char kFullWidthLead = 0xA1;  // 0xA1 0xA1 is the full-width
                                                // space
bool IsLead(unsigned char c) { return c >= 0x80; }

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

const unsigned char* Data(const Text& text) {
  return reinterpret_cast<const unsigned char*>(text.c_str());
}

// Whether `sought` equals the bytes of `text` at `offset`. REQUIRES: the
// bytes are there.
bool MatchAt(const unsigned char* text, int offset, const unsigned char* sought,
             int soughtLength, bool ignoreCase) {
  const unsigned char* p = text + offset;
  if (!ignoreCase) return std::memcmp(p, sought, soughtLength) == 0;
  for (int i = 0; i < soughtLength; ++i) {
    if (FoldAscii(p[i]) != FoldAscii(sought[i])) return false;
  }
  return true;
}

// Whether 0-based `offset` starts a character when the walk started at
// `known`, a character start at or before it. The byte after any byte below
// 0x80 starts a character (that byte was either a character of its own or
// the second byte of one), so only the run of lead-range bytes directly
// before `offset` decides: they pair up from the start of the run.
bool StartsCharacter(const unsigned char* text, int known, int offset) {
  int p = offset;
  while (p > known && IsLead(text[p - 1])) --p;
  return (offset - p) % 2 == 0;
}

// Next candidate offset >= `from` where the bytes of `sought` occur, or -1.
// Byte-exact or ASCII-folded; ignores character boundaries.
int NextCandidate(const unsigned char* text, int length, int from,
                  const unsigned char* sought, int soughtLength,
                  bool ignoreCase) {
  if (length - from < soughtLength) return -1;
  if (!ignoreCase) {
    const void* hit = memmem(text + from, static_cast<size_t>(length - from),
                             sought, static_cast<size_t>(soughtLength));
    return hit == nullptr ? -1
                          : static_cast<int>(
                                static_cast<const unsigned char*>(hit) - text);
  }
  const unsigned char first = FoldAscii(sought[0]);
  const int last = length - soughtLength;
  for (int i = from; i <= last; ++i) {
    if (FoldAscii(text[i]) == first &&
        MatchAt(text, i, sought, soughtLength, true)) {
      return i;
    }
  }
  return -1;
}

bool IsBlankAt(const unsigned char* text, int length, int offset) {
  if (text[offset] == kSpace) return true;
  return text[offset] == kFullWidthLead && offset + 1 < length &&
         text[offset + 1] == kFullWidthLead;
}

void PrintEscaped(std::ostream& out, std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out << ch;
    } else {
      out << "\\x" << kHex[c >> 4] << kHex[c & 0xF];
    }
  }
}

}  // namespace

Text::Text(const char* s) : bytes_(s == nullptr ? "" : s) {}

Text::Text(std::string_view s) : bytes_(s.substr(0, s.find('\0'))) {}

std::ostream& operator<<(std::ostream& out, const Text& text) {
  out << '\'';
  PrintEscaped(out, text.view());
  return out << '\'';
}

std::ostream& operator<<(std::ostream& out, const Bytes& bytes) {
  out << "Bytes[" << bytes.length() << "]'";
  PrintEscaped(out, bytes.view());
  return out << '\'';
}

std::ostream& operator<<(std::ostream& out, const TextArray& array) {
  out << '{';
  for (int i = 1; i <= array.count(); ++i) {
    if (i > 1) out << ", ";
    out << array[i];
  }
  return out << '}';
}

int TextLength(const Text& text) { return text.length(); }

int BytesLength(const Bytes& bytes) { return bytes.length(); }

Text TextLeft(const Text& text, int n) {
  if (n <= 0) return Text();
  return Text(text.view().substr(0, static_cast<size_t>(n)));
}

Text TextRight(const Text& text, int n) {
  if (n <= 0) return Text();
  if (n >= text.length()) return text;
  return Text(text.view().substr(static_cast<size_t>(text.length() - n)));
}

Text TextMid(const Text& text, int start, int n) {
  if (start < 1 || start > text.length() || n <= 0) return Text();
  return Text(text.view().substr(static_cast<size_t>(start - 1),
                                 static_cast<size_t>(n)));
}

Text CharFromCode(int code) {
  if (code == 0) return Text();
  const char byte = static_cast<char>(code & 0xFF);
  return Text(std::string_view(&byte, 1));
}

int FindText(const Text& text, const Text& sought, std::optional<int> start,
             bool ignoreCase) {
  const int length = text.length();
  const int from = start ? std::max(*start - 1, 0) : 0;
  if (from >= length) return -1;
  const int soughtLength = sought.length();
  if (soughtLength == 0) return 1;

  // Candidates come from a fast byte search; each one is then checked to
  // start a character of the walk that begins at `from`. `known` is always
  // a character start, and moves forward, so the checks together read each
  // byte at most once.
  const unsigned char* p = Data(text);
  const unsigned char* s = Data(sought);
  int known = from;
  int candidate = from;
  while ((candidate = NextCandidate(p, length, candidate, s, soughtLength,
                                    ignoreCase)) >= 0) {
    if (StartsCharacter(p, known, candidate)) return candidate + 1;
    // `candidate` is the second byte of a character, so the next byte
    // starts one.
    known = candidate + 1;
    candidate = known;
  }
  return -1;
}

int FindTextReverse(const Text& text, const Text& sought,
                    std::optional<int> start, bool ignoreCase) {
  const int length = text.length();
  const int end = start ? std::min(*start - 1, length) : length;
  if (end <= 0) return -1;
  const int soughtLength = sought.length();
  if (soughtLength == 0) return 1;

  const unsigned char* p = Data(text);
  const unsigned char* s = Data(sought);
  int found = -1;
  for (int i = 0; i + soughtLength <= end;) {
    if (MatchAt(p, i, s, soughtLength, ignoreCase)) found = i + 1;
    if (IsLead(p[i])) {
      if (i + 1 >= length) break;  // truncated final character
      i += 2;
    } else {
      ++i;
    }
  }
  return found;
}

int FindBytes(const Bytes& bytes, const Bytes& sought,
              std::optional<int> start) {
  const int length = bytes.length();
  const int soughtLength = sought.length();
  if (soughtLength == 0) return -1;
  const int from = start ? std::max(*start - 1, 0) : 0;
  if (from >= length || length - from < soughtLength) return -1;
  const void* hit =
      memmem(bytes.data() + from, static_cast<size_t>(length - from),
             sought.data(), static_cast<size_t>(soughtLength));
  if (hit == nullptr) return -1;
  return static_cast<int>(static_cast<const unsigned char*>(hit) -
                          bytes.data()) +
         1;
}

Text ToLower(const Text& text) {
  std::string out(text.view());
  const int length = text.length();
  for (int i = 0; i < length;) {
    const auto c = static_cast<unsigned char>(out[static_cast<size_t>(i)]);
    if (IsLead(c)) {
      i += 2;  // both bytes stay; a truncated final byte stays too
    } else {
      out[static_cast<size_t>(i)] = static_cast<char>(FoldAscii(c));
      ++i;
    }
  }
  return Text(out);
}

int ToInteger(const Text& text) {
  // Full-width digits, signs and letters become ASCII first.
  std::string ascii;
  ascii.reserve(static_cast<size_t>(text.length()));
  const unsigned char* p = Data(text);
  const int length = text.length();
  for (int i = 0; i < length;) {
    const unsigned char c = p[i];
    if (!IsLead(c)) {
      ascii.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (i + 1 >= length) break;  // truncated final character is dropped
    const unsigned char d = p[i + 1];
    if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
      ascii.push_back(static_cast<char>(d - 0x80));
    } else if (c == 0xA1 && d == 0xA1) {
      ascii.push_back(' ');
    } else if (c == 0xA1 && d == 0xAB) {
      ascii.push_back('~');
    } else if (c == 0xA1 && (d == 0xEE || d == 0xEF)) {
      ascii.push_back('*');
    } else {
      ascii.push_back(static_cast<char>(c));
      ascii.push_back(static_cast<char>(d));
    }
    i += 2;
  }

  size_t i = 0;
  while (i < ascii.size() && std::strchr(" \t\n\v\f\r", ascii[i]) != nullptr &&
         ascii[i] != '\0') {
    ++i;
  }
  bool negative = false;
  if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) {
    negative = ascii[i] == '-';
    ++i;
  }
  // Digits accumulate modulo 2^32, as 32-bit arithmetic wraps.
  uint32_t value = 0;
  for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
    value = value * 10u + static_cast<uint32_t>(ascii[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

Text TrimBoth(const Text& text) {
  const unsigned char* p = Data(text);
  const int length = text.length();
  int begin = 0;
  while (begin < length && IsBlankAt(p, length, begin)) {
    begin += p[begin] == kSpace ? 1 : 2;
  }
  // Walk the rest by characters; `end` follows the last non-blank one.
  int end = begin;
  for (int i = begin; i < length;) {
    if (IsLead(p[i]) && i + 1 >= length) {
      // A truncated final character: only that byte goes.
      end = i;
      break;
    }
    const bool blank = IsBlankAt(p, length, i);
    i += IsLead(p[i]) ? 2 : 1;
    if (!blank) end = i;
  }
  return Text(text.view().substr(static_cast<size_t>(begin),
                                 static_cast<size_t>(end - begin)));
}

Text RemoveAllSpaces(const Text& text) {
  const unsigned char* p = Data(text);
  const int length = text.length();
  std::string out;
  out.reserve(static_cast<size_t>(length));
  for (int i = 0; i < length;) {
    if (IsLead(p[i])) {
      if (i + 1 >= length) break;  // truncated final character is dropped
      if (!IsBlankAt(p, length, i)) out.append(text.c_str() + i, 2);
      i += 2;
    } else {
      if (p[i] != kSpace) out.push_back(static_cast<char>(p[i]));
      ++i;
    }
  }
  return Text(out);
}

Text ReplaceText(const Text& text, const Text& sought,
                 std::optional<Text> replacement, std::optional<int> start,
                 std::optional<int> count, bool caseSensitive) {
  const int length = text.length();
  const int soughtLength = sought.length();
  const int from = start ? std::max(*start - 1, 0) : 0;
  if (length == 0 || soughtLength == 0 || from >= length ||
      (count && *count == 0)) {
    return text;
  }
  const std::string_view with =
      replacement ? replacement->view() : std::string_view();
  int remaining = (count && *count > 0) ? *count : -1;

  const unsigned char* p = Data(text);
  const unsigned char* s = Data(sought);
  std::string out(text.view().substr(0, static_cast<size_t>(from)));
  out.reserve(static_cast<size_t>(length));
  int i = from;
  while (i < length) {
    if (length - i < soughtLength) {
      out.append(text.c_str() + i, static_cast<size_t>(length - i));
      break;
    }
    if (MatchAt(p, i, s, soughtLength, !caseSensitive)) {
      out.append(with);
      i += soughtLength;
      if (remaining > 0 && --remaining == 0) {
        out.append(text.c_str() + i, static_cast<size_t>(length - i));
        break;
      }
      continue;
    }
    if (IsLead(p[i])) {
      if (i + 1 >= length) break;  // truncated final character is dropped
      out.append(text.c_str() + i, 2);
      i += 2;
    } else {
      out.push_back(static_cast<char>(p[i]));
      ++i;
    }
  }
  return Text(out);
}

TextArray SplitText(const Text& text, std::optional<Text> delimiter,
                    std::optional<int> limit) {
  TextArray members;
  const int maxMembers = limit ? std::max(*limit, 0) : -1;
  if (text.empty() || maxMembers == 0) return members;
  const Text delim = delimiter ? *delimiter : Text(",");
  if (delim.empty()) {
    members.Append(text);
    return members;
  }

  const unsigned char* p = Data(text);
  const unsigned char* d = Data(delim);
  const int length = text.length();
  const int delimLength = delim.length();
  int begin = 0;
  int i = 0;
  while (i < length && length - i >= delimLength) {
    if (MatchAt(p, i, d, delimLength, false)) {
      members.Append(Text(text.view().substr(static_cast<size_t>(begin),
                                             static_cast<size_t>(i - begin))));
      i += delimLength;
      begin = i;
      if (members.count() == maxMembers) return members;
      continue;
    }
    if (IsLead(p[i])) {
      if (i + 1 >= length) break;  // truncated final character ends the walk
      i += 2;
    } else {
      ++i;
    }
  }
  if (length > begin) {
    members.Append(Text(text.view().substr(static_cast<size_t>(begin))));
  }
  return members;
}

Bytes TextToBytes(const Text& text) { return Bytes(text.view()); }

Text BytesToText(const Bytes& bytes) { return Text(bytes.view()); }

Text NumberToText(int number) { return Text(std::to_string(number)); }

Text BlankText(int n) {
  if (n <= 0) return Text();
  return Text(std::string(static_cast<size_t>(n), ' '));
}

Bytes BlankBytes(int n) {
  if (n <= 0) return Bytes();
  return Bytes(std::string(static_cast<size_t>(n), '\0'));
}

Bytes BytesLeft(const Bytes& bytes, int n) {
  if (n <= 0) return Bytes();
  return Bytes(bytes.view().substr(0, static_cast<size_t>(n)));
}

int CompareText(const Text& a, const Text& b) {
  return std::strcmp(a.c_str(), b.c_str());
}

int CompareBytes(const Bytes& a, const Bytes& b) { return a == b ? 0 : 1; }

int MemberCount(const TextArray& array) { return array.count(); }

void AppendMember(TextArray& array, const Text& text) { array.Append(text); }

Text ConcatTextList(std::initializer_list<Text> parts) {
  size_t total = 0;
  for (const Text& part : parts) total += part.str().size();
  std::string out;
  out.reserve(total);
  for (const Text& part : parts) out += part.str();
  return Text(out);
}

Bytes ConcatBytesList(std::initializer_list<Bytes> parts) {
  std::string out;
  for (const Bytes& part : parts) out += part.str();
  return Bytes(std::move(out));
}

}  // namespace velk

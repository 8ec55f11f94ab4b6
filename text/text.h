// The value types every routine of the program is written in, and the
// primitives over them.
//
// Text is code page 936 (GBK) bytes; ASCII bytes are ASCII. Positions are
// 1-based byte positions and a search that finds nothing gives -1. Counts and
// lengths of zero or less give the empty value; a start position of zero or
// less makes a forward search begin at the first byte. Absent and empty are
// one value everywhere: a default-constructed Text, Bytes or TextArray is
// empty. Every routine is pure: it reads its arguments and returns a fresh
// value.
//
// Character-aware routines walk a text by characters: a byte below 0x80 is
// one character, a byte of 0x80 or above takes the following byte with it.
// A match is never looked for at a second byte, and a lead byte directly
// before the end of the text (a truncated character) ends the walk.
#ifndef VELK_TEXT_TEXT_H_
#define VELK_TEXT_TEXT_H_

#include <cassert>
#include <concepts>
#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

// A NUL-free byte string in code page 936. Its length is the number of bytes.
class Text {
 public:
  Text() = default;
  // The bytes of `s` up to its terminating NUL; nullptr is the empty text.
  // Implicit, so that literals read as texts: FindText(t, "://", ...).
  Text(const char* s);  // NOLINT(google-explicit-constructor)
  // The bytes of `s` before its first NUL byte, or all of them.
  explicit Text(std::string_view s);

  int length() const { return static_cast<int>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }
  // Terminated storage, for platform calls that take a C string.
  const char* c_str() const { return bytes_.c_str(); }
  std::string_view view() const { return bytes_; }
  const std::string& str() const { return bytes_; }
  // The byte at 0-based `offset`. REQUIRES: 0 <= offset < length().
  unsigned char at(int offset) const {
    assert(offset >= 0 && offset < length());
    return static_cast<unsigned char>(bytes_[static_cast<size_t>(offset)]);
  }

  friend bool operator==(const Text&, const Text&) = default;

 private:
  std::string bytes_;
};

// A counted byte string that may hold any byte, NUL included. UTF-16 text
// travels in Bytes as little-endian 16-bit units.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view data) : data_(data) {}
  explicit Bytes(std::string&& data) : data_(std::move(data)) {}
  // The bytes of a C string up to its terminating NUL.
  explicit Bytes(const char* s) : data_(s == nullptr ? "" : s) {}
  Bytes(const void* data, size_t size)
      : data_(static_cast<const char*>(data), size) {}

  int length() const { return static_cast<int>(data_.size()); }
  bool empty() const { return data_.empty(); }
  const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(data_.data());
  }
  unsigned char* mutable_data() {
    return reinterpret_cast<unsigned char*>(data_.data());
  }
  std::string_view view() const { return data_; }
  const std::string& str() const { return data_; }
  // Appends raw bytes; used where a routine builds its result piece by piece.
  void Append(const void* data, size_t size) {
    data_.append(static_cast<const char*>(data), size);
  }
  void Append(const Bytes& more) { data_ += more.data_; }

  friend bool operator==(const Bytes&, const Bytes&) = default;

 private:
  std::string data_;
};

// A sequence of Text members addressed 1..count. Members may be empty.
class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<Text> members) : members_(members) {}

  int count() const { return static_cast<int>(members_.size()); }
  // Member `index`, 1-based. REQUIRES: 1 <= index <= count().
  const Text& operator[](int index) const {
    assert(index >= 1 && index <= count());
    return members_[static_cast<size_t>(index - 1)];
  }
  Text& operator[](int index) {
    assert(index >= 1 && index <= count());
    return members_[static_cast<size_t>(index - 1)];
  }
  void Append(Text member) { members_.push_back(std::move(member)); }

  friend bool operator==(const TextArray&, const TextArray&) = default;

 private:
  std::vector<Text> members_;
};

// Test and debugging output: printable ASCII as is, every other byte as \xHH.
std::ostream& operator<<(std::ostream& out, const Text& text);
std::ostream& operator<<(std::ostream& out, const Bytes& bytes);
std::ostream& operator<<(std::ostream& out, const TextArray& array);

// --- Lengths and cuts (plain bytes; may cut a two-byte character) ---

// Number of bytes of `text`.
int TextLength(const Text& text);
// Number of bytes of `bytes`.
int BytesLength(const Bytes& bytes);
// The first `n` bytes; n <= 0 gives empty, n >= length a copy.
Text TextLeft(const Text& text, int n);
// The last `n` bytes; n <= 0 gives empty, n >= length a copy.
Text TextRight(const Text& text, int n);
// At most `n` bytes from 1-based `start`. start < 1, start > length or
// n <= 0 give the empty text; a run past the end stops at the end.
Text TextMid(const Text& text, int start, int n);
// A one-byte text holding `code`; code 0 gives the empty text.
Text CharFromCode(int code);

// --- Searching (character-aware) ---

// 1-based position of the first match of `sought` at or after `start`
// (absent, 0 or negative: the whole text), counted from the first byte of
// the text; -1 when none. An empty `sought` gives 1 for a non-empty region
// and -1 for an empty one. `ignoreCase` folds ASCII letters only.
int FindText(const Text& text, const Text& sought, std::optional<int> start,
             bool ignoreCase);
// 1-based position of the last match lying wholly in the region: the whole
// text, or its first min(start - 1, length) bytes when `start` is given.
// Matches may overlap. -1 when none.
int FindTextReverse(const Text& text, const Text& sought,
                    std::optional<int> start, bool ignoreCase);
// 1-based position of the first exact occurrence of `sought` at or after
// offset max(start - 1, 0); every byte is a candidate. -1 when none or when
// `sought` is empty.
int FindBytes(const Bytes& bytes, const Bytes& sought,
              std::optional<int> start = std::nullopt);

// --- Transformations (character-aware) ---

// ASCII A-Z to a-z; both bytes of a two-byte character stay as they are.
// Never consults a locale.
Text ToLower(const Text& text);
// The leading decimal integer after full-width forms are made ASCII and
// white space is skipped; 0 without digits. Wraps modulo 2^32.
int ToInteger(const Text& text);
// `text` without leading and trailing blanks (0x20 and 0xA1 0xA1).
Text TrimBoth(const Text& text);
// `text` with every blank removed; a truncated final character is dropped.
Text RemoveAllSpaces(const Text& text);
// Replaces matches of `sought` left to right, without overlap, starting at
// max(start - 1, 0) bytes in. `replacement` defaults to empty, `count` to no
// limit (negative: no limit; 0: nothing replaced). `caseSensitive` false
// folds ASCII letters.
Text ReplaceText(const Text& text, const Text& sought,
                 std::optional<Text> replacement, std::optional<int> start,
                 std::optional<int> count, bool caseSensitive);
// Splits at `delimiter` (default ","), compared exactly. Leading and doubled
// delimiters give empty members; a delimiter at the very end gives no empty
// last member. An empty text or a limit <= 0 gives no members; an empty
// delimiter gives one member, the whole text.
TextArray SplitText(const Text& text, std::optional<Text> delimiter,
                    std::optional<int> limit = std::nullopt);

// --- Conversions and construction ---

// The bytes of `text`, without a terminator.
Bytes TextToBytes(const Text& text);
// The bytes before the first NUL byte, or all bytes.
Text BytesToText(const Bytes& bytes);
// Signed decimal form: "-7", "0", "8080".
Text NumberToText(int number);
// `n` ASCII spaces; n <= 0 gives empty.
Text BlankText(int n);
// `n` zero bytes; n <= 0 gives empty.
Bytes BlankBytes(int n);
// The first `n` bytes, n held between 0 and the length.
Bytes BytesLeft(const Bytes& bytes, int n);

// Byte-wise comparison of unsigned values, like strcmp: negative, 0 or
// positive. Never folds case.
int CompareText(const Text& a, const Text& b);
// 0 when `a` and `b` have the same length and bytes, 1 otherwise.
int CompareBytes(const Bytes& a, const Bytes& b);

// Number of members of `array`.
int MemberCount(const TextArray& array);
// Appends a copy of `text` as the new last member.
void AppendMember(TextArray& array, const Text& text);

Text ConcatTextList(std::initializer_list<Text> parts);
Bytes ConcatBytesList(std::initializer_list<Bytes> parts);

// The concatenation of one or more texts in order.
template <typename... Parts>
requires(std::convertible_to<const Parts&, Text>&&...) Text
    ConcatText(const Parts&... parts) {
  return ConcatTextList({Text(parts)...});
}

// The concatenation of one or more Bytes values in order.
template <typename... Parts>
requires(std::same_as<Parts, Bytes>&&...) Bytes
    ConcatBytes(const Parts&... parts) {
  return ConcatBytesList({parts...});
}

// The bitwise or of one or more integers.
template <typename... Rest>
requires(std::same_as<Rest, int>&&...) constexpr int BitOr(int first,
                                                           Rest... rest) {
  return (first | ... | rest);
}

}  // namespace velk

#endif  // VELK_TEXT_TEXT_H_

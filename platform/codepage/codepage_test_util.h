// Helpers shared by the code page service's tests.
#ifndef VELK_PLATFORM_CODEPAGE_CODEPAGE_TEST_UTIL_H_
#define VELK_PLATFORM_CODEPAGE_CODEPAGE_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/codepage/codepage.h"

namespace velk::platform::test_util {

using Units = std::u16string;

// Sizing call, then the conversion into a buffer of exactly that size.
inline Units Decode(int codePage, const std::string& bytes) {
  int length = static_cast<int>(bytes.size());
  int size = MultiByteToWide(codePage, 0, bytes.data(), length, nullptr, 0);
  Units units(static_cast<size_t>(size), u'\0');
  int written =
      MultiByteToWide(codePage, 0, bytes.data(), length, units.data(), size);
  EXPECT_EQ(written, size);
  return units;
}

inline std::string Encode(int codePage, const Units& units,
                          unsigned flags = 0) {
  int length = static_cast<int>(units.size());
  int size = WideToMultiByte(codePage, flags, units.data(), length, nullptr, 0);
  std::string bytes(static_cast<size_t>(size), '\0');
  int written = WideToMultiByte(codePage, flags, units.data(), length,
                                bytes.data(), size);
  EXPECT_EQ(written, size);
  return bytes;
}

inline std::string Hex(const std::string& bytes) {
  std::string text;
  char piece[4];
  for (unsigned char byte : bytes) {
    std::snprintf(piece, sizeof piece, "%02X", byte);
    text += piece;
  }
  return text;
}

inline std::string Hex(const Units& units) {
  std::string text;
  char piece[8];
  for (char16_t unit : units) {
    std::snprintf(piece, sizeof piece, "%04X ", static_cast<unsigned>(unit));
    text += piece;
  }
  return text;
}

// One UTF-16 unit as little-endian bytes.
inline std::string Utf16Le(char16_t unit) {
  return std::string{static_cast<char>(unit & 0xFF),
                     static_cast<char>(unit >> 8)};
}

// glibc's iconv between two encodings, the independent reference.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(handle_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // The converted bytes, or nothing when iconv has no mapping.
  std::optional<std::string> Convert(const std::string& input) {
    if (!ok()) return std::nullopt;
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* outAt = out;
    size_t outLeft = sizeof out;
    if (iconv(handle_, &in, &inLeft, &outAt, &outLeft) ==
            static_cast<size_t>(-1) ||
        inLeft != 0) {
      return std::nullopt;
    }
    return std::string(out, sizeof out - outLeft);
  }

 private:
  iconv_t handle_;
};

}  // namespace velk::platform::test_util

#endif  // VELK_PLATFORM_CODEPAGE_CODEPAGE_TEST_UTIL_H_

// The code page service: conversion between multi-byte text and UTF-16.
//
// Code pages: 65001 (UTF-8), 936 (GBK, with its best-fit mappings), and 0,
// the ANSI page, which is 936 on every machine (never the process locale).
// Any other code page fails.
//
// Both calls share one shape. `length` -1 means the input runs up to and
// including its terminator (a NUL byte or a U+0000 unit), which is counted
// and written too; reading never goes past the data given. With a null
// `output` (or `capacity` 0) the call returns the number of elements the
// output needs. Otherwise it writes the output in order; when it does not fit
// it writes every whole character that fits, never part of one, and returns
// 0. Returns 0 on every failure, an empty input included.
//
// Flags: decoding takes none; encoding to 936 (or 0) takes kCompositeCheck;
// any other flag makes the call fail, as on the platform.
#ifndef VELK_PLATFORM_CODEPAGE_CODEPAGE_H_
#define VELK_PLATFORM_CODEPAGE_CODEPAGE_H_

namespace velk::platform {

inline constexpr int kCodePageAnsi = 0;
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// Encoding flag: a base character followed by a nonspacing mark is written
// as the precomposed character where the target code page has one.
inline constexpr unsigned kCompositeCheck = 0x200;

// Decodes `length` bytes of `input` under `codePage` into UTF-16 units.
// Returns the number of units written (or needed, with no output).
int MultiByteToWide(int codePage, unsigned flags, const char* input, int length,
                    char16_t* output, int capacity);

// Encodes `length` UTF-16 units of `input` under `codePage`. Returns the
// number of bytes written (or needed, with no output).
int WideToMultiByte(int codePage, unsigned flags, const char16_t* input,
                    int length, char* output, int capacity);

}  // namespace velk::platform

#endif  // VELK_PLATFORM_CODEPAGE_CODEPAGE_H_

// Conversions between UTF-8, UTF-16 and code page 936, through the code page
// service. No routine reports an error: each returns its output buffer as the
// conversion left it, and an empty input gives an empty result. UTF-16 text
// travels in Bytes as little-endian 16-bit units.
#ifndef VELK_TEXT_CODEPAGE_H_
#define VELK_TEXT_CODEPAGE_H_

#include <optional>

#include "text/text.h"

namespace velk {

// The UTF-16 units of the whole UTF-8 input, no terminator added.
Bytes Utf8BytesToWide(const Bytes& utf8);
// The code page 936 form of a UTF-8 body; always the byte count of the full
// encoding, zero-filled after a NUL in the input.
Bytes Utf8BytesToGbk(const Bytes& utf8);
// UTF-16 units of `text` decoded under `codePage` (default 65001), sized by
// the ANSI count of the text plus its terminator and zero-padded.
Bytes TextToWide(const Text& text, std::optional<int> codePage = std::nullopt);
// `wide` encoded under `codePage` (default 0, the ANSI page), up to its first
// U+0000 unit.
Text WideToText(const Bytes& wide, std::optional<int> codePage = std::nullopt);
// The code page 936 form of a text whose bytes are UTF-8.
Text Utf8TextToGbk(const Text& utf8);

}  // namespace velk

#endif  // VELK_TEXT_CODEPAGE_H_

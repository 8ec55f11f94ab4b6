// Pulling values out of marked-up text: the span between two markers, and
// the value of a header line.
#ifndef VELK_TEXT_EXTRACT_H_
#define VELK_TEXT_EXTRACT_H_

#include "text/text.h"

namespace velk {

// "#引号" in code page 936. Written inside a marker or a pattern, it stands
// for one double quote, so that such texts can be plain literals.
inline constexpr char QuotePlaceholder[] = "#\xD2\xFD\xBA\xC5";  // #引号

// The bytes between the first `leftMarker` at or after `startPosition` (below
// 1: the first byte) and the first `rightMarker` after it; empty when either
// is missing. QuotePlaceholder in a marker stands for a double quote. Letter
// case is ignored unless `caseSensitive`.
Text TextBetween(const Text& text, const Text& leftMarker,
                 const Text& rightMarker, int startPosition = 0,
                 bool caseSensitive = false);

// The text after the first colon of `line`, trimmed of blanks; empty when the
// line has no colon.
Text HeaderValue(const Text& line);

}  // namespace velk

#endif  // VELK_TEXT_EXTRACT_H_

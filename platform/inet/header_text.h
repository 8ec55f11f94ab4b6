// Small helpers for HTTP header text inside the internet client service:
// header names compare without ASCII case, values are trimmed of spaces and
// tabs.
#ifndef VELK_PLATFORM_INET_HEADER_TEXT_H_
#define VELK_PLATFORM_INET_HEADER_TEXT_H_

#include <string>
#include <string_view>

namespace velk::platform::inet {

// `s` with ASCII capitals made small; other bytes unchanged.
inline std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Whether `a` and `b` are equal but for ASCII case.
inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Lower(a) == Lower(b);
}

// `s` without leading and trailing spaces and tabs.
inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace velk::platform::inet

#endif  // VELK_PLATFORM_INET_HEADER_TEXT_H_

// One run of "VBScript.RegExp" through the automation service, the way the
// probe and the fuzz target drive it: initialise, create the engine, put
// the options and the pattern by name, Execute, read every match and group,
// and optionally Replace.
#ifndef VELK_PLATFORM_AUTOMATION_REGEXP_DRIVE_H_
#define VELK_PLATFORM_AUTOMATION_REGEXP_DRIVE_H_

#include <optional>
#include <string>
#include <vector>

namespace velk::platform {

struct DrivenMatch {
  int firstIndex = 0;
  int length = 0;
  std::u16string value;
  std::vector<std::optional<std::u16string>> groups;  // nullopt: no part
};

struct DrivenRun {
  bool executed = false;
  std::vector<DrivenMatch> matches;
  bool replaced = false;
  std::u16string replacement;
};

// `flags` holds any of 'i' (IgnoreCase), 'm' (Multiline), 'g' (Global).
// Replace runs only when `replacement` is given.
DrivenRun DriveRegExp(const std::string& flags, const std::u16string& pattern,
                      const std::u16string& subject,
                      const std::optional<std::u16string>& replacement);

}  // namespace velk::platform

#endif  // VELK_PLATFORM_AUTOMATION_REGEXP_DRIVE_H_

#include "platform/automation/regexp_drive.h"

#include "platform/automation/automation.h"

namespace velk::platform {
namespace {

int ReadInteger(const ObjectRef& object, std::u16string_view name) {
  Variant value;
  double number = 0;
  if (!GetProperty(object, name, {}, value) ||
      !VariantToDouble(value, number)) {
    return 0;
  }
  return static_cast<int>(number);
}

ObjectRef ReadItem(const ObjectRef& collection, int index) {
  const Variant argument = Variant::Double(index);
  Variant item;
  if (!GetProperty(collection, u"Item", std::span(&argument, 1), item)) {
    return ObjectRef();
  }
  return item.object;
}

}  // namespace

DrivenRun DriveRegExp(const std::string& flags, const std::u16string& pattern,
                      const std::u16string& subject,
                      const std::optional<std::u16string>& replacement) {
  DrivenRun run;
  AutomationInitialize();
  {
    ObjectRef engine;
    CreateObjectByProgId(u"VBScript.RegExp", engine);
    auto has = [&](char c) { return flags.find(c) != std::string::npos; };
    PutProperty(engine, u"IgnoreCase", Variant::Boolean(has('i')));
    PutProperty(engine, u"Multiline", Variant::Boolean(has('m')));
    PutProperty(engine, u"Global", Variant::Boolean(has('g')));
    PutProperty(engine, u"Pattern", Variant::FromText(pattern));

    const Variant argument = Variant::FromText(subject);
    Variant matches;
    run.executed =
        CallMethod(engine, u"Execute", std::span(&argument, 1), matches);
    const int count = run.executed ? ReadInteger(matches.object, u"Count") : 0;
    for (int i = 0; i < count; ++i) {
      ObjectRef match = ReadItem(matches.object, i);
      DrivenMatch found;
      Variant value;
      if (GetProperty(match, u"Value", {}, value)) found.value = value.text;
      found.firstIndex = ReadInteger(match, u"FirstIndex");
      found.length = ReadInteger(match, u"Length");
      Variant groups;
      GetProperty(match, u"SubMatches", {}, groups);
      const int groupCount = ReadInteger(groups.object, u"Count");
      for (int k = 0; k < groupCount; ++k) {
        const Variant index = Variant::Double(k);
        Variant item;
        GetProperty(groups.object, u"Item", std::span(&index, 1), item);
        if (item.kind == Variant::Kind::kEmpty) {
          found.groups.push_back(std::nullopt);
        } else {
          found.groups.push_back(item.text);
        }
      }
      run.matches.push_back(std::move(found));
    }
    if (replacement) {
      const Variant arguments[] = {Variant::FromText(subject),
                                   Variant::FromText(*replacement)};
      Variant result;
      run.replaced = CallMethod(engine, u"Replace", arguments, result);
      if (run.replaced) run.replacement = result.text;
    }
  }
  // Every object is released before the service is uninitialised.
  AutomationUninitialize();
  return run;
}

}  // namespace velk::platform

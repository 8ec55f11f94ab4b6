#include "platform/automation/automation.h"

#include <gtest/gtest.h>

#include "platform/automation/object.h"

namespace velk::platform {
namespace {

// Balances the thread's initialisations however a test ends.
class AutomationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (AutomationInitializeCount() > 0) AutomationUninitialize();
  }
};

TEST_F(AutomationTest, CreateNeedsInitialisationAndAKnownIdentifier) {
  ObjectRef object;
  EXPECT_FALSE(CreateObjectByProgId(u"VBScript.RegExp", object));
  EXPECT_TRUE(object.IsEmpty());

  AutomationInitialize();
  AutomationInitialize();
  AutomationUninitialize();
  EXPECT_EQ(AutomationInitializeCount(), 1);  // counted, not a flag
  EXPECT_FALSE(CreateObjectByProgId(u"VBScript.RegExp2", object));
  EXPECT_TRUE(object.IsEmpty());
  EXPECT_TRUE(CreateObjectByProgId(u"vbscript.regexp", object));
  EXPECT_FALSE(object.IsEmpty());

  AutomationUninitialize();
  AutomationUninitialize();  // one too many: stays at zero
  EXPECT_EQ(AutomationInitializeCount(), 0);
  ObjectRef another;
  EXPECT_FALSE(CreateObjectByProgId(u"VBScript.RegExp", another));
}

TEST_F(AutomationTest, HoldersCountReferences) {
  AutomationInitialize();
  ObjectRef first;
  ASSERT_TRUE(CreateObjectByProgId(u"VBScript.RegExp", first));
  AutomationObject* raw = first.get();
  EXPECT_EQ(raw->references(), 1);
  {
    ObjectRef copy = first;
    EXPECT_EQ(copy.get(), raw);
    EXPECT_EQ(raw->references(), 2);
    ObjectRef assigned;
    assigned = copy;
    EXPECT_EQ(raw->references(), 3);
    assigned = assigned;  // self-assignment keeps the reference
    EXPECT_EQ(raw->references(), 3);
    ObjectRef moved = std::move(assigned);
    EXPECT_TRUE(assigned.IsEmpty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(raw->references(), 3);
    copy.Reset();
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(raw->references(), 2);
  }
  EXPECT_EQ(raw->references(), 1);
  // A collection keeps working after the engine that made it is released.
  ASSERT_TRUE(PutProperty(first, u"Pattern", Variant::FromText(u"b")));
  const Variant subject = Variant::FromText(u"abc");
  Variant matches;
  ASSERT_TRUE(CallMethod(first, u"Execute", std::span(&subject, 1), matches));
  first.Reset();
  Variant count;
  ASSERT_TRUE(GetProperty(matches.object, u"Count", {}, count));
  EXPECT_EQ(count.integer, 1);
}

TEST_F(AutomationTest, FailedCallsChangeNothing) {
  AutomationInitialize();
  ObjectRef engine;
  ASSERT_TRUE(CreateObjectByProgId(u"VBScript.RegExp", engine));
  ASSERT_TRUE(PutProperty(engine, u"Pattern", Variant::FromText(u"a(b)")));
  ASSERT_TRUE(PutProperty(engine, u"IgnoreCase", Variant::Boolean(true)));

  EXPECT_FALSE(PutProperty(engine, u"Singleline", Variant::Boolean(true)));
  EXPECT_FALSE(PutProperty(engine, u"IgnoreCase", Variant::FromText(u"x")));
  EXPECT_FALSE(PutProperty(engine, u"Pattern", Variant::FromObject(engine)));
  EXPECT_FALSE(PutProperty(engine, u"Execute", Variant::Boolean(true)));
  EXPECT_FALSE(PutProperty(ObjectRef(), u"Pattern", Variant::FromText(u"x")));

  Variant untouched = Variant::FromText(u"keep");
  EXPECT_FALSE(GetProperty(engine, u"Singleline", {}, untouched));
  EXPECT_FALSE(GetProperty(engine, u"Execute", {}, untouched));
  EXPECT_FALSE(CallMethod(engine, u"Pattern", {}, untouched));
  EXPECT_FALSE(CallMethod(engine, u"Execute", {}, untouched));  // no subject
  EXPECT_FALSE(GetProperty(ObjectRef(), u"Pattern", {}, untouched));
  EXPECT_EQ(untouched.kind, Variant::Kind::kText);
  EXPECT_EQ(untouched.text, u"keep");

  Variant value;
  ASSERT_TRUE(GetProperty(engine, u"pattern", {}, value));
  EXPECT_EQ(value.text, u"a(b)");
  ASSERT_TRUE(GetProperty(engine, u"IgnoreCase", {}, value));
  EXPECT_EQ(value.kind, Variant::Kind::kBoolean);
  EXPECT_TRUE(value.boolean);

  // Item outside the collection, or with an argument of the wrong kind.
  const Variant subject = Variant::FromText(u"ABab");
  Variant matches;
  ASSERT_TRUE(CallMethod(engine, u"Execute", std::span(&subject, 1), matches));
  const Variant badIndexes[] = {Variant::Double(1), Variant::Double(-1),
                                Variant::FromText(u"0"), Variant()};
  for (const Variant& index : badIndexes) {
    EXPECT_FALSE(
        GetProperty(matches.object, u"Item", std::span(&index, 1), untouched));
  }
  EXPECT_EQ(untouched.text, u"keep");
}

TEST_F(AutomationTest, VariantConversions) {
  struct Case {
    const char* name;
    Variant value;
    const char16_t* text;
    double number;
  };
  const Case kCases[] = {
      {"empty", Variant(), u"", 0},
      {"true", Variant::Boolean(true), u"-1", -1},
      {"false", Variant::Boolean(false), u"0", 0},
      {"integer", Variant::Integer(-42), u"-42", -42},
      {"whole double", Variant::Double(7), u"7", 7},
      {"fraction", Variant::Double(1.5), u"1.5", 1.5},
      {"numeric text", Variant::FromText(u" 12.25 "), u" 12.25 ", 12.25},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::u16string text;
    ASSERT_TRUE(VariantToText(c.value, text));
    EXPECT_EQ(text, c.text);
    double number = 99;
    ASSERT_TRUE(VariantToDouble(c.value, number));
    EXPECT_EQ(number, c.number);
  }
  std::u16string text = u"keep";
  double number = 5;
  AutomationInitialize();
  ObjectRef engine;
  ASSERT_TRUE(CreateObjectByProgId(u"VBScript.RegExp", engine));
  EXPECT_FALSE(VariantToText(Variant::FromObject(engine), text));
  EXPECT_FALSE(VariantToDouble(Variant::FromText(u"12a"), number));
  EXPECT_FALSE(VariantToDouble(Variant::FromText(u"\x4E2D"), number));
  EXPECT_EQ(text, u"keep");
  EXPECT_EQ(number, 5);
}

}  // namespace
}  // namespace velk::platform

#include "messages/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(FormatTextTest, FillsEachConversionInOrder) {
  struct Case {
    const wchar_t* format;
    std::initializer_list<int32_t> values;
    const wchar_t* expected;
  };
  const Case kCases[] = {
      {L"Nuking [pass %i / %i]", {0, 10}, L"Nuking [pass 0 / 10]"},
      {L"Error %i.", {5}, L"Error 5."},
      {L"Error %i.", {-2147024891}, L"Error -2147024891."},
      {L"Error %i.", {INT32_MIN}, L"Error -2147483648."},
      {L"Error %i.", {INT32_MAX}, L"Error 2147483647."},
      {L"100% sure", {}, L"100% sure"},
  };
  for (const Case& test : kCases) {
    wchar_t text[kShortTextChars];
    FormatText(text, test.format, test.values);
    EXPECT_EQ(std::wstring(text), test.expected);
  }
}

TEST(TextBuilderTest, NeverRunsPastItsBufferAndSaysSo) {
  wchar_t buffer[8];
  buffer[7] = L'#';
  TextBuilder builder = StartText(buffer, 7);
  AppendText(builder, L"abc");
  AppendDecimal(builder, -12345);
  EXPECT_EQ(std::wstring(buffer), L"abc-12");
  EXPECT_TRUE(builder.cut);
  EXPECT_EQ(buffer[7], L'#');
}

TEST(TextBuilderTest, ExactFitIsNotCut) {
  wchar_t buffer[4];
  TextBuilder builder = StartText(buffer, 4);
  AppendText(builder, L"abc");
  EXPECT_EQ(std::wstring(buffer), L"abc");
  EXPECT_FALSE(builder.cut);
}

}  // namespace

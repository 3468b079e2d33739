#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/text.h"
#include "core/utf.h"

using namespace core;

TEST(Format, FillsPlaceholdersInOrder) {
  EXPECT_EQ(Format(L"Service failed on %s: %s", {std::wstring(L"start"), std::wstring(L"boom")}),
            L"Service failed on start: boom");
  EXPECT_EQ(Format(L"custom message(%d): %s", {int64_t{200}, std::wstring(L"x")}), L"custom message(200): x");
  EXPECT_EQ(Format(L"100%% of %d", {int64_t{-42}}), L"100% of -42");
}

TEST(Format, MissingOrMismatchedArgumentRaises) {
  EXPECT_THROW(Format(L"%s and %s", {std::wstring(L"one")}), EConvertError);
  EXPECT_THROW(Format(L"%d", {std::wstring(L"text")}), EConvertError);
}

TEST(Text, TrimRemovesControlAndBlankCharactersOnly) {
  struct Case { std::wstring in, out; } cases[] = {
      {L"  abc  ", L"abc"}, {L"\t\r\n x\x01", L"x"}, {L"", L""}, {L"   ", L""}, {L"a b", L"a b"},
      {L"\u00A0a\u00A0", L"\u00A0a\u00A0"},  // no-break space is above 32
  };
  for (const auto& c : cases) EXPECT_EQ(Trim(c.in), c.out);
}

TEST(Text, UpperCaseTouchesOnlyAsciiLetters) {
  EXPECT_EQ(UpperCaseAscii(L"ter\u00E7a s\u00E1b"), L"TER\u00E7A S\u00E1B");
}

TEST(Utf, RoundTripsAndReplacesInvalidInput) {
  const std::wstring text = L"n\u00E3o \u20AC \U0001F600";
  EXPECT_EQ(ToUtf8(text), "n\xC3\xA3o \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf16(ToUtf16(text)), text);
  EXPECT_EQ(ToUtf16(L"\U0001F600").size(), 2u);
  EXPECT_EQ(FromUtf8("a\xC3"), L"a\uFFFD");           // truncated sequence
  EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");   // overlong form
}

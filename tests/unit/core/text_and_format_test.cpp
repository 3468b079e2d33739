#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/status.h"
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

TEST(Text, TrailingLineBreaksGoAndEverythingElseStays) {
  struct Case { std::wstring in, out; } cases[] = {
      {L"The operation timed out\r\n", L"The operation timed out"}, {L"a\n\r\n\r", L"a"},
      {L"a\r\nb\n", L"a\r\nb"},  // only at the end
      {L" a \t", L" a \t"},        // blanks are no line breaks
      {L"\r\n", L""}, {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithoutTrailingLineBreaks(c.in), c.out) << testing::PrintToString(ToUtf8(c.in));
    EXPECT_EQ(WithoutTrailingLineBreaks(ToUtf8(c.in)), ToUtf8(c.out)) << testing::PrintToString(ToUtf8(c.in));
  }
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

TEST(Utf, Utf16BytesReadInEitherOrder) {
  using enum ByteOrder;
  struct Case {
    std::string bytes;
    ByteOrder order;
    std::wstring text;
  } cases[] = {
      {std::string("a\0\xE3\0", 4), LittleEndian, L"a\u00E3"},
      {std::string("\0a\0\xE3", 4), BigEndian, L"a\u00E3"},
      {std::string("\x3D\xD8\x00\xDE", 4), LittleEndian, L"\U0001F600"},  // a surrogate pair
      {std::string("\x3D\xD8" "a\0", 4), LittleEndian, L"\uFFFDa"},       // a lone high surrogate
      {std::string("a\0b", 3), LittleEndian, L"a"},                         // half a unit is no character
      {std::string("a\0\0\0b\0", 6), LittleEndian, std::wstring(L"a\0b", 3)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FromUtf16Bytes(c.bytes, c.order), c.text) << testing::PrintToString(c.bytes);
}

TEST(Status, FailureKindsPrintByName) {
  EXPECT_EQ(Name(FailureKind::None), "None");
  EXPECT_EQ(Name(FailureKind::DeadlinePassed), "DeadlinePassed");
  EXPECT_EQ(Name(static_cast<FailureKind>(200)), "FailureKind(200)");
  EXPECT_EQ(testing::PrintToString(FailureKind::UnknownCertificateAuthority), "UnknownCertificateAuthority");
}

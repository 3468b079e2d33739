#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "core/exceptions.h"
#include "core/text.h"
#include "soap/scalar_text.h"

using namespace soap;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Sets a regional setting whose decimal separator is a comma, if the
// machine has one; restores the previous setting.
class CommaLocale {
 public:
  CommaLocale() {
    previous_ = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"pt_BR.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "German_Germany.1252", "German", "pt-BR"}) {
      if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
        active_ = true;
        return;
      }
    }
    std::setlocale(LC_ALL, previous_.c_str());
  }
  ~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  bool active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

// Each text raises EConvertError quoting the trimmed text: open + text + rest.
template <class Convert>
void ExpectRefused(Convert convert, std::initializer_list<const wchar_t*> texts, const std::wstring& open,
                   const std::wstring& rest) {
  for (const wchar_t* text : texts) {
    try {
      convert(text);
      ADD_FAILURE() << "accepted " << testing::PrintToString(std::wstring(text));
    } catch (const core::EConvertError& e) {
      EXPECT_EQ(e.Message(), open + core::Trim(text) + rest);
    }
  }
}

}  // namespace

TEST(ScalarText, DoublesInTheGeneralFormat) {
  const struct {
    double value;
    const wchar_t* text;
  } cases[] = {
      {2.5, L"2.5"}, {0.75, L"0.75"}, {100, L"100"}, {0.0001, L"0.0001"}, {0.00001, L"1E-5"},
      {1e15, L"1E15"}, {999999999999999.0, L"999999999999999"}, {1.0 / 3, L"0.333333333333333"},
      {-0.00000015, L"-1.5E-7"}, {0, L"0"}, {-0.0, L"0"}, {0.1 + 0.2, L"0.3"}, {123456.789, L"123456.789"},
      {1.5e300, L"1.5E300"}, {-2.5e-300, L"-2.5E-300"}, {12345678901234567.0, L"1.23456789012346E16"},
      {kNaN, L"NaN"}, {kInf, L"INF"}, {-kInf, L"-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(DoubleToSoap(c.value), c.text) << c.text;
}

TEST(ScalarText, Integers) {
  EXPECT_EQ(IntegerToSoap(-42), L"-42");
  EXPECT_EQ(IntegerToSoap(0), L"0");
  EXPECT_EQ(IntegerToSoap(std::numeric_limits<int32_t>::min()), L"-2147483648");

  const struct {
    const wchar_t* text;
    int32_t value;
  } good[] = {{L" 42 ", 42}, {L"+7", 7}, {L"-7", -7}, {L"$1F", 31}, {L"0x1f", 31}, {L"X1F", 31},
              {L"-$10", -16}, {L"$FFFFFFFF", -1}, {L"2147483647", 2147483647}, {L"-2147483648", INT32_MIN},
              {L"\t007\r\n", 7}};
  for (const auto& c : good) EXPECT_EQ(SoapToInteger(c.text), c.value) << c.text;

  ExpectRefused(SoapToInteger,
                {L"4.5", L"", L"  ", L"2147483648", L"-2147483649", L"$", L"$123456789", L"1 2", L"0x", L"++1",
                 L"12a", L"１"},
                L"''", L"'' is not a valid integer value");
}

TEST(ScalarText, DoubleReader) {
  const struct {
    const wchar_t* text;
    double value;
  } good[] = {{L"2.5", 2.5}, {L"-1E3", -1000}, {L"1e-2", 0.01}, {L" .5 ", 0.5}, {L"5.", 5}, {L"+3", 3},
              {L"inf", kInf}, {L"-Inf", -kInf}, {L"0", 0}, {L"1.7976931348623157E308", 1.7976931348623157e308}};
  for (const auto& c : good) EXPECT_EQ(SoapToDouble(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
  EXPECT_TRUE(std::isnan(SoapToDouble(L"nan")));

  ExpectRefused(SoapToDouble,
                {L"2,5", L"", L".", L"1E", L"1e+", L"E5", L"1.2.3", L"0x10", L"+INF", L"1e400", L"- 1", L"1 000"},
                L"'", L"' is not a valid floating point value");
}

TEST(ScalarText, RegionalCommaChangesNothing) {
  CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no regional setting with a decimal comma on this machine";
  EXPECT_EQ(DoubleToSoap(2.5), L"2.5");
  EXPECT_EQ(SoapToDouble(L"2.5"), 2.5);
  EXPECT_THROW(SoapToDouble(L"2,5"), core::EConvertError);
}

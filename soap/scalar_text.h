#pragma once
// Text forms of the contract's scalar kinds on the wire; independent of the
// machine's regional settings.
#include <cstdint>
#include <string>

namespace soap {

std::wstring IntegerToSoap(int32_t value);
// 15 significant digits, "." as separator, "E" notation outside
// 0.0001 <= |x| < 1E15; "NaN", "INF", "-INF".
std::wstring DoubleToSoap(double value);

// Both trim the text first and raise EConvertError when it does not convert.
int32_t SoapToInteger(const std::wstring& text);
double SoapToDouble(const std::wstring& text);

}  // namespace soap

#pragma once

namespace soap {

inline constexpr wchar_t kSoap11EnvelopeNamespace[] = L"http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr wchar_t kSoap12EnvelopeNamespace[] = L"http://www.w3.org/2003/05/soap-envelope";
inline constexpr wchar_t kSoapEncodingNamespace[] = L"http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr wchar_t kXsiNamespace[] = L"http://www.w3.org/2001/XMLSchema-instance";
inline constexpr wchar_t kXsi1999Namespace[] = L"http://www.w3.org/1999/XMLSchema-instance";
inline constexpr wchar_t kXsi2000Namespace[] = L"http://www.w3.org/2000/10/XMLSchema-instance";

}  // namespace soap

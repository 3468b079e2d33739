// Feeds arbitrary bytes to ProcessResponse as the answer of operations with
// a string, an integer, a double and no result. Failures the reader reports
// as its own exceptions are expected; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/exceptions.h"
#include "platform/host.h"
#include "soap/IcoKelvo1.h"
#include "soap/converter.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::install_default_host();
  soap::EnsureIcoKelvoRegistered();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace soap;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TIntfMetaData& md = IcoKelvoMetaData();
  TOPToSoapDomConvert converter;
  for (int method : {kTestaConexao, kGravaDados, kBuscaDados, kApagaDadosBKS}) {
    const TIntfMethEntry& m = md.MDA[method];
    TInvContext context;
    context.SetMethodInfo(m);
    std::wstring text, argument = L"x";
    int32_t integer = 0;
    double real = 0;
    for (int i = 0; i < m.ParamCount(); ++i) context.SetParamPointer(i, &argument);
    if (m.ResultInfo == &StringTypeInfo()) context.SetResultPointer(&text);
    if (m.ResultInfo == &IntegerTypeInfo()) context.SetResultPointer(&integer);
    if (m.ResultInfo == &DoubleTypeInfo()) context.SetResultPointer(&real);
    try {
      converter.ProcessResponse(bytes, md, m, context, nullptr);
    } catch (const core::Exception&) {
    }
  }
  return 0;
}

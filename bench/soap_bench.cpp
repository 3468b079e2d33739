// Cost of one request and one answer, and of refusing hostile answers:
// time per document and the process's peak resident memory afterwards.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "support/hostile_xml.h"
#include "core/exceptions.h"
#include "platform/host.h"
#include "soap/IcoKelvo1.h"
#include "soap/converter.h"

namespace {

using namespace soap;

std::string Answer() {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><SOAP-ENV:Envelope "
         "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><SOAP-ENV:Body>"
         "<NS1:BuscaSolicResponse xmlns:NS1=\"urn:coKelvoIntf-IcoKelvo\"><return xsi:type=\"xsd:string\">"
         "17|12.345.678/0001-90|S1</return></NS1:BuscaSolicResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

using testing_support::BillionLaughs;
using testing_support::QuadraticBlowup;

void SetPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
}

void ReadAnswer(benchmark::State& state, const std::string& xml) {
  TOPToSoapDomConvert converter;
  const TIntfMetaData& md = IcoKelvoMetaData();
  TInvContext context;
  context.SetMethodInfo(md.MDA[kBuscaSolic]);
  std::wstring result;
  context.SetResultPointer(&result);
  for (auto _ : state) {
    try {
      converter.ProcessResponse(xml, md, md.MDA[kBuscaSolic], context, nullptr);
    } catch (const core::Exception&) {
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
  SetPeakMemory(state);
}

void BM_Request(benchmark::State& state) {
  TOPToSoapDomConvert converter;
  const TIntfMetaData& md = IcoKelvoMetaData();
  const std::wstring s = L"123";
  const double d = 2.5;
  TInvContext context;
  context.SetMethodInfo(md.MDA[kGravaDados]);
  for (int i = 0; i < 7; ++i) context.SetParamPointer(i, const_cast<std::wstring*>(&s));
  context.SetParamPointer(7, const_cast<double*>(&d));
  context.SetParamPointer(8, const_cast<double*>(&d));
  for (auto _ : state) benchmark::DoNotOptimize(converter.InvContextToMsg(md, kGravaDados, context, {}));
}
BENCHMARK(BM_Request);

void BM_Answer(benchmark::State& state) { ReadAnswer(state, Answer()); }
BENCHMARK(BM_Answer);

void BM_RefuseBillionLaughs(benchmark::State& state) { ReadAnswer(state, BillionLaughs()); }
BENCHMARK(BM_RefuseBillionLaughs);

void BM_RefuseQuadraticBlowup(benchmark::State& state) { ReadAnswer(state, QuadraticBlowup()); }
BENCHMARK(BM_RefuseQuadraticBlowup);

}  // namespace

int main(int argc, char** argv) {
  platform::install_default_host();
  EnsureIcoKelvoRegistered();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#include <gtest/gtest.h>

#include <cmath>

#include "soap/soap_exceptions.h"
#include "support/soap_fixtures.h"
#include "support/response_envelope.h"

using namespace soap;
using testing_support::ResponseEnvelope;
using testing_support::ConverterSequence;
using testing_support::ReadFixture;

namespace {

class Proxy : public testing::Test {
 protected:
  void SetUp() override { EnsureIcoKelvoRegistered(); }
  ConverterSequence sequence;
  TIcoKelvoProxy proxy{sequence};
};

}  // namespace

TEST_F(Proxy, OperationsReturnWhatTheAnswerCarries) {
  sequence.response = ResponseEnvelope("GravaDados", "-42");
  EXPECT_EQ(proxy.GravaDados(L"1", L"", L"", L"", L"", L"", L"", 0, 0), -42);
  sequence.response = ResponseEnvelope("GravaClientes", "0");
  EXPECT_EQ(proxy.GravaClientes(L"1", L"", L"", L"", L""), 0);
  sequence.response = ResponseEnvelope("BuscaDados", "2.5");
  EXPECT_EQ(proxy.BuscaDados(L"1", L"a", L"S"), 2.5);
  sequence.response = ResponseEnvelope("BuscaSolic", "17|11222333000181|S1");
  EXPECT_EQ(proxy.BuscaSolic(), L"17|11222333000181|S1");
  sequence.response = ResponseEnvelope("SituacaoSolic", "S\xC3\xA3o");
  EXPECT_EQ(proxy.SituacaoSolic(L"1", L"S"), L"S\u00E3o");
  sequence.response = ReadFixture("responses/testaconexao_ok.xml");
  EXPECT_EQ(proxy.TestaConexao(), L"OK");
  sequence.response = ReadFixture("responses/multiref.xml");
  EXPECT_EQ(proxy.BuscaPath(), L"C:\\Backup");
  sequence.response = ReadFixture("responses/soap12.xml");
  EXPECT_EQ(proxy.TestaConexao(), L"");
  sequence.response = ResponseEnvelope("ApagaDadosBKS", "ignored");
  EXPECT_NO_THROW(proxy.ApagaDadosBKS(L"1"));
}

TEST_F(Proxy, FaultReachesTheCallerWithItsTexts) {
  sequence.response = ReadFixture("responses/fault.xml");
  try {
    proxy.ClienteExiste(L"1");
    ADD_FAILURE() << "no fault";
  } catch (const ERemotableException& e) {
    EXPECT_EQ(e.FaultReason(), L"Service unavailable");
    EXPECT_EQ(e.FaultCode, L"SOAP-ENV:Server");
    EXPECT_EQ(e.FaultActor, L"srv");
    EXPECT_EQ(e.FaultDetail, L"<detail><code>7</code></detail>");
    EXPECT_EQ(e.ClassName(), L"ERemotableException");
  }
}

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "core/utf.h"
#include "soap/soap_exceptions.h"
#include "soap/xml_reader.h"
#include "support/soap_fixtures.h"

using namespace soap;
using testing_support::ConverterSequence;
using testing_support::ReadFixture;

namespace {

class Request : public testing::Test {
 protected:
  void SetUp() override { EnsureIcoKelvoRegistered(); }
  ConverterSequence sequence;
  TIcoKelvoProxy proxy{sequence};
};

struct GoldenCase {
  const char* file;
  int method_number;
  std::function<void(IcoKelvo&)> call;
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const GoldenCase kGolden[] = {
    {"ApagaDadosBKS", kApagaDadosBKS, [](IcoKelvo& k) { k.ApagaDadosBKS(L"12.345.678/0001-90"); }},
    {"GravaDados", kGravaDados,
     [](IcoKelvo& k) { k.GravaDados(L"123", L"ana", L"S1", L"P", L"a.zip", L"F", L"", 2.5, 0.75); }},
    {"GravaDados_texts", kGravaDados,
     [](IcoKelvo& k) {
       k.GravaDados(L"1<2 & 3>0", L"Jo\u00E3o", L"\"q\"", L"a\r\nb", L"C:\\bk\\x.zip", L" F ", L"", 1e15, 0.00001);
     }},
    {"GravaDados_special_doubles", kGravaDados,
     [](IcoKelvo& k) { k.GravaDados(L"1", L"", L"", L"", L"", L"", L"", kNaN, -kInf); }},
    {"GravaClientes", kGravaClientes,
     [](IcoKelvo& k) { k.GravaClientes(L"123", L"Nome & Cia", L"S\u00E3o Paulo", L"SP", L"x>y"); }},
    {"GravaClienteBKS", kGravaClienteBKS, [](IcoKelvo& k) { k.GravaClienteBKS(L"123", L"S1", L"10/12/2026 08:00"); }},
    {"BuscaDados", kBuscaDados, [](IcoKelvo& k) { k.BuscaDados(L"123", L"ana", L"S1"); }},
    {"BuscaSolic", kBuscaSolic, [](IcoKelvo& k) { k.BuscaSolic(); }},
    {"SituacaoSolic", kSituacaoSolic, [](IcoKelvo& k) { k.SituacaoSolic(L"123", L"S1"); }},
    {"ClienteExiste", kClienteExiste, [](IcoKelvo& k) { k.ClienteExiste(L"123"); }},
    {"BuscaPath", kBuscaPath, [](IcoKelvo& k) { k.BuscaPath(); }},
    {"TestaConexao", kTestaConexao, [](IcoKelvo& k) { k.TestaConexao(); }},
};

// Finds the text of the first element of that local name in a parsed request.
const XmlNode* FindElement(const XmlNode& node, const std::wstring& local) {
  if (node.IsElement() && node.LocalName() == local) return &node;
  for (const auto& c : node.Children())
    if (const XmlNode* found = FindElement(*c, local)) return found;
  return nullptr;
}

}  // namespace

TEST_F(Request, EachOperationWritesExactlyTheGoldenEnvelope) {
  for (const auto& c : kGolden) {
    c.call(proxy);
    EXPECT_EQ(sequence.method_number, c.method_number) << c.file;
    EXPECT_EQ(sequence.request, ReadFixture(std::string("requests/") + c.file + ".xml")) << c.file;
  }
}

TEST_F(Request, TwoCallsInARowBothUseNS1) {
  proxy.TestaConexao();
  proxy.TestaConexao();
  EXPECT_EQ(sequence.request, ReadFixture("requests/TestaConexao.xml"));
}

TEST_F(Request, EscapedTextReadsBackUnchanged) {
  // CR is checked in the golden bytes only: Wine's XmlLite reads &#13; as a blank.
  const std::wstring tricky = L"1<2 & 3>0 ]]> \"q\" 'a' \u00E3\n\tz";
  proxy.ClienteExiste(tricky);
  XmlDocument doc = ParseXmlDocument(sequence.request);
  const XmlNode* cnpj = FindElement(*doc.root, L"CNPJ");
  ASSERT_NE(cnpj, nullptr);
  ASSERT_EQ(cnpj->Children().size(), 1u);
  EXPECT_EQ(cnpj->Children()[0]->Value(), tricky);
  EXPECT_EQ(sequence.request.find("\xEF\xBB\xBF"), std::string::npos);
}

class FakeWsdlView : public TWSDLViewLink {
 public:
  std::wstring body_namespace;
  std::wstring operation;
  void SetOperation(const std::wstring& op, const TIntfMetaData&) override { operation = op; }
  std::wstring RequestBodyNamespace(const std::wstring&) override { return body_namespace; }
};

TEST_F(Request, WsdlBodyNamespaceTakesPrecedenceOverTheRegisteredOne) {
  FakeWsdlView view;
  sequence.converter.WSDLView = &view;
  view.body_namespace = L"urn:from-wsdl";
  proxy.BuscaSolic();
  EXPECT_EQ(view.operation, L"BuscaSolic");
  EXPECT_NE(sequence.request.find("<NS1:BuscaSolic xmlns:NS1=\"urn:from-wsdl\"/>"), std::string::npos);
  // A namespace already declared in scope is reused instead of a new NS1.
  view.body_namespace = L"http://schemas.xmlsoap.org/soap/envelope/";
  proxy.BuscaSolic();
  EXPECT_NE(sequence.request.find("<SOAP-ENV:BuscaSolic/>"), std::string::npos);
  view.body_namespace.clear();
  proxy.TestaConexao();
  EXPECT_EQ(sequence.request, ReadFixture("requests/TestaConexao.xml"));
}

TEST_F(Request, UnsendableParameterKindsFailWithTheirKindName) {
  TOPToSoapDomConvert converter;
  const TTypeInfo set{TTypeKind::tkSet, L"TSet"}, record{TTypeKind::tkRecord, L"TRec"};
  for (auto [info, name] : {std::pair{&set, L"Set"}, std::pair{&record, L"Record"}}) {
    TIntfMetaData md = IcoKelvoMetaData();
    md.MDA[kClienteExiste].Params[0].Info = info;
    TInvContext context;
    context.SetMethodInfo(md.MDA[kClienteExiste]);
    int dummy = 0;
    context.SetParamPointer(0, &dummy);
    try {
      converter.InvContextToMsg(md, kClienteExiste, context, {});
      ADD_FAILURE() << "no error";
    } catch (const ESOAPDomConvertError& e) {
      EXPECT_EQ(e.Message(), std::wstring(L"Datatype of TypeKind: ") + name +
                                 L" not supported as argument for remote invocation");
    }
  }
}

TEST_F(Request, OutboundHeadersGoIntoAnEncodedHeaderElement) {
  struct Token : TSOAPHeader {
    void ToXml(XmlNode& header) const override { header.AddElement(L"Token", L"").AddText(L"t1"); }
  };
  TOPToSoapDomConvert converter;
  TInvContext context;
  context.SetMethodInfo(IcoKelvoMetaData().MDA[kTestaConexao]);
  std::string bytes =
      converter.InvContextToMsg(IcoKelvoMetaData(), kTestaConexao, context, {std::make_shared<Token>()});
  EXPECT_NE(bytes.find("<SOAP-ENV:Header SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
                       "<Token>t1</Token></SOAP-ENV:Header><SOAP-ENV:Body"),
            std::string::npos);
}

// A parameter whose schema type lives in a namespace of its own.
class OwnTypeRequest : public Request {
 protected:
  TTypeInfo code{TTypeKind::tkUString, L"TCode"};
  TRemotableTypeRegistry types;
  TOPToSoapDomConvert converter{InvRegistry(), types};
  TIntfMetaData md = IcoKelvoMetaData();
  void SetUp() override {
    Request::SetUp();
    types.RegisterXSInfo(&code, L"urn:tav-types", L"Code");
    md.MDA[kClienteExiste].Params[0].Info = &code;
  }
  std::string Write(const std::wstring& value) {
    TInvContext context;
    context.SetMethodInfo(md.MDA[kClienteExiste]);
    context.SetParamPointer(0, const_cast<std::wstring*>(&value));
    return converter.InvContextToMsg(md, kClienteExiste, context, {});
  }
};

TEST_F(OwnTypeRequest, TypePrefixOnBodyIsNotShadowedByTheMethodsPrefix) {
  XmlDocument doc = ParseXmlDocument(Write(L"123"));
  const XmlNode* cnpj = FindElement(*doc.root, L"CNPJ");
  ASSERT_NE(cnpj, nullptr);
  const XmlAttribute* type = cnpj->FindAttribute(L"xsi:type");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(LocalNameOf(type->value), L"Code");
  EXPECT_EQ(cnpj->LookupNamespace(PrefixOf(type->value)), std::optional<std::wstring>(L"urn:tav-types"))
      << type->value;
}

TEST_F(OwnTypeRequest, CharactersXmlCannotCarryAreRefusedBeforeSending) {
  const struct {
    std::wstring value;
    std::wstring refusal;  // empty: accepted
  } cases[] = {
      {L"a\tb\nc\rd \U0001F600", L""},
      {std::wstring(L"ab") + L'\x01', L"Parameter CNPJ holds the character U+0001 at position 3, which XML cannot carry"},
      {L"\x1F", L"Parameter CNPJ holds the character U+001F at position 1, which XML cannot carry"},
      {L"x\xFFFE", L"Parameter CNPJ holds the character U+FFFE at position 2, which XML cannot carry"},
      {L"\xFFFF", L"Parameter CNPJ holds the character U+FFFF at position 1, which XML cannot carry"},
      {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"z",
       L"Parameter CNPJ holds the character U+D800 at position 1, which XML cannot carry"},
      {L"z" + std::wstring(1, static_cast<wchar_t>(0xDC00)),
       L"Parameter CNPJ holds the character U+DC00 at position 2, which XML cannot carry"},
  };
  for (const auto& c : cases) {
    std::wstring refusal;
    try {
      Write(c.value);
    } catch (const ESOAPDomConvertError& e) {
      refusal = e.Message();
    }
    EXPECT_EQ(refusal, c.refusal) << testing::PrintToString(core::ToUtf8(c.value));
  }
}

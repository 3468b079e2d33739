#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "soap/scalar_text.h"
#include "soap/soap_exceptions.h"
#include "support/soap_fixtures.h"

using namespace soap;

namespace {

const std::string kOpen =
    R"(<?xml version="1.0" encoding="utf-8"?>)"
    R"(<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" )"
    R"(xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" )"
    R"(xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/">)";
const std::string kClose = "</SOAP-ENV:Envelope>";

std::string Envelope(const std::string& content) { return kOpen + content + kClose; }
std::string Body(const std::string& content) {
  return Envelope(R"(<SOAP-ENV:Body SOAP-ENV:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/">)" + content +
                  "</SOAP-ENV:Body>");
}
std::string Response(const std::string& content) {
  return Body(R"(<NS1:TestaConexaoResponse xmlns:NS1="urn:coKelvoIntf-IcoKelvo">)" + content +
              "</NS1:TestaConexaoResponse>");
}
// The answer OK with `more` after its Body, inside the Envelope.
std::string OkThen(const std::string& more) {
  const std::string xml = Response("<return>OK</return>");
  return xml.substr(0, xml.size() - kClose.size()) + more + kClose;
}

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

// What a call of the operation makes of the answer: its result, or the
// exception with its message. A parse error shows only its line and text: the
// reason is the parser's own words.
std::wstring Outcome(int method, const std::string& xml) {
  TOPToSoapDomConvert converter;
  const TIntfMetaData& md = IcoKelvoMetaData();
  const TIntfMethEntry& m = md.MDA.at(method);
  TInvContext context;
  context.SetMethodInfo(m);
  std::wstring args[9];
  for (int i = 0; i < m.ParamCount(); ++i) context.SetParamPointer(i, &args[i]);
  std::wstring text = L"untouched";
  int32_t integer = -999;
  double real = -999;
  if (m.ResultInfo == &StringTypeInfo()) context.SetResultPointer(&text);
  if (m.ResultInfo == &IntegerTypeInfo()) context.SetResultPointer(&integer);
  if (m.ResultInfo == &DoubleTypeInfo()) context.SetResultPointer(&real);
  try {
    converter.ProcessResponse(xml, md, m, context, nullptr);
  } catch (const ERemotableException& e) {
    return e.ClassName() + L": " + e.Message() + L" | code=" + e.FaultCode + L" actor=" + e.FaultActor +
           L" detail=" + e.FaultDetail;
  } catch (const EDOMParseError& e) {
    return L"EDOMParseError:" + Replace(e.Message().substr(e.Message().find(L"\r\n")), L"\r\n", L" | ");
  } catch (const core::Exception& e) {
    return e.ClassName() + L": " + e.Message();
  }
  if (m.ResultInfo == &IntegerTypeInfo()) return L"int:" + IntegerToSoap(integer);
  if (m.ResultInfo == &DoubleTypeInfo()) return L"double:" + DoubleToSoap(real);
  if (m.ResultInfo == &StringTypeInfo()) return L"string:[" + text + L"]";
  return L"done";
}

struct Case {
  const char* name;
  int method;
  std::string xml;
  std::wstring outcome;
};

const std::wstring kNoReturn = L"ESOAPDomConvertError: SOAP Response Packet: element matching function return not found, received ";
const std::wstring kResponseOpen = L"<NS1:TestaConexaoResponse xmlns:NS1=\"urn:coKelvoIntf-IcoKelvo\"";

const Case kCases[] = {
    // Choosing the return element.
    {"example answer", kTestaConexao, Response(R"(<return xsi:type="xsd:string">OK</return>)"), L"string:[OK]"},
    {"single child named Result", kTestaConexao, Response("<Result>OK</Result>"), L"string:[OK]"},
    {"single child with any name", kTestaConexao, Response("<qualquer>OK</qualquer>"), L"string:[OK]"},
    {"parameter-named child then return", kTestaConexao, Response("<CNPJ>1</CNPJ><return>OK</return>"), L"string:[OK]"},
    {"return name ignores case", kTestaConexao, Response("<a>1</a><RESULT>OK</RESULT>"), L"string:[OK]"},
    {"two children, no return name", kTestaConexao, Response("<a>1</a><b>2</b>"),
     kNoReturn + L"\"" + kResponseOpen + L"><a>1</a><b>2</b></NS1:TestaConexaoResponse>\""},
    {"empty response element", kTestaConexao,
     Body(R"(<NS1:TestaConexaoResponse xmlns:NS1="urn:coKelvoIntf-IcoKelvo"/>)"), kNoReturn + L"\"" + kResponseOpen + L"/>\""},
    // Text of the return element.
    {"no content", kTestaConexao, Response("<return/>"), L"string:[]"},
    {"blanks only", kTestaConexao, Response("<return>   </return>"), L"string:[]"},
    {"blanks around text stay", kTestaConexao, Response("<return>  OK \t</return>"), L"string:[  OK \t]"},
    {"references resolved", kTestaConexao, Response("<return>a &amp; b &#227; &lt;&gt;</return>"),
     L"string:[a & b \u00E3 <>]"},
    {"CDATA gives its markup", kTestaConexao, Response("<return><![CDATA[a<b]]></return>"),
     L"string:[<![CDATA[a<b]]>]"},
    {"mixed content gives the markup of all children", kTestaConexao, Response("<return>x<b>y</b><!--c--></return>"),
     L"string:[x<b>y</b><!--c-->]"},
    {"nil string", kTestaConexao, Response(R"(<return xsi:nil="true">ignored</return>)"), L"string:[ignored]"},
    {"nil integer", kGravaDados, Response(R"(<return xsi:nil="1">x</return>)"), L"int:0"},
    {"NULL double", kBuscaDados, Response(R"(<return xsi:NULL="TRUE">x</return>)"), L"double:0"},
    {"nil in another namespace is no nil", kGravaDados, Response(R"(<return xmlns:n="urn:n" n:nil="true">x</return>)"),
     L"EConvertError: ''x'' is not a valid integer value"},
    {"href to a sibling of the response element", kTestaConexao,
     Body(R"(<NS1:R xmlns:NS1="urn:coKelvoIntf-IcoKelvo"><return href="#r1">own</return></NS1:R><item id="R1">far</item>)"),
     L"string:[far]"},
    {"href without a match", kTestaConexao, Response(R"(<return href="#nada">own</return>)"), L"string:[own]"},
    {"first of two equal ids wins", kTestaConexao,
     Body(R"(<NS1:R xmlns:NS1="u"><return href="#a">x</return></NS1:R><i id="a">1</i><i id="a">2</i>)"), L"string:[1]"},
    // Integer results.
    {"integer with blanks", kGravaDados, Response("<return> 42 </return>"), L"int:42"},
    {"integer with plus", kGravaDados, Response("<return>+7</return>"), L"int:7"},
    {"integer dollar hex", kGravaDados, Response("<return>$1F</return>"), L"int:31"},
    {"integer 0x hex", kGravaDados, Response("<return>0x1f</return>"), L"int:31"},
    {"negative integer", kGravaDados, Response("<return>-42</return>"), L"int:-42"},
    {"integer zero", kGravaDados, Response("<return>0</return>"), L"int:0"},
    {"decimal is no integer", kGravaDados, Response("<return>4.5</return>"),
     L"EConvertError: ''4.5'' is not a valid integer value"},
    {"empty is no integer", kGravaDados, Response("<return/>"), L"EConvertError: '''' is not a valid integer value"},
    // Double results.
    {"double", kBuscaDados, Response("<return>2.5</return>"), L"double:2.5"},
    {"double exponent", kBuscaDados, Response("<return>-1E3</return>"), L"double:-1000"},
    {"double small exponent", kBuscaDados, Response("<return>1e-2</return>"), L"double:0.01"},
    {"double leading point", kBuscaDados, Response("<return> .5 </return>"), L"double:0.5"},
    {"lower-case inf", kBuscaDados, Response("<return>inf</return>"), L"double:INF"},
    {"decimal comma", kBuscaDados, Response("<return>2,5</return>"),
     L"EConvertError: '2,5' is not a valid floating point value"},
    // Envelope.
    {"SOAP 1.2 envelope", kTestaConexao,
     R"(<e:Envelope xmlns:e="http://www.w3.org/2003/05/soap-envelope"><e:Body><r><return>OK</return></r></e:Body></e:Envelope>)",
     L"string:[OK]"},
    {"Envelope in another namespace", kTestaConexao, R"(<Envelope xmlns="urn:x"><Body/></Envelope>)",
     L"ESOAPDomConvertError: DocumentElement http://schemas.xmlsoap.org/soap/envelope/:Envelope expected, "
     L"urn:x:Envelope found"},
    {"not an Envelope", kTestaConexao, "<envelope/>",
     L"ESOAPDomConvertError: DocumentElement http://schemas.xmlsoap.org/soap/envelope/:Envelope expected, :envelope found"},
    {"Envelope without children", kTestaConexao, Envelope(" \n "), L"ESOAPDomConvertError: Invalid SOAP request"},
    {"Envelope with only a comment", kTestaConexao, Envelope("<!-- nada -->"), L"string:[untouched]"},
    {"Envelope without Body", kTestaConexao, Envelope("<SOAP-ENV:Other/>"), L"string:[untouched]"},
    {"Body with only a comment", kTestaConexao, Body("<!-- nada -->"), L"string:[untouched]"},
    {"two Bodies, result already written", kTestaConexao,
     OkThen("<SOAP-ENV:Body/>"),
     L"ESOAPDomConvertError: Invalid SOAP response"},
    {"two Headers", kTestaConexao, Envelope("<SOAP-ENV:Header/><SOAP-ENV:Header/>"),
     L"ESOAPDomConvertError: Invalid SOAP response"},
    {"procedure reads nothing", kApagaDadosBKS, Body("<NS1:R xmlns:NS1=\"u\"/>"), L"done"},
    // Headers.
    {"mustUnderstand 1", kTestaConexao,
     Envelope(R"(<SOAP-ENV:Header><Auth mustUnderstand="1"/></SOAP-ENV:Header>)"),
     L"ERemotableException: Soap header Auth with attribute 'mustUnderstand' set to true was not handled | "
     L"code=MustUnderstand actor= detail="},
    {"mustUnderstand TRUE after the Body", kTestaConexao,
     OkThen(R"(<SOAP-ENV:Header><h:Sess xmlns:h="urn:h" mustUnderstand="TRUE"/></SOAP-ENV:Header>)"),
     L"ERemotableException: Soap header Sess with attribute 'mustUnderstand' set to true was not handled | "
     L"code=MustUnderstand actor= detail="},
    {"prefixed mustUnderstand is ignored", kTestaConexao,
     Envelope(R"(<SOAP-ENV:Header><Auth SOAP-ENV:mustUnderstand="1"/></SOAP-ENV:Header>)") , L"string:[untouched]"},
    {"mustUnderstand 0 is ignored", kTestaConexao,
     Envelope(R"(<SOAP-ENV:Header><Auth mustUnderstand="0"/></SOAP-ENV:Header><SOAP-ENV:Body><r><return>OK</return></r></SOAP-ENV:Body>)"),
     L"string:[OK]"},
    // Faults.
    {"fault", kTestaConexao,
     Body("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>Service unavailable</faultstring>"
          "<faultactor>srv</faultactor><detail><code>7</code></detail></SOAP-ENV:Fault>"),
     L"ERemotableException: Service unavailable | code=SOAP-ENV:Server actor=srv detail=<detail><code>7</code></detail>"},
    {"fault in upper case, later duplicate wins", kTestaConexao,
     Body("<SOAP-ENV:Fault><FAULTSTRING>first</FAULTSTRING><FAULTCODE>c</FAULTCODE><FaultString>second</FaultString>"
          "<DETAIL/></SOAP-ENV:Fault>"),
     L"ERemotableException: second | code=c actor= detail=<DETAIL/>"},
    {"fault string in CDATA gives its content", kTestaConexao,
     Body("<SOAP-ENV:Fault><faultstring><![CDATA[a<b]]></faultstring></SOAP-ENV:Fault>"),
     L"ERemotableException: a<b | code= actor= detail="},
    {"empty fault", kTestaConexao, Body("<SOAP-ENV:Fault/>"), L"ERemotableException:  | code= actor= detail="},
    {"fault string with mixed content", kTestaConexao,
     Body("<SOAP-ENV:Fault><faultstring>a<b/></faultstring></SOAP-ENV:Fault>"),
     L"EXMLDocError: Element \"faultstring\" does not contain a single text node"},
    {"lower-case fault is a result", kTestaConexao, Body("<SOAP-ENV:fault><x>OK</x></SOAP-ENV:fault>"), L"string:[OK]"},
    // Parse errors: the line number and the first 40 characters of that line.
    {"empty answer", kTestaConexao, "", L"EDOMParseError: | Line: 1 | "},
    {"broken third line", kTestaConexao,
     "<?xml version=\"1.0\"?>\n<a>\n  <b>0123456789012345678901234567890123456789abc</c>\n</a>",
     L"EDOMParseError: | Line: 3 |   <b>01234567890123456789012345678901234"},
};

}  // namespace

TEST(Response, CasesGiveTheirResultOrError) {
  for (const auto& c : kCases) {
    EXPECT_EQ(Outcome(c.method, c.xml), c.outcome) << c.name;
  }
}

TEST(Response, ConstArgumentsAreNeverOverwrittenButVarParametersAre) {
  TOPToSoapDomConvert converter;
  TIntfMetaData md = IcoKelvoMetaData();
  const std::string xml = Response("<CNPJ>changed</CNPJ><return>S</return>");
  TInvContext context;
  std::wstring cnpj = L"keep", result;
  context.SetMethodInfo(md.MDA[kClienteExiste]);
  context.SetParamPointer(0, &cnpj);
  context.SetResultPointer(&result);
  converter.ProcessResponse(xml, md, md.MDA[kClienteExiste], context, nullptr);
  EXPECT_EQ(result, L"S");
  EXPECT_EQ(cnpj, L"keep");

  md.MDA[kClienteExiste].Params[0].Flags = pfVar;
  converter.ProcessResponse(Response("<CNPJ>changed</CNPJ><return>S</return><CNPJ>later</CNPJ>"), md,
                            md.MDA[kClienteExiste], context, nullptr);
  EXPECT_EQ(cnpj, L"changed");
}

TEST(Response, RegisteredFaultClassIsRaisedAsItself) {
  struct EFalha : ERemotableException {
    using ERemotableException::ERemotableException;
    [[noreturn]] void Raise() const override { throw *this; }
  };
  TInvokableClassRegistry registry;
  RegisterIcoKelvo(registry);
  TRemotableTypeRegistry types;
  TRemotableClassInfo cls{L"EFalha", [](const std::wstring& m) { return std::make_unique<EFalha>(m); }};
  types.RegisterXSClass(&cls, L"urn:falhas", L"Falha");
  TOPToSoapDomConvert converter(registry, types);
  const TIntfMetaData& md = IcoKelvoMetaData();
  TInvContext context;
  context.SetMethodInfo(md.MDA[kTestaConexao]);
  for (const std::string detail : {R"(<detail xmlns:f="urn:falhas" xsi:type="f:Falha"/>)",
                                   R"(<detail><f:Falha xmlns:f="urn:falhas"/></detail>)"}) {
    const std::string xml = Body("<SOAP-ENV:Fault><faultstring>x</faultstring>" + detail + "</SOAP-ENV:Fault>");
    EXPECT_THROW(converter.ProcessResponse(xml, md, md.MDA[kTestaConexao], context, nullptr), EFalha) << detail;
  }
}

TEST(Response, Utf16AnswerWithByteOrderMark) {
  const std::u16string text = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                              u"<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><r>"
                              u"<return>S\u00E3o</return></r></e:Body></e:Envelope>";
  std::string bytes;
  for (char16_t u : text) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  EXPECT_EQ(Outcome(kTestaConexao, bytes), L"string:[S\u00E3o]");
}

TEST(Response, RegisteredHeaderIsHandledAndOthersAreReportedBeforeTheCheck) {
  TInvokableClassRegistry registry;
  RegisterIcoKelvo(registry);
  TRemotableTypeRegistry types;
  TRemotableClassInfo session{L"TSession", nullptr};
  registry.RegisterHeaderClass(&IcoKelvoTypeInfo(), &session, L"Sess", L"urn:h");
  TOPToSoapDomConvert converter(registry, types);
  std::vector<std::wstring> unhandled;
  converter.OnUnhandledNode = [&](const XmlNode& entry) { unhandled.push_back(entry.LocalName()); };
  const TIntfMetaData& md = IcoKelvoMetaData();
  TInvContext context;
  context.SetMethodInfo(md.MDA[kTestaConexao]);
  std::wstring result;
  context.SetResultPointer(&result);
  TReceivedHeaders received;
  converter.ProcessResponse(
      Envelope(R"(<SOAP-ENV:Header><h:Sess xmlns:h="urn:h" mustUnderstand="1">7</h:Sess><Info/></SOAP-ENV:Header>)"
               "<SOAP-ENV:Body><r><return>OK</return></r></SOAP-ENV:Body>"),
      md, md.MDA[kTestaConexao], context, &received);
  EXPECT_EQ(result, L"OK");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].Class, &session);
  EXPECT_EQ(received[0].Xml, L"<h:Sess xmlns:h=\"urn:h\" mustUnderstand=\"1\">7</h:Sess>");
  EXPECT_EQ(unhandled, std::vector<std::wstring>{L"Info"});
  // A header in another namespace is not the registered one.
  EXPECT_THROW(converter.ProcessResponse(Envelope(R"(<SOAP-ENV:Header><Sess mustUnderstand="1"/></SOAP-ENV:Header>)"),
                                         md, md.MDA[kTestaConexao], context, &received),
               ERemotableException);
  EXPECT_EQ(unhandled.back(), L"Sess");
}

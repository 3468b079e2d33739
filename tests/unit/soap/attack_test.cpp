#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/hostile_xml.h"
#include "support/loopback_listener.h"
#include "soap/IcoKelvo1.h"
#include "soap/converter.h"
#include "soap/soap_exceptions.h"
#include "support/temp_dir.h"

using namespace soap;

namespace {

const std::string kSecret = "TOP-SECRET-7f3a";

using testing_support::BillionLaughs;
using testing_support::QuadraticBlowup;

std::string FileUrl(const std::filesystem::path& file) {
  std::string path = file.generic_string();
  return path.size() > 1 && path[1] == ':' ? "file:///" + path : "file://" + path;
}

std::string Envelope(const std::string& doctype, const std::string& value) {
  return "<?xml version=\"1.0\"?>" + doctype +
         "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><r><return>" + value +
         "</return></r></e:Body></e:Envelope>";
}

}  // namespace

TEST(HostileAnswers, DocumentTypesAreRefusedWithoutExpansionReadingOrFetching) {
  testing_support::TempDir dir("tavxmlattack");
  const auto secret_file = dir.path() / "secret.txt";
  std::ofstream(secret_file, std::ios::binary) << kSecret;
  testing_support::LoopbackListener listener;
  const std::string http = "http://127.0.0.1:" + std::to_string(listener.port());

  const struct {
    const char* name;
    std::string xml;
  } attacks[] = {
      {"billion laughs", BillionLaughs()},
      {"quadratic blow-up", QuadraticBlowup()},
      {"external entity, local file URL",
       Envelope("<!DOCTYPE e:Envelope [<!ENTITY x SYSTEM \"" + FileUrl(secret_file) + "\">]>", "&x;")},
      {"external entity, local path",
       Envelope("<!DOCTYPE e:Envelope [<!ENTITY x SYSTEM \"" + secret_file.string() + "\">]>", "&x;")},
      {"external entity, loopback http", Envelope("<!DOCTYPE e:Envelope [<!ENTITY x SYSTEM \"" + http + "/x\">]>", "&x;")},
      {"parameter entity, loopback http",
       Envelope("<!DOCTYPE e:Envelope [<!ENTITY % p SYSTEM \"" + http + "/p\"> %p;]>", "x")},
      {"external subset, loopback http", Envelope("<!DOCTYPE e:Envelope SYSTEM \"" + http + "/d.dtd\">", "x")},
      {"document type alone", Envelope("<!DOCTYPE e:Envelope>", "x")},
  };
  EnsureIcoKelvoRegistered();
  TOPToSoapDomConvert converter;
  const TIntfMetaData& md = IcoKelvoMetaData();
  for (const auto& attack : attacks) {
    TInvContext context;
    context.SetMethodInfo(md.MDA[kTestaConexao]);
    std::wstring result = L"untouched";
    context.SetResultPointer(&result);
    try {
      converter.ProcessResponse(attack.xml, md, md.MDA[kTestaConexao], context, nullptr);
      ADD_FAILURE() << attack.name << " was accepted";
    } catch (const EDOMParseError& e) {
      EXPECT_EQ(e.Message().find(L"TOP-SECRET"), std::wstring::npos) << attack.name;
    } catch (const core::Exception& e) {
      ADD_FAILURE() << attack.name << " was parsed: " << e.what();
    }
    EXPECT_EQ(result, L"untouched") << attack.name;
  }
  EXPECT_EQ(listener.Connections(200), 0);
}

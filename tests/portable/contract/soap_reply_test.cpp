// Replies read into records: the double's replies, full round trips of every
// field type, nil and absent elements, faults, and everything that must be
// refused rather than read half.

#include <gtest/gtest.h>

#include "base/errors.h"
#include "contract/service.h"
#include "contract/soap_binding.h"
#include "double_replies.h"
#include "soap_test_support.h"

namespace tindrel {
namespace {

using namespace testing;
namespace dr = double_replies;
using soap::ReadReply;

// The ProtocolError text for reading `body` as a reply of `op` ("" if none).
std::string Refusal(std::string_view body, const soap::Operation& op = soap::kGetVehicleData) {
  try {
    ReadReply(body, op);
  } catch (const ProtocolError& e) {
    return e.what();
  }
  return "";
}

template <class T>
std::unique_ptr<T> As(std::unique_ptr<Record> r) {
  return std::unique_ptr<T>(static_cast<T*>(r.release()));
}

// The double's reply wrapped around a vehicle field list.
std::string VehicleReply(std::string_view fields) {
  return ReplyEnvelope(soap::kGetVehicleData, fields);
}

TEST(SoapReply, ReadsTheDoublesFullVehicle) {
  const auto v = As<Tindrel2VehicleData2>(ReadReply(dr::kVehicleAB12345Reply,
                                                    soap::kGetVehicleData).record);
  ASSERT_TRUE(v);
  for (size_t f = 0; f < v->FieldCount(); ++f)
    EXPECT_TRUE(v->Has(f)) << Tindrel2VehicleData2::kDescriptor.fields[f].name;
  EXPECT_EQ(v->AutosysMakeCode(), 5123);
  EXPECT_EQ(v->Color(), "Sølvgrå");
  EXPECT_EQ(v->DPF(), 4);
  EXPECT_EQ(v->Displacement(), 1968);
  ASSERT_TRUE(v->EnginePower());
  EXPECT_EQ(v->EnginePower()->Text(), "110.9");
  EXPECT_FALSE(v->HasPneumaticBrakes());
  EXPECT_TRUE(v->HasTowbar());
  EXPECT_EQ(v->IdentityNotes(), "Identitet kontrollert & <OK>");
  EXPECT_EQ(v->RecentRegistrationDate()->Text(), "2020-11-02T13:45:30.1234567+01:00");
  EXPECT_EQ(v->RegistrationOffDate()->Text(), "2031-01-01T00:00:00.5+01:00");
  EXPECT_EQ(v->RegistrationCountryDate()->Text(), "2018-06-01T00:00:00");
  EXPECT_EQ(v->Vin(), "TDL0000000A123456");
  EXPECT_EQ(v->VehicleMakeNo(), 77);
  EXPECT_EQ(v->Weight(), 1475);
  EXPECT_EQ(v->WeightTotalMax(), 2000);
  EXPECT_EQ(v->Width(), 1832);
  ASSERT_TRUE(v->VehicleApproval());
  EXPECT_EQ(v->VehicleApproval()->ApprovedBy(), 12);
  EXPECT_EQ(v->VehicleApproval()->ApprovedInspectionNo(), "K-1001");
  EXPECT_TRUE(v->VehicleApproval()->IsApproved());
}

TEST(SoapReply, NilElementsLeaveFieldsUnset) {
  // The sparse vehicle: every reference member nil, value types with values.
  const auto v = As<Tindrel2VehicleData2>(ReadReply(dr::kVehicleCD67890Reply,
                                                    soap::kGetVehicleData).record);
  ASSERT_TRUE(v);
  EXPECT_FALSE(v->HasAutosysMakeCode());
  EXPECT_FALSE(v->HasBody());
  EXPECT_EQ(v->Body(), "");
  EXPECT_FALSE(v->HasVehicleApproval());
  EXPECT_EQ(v->VehicleApproval(), nullptr);
  EXPECT_FALSE(v->HasPkkLastDate());
  EXPECT_TRUE(v->HasAxleCount());
  EXPECT_EQ(v->AxleCount(), 2);
  EXPECT_TRUE(v->HasRpm());  // sent as 0
  EXPECT_EQ(v->Weight(), 2600);
  EXPECT_EQ(v->WeightTotalMax(), 2525);
  EXPECT_EQ(v->RegistrationDate()->Text(), "1900-01-01T00:00:00");
  EXPECT_EQ(v->EnginePower()->Text(), "96");
}

TEST(SoapReply, AbsentElementsLeaveFieldsUnset) {
  const auto v = As<Tindrel2VehicleData2>(
      ReadReply(VehicleReply("<a:DPF>0</a:DPF><a:Vin></a:Vin>"), soap::kGetVehicleData).record);
  ASSERT_TRUE(v);
  for (size_t f = 0; f < v->FieldCount(); ++f) {
    const bool expected = f == Tindrel2VehicleData2::kDPF || f == Tindrel2VehicleData2::kVin;
    EXPECT_EQ(v->Has(f), expected) << Tindrel2VehicleData2::kDescriptor.fields[f].name;
  }
  EXPECT_EQ(v->Vin(), "");
}

TEST(SoapReply, FullRecordsRoundTripThroughWriterAndReader) {
  // Every field of every record type, written by the binding's writer and
  // read back: values and flags unchanged.
  std::unique_ptr<Record> records[] = {FullVehicle(), FullInspection(), FullCustomer(),
                                       FullApproval(), FullToken()};
  const soap::Operation* ops[] = {&soap::kGetVehicleData, &soap::kGetInspectionData,
                                  &soap::kGetCustomer, &soap::kIsVehicleApprovedForPeriod,
                                  &soap::kAuthenticate};
  for (size_t i = 0; i < std::size(records); ++i) {
    const soap::Reply reply = ReadReply(RecordReply(*ops[i], records[i].get()), *ops[i]);
    ASSERT_TRUE(reply.record) << ops[i]->name;
    EXPECT_TRUE(SameFields(*records[i], *reply.record)) << ops[i]->name;
  }
  const auto v = FullVehicle();
  EXPECT_EQ(v->FieldCount(), 71u);
}

TEST(SoapReply, ValueLimitsOfEachType) {
  const auto v = As<Tindrel2VehicleData2>(
      ReadReply(VehicleReply("<a:AutosysMakeCode> -32768 </a:AutosysMakeCode>"
                             "<a:AxleCount>2147483647</a:AxleCount>"
                             "<a:AxleDriveCount>-2147483648</a:AxleDriveCount>"
                             "<a:AxleLoadMaxFront>+0007</a:AxleLoadMaxFront>"
                             "<a:EnginePower>-0.50</a:EnginePower>"
                             "<a:HasPneumaticBrakes>1</a:HasPneumaticBrakes>"
                             "<a:HasTowbar>\n false </a:HasTowbar>"
                             "<a:PkkLastDate>2024-02-29T23:59:59.9999999-14:00</a:PkkLastDate>"),
                soap::kGetVehicleData)
          .record);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->AutosysMakeCode(), -32768);
  EXPECT_EQ(v->AxleCount(), 2147483647);
  EXPECT_EQ(v->AxleDriveCount(), -2147483647 - 1);
  EXPECT_EQ(v->AxleLoadMaxFront(), 7);
  EXPECT_EQ(v->EnginePower()->Text(), "-0.5");
  EXPECT_TRUE(v->HasPneumaticBrakes());
  EXPECT_TRUE(v->HasHasTowbar());
  EXPECT_FALSE(v->HasTowbar());
  EXPECT_EQ(v->PkkLastDate()->Text(), "2024-02-29T23:59:59.9999999-14:00");
}

TEST(SoapReply, RefusesMalformedValues) {
  struct Case {
    const char* fields;
    const char* expected;
  } const cases[] = {
      {"<a:AutosysMakeCode>32768</a:AutosysMakeCode>", "ugyldig xs:short '32768' i feltet AutosysMakeCode"},
      {"<a:AxleCount>2147483648</a:AxleCount>", "ugyldig xs:int '2147483648' i feltet AxleCount"},
      {"<a:AxleCount>-2147483649</a:AxleCount>", "ugyldig xs:int"},
      {"<a:AxleCount>99999999999999999999999</a:AxleCount>", "ugyldig xs:int"},
      {"<a:AxleCount>1.0</a:AxleCount>", "ugyldig xs:int"},
      {"<a:AxleCount></a:AxleCount>", "ugyldig xs:int '' i feltet AxleCount"},
      {"<a:AxleCount>0x10</a:AxleCount>", "ugyldig xs:int"},
      {"<a:HasTowbar>yes</a:HasTowbar>", "ugyldig xs:boolean 'yes' i feltet HasTowbar"},
      {"<a:HasTowbar>True</a:HasTowbar>", "ugyldig xs:boolean"},
      {"<a:EnginePower>1,5</a:EnginePower>", "ugyldig xs:decimal '1,5' i feltet EnginePower"},
      {"<a:EnginePower>1e3</a:EnginePower>", "ugyldig xs:decimal"},
      {"<a:PkkLastDate>2023-02-29T00:00:00</a:PkkLastDate>", "ugyldig xs:dateTime"},
      {"<a:PkkLastDate>2023-05-10</a:PkkLastDate>", "ugyldig xs:dateTime"},
      {"<a:PkkLastDate>10.05.2023</a:PkkLastDate>", "ugyldig xs:dateTime"},
      {"<a:AxleCount i:nil=\"true\"/>", "xsi:nil i feltet AxleCount, som alltid skal ha en verdi"},
      {"<a:EnginePower i:nil=\"true\"/>", "xsi:nil i feltet EnginePower"},
      {"<a:HasTowbar i:nil=\"1\"/>", "xsi:nil i feltet HasTowbar"},
      {"<a:Body i:nil=\"ja\"/>", "ugyldig xsi:nil 'ja' i Body"},
      {"<a:Body i:nil=\"true\">tekst</a:Body>", "elementet med xsi:nil har innhold"},
      {"<a:Body>x</a:Body><a:Body>y</a:Body>", "feltet Body finnes to ganger"},
      {"<a:Body><a:Color>x</a:Color></a:Body>", "uventet element"},
      {"løs tekst<a:Body>x</a:Body>", "uventet tekst"},
      {"<a:VehicleApproval><a:IsApproved>nei</a:IsApproved></a:VehicleApproval>",
       "ugyldig xs:boolean 'nei' i feltet IsApproved"},
  };
  for (const Case& c : cases) {
    const std::string why = Refusal(VehicleReply(c.fields));
    EXPECT_TRUE(why.starts_with("Ugyldig svar fra tjenesten: ")) << c.fields << " -> " << why;
    EXPECT_NE(why.find(c.expected), std::string::npos) << c.fields << " -> " << why;
  }
}

TEST(SoapReply, SkipsElementsTheContractDoesNotKnow) {
  const auto v = As<Tindrel2VehicleData2>(
      ReadReply(VehicleReply("<a:AxleCount>2</a:AxleCount><a:NewField><a:Deep>1</a:Deep></a:NewField>"
                             "<x:Body xmlns:x=\"urn:other\">fremmed</x:Body><a:Body>ekte</a:Body>"),
                soap::kGetVehicleData)
          .record);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->AxleCount(), 2);
  EXPECT_EQ(v->Body(), "ekte");
}

TEST(SoapReply, NamespacesCountNotPrefixes) {
  const std::string reply =
      "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
      "<soap:Header><h:X xmlns:h=\"urn:h\">1</h:X></soap:Header>\n  <soap:Body>\n"
      "<t:GetCustomerResponse xmlns:t=\"http://tempuri.org/\">"
      "<t:GetCustomerResult xmlns=\"http://schemas.datacontract.org/2004/07/"
      "ORV.Services.Tindrel2.Contracts\"><CustomerNo>1001</CustomerNo><IsCompany>true</IsCompany>"
      "</t:GetCustomerResult></t:GetCustomerResponse>\n</soap:Body></soap:Envelope>";
  const auto c = As<Tindrel2CustomerData2>(ReadReply(reply, soap::kGetCustomer).record);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->CustomerNo(), "1001");
  EXPECT_TRUE(c->IsCompany());
}

TEST(SoapReply, ArraysKeepReplyOrder) {
  const soap::Reply customers = ReadReply(dr::kCustomersReply, soap::kGetCustomers);
  ASSERT_EQ(customers.items.size(), 3u);
  const char* numbers[] = {"1001", "1002", "1003"};
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(static_cast<const Tindrel2CustomerData2&>(*customers.items[i]).CustomerNo(),
              numbers[i]);
  const auto& second = static_cast<const Tindrel2CustomerData2&>(*customers.items[1]);
  EXPECT_EQ(second.FirstName(), "Bjørn");
  EXPECT_EQ(second.Comments(), "Ring før levering & <viktig>");
  EXPECT_FALSE(second.HasWorkPhone());

  const soap::Reply history = ReadReply(dr::kHistoryReply, soap::kGetInspectionsForVehicleForPeriod);
  ASSERT_EQ(history.items.size(), 2u);
  EXPECT_EQ(static_cast<const Tindrel2VehicleApprovalData2&>(*history.items[1]).ApprovedDate()->Text(),
            "2017-02-14T10:20:30.25Z");

  // A nil item is no record; an item in the wrong place is refused.
  const std::string withNil = ReplyEnvelope(
      soap::kGetCustomers, "<a:Tindrel2CustomerData i:nil=\"true\"/><a:Tindrel2CustomerData>"
                           "<a:Name>X</a:Name></a:Tindrel2CustomerData>");
  EXPECT_EQ(ReadReply(withNil, soap::kGetCustomers).items.size(), 1u);
  EXPECT_NE(Refusal(ReplyEnvelope(soap::kGetCustomers, "<a:Kunde/>"), soap::kGetCustomers)
                .find("ventet Tindrel2CustomerData i listen"),
            std::string::npos);
}

TEST(SoapReply, NestedRecordsOfAnInspection) {
  const auto in = As<Tindrel2InspectionData2>(
      ReadReply(dr::kInspectionK1001Reply, soap::kGetInspectionData).record);
  ASSERT_TRUE(in);
  ASSERT_TRUE(in->Customer());
  EXPECT_EQ(in->Customer()->Name(), "Bilservice Nord AS");
  ASSERT_TRUE(in->Vehicle());
  EXPECT_EQ(in->Vehicle()->Weight(), 1475);
  EXPECT_TRUE(in->Vehicle()->VehicleApproval()->IsApproved());
  EXPECT_EQ(in->InspectionTypeName(), "Periodisk kjøretøykontroll");
  EXPECT_FALSE(in->HasCreateFailedReason());
}

TEST(SoapReply, StringAndBoolResults) {
  EXPECT_EQ(ReadReply(dr::kUrlReply, soap::kGetInspectionURL).text,
            "https://example.invalid/kontroll/K-1001?a=1&b=2");
  const std::string blanks = ReplyEnvelope(soap::kGetInspectionURL, "  x y  ");
  EXPECT_EQ(ReadReply(blanks, soap::kGetInspectionURL).text, "  x y  ");
  EXPECT_TRUE(ReadReply(dr::kIsTokenValidReply, soap::kIsTokenValid).flag);
  EXPECT_FALSE(ReadReply(ReplyEnvelope(soap::kIsTokenValid, "0"), soap::kIsTokenValid).flag);
  EXPECT_NE(Refusal(ReplyEnvelope(soap::kIsTokenValid, "ja"), soap::kIsTokenValid)
                .find("ugyldig xs:boolean 'ja' i IsTokenValidResult"),
            std::string::npos);
}

TEST(SoapReply, MissingNilOrEmptyResultsGiveEmptyValues) {
  for (const soap::Operation* op : soap::kOperations) {
    const std::string name(op->name);
    const std::string missing = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                                "<s:Body><" + name + "Response xmlns=\"http://tempuri.org/\"/>"
                                "</s:Body></s:Envelope>";
    const std::string nil = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                            "<s:Body><" + name + "Response xmlns=\"http://tempuri.org/\"><" +
                            std::string(op->resultElement) +
                            " i:nil=\"true\" xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\"/>"
                            "</" + name + "Response></s:Body></s:Envelope>";
    for (const std::string& body : {missing, nil}) {
      const soap::Reply r = ReadReply(body, *op);
      EXPECT_FALSE(r.record) << name;
      EXPECT_TRUE(r.items.empty()) << name;
      EXPECT_EQ(r.text, "") << name;
      EXPECT_FALSE(r.flag) << name;
    }
  }
  EXPECT_FALSE(ReadReply(dr::kVehicleNilReply, soap::kGetVehicleData).record);
  EXPECT_FALSE(ReadReply(VehicleReply(" "), soap::kGetVehicleData).record);
  // Nested, an empty element is a record with nothing set.
  const auto in = As<Tindrel2InspectionData2>(
      ReadReply(ReplyEnvelope(soap::kGetInspectionData, "<a:Customer/>"), soap::kGetInspectionData)
          .record);
  ASSERT_TRUE(in);
  ASSERT_TRUE(in->Customer());
  EXPECT_FALSE(in->Customer()->HasName());
}

TEST(SoapReply, FaultsCarryTheirText) {
  for (std::string_view body : {dr::kBadTokenFault, dr::kInternalFault}) {
    try {
      ReadReply(body, soap::kGetVehicleData);
      FAIL() << "no fault";
    } catch (const RemoteFault& e) {
      EXPECT_TRUE(std::string_view(e.what()) == "Ugyldig eller utløpt token" ||
                  std::string_view(e.what()) == "Intern feil i tjenesten")
          << e.what();
    }
  }
  const std::string bare = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                           "<s:Body><s:Fault><faultcode>s:Server</faultcode><detail><x>1</x>"
                           "</detail></s:Fault></s:Body></s:Envelope>";
  try {
    ReadReply(bare, soap::kGetVehicleData);
    FAIL() << "no fault";
  } catch (const RemoteFault& e) {
    EXPECT_STREQ(e.what(), "Tjenesten svarte med en SOAP-feil uten tekst (s:Server)");
  }
}

TEST(SoapReply, RefusesWhatIsNotTheOperationsReply) {
  const std::string env = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>";
  const std::string end = "</s:Body></s:Envelope>";
  struct Case {
    std::string body;
    const char* expected;
  } const cases[] = {
      {"<html><body>Vedlikehold</body></html>", "svaret er ikke en SOAP 1.1-konvolutt"},
      {"<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body/></s:Envelope>",
       "svaret er ikke en SOAP 1.1-konvolutt"},
      {"<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"/>", "har ikke noe Body"},
      {env + end, "Body er tomt"},
      {env + "<GetCustomerResponse xmlns=\"http://tempuri.org/\"/>" + end,
       "ventet {http://tempuri.org/}GetVehicleDataResponse, fikk {http://tempuri.org/}GetCustomerResponse"},
      {env + "<GetVehicleDataResponse xmlns=\"urn:feil\"/>" + end,
       "ventet {http://tempuri.org/}GetVehicleDataResponse, fikk {urn:feil}GetVehicleDataResponse"},
      {env + "<GetVehicleDataResponse xmlns=\"http://tempuri.org/\"><GetVehicleDataResult "
             "xmlns=\"http://schemas.datacontract.org/2004/07/ORV.Services.Tindrel2.Contracts\"/>"
             "</GetVehicleDataResponse>" + end,
       "ventet {http://tempuri.org/}GetVehicleDataResult, fikk {http://schemas.datacontract.org"},
      {env + "<GetVehicleDataResponse xmlns=\"http://tempuri.org/\"><Result/></GetVehicleDataResponse>" +
           end,
       "ventet {http://tempuri.org/}GetVehicleDataResult, fikk {http://tempuri.org/}Result"},
      {env + "<GetVehicleDataResponse xmlns=\"http://tempuri.org/\"/><Mer/>" + end,
       "Body har mer enn ett element"},
      {std::string(dr::kVehicleAB12345Reply.substr(0, dr::kVehicleAB12345Reply.size() / 2)),
       "ikke velformet XML"},
      {std::string(dr::kVehicleAB12345Reply.substr(0, dr::kVehicleAB12345Reply.size() - 1)),
       "ikke velformet XML"},
      {"<!DOCTYPE html><html/>", "DOCTYPE"},
      {"", "dokumentet er tomt"},
  };
  for (const Case& c : cases) {
    const std::string why = Refusal(c.body);
    EXPECT_TRUE(why.starts_with("Ugyldig svar fra tjenesten: ")) << c.body << " -> " << why;
    EXPECT_NE(why.find(c.expected), std::string::npos) << c.body << " -> " << why;
  }
}

TEST(SoapReply, RefusesOversizedReplies) {
  std::string big = VehicleReply("<a:Body>");
  big.insert(big.find("<a:Body>") + 8, soap::kMaxReplyBytes, 'x');
  EXPECT_EQ(Refusal(big), "Ugyldig svar fra tjenesten: svaret er større enn 16 MiB");
  EXPECT_THROW(soap::ReadHttpReply(HttpReply{200, "text/xml", big}, soap::kGetVehicleData),
               ProtocolError);
}

TEST(SoapReply, HttpStatusAndContentType) {
  auto read = [](int status, std::string ct, std::string_view body) {
    return soap::ReadHttpReply(HttpReply{status, std::move(ct), std::string(body)},
                               soap::kGetVehicleData);
  };
  EXPECT_TRUE(read(200, "text/xml; charset=utf-8", dr::kVehicleAB12345Reply).record);
  EXPECT_TRUE(read(200, "", dr::kVehicleAB12345Reply).record);
  EXPECT_THROW(read(500, "text/xml; charset=utf-8", dr::kInternalFault), RemoteFault);
  EXPECT_THROW(read(200, "text/xml", dr::kBadTokenFault), RemoteFault);
  auto transportText = [&](int status, std::string ct, std::string_view body) -> std::string {
    try {
      read(status, std::move(ct), body);
    } catch (const TransportError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(transportText(500, "text/plain; charset=utf-8", "Intern serverfeil"),
            "Tjenesten svarte med HTTP-feil 500");
  EXPECT_EQ(transportText(500, "text/xml", "<ikke soap/>"), "Tjenesten svarte med HTTP-feil 500");
  EXPECT_EQ(transportText(500, "text/xml", dr::kVehicleAB12345Reply),
            "Tjenesten svarte med HTTP-feil 500");
  EXPECT_EQ(transportText(503, "text/html", "<html/>"), "Tjenesten svarte med HTTP-feil 503");
  EXPECT_EQ(transportText(415, "", ""), "Tjenesten svarte med HTTP-feil 415");
  try {
    read(200, "text/html; charset=utf-8", "<!DOCTYPE html><html/>");
    FAIL();
  } catch (const ProtocolError& e) {
    EXPECT_STREQ(e.what(), "Ugyldig svar fra tjenesten: svaret er ikke SOAP (innholdstype "
                           "'text/html; charset=utf-8')");
  }
  EXPECT_THROW(read(200, "text/xml", ""), ProtocolError);
}

}  // namespace
}  // namespace tindrel

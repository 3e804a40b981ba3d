// Every reply of the test double, cut after every byte, must be refused: a
// reply that lost its end (closing result tag included) is an error, never an
// empty or partial result.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "contract/soap_binding.h"
#include "double_replies.h"

namespace tindrel {
namespace {

namespace dr = double_replies;

struct DoubleReply {
  const char* name;
  std::string_view body;
  const soap::Operation* op;
  bool fault;
};

const DoubleReply kReplies[] = {
    {"VehicleAB12345", dr::kVehicleAB12345Reply, &soap::kGetVehicleData, false},
    {"VehicleCD67890", dr::kVehicleCD67890Reply, &soap::kGetVehicleData, false},
    {"VehicleNil", dr::kVehicleNilReply, &soap::kGetVehicleData, false},
    {"BenchVehicle", dr::kBenchVehicleReply, &soap::kGetVehicleData, false},
    {"Customers", dr::kCustomersReply, &soap::kGetCustomers, false},
    {"InspectionK1001", dr::kInspectionK1001Reply, &soap::kGetInspectionData, false},
    {"History", dr::kHistoryReply, &soap::kGetInspectionsForVehicleForPeriod, false},
    {"Token", dr::kTokenReply, &soap::kAuthenticate, false},
    {"Url", dr::kUrlReply, &soap::kGetInspectionURL, false},
    {"IsTokenValid", dr::kIsTokenValidReply, &soap::kIsTokenValid, false},
    {"BadTokenFault", dr::kBadTokenFault, &soap::kGetVehicleData, true},
    {"InternalFault", dr::kInternalFault, &soap::kSaveInspection, true},
};

// Natively every cut is tried. Under Wine each MSXML parse costs over a
// millisecond (a new DOM document per reply), so there the cuts are every
// 16th byte plus all of the last 64, where the closing tags are lost.
bool TriedHere(size_t cut, size_t size) {
#ifdef _WIN32
  return cut % 16 == 0 || cut + 64 >= size;
#else
  (void)cut, (void)size;
  return true;
#endif
}

class ReplyCut : public ::testing::TestWithParam<DoubleReply> {};

TEST_P(ReplyCut, WholeReplyIsReadAndEveryCutIsAProtocolError) {
  const DoubleReply& r = GetParam();
  // The uncut reply is good, so the refusals below are about the cut alone.
  if (r.fault) {
    EXPECT_THROW(soap::ReadReply(r.body, *r.op), RemoteFault);
  } else {
    EXPECT_NO_THROW(soap::ReadReply(r.body, *r.op));
  }
  ASSERT_TRUE(r.body.ends_with('>')) << "a cut must remove part of the markup";

  size_t accepted = 0, otherErrors = 0;
  for (size_t cut = 0; cut < r.body.size(); ++cut) {
    if (!TriedHere(cut, r.body.size())) continue;
    // A copy of exactly the cut's length, so that a read past it shows
    // under AddressSanitizer.
    const std::string prefix(r.body.substr(0, cut));
    try {
      const soap::Reply reply = soap::ReadReply(prefix, *r.op);
      if (++accepted <= 3)
        ADD_FAILURE() << "cut at " << cut << " was read: record " << bool(reply.record) << ", "
                      << reply.items.size() << " items, text '" << reply.text << "', flag "
                      << reply.flag;
    } catch (const ProtocolError& e) {
      if (cut == 0) {
        EXPECT_STREQ(e.what(), "Ugyldig svar fra tjenesten: dokumentet er tomt");
      }
    } catch (const std::exception& e) {
      if (++otherErrors <= 3) ADD_FAILURE() << "cut at " << cut << ": not a ProtocolError: " << e.what();
    }
  }
  EXPECT_EQ(accepted, 0u);
  EXPECT_EQ(otherErrors, 0u);
}

INSTANTIATE_TEST_SUITE_P(DoubleReplies, ReplyCut, ::testing::ValuesIn(kReplies),
                         [](const ::testing::TestParamInfo<DoubleReply>& info) {
                           return std::string(info.param.name);
                         });

// The same cuts as an HTTP exchange: a 200 with half a reply is a
// ProtocolError, a 500 with half a fault is the HTTP error, not a fault.
TEST(ReplyCutOverHttp, StatusDecidesTheErrorOfACutReply) {
  for (size_t cut : {size_t{1}, dr::kTokenReply.size() / 2, dr::kTokenReply.size() - 1}) {
    const HttpReply ok{200, "text/xml; charset=utf-8", std::string(dr::kTokenReply.substr(0, cut))};
    EXPECT_THROW(soap::ReadHttpReply(ok, soap::kAuthenticate), ProtocolError) << cut;
  }
  for (size_t cut : {size_t{1}, dr::kBadTokenFault.size() / 2, dr::kBadTokenFault.size() - 1}) {
    const HttpReply failed{500, "text/xml; charset=utf-8",
                           std::string(dr::kBadTokenFault.substr(0, cut))};
    EXPECT_THROW(soap::ReadHttpReply(failed, soap::kAuthenticate), TransportError) << cut;
  }
}

}  // namespace
}  // namespace tindrel

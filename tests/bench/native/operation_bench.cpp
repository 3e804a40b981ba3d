// Times of the SOAP binding for each of the twelve operations: writing its
// request with the parameters the service proxy sends (the session's token
// included), reading a reply of the test double's kind into its result, and
// libxml2 alone parsing and freeing the same reply bytes. Prints one table
// line per operation after the benchmarks (scripts/bench).

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "contract/soap_binding.h"
#include "double_replies.h"
#include "operation_bench.h"

namespace {

using namespace tindrel;
namespace r = double_replies;

// `reply` with the array result of `from` turned into the single record
// result of `to`: its first item's fields under <to>Result.
std::string FirstItemAs(std::string_view reply, std::string_view from, std::string_view item,
                        std::string_view to) {
  const std::string open = "<" + std::string(item) + ">", close = "</" + std::string(item) + ">";
  const size_t begin = reply.find(open), end = reply.find(close);
  const std::string resultOpen = "<" + std::string(from) + "Result ";
  const size_t attrs = reply.find(resultOpen);
  if (begin == std::string_view::npos || end == std::string_view::npos ||
      attrs == std::string_view::npos)
    throw std::logic_error("no item to take");
  const size_t attrsEnd = reply.find('>', attrs);
  const std::string_view declarations =
      reply.substr(attrs + resultOpen.size(), attrsEnd - attrs - resultOpen.size());
  const std::string head(reply.substr(0, reply.find("<" + std::string(from) + "Response")));
  return head + "<" + std::string(to) + "Response xmlns=\"http://tempuri.org/\"><" +
         std::string(to) + "Result " + std::string(declarations) + ">" +
         std::string(reply.substr(begin + open.size(), end - begin - open.size())) + "</" +
         std::string(to) + "Result></" + std::string(to) + "Response></s:Body></s:Envelope>";
}

// `reply` with every "<from>" element name of its operation renamed.
std::string Renamed(std::string_view reply, std::string_view from, std::string_view to) {
  std::string s(reply);
  for (size_t i = 0; (i = s.find(from, i)) != std::string::npos; i += to.size())
    s.replace(i, from.size(), to);
  return s;
}

struct Parameters {
  ORVSecurityToken2 token;
  Tindrel2CustomerData2 customer;
  Tindrel2InspectionData2 inspection;
  Parameters() {
    bench::FillBenchToken(token);
    customer.SetCustomerNo("1002");
    customer.SetName("Ærlig & Sønn");
    customer.SetFirstName("Bjørn");
    customer.SetAddress1("Fjellveien 12");
    customer.SetZipCode("6003");
    customer.SetCity("Ålesund");
    inspection.SetCustomerNo("1002");
    inspection.SetRegNo("AB12345");
    inspection.SetVIN("TDL0000000A123456");
    inspection.SetOrderNo("A-778");
    inspection.SetPreviousInspectionNo("0000000000");
  }
};

const Parameters& Params() {
  static const Parameters p;
  return p;
}

struct Case {
  const soap::Operation* op;
  std::function<void(soap::RequestWriter&)> parameters;
  std::string reply;
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = [] {
    const Parameters& p = Params();
    auto token = [&p](soap::RequestWriter& w) { w.Record("token", &p.token); };
    auto text = [token](const char* name, const char* value) {
      return [=](soap::RequestWriter& w) {
        w.String(name, value);
        token(w);
      };
    };
    auto period = [token](soap::RequestWriter& w) {
      w.String("regNo", "AB12345");
      w.Int32("month", 3);
      w.Int32("year", 2019);
      token(w);
    };
    const std::string customer =
        FirstItemAs(r::kCustomersReply, "GetCustomers", "a:Tindrel2CustomerData", "GetCustomer");
    return std::vector<Case>{
        {&soap::kGetVehicleData, text("regNo", "AB12345"), std::string(r::kBenchVehicleReply)},
        {&soap::kGetCustomers, token, std::string(r::kCustomersReply)},
        {&soap::kGetCustomer, text("customerNo", "1001"), customer},
        {&soap::kSaveCustomer,
         [&p, token](soap::RequestWriter& w) {
           w.Record("customerData", &p.customer);
           token(w);
         },
         Renamed(customer, "GetCustomer", "SaveCustomer")},
        {&soap::kSaveInspection,
         [&p, token](soap::RequestWriter& w) {
           w.Record("inspectionData", &p.inspection);
           token(w);
         },
         Renamed(r::kInspectionK1001Reply, "GetInspectionData", "SaveInspection")},
        {&soap::kGetInspectionURL, text("inspectionNo", "K-1001"), std::string(r::kUrlReply)},
        {&soap::kAuthenticate,
         [](soap::RequestWriter& w) {
           w.String("userName", "verksted");
           w.String("password", "hemmelig1");
           w.String("salt", "VERKSTED-PC");
         },
         std::string(r::kTokenReply)},
        {&soap::kRenewToken, token, Renamed(r::kTokenReply, "Authenticate", "RenewToken")},
        {&soap::kIsTokenValid, token, std::string(r::kIsTokenValidReply)},
        {&soap::kIsVehicleApprovedForPeriod, period,
         FirstItemAs(r::kHistoryReply, "GetInspectionsForVehicleForPeriod",
                     "e:Tindrel2VehicleApprovalData", "IsVehicleApprovedForPeriod")},
        {&soap::kGetInspectionsForVehicleForPeriod, period, std::string(r::kHistoryReply)},
        {&soap::kGetInspectionData, text("inspectionNo", "K-1001"),
         std::string(r::kInspectionK1001Reply)},
    };
  }();
  return cases;
}

void Write(benchmark::State& state, const Case* c) {
  size_t bytes = 0;
  for (auto _ : state) {
    soap::RequestWriter w(*c->op);
    c->parameters(w);
    std::string envelope = w.Finish();
    bytes = envelope.size();
    benchmark::DoNotOptimize(envelope.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void Read(benchmark::State& state, const Case* c) {
  for (auto _ : state) {
    soap::Reply reply = soap::ReadReply(c->reply, *c->op);
    benchmark::DoNotOptimize(reply.record.get());
    benchmark::DoNotOptimize(reply.items.data());
  }
  state.counters["bytes"] = static_cast<double>(c->reply.size());
}

void Parse(benchmark::State& state, const Case* c) {
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadMemory(c->reply.data(), static_cast<int>(c->reply.size()), nullptr,
                                  nullptr, XML_PARSE_NONET);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.counters["bytes"] = static_cast<double>(c->reply.size());
}

}  // namespace

namespace tindrel::bench {

void FillBenchToken(ORVSecurityToken2& token) {
  token.SetCustomerName("Testverkstedet AS");
  token.SetCustomerNo(4242);
  token.SetSalt("VERKSTED-PC");
  token.SetSignature("SIG-verksted-1");
  token.SetUserID(7);
  token.SetUserName("verksted");
  token.SetValidTo(std::make_unique<XsDateTime>(*XsDateTime::Parse("2030-12-31T12:00:00.000+01:00")));
}

void RegisterOperationBenchmarks() {
  for (const Case& c : Cases()) {
    // Every reply must read as its operation's result, or the figure means
    // nothing: a reply that does not throws here, before any run.
    const soap::Reply check = soap::ReadReply(c.reply, *c.op);
    const bool empty = !check.record && check.items.empty() && check.text.empty() &&
                       c.op->kind != soap::ResultKind::Bool;
    if (empty) throw std::logic_error("an empty result for " + std::string(c.op->name));
    const std::string name(c.op->name);
    benchmark::RegisterBenchmark(("Write/" + name).c_str(), Write, &c)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Read/" + name).c_str(), Read, &c)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Parse/" + name).c_str(), Parse, &c)
        ->Unit(benchmark::kMicrosecond);
  }
}

void PrintOperationTable(const std::map<std::string, double>& medians) {
  std::printf("\nPer operation (medians, us): write request | read reply | libxml2 alone | "
              "read / libxml2\n");
  for (const Case& c : Cases()) {
    const std::string name(c.op->name);
    const auto w = medians.find("Write/" + name), rd = medians.find("Read/" + name),
               p = medians.find("Parse/" + name);
    if (w == medians.end() || rd == medians.end() || p == medians.end()) continue;
    std::printf("  %-34s %7.2f | %7.2f | %7.2f | %5.2f  (%zu reply bytes)\n", name.c_str(),
                w->second, rd->second, p->second, rd->second / p->second, c.reply.size());
  }
}

}  // namespace tindrel::bench

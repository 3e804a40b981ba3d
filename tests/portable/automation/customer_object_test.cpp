#include "automation/customer_object.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "fake_service.h"

namespace tindrel {
namespace {

using Strings = std::vector<std::string>;
constexpr int kNavn = 1, kMellomnavn = 3, kEpost = 8, kKundetype = 9, kKundenr = 13,
              kIntKundenr = 14;

std::unique_ptr<Tindrel2CustomerData2> Customer(const std::string& no, const std::string& name,
                                                bool company = false) {
  auto c = std::make_unique<Tindrel2CustomerData2>();
  c->SetCustomerNo(no);
  c->SetName(name);
  c->SetIsCompany(company);
  return c;
}

ArrayOfTindrel2CustomerData ThreeCustomers() {
  ArrayOfTindrel2CustomerData list;
  list.Append(Customer("1001", "Hansen Bil AS", true));
  list.Append(Customer("1002", "Olsen"));
  list.Append(Customer("1003", "Berg"));
  return list;
}

// Asserts that `call` fails with exactly `text`.
template <class Call>
void ExpectError(Call call, const std::string& text) {
  try {
    call();
    ADD_FAILURE() << "no error, expected " << text;
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), text);
  }
}

class CustomerObjectTest : public ::testing::Test {
 protected:
  test::TFakeSession session;
  TCustomerObject kunde{session.access};

  std::string Text(int dispid) { return TextValue(kunde.Get(dispid)); }
  std::string Number() { return kunde.Current() ? kunde.Current()->CustomerNo() : "(none)"; }
  void ServeThree() { session.service.customers = ThreeCustomers; }
};

TEST_F(CustomerObjectTest, NewObjectReadsEmptyAndDropsWrites) {
  kunde.SetNavn("Hansen");
  kunde.SetKundenr(1234);
  for (const MemberRow& row : kunde.Members()) {
    if (row.kind == MemberKind::Method) continue;
    EXPECT_EQ(kunde.Get(row.dispid), EmptyValue(row.type)) << row.name;
  }
  kunde.Slett();
  EXPECT_EQ(kunde.Current(), nullptr);
  EXPECT_TRUE(session.service.calls.empty());
  ExpectError([&] { kunde.FindNext(); }, "Ikke i listemodus");
}

TEST_F(CustomerObjectTest, WalkThroughTheListAndPastItsEnd) {
  ServeThree();
  kunde.FindFirst();
  EXPECT_EQ(Text(kNavn), "Hansen Bil AS");
  kunde.FindNext();
  kunde.FindNext();
  EXPECT_EQ(Text(kNavn), "Berg");
  EXPECT_EQ(Int32Value(kunde.Get(kKundenr)), 1003);
  ExpectError([&] { kunde.FindNext(); }, "Forbi siste kunde");
  EXPECT_EQ(kunde.Current(), nullptr);
  EXPECT_FALSE(kunde.ListMode());
  ExpectError([&] { kunde.FindNext(); }, "Ikke i listemodus");
  EXPECT_EQ(kunde.ListPosition(), 3);
  EXPECT_EQ(session.service.Requests(), Strings{"GetCustomers()"});
  // A new FindFirst starts over.
  kunde.FindFirst();
  EXPECT_EQ(Number(), "1001");
  EXPECT_EQ(kunde.ListPosition(), 0);
}

TEST_F(CustomerObjectTest, EmptyListLeavesListModeAsItWas) {
  kunde.FindFirst();
  EXPECT_EQ(Text(kNavn), "");
  ExpectError([&] { kunde.FindNext(); }, "Ikke i listemodus");

  ServeThree();
  kunde.FindFirst();
  session.service.customers = [] { return ArrayOfTindrel2CustomerData(); };
  kunde.FindFirst();
  EXPECT_EQ(kunde.Current(), nullptr);
  ExpectError([&] { kunde.FindNext(); }, "Forbi siste kunde");
}

TEST_F(CustomerObjectTest, NewCustomerIsSavedOnceNumberAndNameAreSetAndOnEveryWriteAfter) {
  kunde.Ny();
  kunde.SetKundetype(3);
  kunde.SetNavn("Hansen");
  kunde.SetFornavn("Per");
  EXPECT_TRUE(session.service.calls.empty());

  kunde.SetKundenr(1234);
  EXPECT_EQ(session.service.Requests(), Strings{"SaveCustomer(1234)"});
  const Tindrel2CustomerData2& sent = *session.service.sentCustomers.back();
  EXPECT_EQ(sent.Name(), "Hansen");
  EXPECT_EQ(sent.FirstName(), "Per");
  EXPECT_FALSE(sent.HasIsCompany());  // Kundetype never reaches the record
  EXPECT_EQ(Int32Value(kunde.Get(kIntKundenr)), 5001);
  EXPECT_EQ(Int16Value(kunde.Get(kKundetype)), 2);

  kunde.SetEpost("per@example.no");
  kunde.SetAdr1("Storgata 1");
  kunde.SetAdr2("Postboks 2");
  kunde.SetPostnr("0150");
  kunde.SetMellomnavn("Ole");  // ignored, no save
  EXPECT_EQ(session.service.Requests().size(), 5u);
  const Tindrel2CustomerData2& last = *session.service.sentCustomers.back();
  EXPECT_EQ(last.CustomerNoInternal(), 5001);  // the service's record is sent back
  EXPECT_EQ(last.Email(), "per@example.no");
  EXPECT_EQ(last.ZipCode(), "0150");
  EXPECT_FALSE(last.HasMiddleName());
}

TEST_F(CustomerObjectTest, BlankNameOrNumberIsNeverSaved) {
  kunde.Ny();
  kunde.SetNavn(" \t\n");
  kunde.SetKundenr(1234);
  kunde.SetEpost("x@example.no");
  EXPECT_TRUE(session.service.calls.empty());
  EXPECT_EQ(Text(kNavn), " \t\n");  // kept as written

  kunde.Ny();
  kunde.SetNavn("Hansen");
  kunde.SetEpost("x@example.no");
  EXPECT_TRUE(session.service.calls.empty());
}

TEST_F(CustomerObjectTest, KundenrReadsDigitsOnly) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0042", 42}, {"12A", 0}, {" ", 0}, {"", 0}, {"-8", -8}, {"99999999999", 0}};
  for (const auto& [text, expected] : cases) {
    session.service.customer = [text](const std::string&) { return Customer(text, "X"); };
    kunde.Finn(1);
    EXPECT_EQ(Int32Value(kunde.Get(kKundenr)), expected) << '"' << text << '"';
  }
}

TEST_F(CustomerObjectTest, FinnUnknownCustomerLeavesNoneCurrent) {
  session.service.customer = [](const std::string& no) -> std::unique_ptr<Tindrel2CustomerData2> {
    if (no == "1002") return Customer("1002", "Olsen");
    return nullptr;
  };
  kunde.Finn(1002);
  EXPECT_EQ(Text(kNavn), "Olsen");
  ExpectError([&] { kunde.Finn(99999); }, "Kunde ikke funnet");
  EXPECT_EQ(Text(kNavn), "");
  ExpectError([&] { kunde.Finn(-7); }, "Kunde ikke funnet");
  EXPECT_EQ(session.service.Requests(),
            (Strings{"GetCustomer(1002)", "GetCustomer(99999)", "GetCustomer(-7)"}));
}

TEST_F(CustomerObjectTest, FinnWithCancelledLoginFindsNoCustomer) {
  session.service.customer = [](const std::string& no) { return Customer(no, "Olsen"); };
  session.platform.loginsAccepted = 0;
  ExpectError([&] { kunde.Finn(1002); }, "Kunde ikke funnet");
  EXPECT_TRUE(session.service.calls.empty());
  EXPECT_EQ(session.platform.loginDialogs, 1);
}

TEST_F(CustomerObjectTest, CustomerTypeAndMiddleName) {
  ServeThree();
  session.service.customers = [] {
    ArrayOfTindrel2CustomerData list = ThreeCustomers();
    list[1].SetMiddleName("Kristian");
    return list;
  };
  kunde.FindFirst();
  EXPECT_EQ(Int16Value(kunde.Get(kKundetype)), 1);
  kunde.SetKundetype(3);
  EXPECT_EQ(Int16Value(kunde.Get(kKundetype)), 1);
  kunde.FindNext();
  EXPECT_EQ(Int16Value(kunde.Get(kKundetype)), 2);
  EXPECT_EQ(Text(kMellomnavn), "");
}

TEST_F(CustomerObjectTest, NyInTheMiddleOfTheWalkThenFindNextContinues) {
  ServeThree();
  kunde.FindFirst();
  kunde.FindNext();  // 1002
  kunde.Ny();
  EXPECT_EQ(Text(kNavn), "");
  kunde.FindNext();
  EXPECT_EQ(Number(), "1003");
}

TEST_F(CustomerObjectTest, SavingAListCustomerReplacesOnlyTheCurrentOne) {
  ServeThree();
  session.service.saveCustomer = [](const Tindrel2CustomerData2& in) {
    auto out = in.Clone();
    out->SetCustomerNoInternal(6001);
    out->SetCity("OSLO");
    return out;
  };
  kunde.FindFirst();
  kunde.SetEpost("post@hansenbil.no");
  EXPECT_EQ(session.service.Requests(), (Strings{"GetCustomers()", "SaveCustomer(1001)"}));
  EXPECT_EQ(Text(7), "OSLO");  // Poststed from the saved record
  EXPECT_EQ(Int32Value(kunde.Get(kIntKundenr)), 6001);
  kunde.SetEpost("salg@hansenbil.no");
  EXPECT_EQ(session.service.sentCustomers.back()->CustomerNoInternal(), 6001);
  kunde.FindNext();
  EXPECT_EQ(Number(), "1002");
  kunde.FindNext();
  EXPECT_EQ(Number(), "1003");
}

TEST_F(CustomerObjectTest, NewListWhileASaveWaitsForALoginLeavesTheSavedRecordIntact) {
  ServeThree();
  session.platform.loginsAccepted = 1;
  kunde.FindFirst();
  session.service.saveCustomer =
      [](const Tindrel2CustomerData2&) -> std::unique_ptr<Tindrel2CustomerData2> {
    throw TransportError("Tidsavbrudd");
  };
  // The failed save asks for a new login; meanwhile the client fetches the
  // list again, which replaces the list the record being saved belongs to.
  session.platform.loginsAccepted = 1;
  session.platform.duringLogin = [&] {
    session.platform.duringLogin = nullptr;
    session.service.saveCustomer = [](const Tindrel2CustomerData2& in) { return in.Clone(); };
    kunde.FindFirst();
    kunde.FindNext();
  };
  kunde.SetEpost("post@hansenbil.no");
  EXPECT_EQ(session.service.Requests(),
            (Strings{"GetCustomers()", "SaveCustomer(1001)", "GetCustomers()",
                     "SaveCustomer(1001)"}));
  EXPECT_EQ(session.service.sentCustomers.back()->Email(), "post@hansenbil.no");
  EXPECT_EQ(Number(), "1002");
}

TEST_F(CustomerObjectTest, CancelledSaveKeepsTheWrittenValues) {
  kunde.Ny();
  kunde.SetNavn("Hansen");
  session.platform.loginsAccepted = 0;
  kunde.SetKundenr(55);
  EXPECT_EQ(session.platform.loginDialogs, 1);
  EXPECT_EQ(Int32Value(kunde.Get(kKundenr)), 55);
  EXPECT_EQ(Int32Value(kunde.Get(kIntKundenr)), 0);
}

TEST_F(CustomerObjectTest, RequestErrorsLeaveTheStateTheFailedStepFound) {
  ServeThree();
  kunde.FindFirst();
  kunde.FindNext();
  session.service.customers = []() -> ArrayOfTindrel2CustomerData {
    throw TransportError("Tidsavbrudd");
  };
  session.service.customer = [](const std::string&) -> std::unique_ptr<Tindrel2CustomerData2> {
    throw TransportError("Tidsavbrudd");
  };
  session.service.authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw RemoteFault("Ukjent bruker");
  };
  ExpectError([&] { kunde.FindFirst(); }, "Ukjent bruker");
  EXPECT_EQ(Number(), "1002");
  EXPECT_TRUE(kunde.ListMode());
  EXPECT_EQ(kunde.ListPosition(), 1);

  ExpectError([&] { kunde.Finn(1001); }, "Ukjent bruker");
  EXPECT_EQ(kunde.Current(), nullptr);
  kunde.FindNext();  // the walk goes on from where it was
  EXPECT_EQ(Number(), "1003");
}

}  // namespace
}  // namespace tindrel

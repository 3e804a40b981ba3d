#pragma once
// TCustomerObject: what ORV_Kunde does. The object has a current customer
// that every property reads and writes; it can fetch one customer by number
// (Finn), walk the whole customer list (FindFirst, FindNext) and start a new
// customer (Ny). Once the current customer has a non-blank number and name,
// every saving write sends it to the service at once, one request per write,
// and the service's answer becomes the current customer.
//
// The COM class forwards member by member:
//   every property get                     Get(dispid), the value in the
//                                          type of its member_tables.h row
//   Navn, Fornavn, Adr1, Adr2, Postnr,     SetNavn(...) and so on: store,
//   Epost, Kundenr puts                    then the save rule
//   Mellomnavn (3), Kundetype (9) puts     accepted and ignored
//   Ny (10), Slett (11), Finn (12),        the methods of the same names;
//   FindFirst (15), FindNext (16)          Slett deletes nothing
//
// ORV_Kunde2 has no members and needs no behaviour object.
//
// Errors leave as tindrel::Error: "Kunde ikke funnet", "Ikke i listemodus",
// "Forbi siste kunde", or the text of a request's own failure.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "automation/conversions.h"
#include "automation/member_tables.h"
#include "contract/records.h"
#include "session/service_access.h"

namespace tindrel {

class TCustomerObject {
 public:
  // `service` must outlive the object.
  explicit TCustomerObject(TServiceAccess& service);

  std::span<const MemberRow> Members() const { return kKundeMembers; }
  // The current customer, or null.
  const Tindrel2CustomerData2* Current() const { return current_.get(); }
  bool ListMode() const { return listMode_; }
  int32_t ListPosition() const { return position_; }

  AutoValue Get(int dispid) const;

  void SetNavn(std::string name);
  void SetFornavn(std::string firstName);
  void SetAdr1(std::string address1);
  void SetAdr2(std::string address2);
  void SetPostnr(std::string zipCode);
  void SetEpost(std::string email);
  void SetKundenr(int32_t customerNo);
  // MiddleName and IsCompany are never changed through this object.
  void SetMellomnavn(const std::string&) {}
  void SetKundetype(int16_t) {}

  // A new, empty customer becomes current; nothing is sent. The list walk,
  // if one is going on, carries on from where it was.
  void Ny();
  // No customer is ever deleted through this object.
  void Slett() {}
  // The customer with this number becomes current; "Kunde ikke funnet" and
  // no current customer when the service has none (or no login was had).
  void Finn(int32_t customerNo);
  // Fetches the whole list; its first customer becomes current.
  void FindFirst();
  // The next customer of the list becomes current.
  void FindNext();

 private:
  template <class Store>
  void Write(Store store);
  void SaveIfReady();

  TServiceAccess& service_;
  // The current customer is either a record of its own or one of the list;
  // then it shares the ownership of the whole list, so that neither a new
  // list nor a saved record can pull it away while it is still in use (the
  // login dialog of a request lets other calls in before the request ends).
  std::shared_ptr<ArrayOfTindrel2CustomerData> list_;
  std::shared_ptr<Tindrel2CustomerData2> current_;
  bool listMode_ = false;
  int32_t position_ = 0;
};

}  // namespace tindrel

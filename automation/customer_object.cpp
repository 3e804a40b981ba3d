#include "automation/customer_object.h"

#include <stdexcept>
#include <utility>

#include "base/errors.h"

namespace tindrel {

TCustomerObject::TCustomerObject(TServiceAccess& service)
    : service_(service), list_(std::make_shared<ArrayOfTindrel2CustomerData>()) {}

AutoValue TCustomerObject::Get(int dispid) const {
  const MemberRow* row = FindMember(Members(), dispid);
  if (!row) throw std::logic_error("no such member of IORV_Kunde");
  // No customer row reads a date or the clock.
  return ReadMember(*row, current_.get(), ReadContext{SystemTimeZone(), SystemClock()});
}

template <class Store>
void TCustomerObject::Write(Store store) {
  if (!current_) return;
  store(*current_);
  SaveIfReady();
}

void TCustomerObject::SetNavn(std::string name) {
  Write([&](Tindrel2CustomerData2& c) { c.SetName(std::move(name)); });
}

void TCustomerObject::SetFornavn(std::string firstName) {
  Write([&](Tindrel2CustomerData2& c) { c.SetFirstName(std::move(firstName)); });
}

void TCustomerObject::SetAdr1(std::string address1) {
  Write([&](Tindrel2CustomerData2& c) { c.SetAddress1(std::move(address1)); });
}

void TCustomerObject::SetAdr2(std::string address2) {
  Write([&](Tindrel2CustomerData2& c) { c.SetAddress2(std::move(address2)); });
}

void TCustomerObject::SetPostnr(std::string zipCode) {
  Write([&](Tindrel2CustomerData2& c) { c.SetZipCode(std::move(zipCode)); });
}

void TCustomerObject::SetEpost(std::string email) {
  Write([&](Tindrel2CustomerData2& c) { c.SetEmail(std::move(email)); });
}

void TCustomerObject::SetKundenr(int32_t customerNo) {
  Write([&](Tindrel2CustomerData2& c) { c.SetCustomerNo(CustomerNumberText(customerNo)); });
}

void TCustomerObject::SaveIfReady() {
  if (!current_ || IsBlank(current_->CustomerNo()) || IsBlank(current_->Name())) return;
  const std::shared_ptr<Tindrel2CustomerData2> sent = current_;
  std::unique_ptr<Tindrel2CustomerData2> saved = service_.StoreCustomer(*sent);
  // Null means the user broke off the login: the current customer stays. A
  // record of the list stays in the list either way. When the client moved
  // on to another customer while the request waited for a login, the answer
  // is not forced on that one.
  if (saved && current_ == sent) current_ = std::move(saved);
}

void TCustomerObject::Ny() { current_ = std::make_shared<Tindrel2CustomerData2>(); }

void TCustomerObject::Finn(int32_t customerNo) {
  // Dropped first: a failed request leaves no current customer either.
  current_.reset();
  current_ = service_.FetchCustomer(CustomerNumberText(customerNo));
  if (!current_) throw Error("Kunde ikke funnet");
}

void TCustomerObject::FindFirst() {
  // A failed request changes nothing.
  auto list = std::make_shared<ArrayOfTindrel2CustomerData>(service_.FetchCustomerList());
  list_ = std::move(list);
  position_ = 0;
  current_.reset();
  if (list_->Empty()) return;  // list mode keeps its earlier value
  listMode_ = true;
  current_ = std::shared_ptr<Tindrel2CustomerData2>(list_, &(*list_)[0]);
}

void TCustomerObject::FindNext() {
  if (!listMode_) throw Error("Ikke i listemodus");
  ++position_;
  current_.reset();
  if (static_cast<size_t>(position_) < list_->Length()) {
    const size_t at = static_cast<size_t>(position_);
    current_ = std::shared_ptr<Tindrel2CustomerData2>(list_, &(*list_)[at]);
    return;
  }
  listMode_ = false;
  throw Error("Forbi siste kunde");
}

}  // namespace tindrel

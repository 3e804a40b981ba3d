#include "automation/inspection_object.h"

#include <stdexcept>
#include <utility>

namespace tindrel {

TInspectionObject::TInspectionObject(Interface iface, TServiceAccess& service,
                                     const ITimeZone& zone, IEventTarget& events)
    : iface_(iface), service_(service), zone_(zone), events_(events) {}

std::span<const MemberRow> TInspectionObject::Members() const {
  return iface_ == Interface::Kontroll2 ? kKontroll2Members : kKontrollMembers;
}

void TInspectionObject::NyKontroll() { held_ = std::make_shared<Tindrel2InspectionData2>(); }

AutoValue TInspectionObject::Get(int dispid) const {
  const MemberRow* row = FindMember(Members(), dispid);
  if (!row) throw std::logic_error("no such member of the inspection interface");
  // The clock is never read by these rows.
  return ReadMember(*row, held_.get(), ReadContext{zone_, SystemClock()});
}

template <class Store>
void TInspectionObject::Write(Store store) {
  if (!held_) return;
  store(*held_);
  SaveIfReady();
}

void TInspectionObject::SetKjennemerke(std::string regNo) {
  Write([&](Tindrel2InspectionData2& r) { r.SetRegNo(std::move(regNo)); });
}

void TInspectionObject::SetUnderstellsnr(std::string vin) {
  Write([&](Tindrel2InspectionData2& r) { r.SetVIN(std::move(vin)); });
}

void TInspectionObject::SetKundenr(int32_t customerNo) {
  Write([&](Tindrel2InspectionData2& r) { r.SetCustomerNo(CustomerNumberText(customerNo)); });
}

void TInspectionObject::SetTidlKontrollnr(std::string previousInspectionNo) {
  Write([&](Tindrel2InspectionData2& r) {
    r.SetPreviousInspectionNo(std::move(previousInspectionNo));
  });
}

void TInspectionObject::SetSignatur(std::string initials) {
  Write([&](Tindrel2InspectionData2& r) { r.SetInspectedByInitials(std::move(initials)); });
}

void TInspectionObject::SetKm_stand(int32_t mileage) {
  Write([&](Tindrel2InspectionData2& r) { r.SetMileage(mileage); });
}

void TInspectionObject::SetKvitteringsnr(std::string orderNo) {
  if (iface_ != Interface::Kontroll2)
    throw std::logic_error("Kvitteringsnr is a member of IORV_Kontroll2 only");
  Write([&](Tindrel2InspectionData2& r) { r.SetOrderNo(std::move(orderNo)); });
}

void TInspectionObject::SaveIfReady() {
  if (!held_ || IsBlank(held_->RegNo()) || IsBlank(held_->VIN())) return;
  const std::shared_ptr<Tindrel2InspectionData2> sent = held_;
  std::unique_ptr<Tindrel2InspectionData2> saved = service_.StoreInspection(*sent);
  // Null means the user broke off the login: the record stays as it is. An
  // answer is not forced on a record that NyKontroll put in place while the
  // request waited for a login.
  if (saved && held_ == sent) {
    // The client's VIN (often only its last positions) stays what the client
    // wrote; the service's full VIN remains readable as Understellsnrfull.
    saved->SetVIN(sent->VIN());
    held_ = std::move(saved);
  }
  // Fired after the answer is adopted, so the handler reads the service's
  // record, and after the last use of our state, so a handler that calls
  // back into the object finds it consistent.
  events_.Fire(kGrunnverdierOK);
}

}  // namespace tindrel

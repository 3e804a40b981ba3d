#include "automation/inspection_object.h"

#include <functional>
#include <stdexcept>
#include <utility>

namespace tindrel {

TInspectionObject::TInspectionObject(Interface iface, TServiceAccess& service,
                                     const ITimeZone& zone, IEventTarget& events)
    : iface_(iface), service_(service), zone_(zone), events_(events) {}

std::span<const MemberRow> TInspectionObject::Members() const {
  return iface_ == Interface::Kontroll2 ? kKontroll2Members : kKontrollMembers;
}

void TInspectionObject::NyKontroll() {
  held_ = std::make_shared<Tindrel2InspectionData2>();
  // Writes to the record dropped are not carried over to the new one.
  lateWrites_.clear();
}

AutoValue TInspectionObject::Get(int dispid) const {
  const MemberRow* row = FindMember(Members(), dispid);
  if (!row) throw std::logic_error("no such member of the inspection interface");
  // The clock is never read by these rows.
  return ReadMember(*row, held_.get(), ReadContext{zone_, SystemClock()});
}

void TInspectionObject::Write(std::function<void(Tindrel2InspectionData2&)> store) {
  if (!held_) return;
  store(*held_);
  if (saving_) {
    // A save of this record is in flight (its login dialog let this call
    // in): no second save of the unsaved record. The write is kept to go on
    // the record the service answers with, which the save then sends once
    // more.
    lateWrites_.push_back(std::move(store));
    return;
  }
  SaveIfReady();
}

void TInspectionObject::SetKjennemerke(std::string regNo) {
  Write([regNo = std::move(regNo)](Tindrel2InspectionData2& r) { r.SetRegNo(regNo); });
}

void TInspectionObject::SetUnderstellsnr(std::string vin) {
  Write([vin = std::move(vin)](Tindrel2InspectionData2& r) { r.SetVIN(vin); });
}

void TInspectionObject::SetKundenr(int32_t customerNo) {
  Write([customerNo](Tindrel2InspectionData2& r) { r.SetCustomerNo(CustomerNumberText(customerNo)); });
}

void TInspectionObject::SetTidlKontrollnr(std::string previousInspectionNo) {
  Write([no = std::move(previousInspectionNo)](Tindrel2InspectionData2& r) {
    r.SetPreviousInspectionNo(no);
  });
}

void TInspectionObject::SetSignatur(std::string initials) {
  Write([initials = std::move(initials)](Tindrel2InspectionData2& r) {
    r.SetInspectedByInitials(initials);
  });
}

void TInspectionObject::SetKm_stand(int32_t mileage) {
  Write([mileage](Tindrel2InspectionData2& r) { r.SetMileage(mileage); });
}

void TInspectionObject::SetKvitteringsnr(std::string orderNo) {
  if (iface_ != Interface::Kontroll2)
    throw std::logic_error("Kvitteringsnr is a member of IORV_Kontroll2 only");
  Write([orderNo = std::move(orderNo)](Tindrel2InspectionData2& r) { r.SetOrderNo(orderNo); });
}

bool TInspectionObject::Ready() const {
  return held_ && !IsBlank(held_->RegNo()) && !IsBlank(held_->VIN());
}

void TInspectionObject::SaveIfReady() {
  if (!Ready()) return;
  saving_ = true;
  struct EndSaving {
    bool& saving;
    ~EndSaving() { saving = false; }
  } endSaving{saving_};
  // One round per send; writes that came in during a send make one more.
  do {
    lateWrites_.clear();
    const std::shared_ptr<Tindrel2InspectionData2> sent = held_;
    std::unique_ptr<Tindrel2InspectionData2> saved = service_.StoreInspection(*sent);
    // Null means the user broke off the login: the record stays as it is. An
    // answer is not forced on a record that NyKontroll put in place while the
    // request waited for a login.
    if (saved && held_ == sent) {
      // The client's VIN (often only its last positions) stays what the
      // client wrote; the service's full VIN remains readable as
      // Understellsnrfull.
      saved->SetVIN(sent->VIN());
      held_ = std::move(saved);
      // What the client wrote meanwhile went into the record sent; it goes
      // on the service's record (with its inspection number) as well.
      for (const auto& write : lateWrites_) write(*held_);
    }
    // Fired after the answer is adopted, so the handler reads the service's
    // record; a handler that writes back adds one more round.
    events_.Fire(kGrunnverdierOK);
  } while (!lateWrites_.empty() && Ready());
}

}  // namespace tindrel

#include "contract/records.h"

#include <gtest/gtest.h>

#include <set>

namespace tindrel {
namespace {

const RecordType* const kAllTypes[] = {&Tindrel2CustomerData2::kDescriptor,
                                       &Tindrel2InspectionData2::kDescriptor,
                                       &Tindrel2VehicleData2::kDescriptor,
                                       &Tindrel2VehicleApprovalData2::kDescriptor,
                                       &ORVSecurityToken2::kDescriptor};

TEST(Records, FieldCountsNamesAndNamespaces) {
  EXPECT_EQ(Tindrel2CustomerData2::kDescriptor.fields.size(), 16u);
  EXPECT_EQ(Tindrel2InspectionData2::kDescriptor.fields.size(), 27u);
  EXPECT_EQ(Tindrel2VehicleData2::kDescriptor.fields.size(), 71u);
  EXPECT_EQ(Tindrel2VehicleApprovalData2::kDescriptor.fields.size(), 5u);
  EXPECT_EQ(ORVSecurityToken2::kDescriptor.fields.size(), 7u);
  EXPECT_EQ(Tindrel2CustomerData2::kDescriptor.xmlName, "Tindrel2CustomerData");
  EXPECT_EQ(ORVSecurityToken2::kDescriptor.xmlName, "ORVSecurityToken");
  EXPECT_EQ(ORVSecurityToken2::kDescriptor.ns, XmlNamespace::Security);
  EXPECT_EQ(Tindrel2VehicleData2::kDescriptor.ns, XmlNamespace::Contracts);
  // Spot checks of rows against the contract.
  const auto& v = Tindrel2VehicleData2::kDescriptor.fields;
  EXPECT_EQ(v[Tindrel2VehicleData2::kVin].name, "Vin");
  EXPECT_EQ(Tindrel2VehicleData2::kVin, 64u);  // the 65th element
  EXPECT_EQ(v[Tindrel2VehicleData2::kEnginePower].kind, FieldKind::Decimal);
  EXPECT_FALSE(v[Tindrel2VehicleData2::kEnginePower].nillable);
  EXPECT_EQ(v[Tindrel2VehicleData2::kAutosysMakeCode].kind, FieldKind::Int16);
  EXPECT_EQ(v[Tindrel2VehicleData2::kVehicleApproval].nested,
            &Tindrel2VehicleApprovalData2::kDescriptor);
  const auto& i = Tindrel2InspectionData2::kDescriptor.fields;
  EXPECT_EQ(i[Tindrel2InspectionData2::kCustomer].nested, &Tindrel2CustomerData2::kDescriptor);
  EXPECT_TRUE(i[Tindrel2InspectionData2::kVehicleApproved].nillable);
  EXPECT_FALSE(i[Tindrel2InspectionData2::kCreateSucceeded].nillable);
}

TEST(Records, FieldsStandInOrdinalOrderOfTheirNames) {
  // The wire order is the code-point order: DPF before Displacement,
  // RegNo before RegistrationCountryDate, VIN before Vehicle.
  for (const RecordType* t : kAllTypes) {
    for (size_t f = 1; f < t->fields.size(); ++f)
      EXPECT_LT(t->fields[f - 1].name, t->fields[f].name) << t->className;
    std::set<std::string_view> names;
    for (const FieldInfo& f : t->fields) names.insert(f.name);
    EXPECT_EQ(names.size(), t->fields.size()) << t->className;
  }
}

TEST(Records, NewRecordIsEmptyAndUnflagged) {
  for (const RecordType* t : kAllTypes) {
    auto r = t->create();
    ASSERT_EQ(&r->Descriptor(), t);
    for (size_t f = 0; f < r->FieldCount(); ++f) {
      EXPECT_FALSE(r->Has(f)) << t->fields[f].name;
      switch (t->fields[f].kind) {
        case FieldKind::String: EXPECT_EQ(r->GetString(f), ""); break;
        case FieldKind::Int32: EXPECT_EQ(r->GetInt32(f), 0); break;
        case FieldKind::Int16: EXPECT_EQ(r->GetInt16(f), 0); break;
        case FieldKind::Bool: EXPECT_FALSE(r->GetBool(f)); break;
        case FieldKind::DateTime: EXPECT_EQ(r->GetDateTime(f), nullptr); break;
        case FieldKind::Decimal: EXPECT_EQ(r->GetDecimal(f), nullptr); break;
        case FieldKind::Record: EXPECT_EQ(r->GetRecord(f), nullptr); break;
      }
    }
  }
}

TEST(Records, EverySetterFlagsItsFieldEvenForEmptyValues) {
  Tindrel2CustomerData2 c;
  c.SetCustomerNo("");
  c.SetIsCompany(false);
  c.SetCustomerNoInternal(0);
  EXPECT_TRUE(c.HasCustomerNo());
  EXPECT_TRUE(c.HasIsCompany());
  EXPECT_TRUE(c.HasCustomerNoInternal());
  EXPECT_FALSE(c.HasName());
  EXPECT_FALSE(c.HasCity());

  Tindrel2InspectionData2 i;
  i.SetCustomer(nullptr);
  i.SetInspectionCreatedDate(nullptr);
  EXPECT_TRUE(i.HasCustomer());
  EXPECT_TRUE(i.HasInspectionCreatedDate());
  EXPECT_FALSE(i.HasVehicle());
  // Typed and generic access see the same slot.
  i.SetMileage(70000);
  EXPECT_EQ(i.GetInt32(Tindrel2InspectionData2::kMileage), 70000);
  EXPECT_TRUE(i.Has(Tindrel2InspectionData2::kMileage));
}

TEST(Records, NestedValuesAreOwnedAndReplacedWithoutLeaks) {
  // Run under LeakSanitizer: a replaced or destroyed nested value that was
  // not freed fails the sanitizer build.
  auto inspection = std::make_unique<Tindrel2InspectionData2>();
  auto customer = std::make_unique<Tindrel2CustomerData2>();
  customer->SetName("Bbb");
  Tindrel2CustomerData2* raw = customer.get();
  inspection->SetCustomer(std::move(customer));
  EXPECT_EQ(inspection->Customer(), raw);
  EXPECT_EQ(inspection->Customer()->Name(), "Bbb");

  inspection->SetCustomer(std::make_unique<Tindrel2CustomerData2>());
  EXPECT_NE(inspection->Customer(), nullptr);
  EXPECT_FALSE(inspection->Customer()->HasName());

  auto vehicle = std::make_unique<Tindrel2VehicleData2>();
  vehicle->SetEnginePower(std::make_unique<XsDecimal>(*XsDecimal::Parse("110.9")));
  vehicle->SetEnginePower(std::make_unique<XsDecimal>(*XsDecimal::Parse("75")));
  vehicle->SetPkkLastDate(std::make_unique<XsDateTime>(*XsDateTime::Parse("2019-03-01T00:00:00")));
  auto approval = std::make_unique<Tindrel2VehicleApprovalData2>();
  approval->SetApprovedDate(std::make_unique<XsDateTime>(*XsDateTime::Parse("2019-03-01T00:00:00Z")));
  vehicle->SetVehicleApproval(std::move(approval));
  inspection->SetVehicle(std::move(vehicle));
  EXPECT_EQ(inspection->Vehicle()->EnginePower()->Text(), "75");
  inspection.reset();
}

TEST(Records, NestedRecordOfTheWrongTypeIsRefused) {
  Tindrel2InspectionData2 i;
  EXPECT_THROW(i.SetRecord(Tindrel2InspectionData2::kCustomer,
                           std::make_unique<Tindrel2VehicleData2>()),
               std::logic_error);
  EXPECT_FALSE(i.HasCustomer());
}

TEST(Records, CloneIsDeepAndKeepsFlags) {
  Tindrel2InspectionData2 i;
  i.SetRegNo("AB12345");
  i.SetCreateSucceeded(false);
  auto c = std::make_unique<Tindrel2CustomerData2>();
  c->SetCustomerNo("123");
  i.SetCustomer(std::move(c));
  i.SetInspectionCreatedDate(std::make_unique<XsDateTime>(*XsDateTime::Parse("2020-01-01T00:00:00Z")));

  auto copy = i.Clone();
  EXPECT_TRUE(SameFields(i, *copy));
  EXPECT_NE(copy->Customer(), i.Customer());
  EXPECT_NE(copy->InspectionCreatedDate(), i.InspectionCreatedDate());
  copy->Customer()->SetCustomerNo("999");
  EXPECT_EQ(i.Customer()->CustomerNo(), "123");
  EXPECT_FALSE(SameFields(i, *copy));
  EXPECT_FALSE(copy->HasVIN());

  Tindrel2InspectionData2 other;
  other.SetRegNo("AB12345");
  EXPECT_FALSE(SameFields(i, other));  // differing flags
}

TEST(Records, ArraysOwnTheirItemsInOrder) {
  ArrayOfTindrel2CustomerData list;
  for (const char* no : {"1", "2", "3"}) {
    auto c = std::make_unique<Tindrel2CustomerData2>();
    c->SetCustomerNo(no);
    list.Append(std::move(c));
  }
  ASSERT_EQ(list.Length(), 3u);
  EXPECT_EQ(list[0].CustomerNo(), "1");
  EXPECT_EQ(list[2].CustomerNo(), "3");
  EXPECT_THROW(list[3], std::out_of_range);
  EXPECT_EQ(ArrayOfTindrel2VehicleApprovalData::Item::kDescriptor.xmlName,
            "Tindrel2VehicleApprovalData");
}

}  // namespace
}  // namespace tindrel

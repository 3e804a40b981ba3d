#pragma once
// The field tables of the service records: the one place where each field's
// element name, type, nillability and wire order are written. Rows stand in
// wire order (ordinal order of the element names). Every accessor, descriptor
// and the XML binding are expanded from these lists.
//
// F(Name, Kind, NestedType, Nillable)
//   Kind: String, Int32, Int16, Bool, DateTime, Decimal or Record;
//   NestedType: the record class for Kind Record, otherwise `_`.

#define TINDREL_CUSTOMER_FIELDS(F)        \
  F(Address1, String, _, true)            \
  F(Address2, String, _, true)            \
  F(City, String, _, true)                \
  F(Comments, String, _, true)            \
  F(CustomerNo, String, _, true)          \
  F(CustomerNoInternal, Int32, _, false)  \
  F(Email, String, _, true)               \
  F(Fax, String, _, true)                 \
  F(FirstName, String, _, true)           \
  F(HomePhone, String, _, true)           \
  F(IsCompany, Bool, _, false)            \
  F(MiddleName, String, _, true)          \
  F(MobilePhone, String, _, true)         \
  F(Name, String, _, true)                \
  F(WorkPhone, String, _, true)           \
  F(ZipCode, String, _, true)

#define TINDREL_INSPECTION_FIELDS(F)                     \
  F(Count0, Int32, _, true)                              \
  F(Count1, Int32, _, true)                              \
  F(Count2, Int32, _, true)                              \
  F(Count3, Int32, _, true)                              \
  F(Count4, Int32, _, true)                              \
  F(Count9, Int32, _, true)                              \
  F(CreateFailedReason, String, _, true)                 \
  F(CreateSucceeded, Bool, _, false)                     \
  F(Customer, Record, Tindrel2CustomerData2, true)       \
  F(CustomerNo, String, _, true)                         \
  F(InspectedByInitials, String, _, true)                \
  F(InspectionConcludedDate, DateTime, _, true)          \
  F(InspectionCreatedDate, DateTime, _, true)            \
  F(InspectionNo, String, _, true)                       \
  F(InspectionStatusName, String, _, true)               \
  F(InspectionStatusNo, Int32, _, false)                 \
  F(InspectionTypeCode, String, _, true)                 \
  F(InspectionTypeName, String, _, true)                 \
  F(InspectionTypeNo, Int32, _, false)                   \
  F(Mileage, Int32, _, true)                             \
  F(OrderNo, String, _, true)                            \
  F(PreviousInspectionNo, String, _, true)               \
  F(RegNo, String, _, true)                              \
  F(VIN, String, _, true)                                \
  F(Vehicle, Record, Tindrel2VehicleData2, true)         \
  F(VehicleApproved, Bool, _, true)                      \
  F(VehicleBannedFromUse, Bool, _, true)

#define TINDREL_VEHICLE_FIELDS(F)                                  \
  F(AutosysMakeCode, Int16, _, true)                               \
  F(AxleCount, Int32, _, false)                                    \
  F(AxleDriveCount, Int32, _, false)                               \
  F(AxleLoadMaxFront, Int32, _, false)                             \
  F(AxleLoadMaxRear, Int32, _, false)                              \
  F(Body, String, _, true)                                         \
  F(Co2Emissions, Int32, _, false)                                 \
  F(Color, String, _, true)                                        \
  F(DPF, Int32, _, true)                                           \
  F(Displacement, Int32, _, false)                                 \
  F(EngineCode, String, _, true)                                   \
  F(EnginePower, Decimal, _, false)                                \
  F(EuMainNo, String, _, true)                                     \
  F(EuVariant, String, _, true)                                    \
  F(EuVersion, String, _, true)                                    \
  F(Euronorm, String, _, true)                                     \
  F(EuronormClass, String, _, true)                                \
  F(FactoryOrLab, String, _, true)                                 \
  F(FrameBody, String, _, true)                                    \
  F(Fuel, String, _, true)                                         \
  F(FuelCode, Int32, _, true)                                      \
  F(Gear, String, _, true)                                         \
  F(Group, String, _, true)                                        \
  F(GroupNo, Int32, _, false)                                      \
  F(HasPneumaticBrakes, Bool, _, false)                            \
  F(HasTowbar, Bool, _, false)                                     \
  F(IdentityNotes, String, _, true)                                \
  F(InsetMinFront, Int32, _, false)                                \
  F(InsetMinRear, Int32, _, false)                                 \
  F(Length, Int32, _, false)                                       \
  F(LoadIndexMinFront, String, _, true)                            \
  F(LoadIndexMinRear, String, _, true)                             \
  F(Model, String, _, true)                                        \
  F(ModelYear, Int32, _, false)                                    \
  F(PkkLastDate, DateTime, _, true)                                \
  F(PkkNextDate, DateTime, _, true)                                \
  F(RecentRegistrationDate, DateTime, _, true)                     \
  F(RegNo, String, _, true)                                        \
  F(RegistrationCountryDate, DateTime, _, true)                    \
  F(RegistrationDate, DateTime, _, true)                           \
  F(RegistrationNotes, String, _, true)                            \
  F(RegistrationOffDate, DateTime, _, true)                        \
  F(RimStandardFront, String, _, true)                             \
  F(RimStandardRear, String, _, true)                              \
  F(Rpm, Int32, _, false)                                          \
  F(Seats, Int32, _, false)                                        \
  F(SpeedMinFront, String, _, true)                                \
  F(SpeedMinRear, String, _, true)                                 \
  F(StationarySpl, Int32, _, false)                                \
  F(TowBracketLength, Int32, _, false)                             \
  F(TowLoadMax, Int32, _, false)                                   \
  F(TowWeightNoBrakes, Int32, _, false)                            \
  F(TowWeightWithBrakes, Int32, _, false)                          \
  F(TrackWidthMaxFront, Int32, _, false)                           \
  F(TrackWidthMaxRear, Int32, _, false)                            \
  F(Type, String, _, true)                                         \
  F(TypeApprovalNo, String, _, true)                               \
  F(TypeApprovalValidFromVin, String, _, true)                     \
  F(TyreStandardFront, String, _, true)                            \
  F(TyreStandardRear, String, _, true)                             \
  F(UsedImported, Bool, _, false)                                  \
  F(VehicleApproval, Record, Tindrel2VehicleApprovalData2, true)   \
  F(VehicleMake, String, _, true)                                  \
  F(VehicleMakeNo, Int32, _, true)                                 \
  F(Vin, String, _, true)                                          \
  F(Weight, Int32, _, false)                                       \
  F(WeightRoofMax, Int32, _, false)                                \
  F(WeightTotalMax, Int32, _, false)                               \
  F(WeightTruck, Int32, _, false)                                  \
  F(WheelDrive, String, _, true)                                   \
  F(Width, Int32, _, false)

#define TINDREL_VEHICLE_APPROVAL_FIELDS(F)   \
  F(ApprovedBy, Int32, _, false)             \
  F(ApprovedDate, DateTime, _, true)         \
  F(ApprovedInspectionNo, String, _, true)   \
  F(IsApproved, Bool, _, false)              \
  F(RegNo, String, _, true)

#define TINDREL_TOKEN_FIELDS(F)         \
  F(CustomerName, String, _, true)      \
  F(CustomerNo, Int32, _, false)        \
  F(Salt, String, _, true)              \
  F(Signature, String, _, true)         \
  F(UserID, Int32, _, false)            \
  F(UserName, String, _, true)          \
  F(ValidTo, DateTime, _, false)

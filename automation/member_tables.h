#pragma once
// The members of the automation interfaces IORV_Kontroll / IORV_Kontroll2,
// IORV_Bil / IORV_Bil2, IORV_Kunde and IORV_Velkar: one X-macro list per
// interface, the one place in the code where a member is written down.
// Tindrel2.idl declares the members once more for the type library, which
// it stays the source of. A row carries everything about a member but its
// help text: name, DISPID, kind, automation type and where a read takes its
// value from. Each list expands twice:
//
//   here         into a MemberRow table, through which the behaviour
//                objects answer every property read (ReadMember);
//   automation/win/com_glue.h
//                into the overrides of the interface widl generates from
//                Tindrel2.idl (TINDREL_COM_MEMBERS): a member missing from
//                the list leaves the class abstract, a wrong name, kind or
//                COM type fails to override.
//
// What the compiler cannot see (the DISPIDs, the order, Bool against Int16,
// which are both a short in COM) the COM object tests compare row by row
// with the type library as built (tests/wine/com/com_objects_test.cpp).
//
// What a write does is not in the rows: writes store, convert and save in
// ways that differ per object, so the objects spell them out as Set<Name>
// methods, which the put overrides call.
//
// Every row is checked at compile time against the record's field table:
// the field must exist, be of the kind the conversion reads and give the
// member's automation type, and no DISPID may repeat within a list.
//
// No platform types: this header builds everywhere.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

#include "automation/clock.h"
#include "automation/conversions.h"
#include "contract/records.h"

namespace tindrel {

enum class MemberKind : uint8_t { Method, Get, GetPut };

// How a read obtains its value from the field it names.
enum class Source : uint8_t {
  Nothing,            // no source: always the empty value of the type
  Text,               // string field, as it is
  Int32Field,         // int32 field, unchanged
  Int16Field,         // int16 field, unchanged
  Low16,              // int32 field, its low 16 bits as a signed int16
  Flag,               // bool field as 1 or 0
  DateTime,           // date-time field as an automation date; 0 when absent
  DateTimeAfter1900,  // as DateTime, but 0 when the year as written is <= 1900
  YearOf,             // the year written in a date-time field; 0 when absent
  Truncated,          // decimal field truncated toward zero; 0 when absent
  NumberText,         // string field read as a customer number
  Computed,           // from the whole held record by the row's function
};

// What a read may need besides the record.
struct ReadContext {
  const ITimeZone& zone;
  const IClock& clock;
};

// `sub` of a row that reads the held record itself.
inline constexpr size_t kHeld = static_cast<size_t>(-1);

struct MemberRow {
  std::string_view name;
  int dispid = 0;
  MemberKind kind = MemberKind::Method;
  AutoType type = AutoType::String;
  Source source = Source::Nothing;
  // The field of the held record that holds the sub-record read (kHeld for
  // the held record itself), and the field read in that record.
  size_t sub = kHeld;
  size_t field = 0;
  AutoValue (*compute)(const Record& held, const ReadContext& context) = nullptr;
};

constexpr MemberRow MethodRow(std::string_view name, int dispid) {
  return {name, dispid, MemberKind::Method, AutoType::String, Source::Nothing};
}
// A property without a source, or one computed from the held record.
constexpr MemberRow Prop(std::string_view name, int dispid, MemberKind kind, AutoType type,
                         Source source = Source::Nothing,
                         AutoValue (*compute)(const Record&, const ReadContext&) = nullptr) {
  return {name, dispid, kind, type, source, kHeld, 0, compute};
}
// A property reading `field` of the held record.
constexpr MemberRow Prop(std::string_view name, int dispid, MemberKind kind, AutoType type,
                         Source source, size_t field) {
  return {name, dispid, kind, type, source, kHeld, field};
}
// A property reading `field` of the sub-record held in field `sub`.
constexpr MemberRow Prop(std::string_view name, int dispid, MemberKind kind, AutoType type,
                         Source source, size_t sub, size_t field) {
  return {name, dispid, kind, type, source, sub, field};
}

// The value of a property row for `held` (null when no record is held). An
// absent record, sub-record, date or decimal gives the empty value. Throws
// std::logic_error for a method row; a conversion that fails throws Error.
AutoValue ReadMember(const MemberRow& row, const Record* held, const ReadContext& context);

// The row with `dispid`, or null.
const MemberRow* FindMember(std::span<const MemberRow> table, int dispid);

// The DISPID of a member by name, at compile time: a misspelt name does not
// compile.
consteval int DispidOf(std::span<const MemberRow> table, std::string_view name) {
  for (const MemberRow& row : table)
    if (row.name == name) return row.dispid;
  throw std::logic_error("no such member");
}

// The rows computed from a whole record.
AutoValue VehiclePayload(const Record& vehicle, const ReadContext& context);
AutoValue DownloadedToday(const Record& vehicle, const ReadContext& context);
AutoValue CustomerType(const Record& customer, const ReadContext& context);

// The lists. Every list takes four macros, one per row shape:
//
//   M(Name, Dispid)                   method without arguments
//   M1(Name, Dispid, ArgType)         method with one [in] argument
//   G(Name, Dispid, Type, Read...)    property get
//   GP(Name, Dispid, Type, Read...)   property get and put
//
// Type and ArgType name an AutoType (String, Int32, Int16, Bool, Date).
// Read... is the row's Source and what it reads: `Nothing`; a field of the
// held record (`Text, I::kRegNo`); the field holding a sub-record and a field
// of that (`Low16, I::kVehicle, V::kGroupNo`); or `Computed, Function`. I, V,
// A and C are the inspection, vehicle, approval and customer records. Rows
// stand in the IDL's vtable order. IORV_KontrollInfo's one method takes four
// arguments and is written out by its class; IORV_Kunde2 has no members.

// IORV_Kontroll; IORV_Kontroll2 adds Kvitteringsnr. Merkekode reads
// VehicleMakeNo where the vehicle interfaces read AutosysMakeCode; Reg_aar
// takes the year from RegistrationDate but Reg_dato the date from
// RegistrationCountryDate.
#define TINDREL_IORV_KONTROLL_MEMBERS(M, M1, G, GP)                           \
  M(NyKontroll, 1)                                                            \
  GP(Kontrollnr, 2, String, Text, I::kInspectionNo)                           \
  GP(Kjennemerke, 3, String, Text, I::kRegNo)                                 \
  GP(Kundenr, 4, Int32, NumberText, I::kCustomerNo)                           \
  GP(TidlKontrollnr, 6, String, Text, I::kPreviousInspectionNo)               \
  G(Kontrolltype, 7, String, Text, I::kInspectionTypeCode)                    \
  G(Kontrolltypekode, 8, Int32, Int32Field, I::kInspectionTypeNo)             \
  GP(Signatur, 9, String, Text, I::kInspectedByInitials)                      \
  GP(Understellsnr, 10, String, Text, I::kVIN)                                \
  M(SlettKontroll, 11)                                                        \
  M(InitierKontroll, 12)                                                      \
  M(LukkKontroll, 13)                                                         \
  M(StartKontroll, 5)                                                         \
  G(Kjforbud, 15, Bool, Flag, I::kVehicleBannedFromUse)                       \
  G(Antall0, 17, Int16, Low16, I::kCount0)                                    \
  G(Antall1, 18, Int16, Low16, I::kCount1)                                    \
  G(Antall2, 19, Int16, Low16, I::kCount2)                                    \
  G(Antall3, 20, Int16, Low16, I::kCount3)                                    \
  G(Antall4, 21, Int16, Low16, I::kCount4)                                    \
  G(Antall9, 22, Int16, Low16, I::kCount9)                                    \
  G(Kjgruppekode, 24, Int16, Low16, I::kVehicle, V::kGroupNo)                 \
  G(Merkekode, 25, Int16, Low16, I::kVehicle, V::kVehicleMakeNo)              \
  G(Modell, 26, String, Text, I::kVehicle, V::kModel)                         \
  G(Type, 27, String, Text, I::kVehicle, V::kType)                            \
  G(Till_tot_vekt, 28, Int32, Int32Field, I::kVehicle, V::kWeightTotalMax)    \
  GP(Km_stand, 29, Int32, Int32Field, I::kMileage)                            \
  G(Drivstoffkode, 30, Int16, Low16, I::kVehicle, V::kFuelCode)               \
  G(Standstoy, 31, Int16, Low16, I::kVehicle, V::kStationarySpl)              \
  G(Omd_min, 32, Int16, Low16, I::kVehicle, V::kRpm)                          \
  G(Fab_lab, 33, String, Text, I::kVehicle, V::kFactoryOrLab)                 \
  GP(Tillh_feste, 35, Bool, Flag, I::kVehicle, V::kHasTowbar)                 \
  G(Reg_aar, 36, Int16, YearOf, I::kVehicle, V::kRegistrationDate)            \
  G(Reg_dato, 37, Date, DateTime, I::kVehicle, V::kRegistrationCountryDate)   \
  G(Kontrolldato, 38, Date, DateTime, I::kInspectionConcludedDate)            \
  G(Bremsesystem, 39, Bool, Flag, I::kVehicle, V::kHasPneumaticBrakes)        \
  G(Statusnr, 40, Int16, Low16, I::kInspectionStatusNo)                       \
  G(Status, 41, String, Text, I::kInspectionStatusName)                       \
  G(Kontrolltypetekst, 42, String, Text, I::kInspectionTypeName)              \
  G(Kjgruppetekst, 43, String, Text, I::kVehicle, V::kGroup)                  \
  G(Merke, 44, String, Text, I::kVehicle, V::kVehicleMake)                    \
  G(Drivstoff, 45, String, Text, I::kVehicle, V::kFuel)                       \
  G(Opprettetdato, 46, Date, DateTime, I::kInspectionCreatedDate)             \
  G(Understellsnrfull, 47, String, Text, I::kVehicle, V::kVin)                \
  G(MuligTidlKontrollnr, 16, String, Nothing)                                 \
  G(Startable, 34, Bool, Nothing)                                             \
  GP(IntKundenr, 48, Int32, Int32Field, I::kCustomer, C::kCustomerNoInternal)

#define TINDREL_IORV_KONTROLL2_MEMBERS(M, M1, G, GP) \
  TINDREL_IORV_KONTROLL_MEMBERS(M, M1, G, GP)        \
  GP(Kvitteringsnr, 14, String, Text, I::kOrderNo)

// The rows IORV_Bil and IORV_Bil2 share around DISPID 4, which is
// Godkjentdato in IORV_Bil (hiding approval dates of 1900 and earlier, the
// service's way of writing "never approved") and Godkjdato, unfiltered, in
// IORV_Bil2.
#define TINDREL_IORV_BIL_HEAD(M, M1, G, GP)              \
  GP(Kjennemerke, 1, String, Text, V::kRegNo)            \
  G(Understellsnr, 2, String, Text, V::kVin)             \
  G(Kontrollperiode, 3, Date, DateTime, V::kPkkNextDate)

#define TINDREL_IORV_BIL_TAIL(M, M1, G, GP)                   \
  G(Kjgruppekode, 5, Int16, Low16, V::kGroupNo)               \
  G(Kjgruppe, 6, String, Text, V::kGroup)                     \
  G(Merkekode, 7, Int16, Int16Field, V::kAutosysMakeCode)     \
  G(Merke, 8, String, Text, V::kVehicleMake)                  \
  G(Modell, 9, String, Text, V::kModel)                       \
  G(Type, 10, String, Text, V::kType)                         \
  G(Till_tot_vekt, 11, Int32, Int32Field, V::kWeightTotalMax) \
  G(Drivstoffkode, 12, Int16, Low16, V::kFuelCode)            \
  G(Drivstoff, 13, String, Text, V::kFuel)                    \
  G(Standstoy, 14, Int16, Low16, V::kStationarySpl)           \
  G(Omd_min, 15, Int16, Low16, V::kRpm)                       \
  G(Fab_lab, 16, String, Text, V::kFactoryOrLab)              \
  G(Reg_aar, 17, Int16, YearOf, V::kRegistrationDate)         \
  G(Reg_dato, 18, Date, DateTime, V::kRegistrationDate)       \
  M1(Finn, 19, String)                                        \
  M1(Hent, 20, String)

#define TINDREL_IORV_BIL_MEMBERS(M, M1, G, GP)                                       \
  TINDREL_IORV_BIL_HEAD(M, M1, G, GP)                                                \
  G(Godkjentdato, 4, Date, DateTimeAfter1900, V::kVehicleApproval, A::kApprovedDate) \
  TINDREL_IORV_BIL_TAIL(M, M1, G, GP)

#define TINDREL_IORV_BIL2_MEMBERS(M, M1, G, GP)                                        \
  TINDREL_IORV_BIL_HEAD(M, M1, G, GP)                                                  \
  G(Godkjdato, 4, Date, DateTime, V::kVehicleApproval, A::kApprovedDate)               \
  TINDREL_IORV_BIL_TAIL(M, M1, G, GP)                                                  \
  G(Godkjent, 21, Bool, Flag, V::kVehicleApproval, A::kIsApproved)                     \
  G(Godkjenner, 22, Int16, Low16, V::kVehicleApproval, A::kApprovedBy)                 \
  G(Godkjentdato, 23, Date, DateTime, V::kVehicleApproval, A::kApprovedDate)           \
  G(Godkjentkontroll, 24, String, Text, V::kVehicleApproval, A::kApprovedInspectionNo) \
  G(Tilhengervekt_med_brems, 25, Int32, Int32Field, V::kTowWeightWithBrakes)           \
  G(Tilhengervekt_uten_brems, 26, Int32, Int32Field, V::kTowWeightNoBrakes)            \
  G(Motorytelse, 27, Int32, Truncated, V::kEnginePower)                                \
  G(Slagvolum, 28, Int32, Int32Field, V::kDisplacement)                                \
  G(Lengde, 29, Int32, Int32Field, V::kLength)                                         \
  G(Bredde, 30, Int32, Int32Field, V::kWidth)                                          \
  G(Std_dekk_foran, 31, String, Text, V::kTyreStandardFront)                           \
  G(Std_dekk_bak, 32, String, Text, V::kTyreStandardRear)                              \
  G(Std_felg_foran, 33, String, Text, V::kRimStandardFront)                            \
  G(Std_felg_bak, 34, String, Text, V::kRimStandardRear)                               \
  G(Min_LI_foran, 35, String, Text, V::kLoadIndexMinFront)                             \
  G(Min_LI_bak, 36, String, Text, V::kLoadIndexMinRear)                                \
  G(Min_hast_foran, 37, String, Text, V::kSpeedMinFront)                               \
  G(Min_hast_bak, 38, String, Text, V::kSpeedMinRear)                                  \
  G(Min_innpress_foran, 39, Int32, Int32Field, V::kInsetMinFront)                      \
  G(Min_innpress_bak, 40, Int32, Int32Field, V::kInsetMinRear)                         \
  G(Maks_sporvidde_foran, 41, Int32, Int32Field, V::kTrackWidthMaxFront)               \
  G(Maks_sporvidde_bak, 42, Int32, Int32Field, V::kTrackWidthMaxRear)                  \
  G(Akseltrykk_foran, 43, Int32, Int32Field, V::kAxleLoadMaxFront)                     \
  G(Akseltrykk_bak, 44, Int32, Int32Field, V::kAxleLoadMaxRear)                        \
  G(EU_hovednr, 45, String, Text, V::kEuMainNo)                                        \
  G(EU_variant, 46, String, Text, V::kEuVariant)                                       \
  G(EU_versjon, 47, String, Text, V::kEuVersion)                                       \
  G(Typegodkjenningsnr, 48, String, Text, V::kTypeApprovalNo)                          \
  G(Bruktimportert, 49, Bool, Flag, V::kUsedImported)                                  \
  G(Ramme_karosseri, 50, String, Text, V::kFrameBody)                                  \
  G(Motormerking, 51, String, Text, V::kEngineCode)                                    \
  G(Girkasse, 52, String, Text, V::kGear)                                              \
  G(Egenvekt, 53, Int32, Int32Field, V::kWeight)                                       \
  G(Drivende_hjul, 54, String, Text, V::kWheelDrive)                                   \
  G(Vognkort_anm, 55, String, Text, V::kRegistrationNotes)                             \
  G(Identitet_anm, 56, String, Text, V::kIdentityNotes)                                \
  G(Avreg_dato, 57, Date, DateTime, V::kRegistrationOffDate)                           \
  G(Antall_aksler, 58, Int16, Low16, V::kAxleCount)                                    \
  G(Antall_aksler_drift, 59, Int16, Low16, V::kAxleDriveCount)                         \
  G(Lengde_tilh_kobling, 60, Int16, Low16, V::kTowBracketLength)                       \
  G(Maks_bel_tilhfeste, 61, Int32, Int32Field, V::kTowLoadMax)                         \
  G(Maks_taklast, 62, Int32, Int32Field, V::kWeightRoofMax)                            \
  G(Vogntogvekt, 63, Int32, Int32Field, V::kWeightTruck)                               \
  G(Ytelsesmaal, 64, String, Nothing)                                                  \
  G(Diffsperre, 65, Bool, Nothing)                                                     \
  G(Akselavstand1, 66, Int16, Nothing)                                                 \
  G(Akselavstand2, 67, Int16, Nothing)                                                 \
  G(Akselavstand3, 68, Int16, Nothing)                                                 \
  G(Akselavstand4, 69, Int16, Nothing)                                                 \
  G(Egenvekt_foraksel, 70, Int32, Nothing)                                             \
  G(Egenvekt_bakaksel, 71, Int32, Nothing)                                             \
  G(Sitteplasser_totalt, 72, Int16, Low16, V::kSeats)                                  \
  G(Sitteplasser_foran, 73, Int16, Nothing)                                            \
  G(Staaplasser, 74, Int16, Nothing)                                                   \
  G(Nyttelast, 75, Int32, Computed, VehiclePayload)                                    \
  G(Farge, 76, String, Text, V::kColor)                                                \
  G(Norm_merke, 77, String, Text, V::kVehicleMake)                                     \
  G(Norm_modell, 78, String, Text, V::kModel)                                          \
  G(Norm_type, 79, String, Text, V::kType)                                             \
  G(Hjuldrift, 80, String, Text, V::kWheelDrive)                                       \
  G(Karosseri, 81, String, Text, V::kFrameBody)                                        \
  G(Tecdoc, 82, Int32, Nothing)                                                        \
  G(Nedlastet_dato, 83, Date, Computed, DownloadedToday)                               \
  G(Spesialdato1, 84, Date, Nothing)

// IORV_Kunde. Mellomnavn never reads MiddleName; Kundetype reads 1 for a
// company and 2 for a private customer.
#define TINDREL_IORV_KUNDE_MEMBERS(M, M1, G, GP)               \
  GP(Navn, 1, String, Text, C::kName)                          \
  GP(Fornavn, 2, String, Text, C::kFirstName)                  \
  GP(Mellomnavn, 3, String, Nothing)                           \
  GP(Adr1, 4, String, Text, C::kAddress1)                      \
  GP(Adr2, 5, String, Text, C::kAddress2)                      \
  GP(Postnr, 6, String, Text, C::kZipCode)                     \
  G(Poststed, 7, String, Text, C::kCity)                       \
  GP(Epost, 8, String, Text, C::kEmail)                        \
  GP(Kundetype, 9, Int16, Computed, CustomerType)              \
  M(Ny, 10)                                                    \
  M(Slett, 11)                                                 \
  M1(Finn, 12, Int32)                                          \
  GP(Kundenr, 13, Int32, NumberText, C::kCustomerNo)           \
  G(IntKundenr, 14, Int32, Int32Field, C::kCustomerNoInternal) \
  M(FindFirst, 15)                                             \
  M(FindNext, 16)

// IORV_Velkar: the old host functions, none with a source.
#define TINDREL_IORV_VELKAR_MEMBERS(M, M1, G, GP) \
  M1(RedigerKontroll, 1, String)                  \
  M(OppdaterStatus, 7)                            \
  G(Verkstednr, 8, Int16, Nothing)                \
  G(Organnr, 9, String, Nothing)                  \
  G(HT, 10, Bool, Nothing)                        \
  M1(SkrivKontrollseddel, 11, String)             \
  M1(SkrivKontrollseddelkopi, 12, String)         \
  M1(SkrivVerkstedseddel, 13, String)             \
  M1(SkrivVerkstedkopi, 14, String)               \
  M1(SendKontrollTilHT, 15, String)

// Expands nothing; for the lists' unused columns.
#define TINDREL_MEMBER_SKIP(...)

namespace member_rows {

using enum MemberKind;
using enum Source;
inline constexpr AutoType String = AutoType::String, Int32 = AutoType::Int32,
                          Int16 = AutoType::Int16, Bool = AutoType::Bool, Date = AutoType::Date;
using I = Tindrel2InspectionData2;
using V = Tindrel2VehicleData2;
using A = Tindrel2VehicleApprovalData2;
using C = Tindrel2CustomerData2;

#define TINDREL_ROW_M(Name, Dispid) MethodRow(#Name, Dispid),
#define TINDREL_ROW_M1(Name, Dispid, ArgType) MethodRow(#Name, Dispid),
#define TINDREL_ROW_G(Name, Dispid, Type, ...) Prop(#Name, Dispid, Get, Type, __VA_ARGS__),
#define TINDREL_ROW_GP(Name, Dispid, Type, ...) Prop(#Name, Dispid, GetPut, Type, __VA_ARGS__),
#define TINDREL_ROWS(LIST) {LIST(TINDREL_ROW_M, TINDREL_ROW_M1, TINDREL_ROW_G, TINDREL_ROW_GP)}
inline constexpr MemberRow kKontroll[] = TINDREL_ROWS(TINDREL_IORV_KONTROLL_MEMBERS);
inline constexpr MemberRow kKontroll2[] = TINDREL_ROWS(TINDREL_IORV_KONTROLL2_MEMBERS);
inline constexpr MemberRow kBil[] = TINDREL_ROWS(TINDREL_IORV_BIL_MEMBERS);
inline constexpr MemberRow kBil2[] = TINDREL_ROWS(TINDREL_IORV_BIL2_MEMBERS);
inline constexpr MemberRow kKunde[] = TINDREL_ROWS(TINDREL_IORV_KUNDE_MEMBERS);
inline constexpr MemberRow kVelkar[] = TINDREL_ROWS(TINDREL_IORV_VELKAR_MEMBERS);
#undef TINDREL_ROWS
#undef TINDREL_ROW_GP
#undef TINDREL_ROW_G
#undef TINDREL_ROW_M1
#undef TINDREL_ROW_M

}  // namespace member_rows

inline constexpr std::span<const MemberRow> kKontrollMembers{member_rows::kKontroll};
inline constexpr std::span<const MemberRow> kKontroll2Members{member_rows::kKontroll2};
inline constexpr std::span<const MemberRow> kBilMembers{member_rows::kBil};
inline constexpr std::span<const MemberRow> kBil2Members{member_rows::kBil2};
inline constexpr std::span<const MemberRow> kKundeMembers{member_rows::kKunde};
inline constexpr std::span<const MemberRow> kVelkarMembers{member_rows::kVelkar};

namespace member_table_check {

#define TINDREL_FIELD_KIND(N, K, T, NIL) FieldKind::K,
inline constexpr FieldKind kInspection[] = {TINDREL_INSPECTION_FIELDS(TINDREL_FIELD_KIND)};
inline constexpr FieldKind kVehicle[] = {TINDREL_VEHICLE_FIELDS(TINDREL_FIELD_KIND)};
inline constexpr FieldKind kApproval[] = {TINDREL_VEHICLE_APPROVAL_FIELDS(TINDREL_FIELD_KIND)};
inline constexpr FieldKind kCustomer[] = {TINDREL_CUSTOMER_FIELDS(TINDREL_FIELD_KIND)};
#undef TINDREL_FIELD_KIND

// The field kinds of the held record (sub == kHeld) and of its sub-records.
struct RecordKinds {
  size_t sub;
  std::span<const FieldKind> kinds;
};

consteval bool Agrees(const MemberRow& row, std::span<const RecordKinds> records) {
  using enum Source;
  if (row.kind == MemberKind::Method) return row.source == Nothing;
  if (row.source == Nothing) return true;
  // (Whether `compute` is set is left to the tests: comparing a function's
  // address is not a constant expression under the sanitizers.)
  if (row.source == Computed) return row.sub == kHeld;
  std::span<const FieldKind> kinds;
  for (const RecordKinds& r : records)
    if (r.sub == row.sub) kinds = r.kinds;
  if (kinds.empty() || row.field >= kinds.size()) return false;
  const FieldKind kind = kinds[row.field];
  switch (row.source) {
    case Text: return kind == FieldKind::String && row.type == AutoType::String;
    case Int32Field: return kind == FieldKind::Int32 && row.type == AutoType::Int32;
    case Int16Field: return kind == FieldKind::Int16 && row.type == AutoType::Int16;
    case Low16: return kind == FieldKind::Int32 && row.type == AutoType::Int16;
    case Flag: return kind == FieldKind::Bool && row.type == AutoType::Bool;
    case DateTime:
    case DateTimeAfter1900: return kind == FieldKind::DateTime && row.type == AutoType::Date;
    case YearOf: return kind == FieldKind::DateTime && row.type == AutoType::Int16;
    case Truncated: return kind == FieldKind::Decimal && row.type == AutoType::Int32;
    case NumberText: return kind == FieldKind::String && row.type == AutoType::Int32;
    default: return false;
  }
}

consteval bool TableAgrees(std::span<const MemberRow> table,
                           std::span<const RecordKinds> records) {
  for (size_t i = 0; i < table.size(); ++i) {
    if (!Agrees(table[i], records)) return false;
    for (size_t j = 0; j < i; ++j)
      if (table[j].dispid == table[i].dispid) return false;
  }
  return true;
}

inline constexpr RecordKinds kInspectionRecords[] = {
    {kHeld, kInspection},
    {Tindrel2InspectionData2::kVehicle, kVehicle},
    {Tindrel2InspectionData2::kCustomer, kCustomer}};
inline constexpr RecordKinds kVehicleRecords[] = {
    {kHeld, kVehicle}, {Tindrel2VehicleData2::kVehicleApproval, kApproval}};
inline constexpr RecordKinds kCustomerRecords[] = {{kHeld, kCustomer}};

static_assert(kKontrollMembers.size() == 46 && kKontroll2Members.size() == 47 &&
              kBilMembers.size() == 20 && kBil2Members.size() == 84 &&
              kKundeMembers.size() == 16 && kVelkarMembers.size() == 10);
static_assert(TableAgrees(kKontrollMembers, kInspectionRecords));
static_assert(TableAgrees(kKontroll2Members, kInspectionRecords));
static_assert(TableAgrees(kBil2Members, kVehicleRecords));
static_assert(TableAgrees(kBilMembers, kVehicleRecords));
static_assert(TableAgrees(kKundeMembers, kCustomerRecords));
static_assert(TableAgrees(kVelkarMembers, {}));

}  // namespace member_table_check

}  // namespace tindrel

#pragma once
// The member tables of the automation interfaces: IORV_Kontroll /
// IORV_Kontroll2, IORV_Bil / IORV_Bil2, IORV_Kunde and IORV_Velkar. One
// row per member in vtable order, with its DISPID, its kind, its automation
// type and where a read takes its value from. The rows follow Tindrel2.idl
// member for member; the behaviour objects answer every property read
// through them (ReadMember), and the COM layer may dispatch reads through
// them as well.
//
// What a write does is not in the tables: writes store, convert and save in
// ways that differ per object, so the objects spell them out as methods.
//
// Every row is checked at compile time against the record's field table:
// the field must exist, be of the kind the conversion reads and give the
// member's automation type, and no DISPID may repeat.

#include <array>
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

namespace member_rows {

using enum MemberKind;
using enum Source;
inline constexpr AutoType String = AutoType::String, Int32 = AutoType::Int32,
                          Int16 = AutoType::Int16, Bool = AutoType::Bool, Date = AutoType::Date;
using I = Tindrel2InspectionData2;
using V = Tindrel2VehicleData2;
using A = Tindrel2VehicleApprovalData2;
using C = Tindrel2CustomerData2;

// IORV_Kontroll2: the members of IORV_Kontroll, then Kvitteringsnr.
inline constexpr MemberRow kKontroll2[] = {
    MethodRow("NyKontroll", 1),
    Prop("Kontrollnr", 2, GetPut, String, Text, I::kInspectionNo),
    Prop("Kjennemerke", 3, GetPut, String, Text, I::kRegNo),
    Prop("Kundenr", 4, GetPut, Int32, NumberText, I::kCustomerNo),
    Prop("TidlKontrollnr", 6, GetPut, String, Text, I::kPreviousInspectionNo),
    Prop("Kontrolltype", 7, Get, String, Text, I::kInspectionTypeCode),
    Prop("Kontrolltypekode", 8, Get, Int32, Int32Field, I::kInspectionTypeNo),
    Prop("Signatur", 9, GetPut, String, Text, I::kInspectedByInitials),
    Prop("Understellsnr", 10, GetPut, String, Text, I::kVIN),
    MethodRow("SlettKontroll", 11),
    MethodRow("InitierKontroll", 12),
    MethodRow("LukkKontroll", 13),
    MethodRow("StartKontroll", 5),
    Prop("Kjforbud", 15, Get, Bool, Flag, I::kVehicleBannedFromUse),
    Prop("Antall0", 17, Get, Int16, Low16, I::kCount0),
    Prop("Antall1", 18, Get, Int16, Low16, I::kCount1),
    Prop("Antall2", 19, Get, Int16, Low16, I::kCount2),
    Prop("Antall3", 20, Get, Int16, Low16, I::kCount3),
    Prop("Antall4", 21, Get, Int16, Low16, I::kCount4),
    Prop("Antall9", 22, Get, Int16, Low16, I::kCount9),
    Prop("Kjgruppekode", 24, Get, Int16, Low16, I::kVehicle, V::kGroupNo),
    // VehicleMakeNo here, where the vehicle objects read AutosysMakeCode.
    Prop("Merkekode", 25, Get, Int16, Low16, I::kVehicle, V::kVehicleMakeNo),
    Prop("Modell", 26, Get, String, Text, I::kVehicle, V::kModel),
    Prop("Type", 27, Get, String, Text, I::kVehicle, V::kType),
    Prop("Till_tot_vekt", 28, Get, Int32, Int32Field, I::kVehicle, V::kWeightTotalMax),
    Prop("Km_stand", 29, GetPut, Int32, Int32Field, I::kMileage),
    Prop("Drivstoffkode", 30, Get, Int16, Low16, I::kVehicle, V::kFuelCode),
    Prop("Standstoy", 31, Get, Int16, Low16, I::kVehicle, V::kStationarySpl),
    Prop("Omd_min", 32, Get, Int16, Low16, I::kVehicle, V::kRpm),
    Prop("Fab_lab", 33, Get, String, Text, I::kVehicle, V::kFactoryOrLab),
    Prop("Tillh_feste", 35, GetPut, Bool, Flag, I::kVehicle, V::kHasTowbar),
    // The year from RegistrationDate but the date from RegistrationCountryDate.
    Prop("Reg_aar", 36, Get, Int16, YearOf, I::kVehicle, V::kRegistrationDate),
    Prop("Reg_dato", 37, Get, Date, DateTime, I::kVehicle, V::kRegistrationCountryDate),
    Prop("Kontrolldato", 38, Get, Date, DateTime, I::kInspectionConcludedDate),
    Prop("Bremsesystem", 39, Get, Bool, Flag, I::kVehicle, V::kHasPneumaticBrakes),
    Prop("Statusnr", 40, Get, Int16, Low16, I::kInspectionStatusNo),
    Prop("Status", 41, Get, String, Text, I::kInspectionStatusName),
    Prop("Kontrolltypetekst", 42, Get, String, Text, I::kInspectionTypeName),
    Prop("Kjgruppetekst", 43, Get, String, Text, I::kVehicle, V::kGroup),
    Prop("Merke", 44, Get, String, Text, I::kVehicle, V::kVehicleMake),
    Prop("Drivstoff", 45, Get, String, Text, I::kVehicle, V::kFuel),
    Prop("Opprettetdato", 46, Get, Date, DateTime, I::kInspectionCreatedDate),
    Prop("Understellsnrfull", 47, Get, String, Text, I::kVehicle, V::kVin),
    Prop("MuligTidlKontrollnr", 16, Get, String),
    Prop("Startable", 34, Get, Bool),
    Prop("IntKundenr", 48, GetPut, Int32, Int32Field, I::kCustomer, C::kCustomerNoInternal),
    Prop("Kvitteringsnr", 14, GetPut, String, Text, I::kOrderNo),
};

// IORV_Bil2. Its first 20 rows, with Godkjentdato in place of Godkjdato, are
// IORV_Bil (kBil below).
inline constexpr MemberRow kBil2[] = {
    Prop("Kjennemerke", 1, GetPut, String, Text, V::kRegNo),
    Prop("Understellsnr", 2, Get, String, Text, V::kVin),
    Prop("Kontrollperiode", 3, Get, Date, DateTime, V::kPkkNextDate),
    Prop("Godkjdato", 4, Get, Date, DateTime, V::kVehicleApproval, A::kApprovedDate),
    Prop("Kjgruppekode", 5, Get, Int16, Low16, V::kGroupNo),
    Prop("Kjgruppe", 6, Get, String, Text, V::kGroup),
    Prop("Merkekode", 7, Get, Int16, Int16Field, V::kAutosysMakeCode),
    Prop("Merke", 8, Get, String, Text, V::kVehicleMake),
    Prop("Modell", 9, Get, String, Text, V::kModel),
    Prop("Type", 10, Get, String, Text, V::kType),
    Prop("Till_tot_vekt", 11, Get, Int32, Int32Field, V::kWeightTotalMax),
    Prop("Drivstoffkode", 12, Get, Int16, Low16, V::kFuelCode),
    Prop("Drivstoff", 13, Get, String, Text, V::kFuel),
    Prop("Standstoy", 14, Get, Int16, Low16, V::kStationarySpl),
    Prop("Omd_min", 15, Get, Int16, Low16, V::kRpm),
    Prop("Fab_lab", 16, Get, String, Text, V::kFactoryOrLab),
    Prop("Reg_aar", 17, Get, Int16, YearOf, V::kRegistrationDate),
    Prop("Reg_dato", 18, Get, Date, DateTime, V::kRegistrationDate),
    MethodRow("Finn", 19),
    MethodRow("Hent", 20),
    Prop("Godkjent", 21, Get, Bool, Flag, V::kVehicleApproval, A::kIsApproved),
    Prop("Godkjenner", 22, Get, Int16, Low16, V::kVehicleApproval, A::kApprovedBy),
    Prop("Godkjentdato", 23, Get, Date, DateTime, V::kVehicleApproval, A::kApprovedDate),
    Prop("Godkjentkontroll", 24, Get, String, Text, V::kVehicleApproval,
         A::kApprovedInspectionNo),
    Prop("Tilhengervekt_med_brems", 25, Get, Int32, Int32Field, V::kTowWeightWithBrakes),
    Prop("Tilhengervekt_uten_brems", 26, Get, Int32, Int32Field, V::kTowWeightNoBrakes),
    Prop("Motorytelse", 27, Get, Int32, Truncated, V::kEnginePower),
    Prop("Slagvolum", 28, Get, Int32, Int32Field, V::kDisplacement),
    Prop("Lengde", 29, Get, Int32, Int32Field, V::kLength),
    Prop("Bredde", 30, Get, Int32, Int32Field, V::kWidth),
    Prop("Std_dekk_foran", 31, Get, String, Text, V::kTyreStandardFront),
    Prop("Std_dekk_bak", 32, Get, String, Text, V::kTyreStandardRear),
    Prop("Std_felg_foran", 33, Get, String, Text, V::kRimStandardFront),
    Prop("Std_felg_bak", 34, Get, String, Text, V::kRimStandardRear),
    Prop("Min_LI_foran", 35, Get, String, Text, V::kLoadIndexMinFront),
    Prop("Min_LI_bak", 36, Get, String, Text, V::kLoadIndexMinRear),
    Prop("Min_hast_foran", 37, Get, String, Text, V::kSpeedMinFront),
    Prop("Min_hast_bak", 38, Get, String, Text, V::kSpeedMinRear),
    Prop("Min_innpress_foran", 39, Get, Int32, Int32Field, V::kInsetMinFront),
    Prop("Min_innpress_bak", 40, Get, Int32, Int32Field, V::kInsetMinRear),
    Prop("Maks_sporvidde_foran", 41, Get, Int32, Int32Field, V::kTrackWidthMaxFront),
    Prop("Maks_sporvidde_bak", 42, Get, Int32, Int32Field, V::kTrackWidthMaxRear),
    Prop("Akseltrykk_foran", 43, Get, Int32, Int32Field, V::kAxleLoadMaxFront),
    Prop("Akseltrykk_bak", 44, Get, Int32, Int32Field, V::kAxleLoadMaxRear),
    Prop("EU_hovednr", 45, Get, String, Text, V::kEuMainNo),
    Prop("EU_variant", 46, Get, String, Text, V::kEuVariant),
    Prop("EU_versjon", 47, Get, String, Text, V::kEuVersion),
    Prop("Typegodkjenningsnr", 48, Get, String, Text, V::kTypeApprovalNo),
    Prop("Bruktimportert", 49, Get, Bool, Flag, V::kUsedImported),
    Prop("Ramme_karosseri", 50, Get, String, Text, V::kFrameBody),
    Prop("Motormerking", 51, Get, String, Text, V::kEngineCode),
    Prop("Girkasse", 52, Get, String, Text, V::kGear),
    Prop("Egenvekt", 53, Get, Int32, Int32Field, V::kWeight),
    Prop("Drivende_hjul", 54, Get, String, Text, V::kWheelDrive),
    Prop("Vognkort_anm", 55, Get, String, Text, V::kRegistrationNotes),
    Prop("Identitet_anm", 56, Get, String, Text, V::kIdentityNotes),
    Prop("Avreg_dato", 57, Get, Date, DateTime, V::kRegistrationOffDate),
    Prop("Antall_aksler", 58, Get, Int16, Low16, V::kAxleCount),
    Prop("Antall_aksler_drift", 59, Get, Int16, Low16, V::kAxleDriveCount),
    Prop("Lengde_tilh_kobling", 60, Get, Int16, Low16, V::kTowBracketLength),
    Prop("Maks_bel_tilhfeste", 61, Get, Int32, Int32Field, V::kTowLoadMax),
    Prop("Maks_taklast", 62, Get, Int32, Int32Field, V::kWeightRoofMax),
    Prop("Vogntogvekt", 63, Get, Int32, Int32Field, V::kWeightTruck),
    Prop("Ytelsesmaal", 64, Get, String),
    Prop("Diffsperre", 65, Get, Bool),
    Prop("Akselavstand1", 66, Get, Int16),
    Prop("Akselavstand2", 67, Get, Int16),
    Prop("Akselavstand3", 68, Get, Int16),
    Prop("Akselavstand4", 69, Get, Int16),
    Prop("Egenvekt_foraksel", 70, Get, Int32),
    Prop("Egenvekt_bakaksel", 71, Get, Int32),
    Prop("Sitteplasser_totalt", 72, Get, Int16, Low16, V::kSeats),
    Prop("Sitteplasser_foran", 73, Get, Int16),
    Prop("Staaplasser", 74, Get, Int16),
    Prop("Nyttelast", 75, Get, Int32, Computed, &VehiclePayload),
    Prop("Farge", 76, Get, String, Text, V::kColor),
    Prop("Norm_merke", 77, Get, String, Text, V::kVehicleMake),
    Prop("Norm_modell", 78, Get, String, Text, V::kModel),
    Prop("Norm_type", 79, Get, String, Text, V::kType),
    Prop("Hjuldrift", 80, Get, String, Text, V::kWheelDrive),
    Prop("Karosseri", 81, Get, String, Text, V::kFrameBody),
    Prop("Tecdoc", 82, Get, Int32),
    Prop("Nedlastet_dato", 83, Get, Date, Computed, &DownloadedToday),
    Prop("Spesialdato1", 84, Get, Date),
};

// IORV_Bil: slot 4 is Godkjentdato, which hides approval dates of 1900 and
// earlier (the service's way of writing "never approved").
inline constexpr auto kBil = [] {
  std::array<MemberRow, 20> rows{};
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = kBil2[i];
  rows[3] = Prop("Godkjentdato", 4, Get, Date, DateTimeAfter1900, V::kVehicleApproval,
                 A::kApprovedDate);
  return rows;
}();

// IORV_Kunde. Kundetype reads 1 for a company and 2 for a private customer.
inline constexpr MemberRow kKunde[] = {
    Prop("Navn", 1, GetPut, String, Text, C::kName),
    Prop("Fornavn", 2, GetPut, String, Text, C::kFirstName),
    Prop("Mellomnavn", 3, GetPut, String),  // MiddleName is never read
    Prop("Adr1", 4, GetPut, String, Text, C::kAddress1),
    Prop("Adr2", 5, GetPut, String, Text, C::kAddress2),
    Prop("Postnr", 6, GetPut, String, Text, C::kZipCode),
    Prop("Poststed", 7, Get, String, Text, C::kCity),
    Prop("Epost", 8, GetPut, String, Text, C::kEmail),
    Prop("Kundetype", 9, GetPut, Int16, Computed, &CustomerType),
    MethodRow("Ny", 10),
    MethodRow("Slett", 11),
    MethodRow("Finn", 12),
    Prop("Kundenr", 13, GetPut, Int32, NumberText, C::kCustomerNo),
    Prop("IntKundenr", 14, Get, Int32, Int32Field, C::kCustomerNoInternal),
    MethodRow("FindFirst", 15),
    MethodRow("FindNext", 16),
};

// IORV_Velkar: the old host functions, none with a source.
inline constexpr MemberRow kVelkar[] = {
    MethodRow("RedigerKontroll", 1),
    MethodRow("OppdaterStatus", 7),
    Prop("Verkstednr", 8, Get, Int16),
    Prop("Organnr", 9, Get, String),
    Prop("HT", 10, Get, Bool),
    MethodRow("SkrivKontrollseddel", 11),
    MethodRow("SkrivKontrollseddelkopi", 12),
    MethodRow("SkrivVerkstedseddel", 13),
    MethodRow("SkrivVerkstedkopi", 14),
    MethodRow("SendKontrollTilHT", 15),
};

}  // namespace member_rows

inline constexpr std::span<const MemberRow> kKontroll2Members{member_rows::kKontroll2};
inline constexpr std::span<const MemberRow> kKontrollMembers = kKontroll2Members.first(46);
inline constexpr std::span<const MemberRow> kBil2Members{member_rows::kBil2};
inline constexpr std::span<const MemberRow> kBilMembers{member_rows::kBil};
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

static_assert(kKontroll2Members.size() == 47 && kBil2Members.size() == 84 &&
              kKundeMembers.size() == 16);
static_assert(TableAgrees(kKontroll2Members, kInspectionRecords));
static_assert(TableAgrees(kBil2Members, kVehicleRecords));
static_assert(TableAgrees(kBilMembers, kVehicleRecords));
static_assert(TableAgrees(kKundeMembers, kCustomerRecords));
static_assert(TableAgrees(kVelkarMembers, {}));

}  // namespace member_table_check

}  // namespace tindrel

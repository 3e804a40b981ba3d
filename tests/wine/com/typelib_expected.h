#pragma once
// What the Tindrel2 type library must contain, kept by hand as data so that
// typelib_check.exe can compare a built or registered library against it.
// Clients bind to these members by vtable slot and by DISPID, so every row
// here is frozen: order, DISPID, kind, type and help string.
//
// The rows are written the way the member tables of the automation design
// are laid out (DISPID, member, kind, type, help string) and must be kept in
// step with those tables, never with Tindrel2.idl: this file exists to catch
// the IDL drifting.

#include <windows.h>
#include <oaidl.h>

#include <array>
#include <cstddef>
#include <span>
#include <stdexcept>

namespace tindrel::typelib_expected {

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" at compile time; a malformed
// literal fails the build.
consteval unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  throw std::invalid_argument("not a hex digit");
}

consteval unsigned long HexField(const char* s, std::size_t digits) {
  unsigned long v = 0;
  for (std::size_t i = 0; i < digits; ++i) v = (v << 4) | HexValue(s[i]);
  return v;
}

consteval GUID Guid(const char (&s)[37]) {
  if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') {
    throw std::invalid_argument("malformed GUID");
  }
  GUID g{};
  g.Data1 = HexField(s, 8);
  g.Data2 = static_cast<unsigned short>(HexField(s + 9, 4));
  g.Data3 = static_cast<unsigned short>(HexField(s + 14, 4));
  g.Data4[0] = static_cast<unsigned char>(HexField(s + 19, 2));
  g.Data4[1] = static_cast<unsigned char>(HexField(s + 21, 2));
  for (std::size_t i = 0; i < 6; ++i) {
    g.Data4[2 + i] = static_cast<unsigned char>(HexField(s + 24 + 2 * i, 2));
  }
  return g;
}

// The automation types of the library by the names the tables use.
inline constexpr VARTYPE kString = VT_BSTR;
inline constexpr VARTYPE kInt32 = VT_I4;
inline constexpr VARTYPE kInt16 = VT_I2;
inline constexpr VARTYPE kBool = VT_BOOL;
inline constexpr VARTYPE kDate = VT_DATE;
inline constexpr VARTYPE kNone = VT_EMPTY;  // the Type column of a method

// The Kind column. A get/put row stands for two vtable slots, get first,
// sharing the DISPID and the help string.
inline constexpr int kMethod = INVOKE_FUNC;
inline constexpr int kGet = INVOKE_PROPERTYGET;
inline constexpr int kGetPut = INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT;

struct Param {
  const wchar_t* name;
  VARTYPE vt;
};

// One row of a member table. A property get returns `type` through one
// [out, retval] argument, a put takes one [in] argument of `type`; a method
// takes `params` as [in] arguments and, when `result` is set, returns it
// through a final [out, retval] argument. help is nullptr where the row has
// no help string: the library then carries none.
struct Member {
  MEMBERID dispid;
  const wchar_t* name;
  int kind;
  VARTYPE type;
  const wchar_t* help;
  std::span<const Param> params = {};
  const Param* result = nullptr;
};

template <std::size_t N, std::size_t M>
constexpr std::array<Member, N + M> Concat(const std::array<Member, N>& head,
                                           const std::array<Member, M>& tail) {
  std::array<Member, N + M> all{};
  for (std::size_t i = 0; i < N; ++i) all[i] = head[i];
  for (std::size_t i = 0; i < M; ++i) all[N + i] = tail[i];
  return all;
}

struct Library {
  const wchar_t* name;
  GUID libid;
  WORD major;
  WORD minor;
  LCID lcid;
  const wchar_t* help;
};

inline constexpr Library kLibrary = {
    L"Tindrel2", Guid("7E19939F-646C-41BA-A9AF-D7624B58AB24"), 1, 0, 0x0409,
    L"Tindrel2 Library"};

// Table A, IORV_Kontroll.
inline constexpr auto kTableA = std::to_array<Member>({
    {1, L"NyKontroll", kMethod, kNone, L"Creates new Kontroll."},
    {2, L"Kontrollnr", kGetPut, kString, L"Kontroll number (write locates existing kontroll)"},
    {3, L"Kjennemerke", kGetPut, kString, L"License plate number"},
    {4, L"Kundenr", kGetPut, kInt32, L"Customer ID"},
    {6, L"TidlKontrollnr", kGetPut, kString, L"Number of previous kontroll."},
    {7, L"Kontrolltype", kGet, kString, L"Kind of kontroll (E/P)"},
    {8, L"Kontrolltypekode", kGet, kInt32, L"Numeric code for kind of kontroll."},
    {9, L"Signatur", kGetPut, kString, L"Signature on kontroll"},
    {10, L"Understellsnr", kGetPut, kString, L"VIN number (last four positions)"},
    {11, L"SlettKontroll", kMethod, kNone, L"Delete kontroll"},
    {12, L"InitierKontroll", kMethod, kNone, L"Initiate kontroll."},
    {13, L"LukkKontroll", kMethod, kNone, L"Close/release kontroll"},
    {5, L"StartKontroll", kMethod, kNone, L"Start the kontroll."},
    {15, L"Kjforbud", kGet, kBool, L"True if kontroll has failures of grade 3."},
    {17, L"Antall0", kGet, kInt16, L"Number of checkpoints with grade 0."},
    {18, L"Antall1", kGet, kInt16, L"Number of checkpoints with grade 1 (minor failures)."},
    {19, L"Antall2", kGet, kInt16, L"Number of checkpoints with grade 2 (serious failures)."},
    {20, L"Antall3", kGet, kInt16, L"Number of checkpoints with grade 3 (severe failures)."},
    {21, L"Antall4", kGet, kInt16,
     L"Number of checkpoints with grade 4 (not checked because of climatical conditions)."},
    {22, L"Antall9", kGet, kInt16,
     L"Number of checkpoints with grade 9 (not applicable for this kontroll, shown as hyphens "
     L"in program)."},
    {24, L"Kjgruppekode", kGet, kInt16, L"Numeric code for vehicle class."},
    {25, L"Merkekode", kGet, kInt16, L"Numeric code for make of vehicle."},
    {26, L"Modell", kGet, kString, L"Vehicle model string."},
    {27, L"Type", kGet, kString, L"Vehicle type string."},
    {28, L"Till_tot_vekt", kGet, kInt32, L"Maximum weight allowed of vehicle with load (Kg)."},
    {29, L"Km_stand", kGetPut, kInt32, L"Mileage (km)"},
    {30, L"Drivstoffkode", kGet, kInt16,
     L"Numeric code for fuel kind of vehicle (0=none, 1=petrol, 2=diesel etc)."},
    {31, L"Standstoy", kGet, kInt16, L"Allowed noise level for vehicle."},
    {32, L"Omd_min", kGet, kInt16, L"Engine RPM while measuring noise level."},
    {33, L"Fab_lab", kGet, kString,
     L"Indicates wether noise level has been calculated at Factory or Laboratory. (F/L)"},
    {35, L"Tillh_feste", kGetPut, kBool, nullptr},
    {36, L"Reg_aar", kGet, kInt16, L"Year of first time registration (globally)."},
    {37, L"Reg_dato", kGet, kDate, L"Date of first registration in Norway."},
    {38, L"Kontrolldato", kGet, kDate, L"Date when kontroll was performed."},
    {39, L"Bremsesystem", kGet, kBool, L"True if vehicle is equipped with pneumatic brakes."},
    {40, L"Statusnr", kGet, kInt16, L"Numeric code for current status of kontroll."},
    {41, L"Status", kGet, kString, L"Status as human readable string."},
    {42, L"Kontrolltypetekst", kGet, kString, L"Kontrolltype as human readable string."},
    {43, L"Kjgruppetekst", kGet, kString, L"Vehicle class as human readable string."},
    {44, L"Merke", kGet, kString, L"Make of vehicle as human readable string."},
    {45, L"Drivstoff", kGet, kString, L"Fuel type as human readable string."},
    {46, L"Opprettetdato", kGet, kDate, L"Date when kontroll was created."},
    {47, L"Understellsnrfull", kGet, kString, L"Full VIN number."},
    {16, L"MuligTidlKontrollnr", kGet, kString,
     L"Read this property when IORV_KontrollEvens.MuligTidlKontFunnet(void) is called to find "
     L"which kontroll to use as basis for the new kontroll."},
    {34, L"Startable", kGet, kBool,
     L"Query this parameter to see if the kontroll is ready to be started."},
    {48, L"IntKundenr", kGetPut, kInt32, L"Velkar internal customer ID"},
});
static_assert(kTableA.size() == 46);

// IORV_Kontroll2: table A unchanged, then one property of its own.
inline constexpr auto kKontroll2 = Concat(
    kTableA, std::to_array<Member>({{14, L"Kvitteringsnr", kGetPut, kString, nullptr}}));

// Table B, IORV_KontrollEvents.
inline constexpr auto kTableB = std::to_array<Member>({
    {1, L"GrunnverdierOK", kMethod, kNone, L"Values required to create kontroll is ok."},
    {3, L"BildataFunnet", kMethod, kNone, L"Vehicle data found in central database."},
    {5, L"BildataIkkeFunnet", kMethod, kNone, L"Vehicle data was not found in central database."},
    {7, L"KontrolltypeEndret", kMethod, kNone, L"Kind of kontroll has changed."},
    {8, L"UStnrFeil", kMethod, kNone,
     L"Mismatch between entered data and data collected from central database (four last "
     L"digits in VIN). Controlled to make sure correct vehicle is controlled."},
    {9, L"RedigererForegaaende", kMethod, kNone,
     L"There was already an editable kontroll for this vehicle. Editing previous instead of "
     L"creating new."},
    {10, L"AlleredeGodkjent", kMethod, kNone,
     L"This vehicle is already approved for this period. No further check is neccesary."},
    {11, L"MuligTidlKontFunnet", kMethod, kNone,
     L"Previous kontroll (with failures) for this vehicle was found. Suggesting creating "
     L"Etterkontroll from found kontroll."},
});

// Table C, IORV_Kunde.
inline constexpr Param kFinnKundenr[] = {{L"Kundenr", kInt32}};
inline constexpr auto kTableC = std::to_array<Member>({
    {1, L"Navn", kGetPut, kString, L"Company name/Last name."},
    {2, L"Fornavn", kGetPut, kString, L"First name. Use when Kundetype = 3"},
    {3, L"Mellomnavn", kGetPut, kString, L"Middle name. Use when Kundetype = 3"},
    {4, L"Adr1", kGetPut, kString, L"Visiting address."},
    {5, L"Adr2", kGetPut, kString, L"Postal address."},
    {6, L"Postnr", kGetPut, kString, L"Postal code (ZIP-code)."},
    {7, L"Poststed", kGet, kString, L"Postal office name (city)."},
    {8, L"Epost", kGetPut, kString, L"E-Mail address"},
    {9, L"Kundetype", kGetPut, kInt16, L"Customer type: 2=Company, 3=Private"},
    {10, L"Ny", kMethod, kNone, L"New Customer"},
    {11, L"Slett", kMethod, kNone,
     L"Try to delete current customer. Restrictions apply. Cannot delete a customer used in a "
     L"kontroll."},
    {12, L"Finn", kMethod, kNone, L"Moves to customer with given CustomerID (kundenr).",
     kFinnKundenr},
    {13, L"Kundenr", kGetPut, kInt32, nullptr},
    {14, L"IntKundenr", kGet, kInt32, L"Internal Customer ID"},
    {15, L"FindFirst", kMethod, kNone,
     L"Returns the first \"kunde\" and readies for traversing using FindNext"},
    {16, L"FindNext", kMethod, kNone, L"Moves to the next \"kunde\" in the table."},
});

// Table D, IORV_Bil.
inline constexpr Param kByKjennemerke[] = {{L"Kjennemerke", kString}};
inline constexpr auto kTableD = std::to_array<Member>({
    {1, L"Kjennemerke", kGetPut, kString, L"License plate number"},
    {2, L"Understellsnr", kGet, kString, L"VIN number"},
    {3, L"Kontrollperiode", kGet, kDate, L"Month and Year the vehicle is due for check."},
    {4, L"Godkjentdato", kGet, kDate, L"Date of last approval of vehicle."},
    {5, L"Kjgruppekode", kGet, kInt16, L"Numeric code for vehicle class."},
    {6, L"Kjgruppe", kGet, kString, L"Vehicle class as human readable string."},
    {7, L"Merkekode", kGet, kInt16, L"Numeric code for make of vehicle."},
    {8, L"Merke", kGet, kString, L"Make of vehicle as human readable string."},
    {9, L"Modell", kGet, kString, L"Vehicle model string."},
    {10, L"Type", kGet, kString, L"Vehicle type string."},
    {11, L"Till_tot_vekt", kGet, kInt32, L"Maximum weight allowed of vehicle with load (Kg)."},
    {12, L"Drivstoffkode", kGet, kInt16,
     L"Numeric code for fuel kind of vehicle (0=none, 1=petrol, 2=diesel etc)."},
    {13, L"Drivstoff", kGet, kString, L"Fuel type as human readable string."},
    {14, L"Standstoy", kGet, kInt16, L"Allowed noise level for vehicle."},
    {15, L"Omd_min", kGet, kInt16, L"Engine RPM while measuring noise level."},
    {16, L"Fab_lab", kGet, kString,
     L"Indicates wether noise level has been calculated at Factory or Laboratory. (F/L)"},
    {17, L"Reg_aar", kGet, kInt16, L"Year of first time registration (globally)."},
    {18, L"Reg_dato", kGet, kDate, L"Date of first registration in Norway."},
    {19, L"Finn", kMethod, kNone, L"Locates vehicle in local database.", kByKjennemerke},
    {20, L"Hent", kMethod, kNone, L"Connects to ORV AS and fetches updated data for vehicle.",
     kByKjennemerke},
});
static_assert(kTableD.size() == 20);
static_assert(kTableD[3].dispid == 4);

// Table E, IORV_BilEvents and IORV_Bil2Events.
inline constexpr auto kTableE = std::to_array<Member>({
    {1, L"BildataFunnet", kMethod, kNone, L"Vehicle data found in central database."},
    {2, L"BildataIkkeFunnet", kMethod, kNone, L"Vehicle data was not found in central database."},
});

// Table F, IORV_Velkar.
inline constexpr Param kByKontrollnr[] = {{L"Kontrollnr", kString}};
inline constexpr auto kTableF = std::to_array<Member>({
    {1, L"RedigerKontroll", kMethod, kNone, L"Opens kontroll for editing by user.", kByKontrollnr},
    {7, L"OppdaterStatus", kMethod, kNone, L"Connects to ORV AS."},
    {8, L"Verkstednr", kGet, kInt16, L"Customer ID at ORV AS."},
    {9, L"Organnr", kGet, kString, L"Approval ID from road authorities."},
    {10, L"HT", kGet, kBool, L"Indicates wether Psion Workabout is used."},
    {11, L"SkrivKontrollseddel", kMethod, kNone,
     L"Prints out kontrollseddel (standard form to customer).", kByKontrollnr},
    {12, L"SkrivKontrollseddelkopi", kMethod, kNone, L"Prints copy of kontrollseddel.",
     kByKontrollnr},
    {13, L"SkrivVerkstedseddel", kMethod, kNone, L"Prints Verkstedseddel for use during kontroll.",
     kByKontrollnr},
    {14, L"SkrivVerkstedkopi", kMethod, kNone,
     L"Prints out Verkstedkopi (nonstandard form, easier to read)", kByKontrollnr},
    {15, L"SendKontrollTilHT", kMethod, kNone, L"Sends kontroll to Psion Workabout.",
     kByKontrollnr},
});

// Table G, IORV_KontrollInfo. The result is an int16, not a bool.
inline constexpr Param kPeriodeArgs[] = {
    {L"Kjennemerke", kString}, {L"PeriodeAar", kInt16}, {L"PeriodeMnd", kInt16}};
inline constexpr Param kKontrollert = {L"Kontrollert", kInt16};
inline constexpr auto kTableG = std::to_array<Member>({
    {1, L"ErBilKontrollertIPeriode", kMethod, kNone, nullptr, kPeriodeArgs, &kKontrollert},
});

// Table H, the read-only rows that follow table D in IORV_Bil2.
inline constexpr auto kTableH = std::to_array<Member>({
    {21, L"Godkjent", kGet, kBool, nullptr},
    {22, L"Godkjenner", kGet, kInt16, nullptr},
    {23, L"Godkjentdato", kGet, kDate, nullptr},
    {24, L"Godkjentkontroll", kGet, kString, nullptr},
    {25, L"Tilhengervekt_med_brems", kGet, kInt32, nullptr},
    {26, L"Tilhengervekt_uten_brems", kGet, kInt32, nullptr},
    {27, L"Motorytelse", kGet, kInt32, nullptr},
    {28, L"Slagvolum", kGet, kInt32, nullptr},
    {29, L"Lengde", kGet, kInt32, nullptr},
    {30, L"Bredde", kGet, kInt32, nullptr},
    {31, L"Std_dekk_foran", kGet, kString, nullptr},
    {32, L"Std_dekk_bak", kGet, kString, nullptr},
    {33, L"Std_felg_foran", kGet, kString, nullptr},
    {34, L"Std_felg_bak", kGet, kString, nullptr},
    {35, L"Min_LI_foran", kGet, kString, nullptr},
    {36, L"Min_LI_bak", kGet, kString, nullptr},
    {37, L"Min_hast_foran", kGet, kString, nullptr},
    {38, L"Min_hast_bak", kGet, kString, nullptr},
    {39, L"Min_innpress_foran", kGet, kInt32, nullptr},
    {40, L"Min_innpress_bak", kGet, kInt32, nullptr},
    {41, L"Maks_sporvidde_foran", kGet, kInt32, nullptr},
    {42, L"Maks_sporvidde_bak", kGet, kInt32, nullptr},
    {43, L"Akseltrykk_foran", kGet, kInt32, nullptr},
    {44, L"Akseltrykk_bak", kGet, kInt32, nullptr},
    {45, L"EU_hovednr", kGet, kString, nullptr},
    {46, L"EU_variant", kGet, kString, nullptr},
    {47, L"EU_versjon", kGet, kString, nullptr},
    {48, L"Typegodkjenningsnr", kGet, kString, nullptr},
    {49, L"Bruktimportert", kGet, kBool, nullptr},
    {50, L"Ramme_karosseri", kGet, kString, nullptr},
    {51, L"Motormerking", kGet, kString, nullptr},
    {52, L"Girkasse", kGet, kString, nullptr},
    {53, L"Egenvekt", kGet, kInt32, nullptr},
    {54, L"Drivende_hjul", kGet, kString, nullptr},
    {55, L"Vognkort_anm", kGet, kString, nullptr},
    {56, L"Identitet_anm", kGet, kString, nullptr},
    {57, L"Avreg_dato", kGet, kDate, nullptr},
    {58, L"Antall_aksler", kGet, kInt16, nullptr},
    {59, L"Antall_aksler_drift", kGet, kInt16, nullptr},
    {60, L"Lengde_tilh_kobling", kGet, kInt16, nullptr},
    {61, L"Maks_bel_tilhfeste", kGet, kInt32, nullptr},
    {62, L"Maks_taklast", kGet, kInt32, nullptr},
    {63, L"Vogntogvekt", kGet, kInt32, nullptr},
    {64, L"Ytelsesmaal", kGet, kString, nullptr},
    {65, L"Diffsperre", kGet, kBool, nullptr},
    {66, L"Akselavstand1", kGet, kInt16, nullptr},
    {67, L"Akselavstand2", kGet, kInt16, nullptr},
    {68, L"Akselavstand3", kGet, kInt16, nullptr},
    {69, L"Akselavstand4", kGet, kInt16, nullptr},
    {70, L"Egenvekt_foraksel", kGet, kInt32, nullptr},
    {71, L"Egenvekt_bakaksel", kGet, kInt32, nullptr},
    {72, L"Sitteplasser_totalt", kGet, kInt16, nullptr},
    {73, L"Sitteplasser_foran", kGet, kInt16, nullptr},
    {74, L"Staaplasser", kGet, kInt16, nullptr},
    {75, L"Nyttelast", kGet, kInt32, nullptr},
    {76, L"Farge", kGet, kString, nullptr},
    {77, L"Norm_merke", kGet, kString, nullptr},
    {78, L"Norm_modell", kGet, kString, nullptr},
    {79, L"Norm_type", kGet, kString, nullptr},
    {80, L"Hjuldrift", kGet, kString, nullptr},
    {81, L"Karosseri", kGet, kString, nullptr},
    {82, L"Tecdoc", kGet, kInt32, nullptr},
    {83, L"Nedlastet_dato", kGet, kDate, nullptr},
    {84, L"Spesialdato1", kGet, kDate, nullptr},
});
static_assert(kTableH.size() == 64);

// IORV_Bil2: table D with its fourth row renamed, then table H.
constexpr std::array<Member, 20> Bil2Head() {
  auto rows = kTableD;
  rows[3] = {4, L"Godkjdato", kGet, kDate, L"Date of last approval of vehicle as reported by SVV"};
  return rows;
}
inline constexpr auto kBil2 = Concat(Bil2Head(), kTableH);

// Type flags as the library must report them.
inline constexpr WORD kDualFlags =
    TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
inline constexpr WORD kEventFlags = TYPEFLAG_FDISPATCHABLE;
inline constexpr WORD kClassFlags = TYPEFLAG_FCANCREATE;

// One type of the library, in library order. Dual interfaces are listed by
// their dispatch view (TKIND_DISPATCH with TYPEFLAG_FDUAL); the vtable view
// is reached through GetRefTypeOfImplType(-1). members is empty for
// coclasses; defaultInterface and defaultSource are set for coclasses only.
struct Type {
  const wchar_t* name;
  TYPEKIND kind;
  GUID guid;
  WORD flags;
  const wchar_t* help;
  std::span<const Member> members = {};
  const wchar_t* defaultInterface = nullptr;
  const wchar_t* defaultSource = nullptr;
};

inline constexpr Type kTypes[] = {
    {L"IORV_Kontroll", TKIND_DISPATCH, Guid("6317CDC2-40FD-41B7-9C5D-9533C4956DFF"), kDualFlags,
     L"Dispatch interface for ORV_Kontroll Object", kTableA},
    {L"IORV_KontrollEvents", TKIND_DISPATCH, Guid("79DC0692-447E-4F77-9029-F05C43B9EA6F"),
     kEventFlags, L"Events interface for ORV_Kontroll Object", kTableB},
    {L"ORV_Kontroll", TKIND_COCLASS, Guid("CB854742-329C-4D30-9B9E-3CD317D1464B"), kClassFlags,
     L"ORV_Kontroll Object", {}, L"IORV_Kontroll", L"IORV_KontrollEvents"},
    {L"IORV_Kunde", TKIND_DISPATCH, Guid("80FFF80B-1A59-4CE8-A758-59C00764EE97"), kDualFlags,
     L"Dispatch interface for ORV_Kunde Object", kTableC},
    {L"ORV_Kunde", TKIND_COCLASS, Guid("69B22465-6C87-400D-BE25-EBCEBE537EF8"), kClassFlags,
     L"ORV_Kunde Object", {}, L"IORV_Kunde", nullptr},
    {L"IORV_Bil", TKIND_DISPATCH, Guid("BC527D9B-84D1-4E40-9852-1EC66045CA78"), kDualFlags,
     L"Dispatch interface for ORV_Bil Object", kTableD},
    {L"IORV_BilEvents", TKIND_DISPATCH, Guid("9F664913-96B9-47CC-9E15-4C364CCEA44B"),
     kEventFlags, L"Events interface for ORV_Bil Object", kTableE},
    {L"IORV_Velkar", TKIND_DISPATCH, Guid("F0EC672E-C093-420F-8DC8-F7A1F04C48E8"), kDualFlags,
     L"Dispatch interface for ORV_Velkar Object", kTableF},
    {L"IORV_VelkarEvents", TKIND_DISPATCH, Guid("6C00B0D3-A329-45CE-B12E-7348B0256728"),
     kEventFlags, L"Events interface for ORV_Velkar Object", {}},
    {L"ORV_Velkar", TKIND_COCLASS, Guid("AE8778AE-DCE2-4110-B66C-A5552968B192"), kClassFlags,
     L"ORV_Velkar Object", {}, L"IORV_Velkar", L"IORV_VelkarEvents"},
    {L"IORV_KontrollInfo", TKIND_DISPATCH, Guid("E6F5A58C-0935-4422-ABD7-2B16D097F885"),
     kDualFlags, L"Dispatch interface for IORV_KontrollInfo Object", kTableG},
    {L"ORV_KontrollInfo", TKIND_COCLASS, Guid("B10FF84D-7FEC-497D-AAD1-9A79B125BCED"),
     kClassFlags, L"IORV_KontrollInfo Object", {}, L"IORV_KontrollInfo", nullptr},
    {L"ORV_Bil", TKIND_COCLASS, Guid("257412A7-0529-4680-A800-12D11AAE52C9"),
     kClassFlags | TYPEFLAG_FCONTROL, L"ORV_Bil Object", {}, L"IORV_Bil", L"IORV_BilEvents"},
    {L"IORV_Bil2Events", TKIND_DISPATCH, Guid("3B98BDA1-3148-46D4-AF79-2ABABE2BD20D"),
     kEventFlags, L"Events interface for ORV_Bil Object", kTableE},
    {L"IORV_Bil2", TKIND_DISPATCH, Guid("0F94822F-E90C-41DF-A052-9BEF0139CE59"), kDualFlags,
     L"Dispatch interface for ORV_Bil Object", kBil2},
    {L"ORV_Bil2", TKIND_COCLASS, Guid("0DEDDCDD-E613-489D-BCCD-7F3F5CF10176"), kClassFlags,
     L"ORV_Bil2 Object", {}, L"IORV_Bil2", L"IORV_Bil2Events"},
    {L"IORV_Kontroll2", TKIND_DISPATCH, Guid("E00539B8-1D38-48A8-8B54-621C3CFBA129"), kDualFlags,
     L"Dispatch interface for ORV_Kontroll Object", kKontroll2},
    {L"ORV_Kontroll2", TKIND_COCLASS, Guid("902AE086-CA3A-4C67-A585-C18DD1F5936C"), kClassFlags,
     L"ORV_Kontroll2 Object", {}, L"IORV_Kontroll2", L"IORV_KontrollEvents"},
    {L"IORV_Kunde2", TKIND_DISPATCH, Guid("B37715F1-1F46-4132-AA72-551250E88659"), kDualFlags,
     L"Dispatch interface for ORV_Kunde2 Object", {}},
    {L"IORV_Kunde2Events", TKIND_DISPATCH, Guid("15E0905D-91AA-43E4-A0D6-D68939C15D9B"),
     kEventFlags, L"Events interface for ORV_Kunde2 Object", {}},
    {L"ORV_Kunde2", TKIND_COCLASS, Guid("4C4C17E0-193E-4BF5-84AA-27410C6755E6"), kClassFlags,
     L"ORV_Kunde2 Object", {}, L"IORV_Kunde2", L"IORV_Kunde2Events"},
};
static_assert(std::size(kTypes) == 21);

// Late binding by name as clients do it: ITypeInfo::GetIDsOfNames on the
// named interface. kUnknownName means the name must not be found.
inline constexpr MEMBERID kUnknownName = DISPID_UNKNOWN;

struct NameLookup {
  const wchar_t* interfaceName;
  const wchar_t* memberName;
  MEMBERID dispid;
};

inline constexpr NameLookup kNameLookups[] = {
    {L"IORV_Kontroll", L"Kontrollnr", 2},
    {L"IORV_Kontroll", L"StartKontroll", 5},
    {L"IORV_Kontroll", L"kontrollNR", 2},  // names are matched without regard to case
    {L"IORV_Kontroll", L"Kvitteringsnr", kUnknownName},
    {L"IORV_Kontroll2", L"Kvitteringsnr", 14},
    {L"IORV_Bil2", L"Godkjdato", 4},
    {L"IORV_Bil2", L"Godkjentdato", 23},
    {L"IORV_Bil", L"Godkjentdato", 4},
    {L"IORV_Bil", L"Godkjdato", kUnknownName},
    {L"IORV_Kunde2", L"Navn", kUnknownName},
};

// Vtable neighbours whose DISPIDs are out of order: `later` must occupy the
// slot right after `earlier` (for properties, the slot of the get).
struct SlotOrder {
  const wchar_t* interfaceName;
  const wchar_t* earlier;
  const wchar_t* later;
};

inline constexpr SlotOrder kSlotOrders[] = {
    {L"IORV_Kontroll", L"LukkKontroll", L"StartKontroll"},
    {L"IORV_Kontroll", L"Understellsnrfull", L"MuligTidlKontrollnr"},
    {L"IORV_Kontroll", L"MuligTidlKontrollnr", L"Startable"},
    {L"IORV_Kontroll2", L"LukkKontroll", L"StartKontroll"},
    {L"IORV_Kontroll2", L"Understellsnrfull", L"MuligTidlKontrollnr"},
    {L"IORV_Kontroll2", L"MuligTidlKontrollnr", L"Startable"},
};

}  // namespace tindrel::typelib_expected

#pragma once
// The member lists of the dual interfaces, written once as X-macros and
// expanded twice: into the COM classes' overrides of the interfaces widl
// generates from Tindrel2.idl (a member missing here leaves the class
// abstract, a wrong name or type fails to override: either fails to
// compile), and into the placeholder behaviour of com_placeholder.h.
//
// Each list takes four macros:
//   M(Name)                  method without arguments
//   M1(Name, Type)           method with one [in] argument
//   G(Name, Dispid, Type)    property get
//   GP(Name, Dispid, Type)   property get and put
// Type is an AutoType name (String, Int32, Int16, Bool, Date); the DISPID is
// what the COM class hands to the behaviour's Get. Rows stand in vtable
// order. IORV_KontrollInfo's one method takes four arguments and is written
// out by its class; IORV_Kunde2 has no members.
//
// No platform types: this header builds everywhere.

// IORV_Kontroll; IORV_Kontroll2 adds Kvitteringsnr.
#define TINDREL_IORV_KONTROLL_MEMBERS(M, M1, G, GP) \
  M(NyKontroll)                                     \
  GP(Kontrollnr, 2, String)                         \
  GP(Kjennemerke, 3, String)                        \
  GP(Kundenr, 4, Int32)                             \
  GP(TidlKontrollnr, 6, String)                     \
  G(Kontrolltype, 7, String)                        \
  G(Kontrolltypekode, 8, Int32)                     \
  GP(Signatur, 9, String)                           \
  GP(Understellsnr, 10, String)                     \
  M(SlettKontroll)                                  \
  M(InitierKontroll)                                \
  M(LukkKontroll)                                   \
  M(StartKontroll)                                  \
  G(Kjforbud, 15, Bool)                             \
  G(Antall0, 17, Int16)                             \
  G(Antall1, 18, Int16)                             \
  G(Antall2, 19, Int16)                             \
  G(Antall3, 20, Int16)                             \
  G(Antall4, 21, Int16)                             \
  G(Antall9, 22, Int16)                             \
  G(Kjgruppekode, 24, Int16)                        \
  G(Merkekode, 25, Int16)                           \
  G(Modell, 26, String)                             \
  G(Type, 27, String)                               \
  G(Till_tot_vekt, 28, Int32)                       \
  GP(Km_stand, 29, Int32)                           \
  G(Drivstoffkode, 30, Int16)                       \
  G(Standstoy, 31, Int16)                           \
  G(Omd_min, 32, Int16)                             \
  G(Fab_lab, 33, String)                            \
  GP(Tillh_feste, 35, Bool)                         \
  G(Reg_aar, 36, Int16)                             \
  G(Reg_dato, 37, Date)                             \
  G(Kontrolldato, 38, Date)                         \
  G(Bremsesystem, 39, Bool)                         \
  G(Statusnr, 40, Int16)                            \
  G(Status, 41, String)                             \
  G(Kontrolltypetekst, 42, String)                  \
  G(Kjgruppetekst, 43, String)                      \
  G(Merke, 44, String)                              \
  G(Drivstoff, 45, String)                          \
  G(Opprettetdato, 46, Date)                        \
  G(Understellsnrfull, 47, String)                  \
  G(MuligTidlKontrollnr, 16, String)                \
  G(Startable, 34, Bool)                            \
  GP(IntKundenr, 48, Int32)

#define TINDREL_IORV_KONTROLL2_MEMBERS(M, M1, G, GP) \
  TINDREL_IORV_KONTROLL_MEMBERS(M, M1, G, GP)        \
  GP(Kvitteringsnr, 14, String)

#define TINDREL_IORV_KUNDE_MEMBERS(M, M1, G, GP) \
  GP(Navn, 1, String)                            \
  GP(Fornavn, 2, String)                         \
  GP(Mellomnavn, 3, String)                      \
  GP(Adr1, 4, String)                            \
  GP(Adr2, 5, String)                            \
  GP(Postnr, 6, String)                          \
  G(Poststed, 7, String)                         \
  GP(Epost, 8, String)                           \
  GP(Kundetype, 9, Int16)                        \
  M(Ny)                                          \
  M(Slett)                                       \
  M1(Finn, Int32)                                \
  GP(Kundenr, 13, Int32)                         \
  G(IntKundenr, 14, Int32)                       \
  M(FindFirst)                                   \
  M(FindNext)

// The rows IORV_Bil and IORV_Bil2 share. DISPID 4 is Godkjentdato in
// IORV_Bil and Godkjdato in IORV_Bil2, hence the name as an argument.
#define TINDREL_IORV_BIL_COMMON_MEMBERS(M, M1, G, GP, Dispid4Name) \
  GP(Kjennemerke, 1, String)                                       \
  G(Understellsnr, 2, String)                                      \
  G(Kontrollperiode, 3, Date)                                      \
  G(Dispid4Name, 4, Date)                                          \
  G(Kjgruppekode, 5, Int16)                                        \
  G(Kjgruppe, 6, String)                                           \
  G(Merkekode, 7, Int16)                                           \
  G(Merke, 8, String)                                              \
  G(Modell, 9, String)                                             \
  G(Type, 10, String)                                              \
  G(Till_tot_vekt, 11, Int32)                                      \
  G(Drivstoffkode, 12, Int16)                                      \
  G(Drivstoff, 13, String)                                         \
  G(Standstoy, 14, Int16)                                          \
  G(Omd_min, 15, Int16)                                            \
  G(Fab_lab, 16, String)                                           \
  G(Reg_aar, 17, Int16)                                            \
  G(Reg_dato, 18, Date)                                            \
  M1(Finn, String)                                                 \
  M1(Hent, String)

#define TINDREL_IORV_BIL_MEMBERS(M, M1, G, GP) \
  TINDREL_IORV_BIL_COMMON_MEMBERS(M, M1, G, GP, Godkjentdato)

#define TINDREL_IORV_BIL2_MEMBERS(M, M1, G, GP)              \
  TINDREL_IORV_BIL_COMMON_MEMBERS(M, M1, G, GP, Godkjdato)   \
  G(Godkjent, 21, Bool)                                      \
  G(Godkjenner, 22, Int16)                                   \
  G(Godkjentdato, 23, Date)                                  \
  G(Godkjentkontroll, 24, String)                            \
  G(Tilhengervekt_med_brems, 25, Int32)                      \
  G(Tilhengervekt_uten_brems, 26, Int32)                     \
  G(Motorytelse, 27, Int32)                                  \
  G(Slagvolum, 28, Int32)                                    \
  G(Lengde, 29, Int32)                                       \
  G(Bredde, 30, Int32)                                       \
  G(Std_dekk_foran, 31, String)                              \
  G(Std_dekk_bak, 32, String)                                \
  G(Std_felg_foran, 33, String)                              \
  G(Std_felg_bak, 34, String)                                \
  G(Min_LI_foran, 35, String)                                \
  G(Min_LI_bak, 36, String)                                  \
  G(Min_hast_foran, 37, String)                              \
  G(Min_hast_bak, 38, String)                                \
  G(Min_innpress_foran, 39, Int32)                           \
  G(Min_innpress_bak, 40, Int32)                             \
  G(Maks_sporvidde_foran, 41, Int32)                         \
  G(Maks_sporvidde_bak, 42, Int32)                           \
  G(Akseltrykk_foran, 43, Int32)                             \
  G(Akseltrykk_bak, 44, Int32)                               \
  G(EU_hovednr, 45, String)                                  \
  G(EU_variant, 46, String)                                  \
  G(EU_versjon, 47, String)                                  \
  G(Typegodkjenningsnr, 48, String)                          \
  G(Bruktimportert, 49, Bool)                                \
  G(Ramme_karosseri, 50, String)                             \
  G(Motormerking, 51, String)                                \
  G(Girkasse, 52, String)                                    \
  G(Egenvekt, 53, Int32)                                     \
  G(Drivende_hjul, 54, String)                               \
  G(Vognkort_anm, 55, String)                                \
  G(Identitet_anm, 56, String)                               \
  G(Avreg_dato, 57, Date)                                    \
  G(Antall_aksler, 58, Int16)                                \
  G(Antall_aksler_drift, 59, Int16)                          \
  G(Lengde_tilh_kobling, 60, Int16)                          \
  G(Maks_bel_tilhfeste, 61, Int32)                           \
  G(Maks_taklast, 62, Int32)                                 \
  G(Vogntogvekt, 63, Int32)                                  \
  G(Ytelsesmaal, 64, String)                                 \
  G(Diffsperre, 65, Bool)                                    \
  G(Akselavstand1, 66, Int16)                                \
  G(Akselavstand2, 67, Int16)                                \
  G(Akselavstand3, 68, Int16)                                \
  G(Akselavstand4, 69, Int16)                                \
  G(Egenvekt_foraksel, 70, Int32)                            \
  G(Egenvekt_bakaksel, 71, Int32)                            \
  G(Sitteplasser_totalt, 72, Int16)                          \
  G(Sitteplasser_foran, 73, Int16)                           \
  G(Staaplasser, 74, Int16)                                  \
  G(Nyttelast, 75, Int32)                                    \
  G(Farge, 76, String)                                       \
  G(Norm_merke, 77, String)                                  \
  G(Norm_modell, 78, String)                                 \
  G(Norm_type, 79, String)                                   \
  G(Hjuldrift, 80, String)                                   \
  G(Karosseri, 81, String)                                   \
  G(Tecdoc, 82, Int32)                                       \
  G(Nedlastet_dato, 83, Date)                                \
  G(Spesialdato1, 84, Date)

#define TINDREL_IORV_VELKAR_MEMBERS(M, M1, G, GP) \
  M1(RedigerKontroll, String)                     \
  M(OppdaterStatus)                               \
  G(Verkstednr, 8, Int16)                         \
  G(Organnr, 9, String)                           \
  G(HT, 10, Bool)                                 \
  M1(SkrivKontrollseddel, String)                 \
  M1(SkrivKontrollseddelkopi, String)             \
  M1(SkrivVerkstedseddel, String)                 \
  M1(SkrivVerkstedkopi, String)                   \
  M1(SendKontrollTilHT, String)

// Expands nothing; for the lists' unused columns.
#define TINDREL_MEMBER_SKIP(...)

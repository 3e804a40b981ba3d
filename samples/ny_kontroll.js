// Tindrel 2.0 from JScript: look a vehicle up, create an inspection for it
// and read back the inspection number; errors are caught with try/catch.
//
//   cscript //nologo ny_kontroll.js
//
// JScript passes numbers and booleans as they are; the server converts
// them to the property's type. Dates come back as automation dates: wrap
// them in new Date(...) to use them.

function pad(n) { return (n < 10 ? "0" : "") + n; }
function dato(d) { return pad(d.getDate()) + "." + pad(d.getMonth() + 1) + "." + d.getFullYear(); }

var bil = new ActiveXObject("Tindrel2.ORV_Bil2");
bil.Finn("AB12345");
WScript.Echo("Kjoretoy:    " + bil.Merke + " " + bil.Modell + " (" + bil.Kjennemerke + ")");
// Boolean properties give 1 for true and 0 for false.
if (bil.Godkjent)
  WScript.Echo("Godkjent:    " + dato(new Date(bil.Godkjentdato)));

var k = new ActiveXObject("Tindrel2.ORV_Kontroll2");
k.NyKontroll();
k.Kjennemerke = bil.Kjennemerke;
k.Understellsnr = 3456;      // a number where text is expected: saved now
k.Km_stand = 45210;
k.Tillh_feste = true;
// A VBA client with "Private WithEvents k As Tindrel2.ORV_Kontroll2" is told
// of every save in k_GrunnverdierOK; a script reads the number afterwards.
WScript.Echo("Kontrollnr:  " + k.Kontrollnr + ", " + k.Status);
WScript.Echo("Km-stand:    " + k.Km_stand);
WScript.Echo("Opprettet:   " + dato(new Date(k.Opprettetdato)));

// A failing call throws: e.description is the program's Norwegian text.
// JScript reports every such failure as number 0x80004005 (VBScript's
// Err.Number is &H80020009), so tell errors apart by their text.
var kunde = new ActiveXObject("Tindrel2.ORV_Kunde");
try {
  kunde.Finn(99999);
} catch (e) {
  WScript.Echo("Feil " + (e.number >>> 0).toString(16).toUpperCase() + ": " + e.description);
}

// Drop the references and let JScript collect them, so that the server
// can end before the script does.
kunde = null;
k = null;
bil = null;
CollectGarbage();

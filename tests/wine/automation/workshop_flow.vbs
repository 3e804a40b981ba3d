' A workshop program's day, late-bound: look a vehicle up, create and fill
' an inspection for it, read back its number and status, ask for its
' approvals in a month, and walk the customers. Prints every value it read
' as Name=Value (TypeName in brackets: old clients depend on the types);
' letters beyond ASCII as &#code; so that the output does not depend on the
' console's code page (Asc: Wine's VBScript has no AscW; for the letters
' here the ANSI code is the Unicode one). wine_objects.sh compares the lines.
Option Explicit

Function Ascii(text)
  Dim i, c, out
  out = ""
  For i = 1 To Len(text)
    c = Asc(Mid(text, i, 1))
    If c > 126 Then
      out = out & "&#" & c & ";"
    Else
      out = out & Mid(text, i, 1)
    End If
  Next
  Ascii = out
End Function

Sub Show(name, value)
  WScript.Echo name & "=" & Ascii(CStr(value)) & " (" & TypeName(value) & ")"
End Sub

Dim bil, k, info, kunde, plate, vin, approved

Set bil = CreateObject("Tindrel2.ORV_Bil2")
bil.Hent "AB12345"
plate = bil.Kjennemerke
vin = bil.Understellsnr
Show "Bil.Kjennemerke", plate
Show "Bil.Merke", bil.Merke
Show "Bil.Modell", bil.Modell
Show "Bil.Farge", bil.Farge
Show "Bil.Understellsnr", vin
Show "Bil.Nyttelast", bil.Nyttelast
Show "Bil.Godkjent", CInt(bil.Godkjent)
approved = bil.Godkjdato
Show "Bil.Godkjdato", Year(approved) * 10000 + Month(approved) * 100 + Day(approved)
WScript.Echo "Bil.Godkjdato.Type=" & TypeName(approved)

Set k = CreateObject("Tindrel2.ORV_Kontroll2")
k.NyKontroll
k.Kjennemerke = plate
k.Understellsnr = Right(vin, 4)
k.Km_stand = 45210
k.Signatur = "OKH"
k.Kvitteringsnr = "A-778"
Show "Kontroll.Kontrollnr", k.Kontrollnr
Show "Kontroll.Status", k.Status
Show "Kontroll.Statusnr", k.Statusnr
Show "Kontroll.Understellsnr", k.Understellsnr
Show "Kontroll.Understellsnrfull", k.Understellsnrfull
Show "Kontroll.Km_stand", k.Km_stand
Show "Kontroll.Kvitteringsnr", k.Kvitteringsnr
Show "Kontroll.Kjforbud", CInt(k.Kjforbud)

Set info = CreateObject("Tindrel2.ORV_KontrollInfo")
Show "KontrollInfo", info.ErBilKontrollertIPeriode(plate, 2019, 3)

Set kunde = CreateObject("Tindrel2.ORV_Kunde")
kunde.FindFirst
On Error Resume Next
Do
  WScript.Echo "Kunde=" & kunde.Kundenr & "|" & Ascii(kunde.Navn) & "|" & Ascii(kunde.Poststed) & "|" & kunde.Kundetype
  kunde.FindNext
  If Err.Number <> 0 Then
    WScript.Echo "Slutt=" & Ascii(Err.Description) & "|" & Err.Source
    Err.Clear
    Exit Do
  End If
Loop
On Error GoTo 0

Set kunde = Nothing
Set info = Nothing
Set k = Nothing
Set bil = Nothing

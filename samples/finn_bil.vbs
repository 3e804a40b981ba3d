' Finn et kjøretøy på kjennemerke (look a vehicle up by plate number).
'
'   cscript //nologo finn_bil.vbs [kjennemerke]
'
' Tindrel 2.0 must be installed and logged in; the server starts by itself
' on CreateObject and ends when the last object is released.
Option Explicit

Dim regnr, bil, godkjent

regnr = "AB12345"
If WScript.Arguments.Count > 0 Then regnr = WScript.Arguments(0)

Set bil = CreateObject("Tindrel2.ORV_Bil2")

' Finn asks the service. It succeeds also when no vehicle has the plate:
' then every property reads empty, so test Kjennemerke afterwards.
bil.Finn regnr
If bil.Kjennemerke = "" Then
  WScript.Echo "Ukjent kjennemerke: " & regnr
Else
  ' Member names are not case-sensitive.
  WScript.Echo "Kjennemerke:  " & bil.Kjennemerke
  WScript.Echo "Merke/modell: " & bil.merke & " " & bil.MODELL
  WScript.Echo "Gruppe:       " & bil.Kjgruppe & " (kode " & bil.Kjgruppekode & ")"
  WScript.Echo "Drivstoff:    " & bil.Drivstoff
  WScript.Echo "Totalvekt:    " & bil.Till_tot_vekt & " kg"
  ' Boolean properties give 1 for true (not -1, True in VBScript):
  ' test them with If, or compare CInt(...) with 1, never with True.
  If bil.Godkjent Then
    ' Dates arrive as Date values.
    godkjent = bil.Godkjentdato
    WScript.Echo "Godkjent:     " & Right("0" & Day(godkjent), 2) & "." & _
      Right("0" & Month(godkjent), 2) & "." & Year(godkjent) & _
      " (kontroll " & bil.Godkjentkontroll & ")"
  Else
    WScript.Echo "Godkjent:     nei"
  End If
End If

' A plate the service does not know.
bil.Finn "ZZ99999"
If bil.Kjennemerke = "" Then WScript.Echo "Ukjent kjennemerke: ZZ99999"

' Release the object; the server ends when no client holds any.
Set bil = Nothing

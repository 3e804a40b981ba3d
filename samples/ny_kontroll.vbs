' Opprett en kontroll (create an inspection), fill it until the service has
' saved it, and read back its number.
'
'   cscript //nologo ny_kontroll.vbs
'
' The inspection is saved as soon as it holds both the plate number and the
' VIN (the last four characters are enough); every later write saves it
' again. Values typed by the user are text: they may be written as they are,
' also to number properties such as Km_stand.
Option Explicit

Dim ordre, re, treff, k, vin4, km

' A work order as the workshop program has it: the plate is picked out of
' the text, the rest is what the user typed.
ordre = "Ordre 4711: PKK for AB12345, kunde 1001"
vin4 = "3456"
km = "45210"

Set re = New RegExp
re.Pattern = "[A-Z]{2}[0-9]{4,5}"
Set treff = re.Execute(ordre)
If treff.Count = 0 Then
  WScript.Echo "Fant ikke kjennemerke i ordren"
  WScript.Quit 1
End If

Set k = CreateObject("Tindrel2.ORV_Kontroll2")
k.NyKontroll
' A match is an object; given with Set, the property takes its value (the
' text found), just as with k.Kjennemerke = treff(0).Value.
Set k.Kjennemerke = treff(0)
k.Understellsnr = vin4    ' plate and VIN complete: saved now
k.Km_stand = km           ' saved again, with the mileage
k.Signatur = "OKH"

' In VBA the object can tell when each save is done: declare it
'   Private WithEvents k As Tindrel2.ORV_Kontroll2
' and read Kontrollnr in
'   Private Sub k_GrunnverdierOK()
' A script reads the number after the write instead.
If k.Kontrollnr = "" Then
  WScript.Echo "Kontrollen ble ikke lagret"
Else
  WScript.Echo "Kontrollnr:  " & k.Kontrollnr
  WScript.Echo "Status:      " & k.Status & " (" & k.Statusnr & ")"
  WScript.Echo "Kjennemerke: " & k.Kjennemerke
  WScript.Echo "Kjoretoy:    " & k.Merke & " " & k.Modell & ", " & k.Understellsnrfull
  WScript.Echo "Km-stand:    " & k.Km_stand
  WScript.Echo "Signatur:    " & k.Signatur
End If

' Release the object; the inspection stays saved on the service.
Set k = Nothing

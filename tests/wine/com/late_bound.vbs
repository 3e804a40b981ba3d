' A script client: every class created by ProgID, members called late-bound
' the way old workshop programs call them. Ends with "N passed, M failed".
Option Explicit
Dim passed, failed
passed = 0
failed = 0

Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL " & what
  End If
End Sub

Sub CheckNoError(what)
  Check Err.Number = 0, what & " (error " & Hex(Err.Number) & " " & Err.Description & ")"
  Err.Clear
End Sub

On Error Resume Next

Dim k, k2, kunde, kunde2, bil, bil2, info, velkar, v

Set k = CreateObject("Tindrel2.ORV_Kontroll")
CheckNoError "CreateObject ORV_Kontroll"
k.NyKontroll
CheckNoError "ORV_Kontroll.NyKontroll"
k.Kjennemerke = "AB12345"
CheckNoError "ORV_Kontroll.Kjennemerke ="
v = k.Kontrollnr
CheckNoError "ORV_Kontroll.Kontrollnr"
Check VarType(v) = vbString And v = "", "Kontrollnr is an empty string"
v = k.Kundenr
Check VarType(v) = vbLong And v = 0, "Kundenr is a Long 0"
v = k.Antall3
Check VarType(v) = vbInteger And v = 0, "Antall3 is an Integer 0"
v = k.Kjforbud
Check VarType(v) = vbBoolean And v = False, "Kjforbud is False"
v = k.Kontrolldato
Check VarType(v) = vbDate And CDbl(v) = 0, "Kontrolldato is the date 0"
k.StartKontroll
CheckNoError "ORV_Kontroll.StartKontroll"
v = k.Kvitteringsnr
Check Err.Number <> 0, "ORV_Kontroll has no Kvitteringsnr"
Err.Clear

Set k2 = CreateObject("Tindrel2.ORV_Kontroll2")
CheckNoError "CreateObject ORV_Kontroll2"
k2.Kvitteringsnr = "K-1"
v = k2.Kvitteringsnr
CheckNoError "ORV_Kontroll2.Kvitteringsnr"
Check v = "", "Kvitteringsnr reads empty"

Set kunde = CreateObject("Tindrel2.ORV_Kunde")
CheckNoError "CreateObject ORV_Kunde"
kunde.Finn 1001
kunde.Navn = "Ola Nordmann"
v = kunde.Poststed
CheckNoError "ORV_Kunde members"
Check v = "Troms" & Chr(248), "Poststed of customer 1001"
kunde.Finn 99999
Check Err.Number <> 0 And Err.Description = "Kunde ikke funnet" And Err.Source = "Tindrel2.ORV_Kunde", _
  "Finn of an unknown customer fails with its text"
Err.Clear

Set kunde2 = CreateObject("Tindrel2.ORV_Kunde2")
CheckNoError "CreateObject ORV_Kunde2"

Set bil = CreateObject("Tindrel2.ORV_Bil")
CheckNoError "CreateObject ORV_Bil"
bil.Finn "AB12345"
v = bil.Godkjentdato
CheckNoError "ORV_Bil.Godkjentdato"
Check VarType(v) = vbDate And Year(v) = 2019 And Month(v) = 3, "Godkjentdato is in March 2019"

Set bil2 = CreateObject("Tindrel2.ORV_Bil2")
CheckNoError "CreateObject ORV_Bil2"
v = bil2.Godkjdato
v = bil2.Nyttelast
CheckNoError "ORV_Bil2 members"
Check v = 0, "Nyttelast is 0"

Set info = CreateObject("Tindrel2.ORV_KontrollInfo")
CheckNoError "CreateObject ORV_KontrollInfo"
v = info.ErBilKontrollertIPeriode("AB12345", 2024, 5)
CheckNoError "ErBilKontrollertIPeriode"
Check VarType(v) = vbInteger And v = 2, "ErBilKontrollertIPeriode gives an Integer 2"

Set velkar = CreateObject("Tindrel2.ORV_Velkar")
CheckNoError "CreateObject ORV_Velkar"
velkar.SkrivKontrollseddel "K-1"
v = velkar.HT
CheckNoError "ORV_Velkar members"
Check v = False, "HT is False"

Set k = Nothing
Set k2 = Nothing
Set kunde = Nothing
Set kunde2 = Nothing
Set bil = Nothing
Set bil2 = Nothing
Set info = Nothing
Set velkar = Nothing

WScript.Echo passed & " passed, " & failed & " failed"

' Kunderegisteret (the workshop's customers): walk the list, look one
' customer up, and handle the errors the customer object reports.
'
'   cscript //nologo kunder.vbs
'
' A failing call raises a run-time error whose Err.Description is the
' program's Norwegian text and whose Err.Source is the class's ProgID.
Option Explicit

Dim kunde, nr, linje

Set kunde = CreateObject("Tindrel2.ORV_Kunde")

' Walk every customer: FindFirst, then FindNext until it fails with
' "Forbi siste kunde".
kunde.FindFirst
On Error Resume Next
Do
  linje = kunde.Kundenr & "  " & kunde.Navn
  If kunde.Poststed <> "" Then linje = linje & ", " & kunde.Postnr & " " & kunde.Poststed
  WScript.Echo linje
  kunde.FindNext
  If Err.Number <> 0 Then Exit Do
Loop
WScript.Echo "(" & Err.Description & ")"
Err.Clear
On Error GoTo 0

' Look one customer up by number; the number may be text, as typed.
nr = "1002"
kunde.Finn nr
WScript.Echo "Kunde " & nr & ": " & kunde.Fornavn & " " & kunde.Navn & ", " & kunde.Epost

' A number the service does not know.
On Error Resume Next
kunde.Finn 99999
If Err.Number <> 0 Then
  WScript.Echo "Feil " & Hex(Err.Number) & " fra " & Err.Source & ": " & Err.Description
  Err.Clear
End If
On Error GoTo 0

' Register a new customer. Numbers and text may be mixed: the customer
' number is a number, the postal code text, and either may be written as
' the other. The customer is saved once it has both number and name, and
' again on every later write; IntKundenr is the number the service gave it.
kunde.Ny
kunde.Kundenr = 2001
kunde.Navn = "Hansen Transport AS"
kunde.Postnr = 9008
WScript.Echo "Ny kunde:    " & kunde.Kundenr & " " & kunde.Navn & ", " & kunde.Postnr & _
  " (intern " & kunde.IntKundenr & ")"

Set kunde = Nothing

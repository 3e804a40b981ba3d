#!/usr/bin/env bash
# The automation classes out of process under Wine, against the service
# double: the late-bound C++ client (objects_client_tests.exe, which answers
# the server's login dialogs and message boxes through the UI driver), then
# a VBScript workshop flow under cscript whose values and requests are
# compared here. The harness runs the double on a free port and gives the
# prefix a token cache pointing at it; the prefix gets the registered server,
# and is put back as it was found at the end (server unregistered).
#   wine_harness.py with-double --driver UI_DRIVER_EXE -- \
#     wine_objects.sh TINDREL2_EXE OBJECTS_CLIENT_TESTS_EXE UI_DRIVER_EXE
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../harness/wine_test_lib.sh"
exe="$1"
client="$2"
driver="$3"
serve_with_double

timeout 240 "$repo_root/scripts/wine-run" "$client" --double-port="$double_port" \
  --ui-driver="$(winpath "$driver")" >"$scratch/client.log" 2>&1 </dev/null
status=$?
check "$status" 0 "objects_client_tests"
if [ "$status" -eq 0 ]; then
  grep -aE '^\[  (PASSED|FAILED|SKIPPED) *\]' "$scratch/client.log"
else
  tr -d '\r' <"$scratch/client.log" | grep -avE '^\[ (RUN|      OK) '
fi

# The workshop flow, from a fresh log (inspection numbers start at K-2001).
double_call POST /reset-log >/dev/null
cp "$here/workshop_flow.vbs" "$scratch/workshop_flow.vbs"
timeout 120 "$repo_root/scripts/wine-run" cscript //nologo "$(winpath "$scratch/workshop_flow.vbs")" \
  >"$scratch/flow.log" 2>&1 </dev/null
check "$?" 0 "cscript workshop_flow.vbs"
check "$(tr -d '\r' <"$scratch/flow.log")" "Bil.Kjennemerke=AB12345 (String)
Bil.Merke=Motorverket (String)
Bil.Modell=Kombi 2.0 (String)
Bil.Farge=S&#248;lvgr&#229; (String)
Bil.Understellsnr=TDL0000000A123456 (String)
Bil.Nyttelast=450 (Long)
Bil.Godkjent=1 (Integer)
Bil.Godkjdato=20190301 (Long)
Bil.Godkjdato.Type=Date
Kontroll.Kontrollnr=K-2001 (String)
Kontroll.Status=Opprettet (String)
Kontroll.Statusnr=1 (Integer)
Kontroll.Understellsnr=3456 (String)
Kontroll.Understellsnrfull=TDL0000000A123456 (String)
Kontroll.Km_stand=45210 (Long)
Kontroll.Kvitteringsnr=A-778 (String)
Kontroll.Kjforbud=0 (Integer)
KontrollInfo=2 (Integer)
Kunde=1001|Bilservice Nord AS|Troms&#248;|1
Kunde=1002|&#198;rlig|&#197;lesund|2
Kunde=1003|Nordmann||2
Slutt=Forbi siste kunde|Tindrel2.ORV_Kunde" "what the workshop flow read"
# One save for the pair plate and VIN, then one for each later write.
check "$(double_operations | tr '\n' ' ')" \
  "GetVehicleData SaveInspection SaveInspection SaveInspection SaveInspection GetInspectionsForVehicleForPeriod GetCustomers " \
  "what the double received from the workshop flow"

summary

#!/usr/bin/env bash
# The samples of samples/ as an integrator runs them: `cscript //nologo`
# under Wine against the service double, each from a fresh double log (so
# numbers start at K-2001 and 5001), its printed lines compared exactly, and
# the server gone after each (com_probe waitend: the samples release their
# objects). The prefix gets the registered server and is put back as found.
#   wine_harness.py with-double --driver UI_DRIVER_EXE -- \
#     samples.sh TINDREL2_EXE COM_PROBE_EXE
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../harness/wine_test_lib.sh"
exe="$1"
probe="$2"
samples="$repo_root/samples"
serve_with_double

# cscript writes in the console's OEM code page, which follows the locale:
# pinned to C.UTF-8 (Wine's en-US, code page 437, always there), read back as
# such. Code page 437 has no "ø": Wine writes "o" for it.
sample() {  # file expected-output expected-operations
  double_call POST /reset-log >/dev/null
  cp "$samples/$1" "$scratch/$1"
  LC_ALL=C.UTF-8 timeout 120 "$repo_root/scripts/wine-run" cscript //nologo \
    "$(winpath "$scratch/$1")" >"$scratch/out.log" 2>&1 </dev/null
  check "$?" 0 "cscript $1 exit code"
  check "$(iconv -f CP437 -t UTF-8 "$scratch/out.log" | tr -d '\r')" "$2" "what $1 printed"
  check "$(double_operations | tr '\n' ' ')" "$3" "what the double received from $1"
  run "$probe" waitend 20000
  check "$(tr -d '\r' <"$scratch/last.log" | cut -d' ' -f1-2)" "waitend ok" "no server left after $1"
}

sample finn_bil.vbs "Kjennemerke:  AB12345
Merke/modell: Motorverket Kombi 2.0
Gruppe:       Personbil (kode 101)
Drivstoff:    Diesel
Totalvekt:    2000 kg
Godkjent:     01.03.2019 (kontroll K-1001)
Ukjent kjennemerke: ZZ99999" "GetVehicleData GetVehicleData "

# One save for the pair plate and VIN, then one for each later write.
sample ny_kontroll.vbs "Kontrollnr:  K-2001
Status:      Opprettet (1)
Kjennemerke: AB12345
Kjoretoy:    Motorverket Kombi 2.0, TDL0000000A123456
Km-stand:    45210
Signatur:    OKH" "SaveInspection SaveInspection SaveInspection "

sample kunder.vbs "1001  Bilservice Nord AS, 9008 Tromso
1002  Ærlig, 6003 Ålesund
1003  Nordmann
(Forbi siste kunde)
Kunde 1002: Bjorn Ærlig, bjorn@example.invalid
Feil 80020009 fra Tindrel2.ORV_Kunde: Kunde ikke funnet
Ny kunde:    2001 Hansen Transport AS, 9008 (intern 5001)" \
  "GetCustomers GetCustomer GetCustomer SaveCustomer SaveCustomer "

sample ny_kontroll.js "Kjoretoy:    Motorverket Kombi 2.0 (AB12345)
Godkjent:    01.03.2019
Kontrollnr:  K-2001, Opprettet
Km-stand:    45210
Opprettet:   15.03.2024
Feil 80004005: Kunde ikke funnet" "GetVehicleData SaveInspection SaveInspection GetCustomer "

summary

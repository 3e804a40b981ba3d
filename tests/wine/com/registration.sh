#!/usr/bin/env bash
# Self-registration under Wine: the switches in their spellings, every
# class's entries, the type library under locales 409 and 0 (read back by
# typelib_check.exe), unregistration, and the ".orv" association that an
# elevated start writes.
#   registration.sh TINDREL2_EXE TYPELIB_CHECK_EXE PLATFORM
# PLATFORM is the type library's platform key of the build: win32, or win64
# for the 64-bit build.
set -u
source "$(dirname "$0")/../harness/wine_test_lib.sh"
exe="$1"
typelib_check="$2"
platform="$3"

libid='{7E19939F-646C-41BA-A9AF-D7624B58AB24}'
# name, CLSID, help string
classes=(
  'ORV_Kontroll|{CB854742-329C-4D30-9B9E-3CD317D1464B}|ORV_Kontroll Object'
  'ORV_Kunde|{69B22465-6C87-400D-BE25-EBCEBE537EF8}|ORV_Kunde Object'
  'ORV_Velkar|{AE8778AE-DCE2-4110-B66C-A5552968B192}|ORV_Velkar Object'
  'ORV_KontrollInfo|{B10FF84D-7FEC-497D-AAD1-9A79B125BCED}|IORV_KontrollInfo Object'
  'ORV_Bil|{257412A7-0529-4680-A800-12D11AAE52C9}|ORV_Bil Object'
  'ORV_Bil2|{0DEDDCDD-E613-489D-BCCD-7F3F5CF10176}|ORV_Bil2 Object'
  'ORV_Kontroll2|{902AE086-CA3A-4C67-A585-C18DD1F5936C}|ORV_Kontroll2 Object'
  'ORV_Kunde2|{4C4C17E0-193E-4BF5-84AA-27410C6755E6}|ORV_Kunde2 Object'
)
# IORV_Kontroll and the event interface of ORV_Bil, as the marshaler finds them.
interfaces=('{6317CDC2-40FD-41B7-9C5D-9533C4956DFF}' '{9F664913-96B9-47CC-9E15-4C364CCEA44B}')
exe_win="$(winpath "$exe")"

expect_registered() {  # root key, description
  local root="$1" what="$2" entry name clsid help key progid
  for entry in "${classes[@]}"; do
    IFS='|' read -r name clsid help <<<"$entry"
    key="$(reg_dump "$root\\CLSID\\$clsid")"
    progid="$(reg_dump "$root\\Tindrel2.$name")"
    check "$(dump_value "$key" '')" "$help" "$what: CLSID key of $name"
    check "$(dump_value "$key" LocalServer32)" "\"$exe_win\"" "$what: LocalServer32 of $name"
    check "$(dump_value "$key" ProgID)" "Tindrel2.$name" "$what: ProgID of $name"
    check "$(dump_value "$key" TypeLib)" "$libid" "$what: TypeLib of $name"
    check "$(dump_value "$key" Version)" "1.0" "$what: Version of $name"
    check "$(dump_value "$progid" '')" "$help" "$what: ProgID key of $name"
    check "$(dump_value "$progid" CLSID)" "$clsid" "$what: CLSID of Tindrel2.$name"
  done
}

expect_unregistered() {  # root key, description
  local root="$1" what="$2" entry name clsid help iid
  for entry in "${classes[@]}"; do
    IFS='|' read -r name clsid help <<<"$entry"
    check "$(reg_exists "$root\\CLSID\\$clsid")" no "$what: CLSID key of $name removed"
    check "$(reg_exists "$root\\Tindrel2.$name")" no "$what: ProgID key of $name removed"
  done
  check "$(reg_exists "$root\\TypeLib\\$libid")" no "$what: type library removed"
  for iid in "${interfaces[@]}"; do
    check "$(reg_exists "$root\\Interface\\$iid")" no "$what: Interface\\$iid removed"
  done
}

restore_prefix "$exe"
expect_unregistered 'HKCR' 'at the start'

# Registration, machine-wide.
run "$exe" /REGSERVER
check "$?" 0 "/REGSERVER exit code"
expect_registered 'HKCR' '/REGSERVER'
lib="HKCR\\TypeLib\\$libid\\1.0"
check "$(reg_value "$lib")" "Tindrel2 Library" "type library key"
check "$(reg_value "$lib\\409\\$platform")" "$exe_win" "type library, locale 409"
check "$(reg_value "$lib\\0\\$platform")" "$exe_win" "type library, locale 0"
for iid in "${interfaces[@]}"; do
  check "$(reg_value "HKCR\\Interface\\$iid\\TypeLib")" "$libid" "Interface\\$iid"
done

# The registered library, member by member (LoadRegTypeLib, locale 0).
run "$typelib_check"
check "$?" 0 "typelib_check on the registered library"
sed 's/^/  typelib_check: /' "$scratch/last.log" | grep -E 'FAIL|passed' | head -n 20

# The same entries, whether registered once or again (every elevated start
# registers anew).
before="$(for e in "${classes[@]}"; do reg_dump "HKCR\\CLSID\\$(cut -d'|' -f2 <<<"$e")"; done
          reg_dump "HKCR\\TypeLib\\$libid")"
run "$exe" /REGSERVER
after="$(for e in "${classes[@]}"; do reg_dump "HKCR\\CLSID\\$(cut -d'|' -f2 <<<"$e")"; done
         reg_dump "HKCR\\TypeLib\\$libid")"
check "$after" "$before" "registering twice leaves the same entries"

# The elevated start wrote the association (Wine's processes count as
# elevated); /UNREGSERVER removes it with the classes, since it opens this
# program.
check "$(reg_value 'HKCR\.orv')" "TindrelORV.Document" ".orv"
check "$(reg_value 'HKCR\TindrelORV.Document' BrowserFlags)" "0x8" "BrowserFlags"
check "$(reg_value 'HKCR\TindrelORV.Document' EditFlags)" "0x10000" "EditFlags"
check "$(reg_value 'HKCR\TindrelORV.Document\shell\open\command')" "\"$exe_win\" \"%1\"" \
  "open command"

run "$exe" /UNREGSERVER
check "$?" 0 "/UNREGSERVER exit code"
expect_unregistered 'HKCR' '/UNREGSERVER'
check "$(reg_value 'HKCR\.orv')" "(missing)" ".orv removed by /UNREGSERVER"
check "$(reg_value 'HKCR\TindrelORV.Document\shell\open\command')" "(missing)" \
  "TindrelORV.Document removed by /UNREGSERVER"

# Any letter case, dash or slash.
run "$exe" -regserver
expect_registered 'HKCR' '-regserver'
run "$exe" -UnRegServer
expect_unregistered 'HKCR' '-UnRegServer'

# Per user: the classes under HKCU\Software\Classes.
run "$exe" /RegServerPerUser
check "$?" 0 "/RegServerPerUser exit code"
expect_registered 'HKCU\Software\Classes' '/RegServerPerUser'
run "$exe" /UNREGSERVERPERUSER
expect_unregistered 'HKCU\Software\Classes' '/UNREGSERVERPERUSER'

# The library as built and as embedded, without registering.
run "$typelib_check" --file "$(winpath "$(dirname "$exe")/../automation/Tindrel2.tlb")"
check "$?" 0 "typelib_check --file Tindrel2.tlb"
run "$typelib_check" --file "$exe_win"
check "$?" 0 "typelib_check --file Tindrel2.exe (TYPELIB resource 1)"

summary

#!/usr/bin/env bash
# The automation server out of process under Wine: registered, then used by
# the C++ client (com_client_tests.exe: creation by ProgID, late and early
# binding, event sinks, the server's end after the last release) and by a
# VBScript under Wine's cscript; unregistered at the end. The members that
# ask the service reach the test double, logged in through a token cache.
#   wine_harness.py with-double --driver UI_DRIVER_EXE -- \
#     com_server.sh TINDREL2_EXE COM_CLIENT_TESTS_EXE
set -u
source "$(dirname "$0")/../harness/wine_test_lib.sh"
exe="$1"
client="$2"

serve_with_double

run "$client"
check "$?" 0 "com_client_tests"
grep -aE '^\[ *(OK|FAILED|PASSED) *\]|Failure|Expected|Which is|Value of|error' "$scratch/last.log"

# Wine's cscript runs the script, but cannot connect events (error 445).
cp "$(dirname "$0")/late_bound.vbs" "$scratch/late_bound.vbs"
run cscript //nologo "$(winpath "$scratch/late_bound.vbs")"
check "$?" 0 "cscript late_bound.vbs"
tr -d '\r' <"$scratch/last.log" | grep -aE 'FAIL|passed'

# The script's objects are gone: so must be their server.
run "$client" --gtest_filter=Client.NoServerIsLeftRunning
check "$?" 0 "no server left running after the script"

summary

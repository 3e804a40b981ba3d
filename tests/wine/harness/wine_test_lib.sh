# Shared by the Wine test scripts (sourced): the checks and the registry
# helpers. Every Wine call goes through scripts/wine-run (the prepared prefix
# in TINDREL_WINEPREFIX) with its output in a file of the script's own
# scratch folder. Each script counts its checks and ends with `summary`
# ("N passed, M failed"). The service double and the token cache come from
# wine_harness.py (`with-double`, the WITH_DOUBLE of the script's row in
# tests/wine/CMakeLists.txt); such a script starts with serve_with_double.

repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
harness="$repo_root/tests/wine/harness/wine_harness.py"
: "${TINDREL_WINEPREFIX:?run the Windows tests through scripts/test}"
scratch="$(mktemp -d /tmp/tindrel-wine-test.XXXXXX)"
passed=0
failed=0

wr() { "$repo_root/scripts/wine-run" "$@"; }

# Runs a Windows program with its output in $scratch/last.log; returns its
# exit code.
run() { wr "$@" >"$scratch/last.log" 2>&1 </dev/null; }

winpath() { wr winepath -w "$1" 2>/dev/null | tr -d '\r'; }

check() {  # actual expected description
  if [ "$1" == "$2" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$3" "$2" "$1"
  fi
}

# The data of value `name` (empty: the default value) of a registry key, or
# "(missing)".
reg_value() {
  local out
  if [ -z "${2:-}" ]; then
    out="$(wr reg query "$1" /ve 2>/dev/null)" || { echo "(missing)"; return; }
    printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^ *(Default) *REG_[A-Z_]* *//p'
  else
    out="$(wr reg query "$1" /v "$2" 2>/dev/null)" || { echo "(missing)"; return; }
    printf '%s\n' "$out" | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
  fi
}

reg_exists() {
  if wr reg query "$1" >/dev/null 2>&1; then echo yes; else echo no; fi
}

# Every key below `key`, with its values, as reg prints them.
reg_dump() { wr reg query "$1" /s 2>/dev/null | tr -d '\r'; }

# From a reg_dump of KEY: the default value of KEY\SUB (SUB empty: of KEY
# itself), or "(missing)". Saves a Wine start per value.
dump_value() {  # dump sub
  awk -v sub_="$2" '
    function tail() { return sub_ == "" ? first : first "\\" sub_ }
    /^HKEY_/ { if (first == "") first = $0; key = $0; next }
    /^ *\(Default\) / && key == tail() { sub(/^ *\(Default\) *REG_[A-Z_]* */, ""); print; found = 1 }
    END { if (!found) print "(missing)" }' <<<"$1"
}

# What every start of Tindrel2.exe leaves in the prefix: under Wine the
# process counts as elevated, so each start registers the server and
# writes the ".orv" association. Removed again here.
restore_prefix() {  # Tindrel2.exe
  run "$1" /UNREGSERVER || true
  wr reg delete 'HKCR\.orv' /f >/dev/null 2>&1 || true
  wr reg delete 'HKCR\TindrelORV.Document' /f >/dev/null 2>&1 || true
}

# Ends everything that runs in the prefix and waits for its server to end
# (-w), so that the next program starts a new server rather than meet the
# ending one.
end_wine() {
  WINEPREFIX="$TINDREL_WINEPREFIX" wineserver -k >/dev/null 2>&1
  WINEPREFIX="$TINDREL_WINEPREFIX" wineserver -w >/dev/null 2>&1
}

# The double started by `wine_harness.py with-double`.
double_port="${TINDREL_DOUBLE_PORT:-}"
double_call() { python3 "$harness" double-call "$@"; }  # method path [json body]
double_operations() {  # the logged requests' operations, one a line
  double_call GET /log | python3 -c '
import json, sys
for e in json.load(sys.stdin):
    print(e["operation"])'
}
# "yes" when the prefix user has a token cache.
cache_written() {
  if ls "$TINDREL_WINEPREFIX"/drive_c/users/*/AppData/Roaming/ORV_AS/Tindrel2.dat >/dev/null 2>&1
  then echo yes; else echo no; fi
}

# The start of a script run under `wine_harness.py with-double`, with `exe`
# set: whatever earlier tests left running ends (a server of theirs would
# answer our clients, or hold the single-instance mutex) and the prefix is
# put back as found, here and at the exit; the double and the token cache
# are checked (the script ends without them) and the server is registered.
serve_with_double() {
  end_wine
  end_wine_at_exit=1
  restore_prefix "$exe"
  double_call GET /log >/dev/null
  check "$?" 0 "service double started"
  check "$(cache_written)" yes "token cache written"
  if [ "$failed" -ne 0 ]; then
    summary
    exit
  fi
  local status
  run "$exe" /REGSERVER
  status=$?
  check "$status" 0 "/REGSERVER exit code"
  if [ "$status" -ne 0 ]; then
    echo "  what Wine said:"
    WINEDEBUG=err+all run "$exe" /REGSERVER
    echo "  again: exit code $?"
    tr -d '\r' <"$scratch/last.log" | tail -n 20 | sed 's/^/    /'
  fi
}

summary() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# At exit: the prefix restored (when the script set `exe`, the program
# under test), the scratch folder removed, and after serve_with_double
# everything in the prefix ended.
on_exit() {
  [ -n "${exe:-}" ] && restore_prefix "$exe"
  rm -rf "$scratch"
  [ -n "${end_wine_at_exit:-}" ] && end_wine
}
trap on_exit EXIT

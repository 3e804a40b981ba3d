# Sourced after wine_test_lib.sh by the scripts whose server talks to the
# service: the test double on a free loopback port, and a token cache in the
# prefix that sends the server there, logged in as the double's workshop
# user. Both are put back at exit: the double stopped, the prefix's cache as
# it was found.
#
#   start_double                 sets double_port and double_address
#   double_call METHOD PATH [JSON]   a control call; prints the reply
#   double_operations            the logged requests' operations, one a line
#   write_token_cache UI_DRIVER  the cache with the double's address and a token

double_pid=""
cache_file=""
cache_saved=""
cache_dir_made=""

start_double() {
  rm -f "$scratch/double.port"
  python3 "$repo_root/tests/double/service_double.py" --port 0 \
    --port-file "$scratch/double.port" --log "$scratch/double.log" \
    >/dev/null 2>"$scratch/double.stderr" </dev/null &
  double_pid=$!
  local i
  for i in $(seq 1 150); do
    [ -s "$scratch/double.port" ] && break
    kill -0 "$double_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$scratch/double.port" ]; then
    cat "$scratch/double.stderr"
    return 1
  fi
  double_port="$(tr -d '\n' <"$scratch/double.port")"
  double_address="http://127.0.0.1:$double_port/ORVNewPL/Services/Tindrel2Service.svc"
}

double_call() {  # method path [json body]
  python3 - "$double_port" "$1" "$2" "${3:-}" <<'EOF'
import sys, urllib.request
port, method, path, body = sys.argv[1:5]
data = body.encode() if method == "POST" else None
req = urllib.request.Request("http://127.0.0.1:%s%s" % (port, path), data=data, method=method,
                             headers={"Content-Type": "application/json"})
with urllib.request.urlopen(req, timeout=10) as reply:
    sys.stdout.write(reply.read().decode("utf-8"))
EOF
}

double_operations() {
  double_call GET /log | python3 -c '
import json, sys
for e in json.load(sys.stdin):
    print(e["operation"])'
}

# The user's short date for 2030-12-31, as the server writes and reads it,
# from the UI driver (GetDateFormatW in the prefix).
short_date() {  # ui_driver.exe
  printf 'date\t2030\t12\t31\nquit\n' | timeout 60 "$repo_root/scripts/wine-run" "$1" 2>/dev/null |
    tr -d '\r' | sed -n 's/^ok\t//p'
}

write_token_cache() {  # ui_driver.exe
  local roaming date
  roaming="$(ls -d "$TINDREL_WINEPREFIX"/drive_c/users/*/AppData/Roaming 2>/dev/null |
             grep -v '/Public/' | head -n 1)"
  [ -n "$roaming" ] || { echo "no roaming folder in the prefix"; return 1; }
  date="$(short_date "$1")"
  [ -n "$date" ] || { echo "no short date from the UI driver"; return 1; }
  cache_file="$roaming/ORV_AS/Tindrel2.dat"
  if [ -f "$cache_file" ]; then
    cache_saved="$scratch/Tindrel2.dat.saved"
    cp "$cache_file" "$cache_saved"
  fi
  [ -d "$(dirname "$cache_file")" ] || cache_dir_made=yes
  mkdir -p "$(dirname "$cache_file")"
  printf '%s\r\nTestverkstedet AS\t4242\tverksted\t7\t%s\tSIG-verksted-1' \
    "$double_address" "$date" >"$cache_file"
}

restore_double_and_cache() {
  if [ -n "$double_pid" ]; then
    kill "$double_pid" 2>/dev/null
    wait "$double_pid" 2>/dev/null
    double_pid=""
  fi
  if [ -n "$cache_file" ]; then
    if [ -n "$cache_saved" ]; then cp "$cache_saved" "$cache_file"; else rm -f "$cache_file"; fi
    [ -n "$cache_dir_made" ] && rmdir "$(dirname "$cache_file")" 2>/dev/null
    cache_file=""
  fi
}

# Runs before wine_test_lib.sh's own clean-up, which removes $scratch.
trap 'restore_double_and_cache; on_exit' EXIT

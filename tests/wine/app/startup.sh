#!/usr/bin/env bash
# Start-up of Tindrel2.exe under Wine, seen from outside: the windows and
# message boxes each command line produces and the exit code, reported by
# startup_probe.exe ({q} is a double quote, {cur} the "¤" of a command-line
# job). The cases that would go on to save a job through the service are
# left to the native tests of the dispatch (tests/portable/app).
#   startup.sh TINDREL2_EXE STARTUP_PROBE_EXE
set -u
source "$(dirname "$0")/../harness/wine_test_lib.sh"
exe="$1"
probe="$2"

# Job files in a folder with a space in its name.
jobs="$scratch/job filer"
mkdir -p "$jobs"
printf '\r\n   \r\n' >"$jobs/tom jobb.orv"                     # no data: raises
printf 'TYPE=Takst\r\nKJMERKE=AB12345\r\n' >"$jobs/takst.orv"  # refused
empty="$(winpath "$jobs/tom jobb.orv")"
takst="$(winpath "$jobs/takst.orv")"
missing="$(winpath "$jobs/finnes ikke.orv")"

probe_case() {  # description, expected lines, probe arguments...
  local what="$1" expected="$2"
  shift 2
  wr "$probe" "$@" >"$scratch/probe.log" 2>&1 </dev/null
  check "$(tr -d '\r' <"$scratch/probe.log")" "$expected" "$what"
}

restore_prefix "$exe"
no_data='messagebox|Tindrel 2.0|Fant ikke data i datafilen
exit|0'
shown='window|Tindrel 2.0
exit|0'

probe_case "empty command line: the main window" "$shown" 15000 "$exe" ''
probe_case "/Embedding: served without a window" 'running|hidden' 4000 "$exe" '/Embedding'
probe_case "-Embedding: served without a window" 'running|hidden' 4000 "$exe" '-Embedding'
probe_case "-embedding (lower case): the main window" "$shown" 15000 "$exe" '-embedding'
probe_case "job data with Embedding: automation wins" 'running|hidden' 4000 "$exe" \
  '{cur}1001{cur}Ola -Embedding'
probe_case "quoted job file path with spaces" "$no_data" 15000 "$exe" "{q}$empty{q}"
probe_case "unquoted job file path with spaces" "$no_data" 15000 "$exe" "$empty"
probe_case "two quoted arguments: the first is the path" "$no_data" 15000 "$exe" \
  "{q}$empty{q} {q}annet{q}"
probe_case "a job file that does not exist: told so, then the main window" "messagebox|Tindrel 2.0|Fant ikke jobbfilen «$missing».
window|Tindrel 2.0
exit|0" 15000 "$exe" "{q}$missing{q}"
# The key=value file shows its line, then is refused: no window, the user
# told which job was dropped.
probe_case "a refused job file ends without a window" "messagebox|Tindrel 2.0|Key: TYPE ,Value: Takst
messagebox|Tindrel 2.0|Jobbfilen «$takst» ble avbrutt: Takst er ikke støttet.
exit|0" 15000 "$exe" "{q}$takst{q}"

# A second instance beside one serving automation clients.
probe_case "second instance without a job ends silently" 'exit|0' \
  --beside '/Embedding' 15000 "$exe" ''
probe_case "second instance with a job file says so" "messagebox|Tindrel 2.0|Tindrel 2.0 kjører allerede. Jobben ble ikke behandlet: $empty
exit|0" --beside '/Embedding' 15000 "$exe" "{q}$empty{q}"
probe_case "second instance with job data says so" 'messagebox|Tindrel 2.0|Tindrel 2.0 kjører allerede. Jobben ble ikke behandlet: kommandolinjejobb
exit|0' --beside '/Embedding' 15000 "$exe" '{cur}1001{cur}Ola'

# Registration switches end the process at once, with exit code 0.
probe_case "/REGSERVER ends without a window" 'exit|0' 15000 "$exe" '/REGSERVER'
probe_case "/UNREGSERVER ends without a window" 'exit|0' 15000 "$exe" '/UNREGSERVER'

summary

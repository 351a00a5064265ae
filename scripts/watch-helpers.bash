# Sourced by with-x11, with-sway and with-kwin. A test desktop is a few
# helper programs (a display server or compositor, a window manager, a tray,
# a bus, a portal); when one of them dies, the tests fail later for a reason
# they cannot name. These functions check each helper as it starts, watch
# them all while the command runs, say at once which one died and with what
# last words, and make the wrapper fail even when the command succeeded.
# The sourcing script sets `me` (its name, for messages) and `session` (its
# private folder, removed when it exits).

watched_names=()
watched_pids=()
watched_logs=()
watchdog_pid=""

# Says on stderr that HELPER WHAT ("did not start", "died") and shows the
# end of its LOG, which goes away with the session.
#   report_helper HELPER WHAT LOG
report_helper() {
  local helper=$1 what=$2 log=$3
  if [[ -s "$log" ]]; then
    echo "$me: $helper $what; the end of its log:"
    tail -n 10 "$log" | sed 's/^/    /'
  else
    echo "$me: $helper $what (its log is empty)"
  fi
} >&2

# True while process PID runs. A zombie has died: its parent just has not
# collected it yet.
helper_alive() {
  local stat
  read -r stat 2>/dev/null </proc/"$1"/stat || return 1
  stat=${stat##*) }
  [[ "${stat:0:1}" != [ZX] ]]
}

# Waits up to ~10 s for "$@" to succeed while process PID runs; fails at
# once when PID is gone, so that a helper that died is not waited for.
#   wait_for_helper PID CMD [ARGS...]
wait_for_helper() {
  local pid=$1 tries=200
  shift
  until "$@" >/dev/null 2>&1; do
    helper_alive "$pid" && ((--tries > 0)) || return 1
    sleep 0.05
  done
}

# From now on, HELPER (a name for people) is process PID and writes to LOG.
#   watch_helper HELPER PID LOG
watch_helper() {
  watched_names+=("$1")
  watched_pids+=("$2")
  watched_logs+=("$3")
}

# Records that HELPER died, for the check after the command, and says so.
#   helper_died HELPER LOG
helper_died() {
  echo "$1" >>"$session/died"
  report_helper "$1" died "$2"
}

# One round of the watchdog: each watched helper that is gone is reported
# once. A script whose helpers start later on their own (the bus starts
# them) defines watch_more, called on each round to watch or report them.
watch_round() {
  local i
  for i in "${!watched_pids[@]}"; do
    helper_alive "${watched_pids[i]}" && continue
    helper_died "${watched_names[i]}" "${watched_logs[i]}"
    unset 'watched_pids[i]'
  done
  if declare -F watch_more >/dev/null; then watch_more; fi
}

# Before the command: every helper started must still run (one may die
# after it answered, e.g. when the next helper connects to it).
helpers_still_alive() {
  local i
  for i in "${!watched_pids[@]}"; do
    helper_alive "${watched_pids[i]}" && continue
    report_helper "${watched_names[i]}" "died while the desktop started" "${watched_logs[i]}"
    return 1
  done
}

# Runs CMD with a watchdog that polls the helpers every half second, and
# exits with CMD's status; with 2 when CMD succeeded but a helper died under
# it, since what it checked ran on a broken desktop.
#   run_watched CMD [ARGS...]
run_watched() {
  local status
  helpers_still_alive || exit 2
  : >"$session/died"
  (
    # A last round after the command ended catches a death in its final
    # half second.
    until [[ -e "$session/watch-stop" ]]; do
      watch_round
      sleep 0.5
    done
    watch_round
  ) &
  watchdog_pid=$!
  "$@"
  status=$?
  touch "$session/watch-stop"
  wait "$watchdog_pid" 2>/dev/null
  watchdog_pid=""
  if [[ -s "$session/died" ]]; then
    local dead
    dead=$(paste -sd , "$session/died" | sed 's/,/, /g')
    echo "$me: the desktop broke while the command ran: $dead died (see above)" >&2
    ((status != 0)) || status=2
  fi
  exit "$status"
}

# For cleanup, before the helpers are stopped: their deaths are no news.
stop_watchdog() {
  [[ -n "$watchdog_pid" ]] || return 0
  kill "$watchdog_pid" 2>/dev/null
  wait "$watchdog_pid" 2>/dev/null
  watchdog_pid=""
}

#!/usr/bin/env bash
# Builds everything and runs impedance-analyzer in a working directory of its
# own (./run-work, or $VNA_RUN_DIR), where it keeps its "configu" file.
#
# With a usable X display the window opens for the user and the script waits
# until the program ends. Without one the program runs on a private Xvfb for
# about 8 seconds; the script saves a screenshot of the window
# (run-work/screenshot.png), prints its path and ends the program with Esc.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh

build_dir=$(realpath "${VNA_BUILD_DIR:-build}")
work_dir=$(realpath -m "${VNA_RUN_DIR:-run-work}")
program=$build_dir/impedance-analyzer
mkdir -p "$work_dir"

started=() # process ids this script started and has not reaped yet
# shellcheck disable=SC2317 # called by the trap
stop_started() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do # the last started first
    kill "${started[i]}" 2>/dev/null || true
    wait "${started[i]}" 2>/dev/null || true
  done
}
trap stop_started EXIT

display_usable() {
  [[ -n ${DISPLAY:-} ]] && timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1
}

start_virtual_display() {
  # Xvfb picks a free display number and writes it to descriptor 3 once it
  # accepts connections.
  local number_file=$work_dir/.xvfb-display
  : >"$number_file"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" 2>"$work_dir/xvfb.log" &
  started+=($!)
  local _
  for _ in $(seq 100); do
    [[ -s $number_file ]] && break
    sleep 0.1
  done
  if [[ ! -s $number_file ]]; then
    echo "run: Xvfb did not start:" >&2
    cat "$work_dir/xvfb.log" >&2
    exit 1
  fi
  DISPLAY=":$(head -n 1 "$number_file")"
  export DISPLAY
  rm -f "$number_file"
}

# The port number the program will open (/dev/ttyUSB<n>): the first two bytes
# of its settings file, little-endian, or 3 while there is no valid file.
settings_port() {
  local file=$work_dir/configu
  if [[ -f $file && $(stat -c %s "$file") -eq 26 ]]; then
    local bytes
    read -r -a bytes < <(od -An -tu1 -N2 "$file")
    echo $((bytes[0] + 256 * bytes[1]))
  else
    echo 3
  fi
}

# ---------------------------------------------------------------------------
# The virtual instrument. When the simulator has been built it stands in for
# the hardware, measuring a 100 ohm resistor on a pseudo-terminal linked as
# the /dev/ttyUSB<n> the program opens (linking needs root; without it the
# program runs without an instrument).
# ---------------------------------------------------------------------------
simulator_pid=
if [[ -x $build_dir/instrument-simulator ]]; then
  "$build_dir/instrument-simulator" --device "resistor 100" --port "$(settings_port)" \
    >"$work_dir/simulator.log" 2>&1 &
  simulator_pid=$!
  started+=("$simulator_pid")
  sleep 1 # until the link is there
  if kill -0 "$simulator_pid" 2>/dev/null; then
    echo "run: instrument-simulator started: $(head -n 1 "$work_dir/simulator.log")"
  else
    echo "run: instrument-simulator did not start: $(cat "$work_dir/simulator.log")" >&2
  fi
else
  echo "run: no instrument-simulator built; the program runs without an instrument"
fi

if display_usable; then
  echo "run: opening impedance-analyzer on $DISPLAY; end it with Esc or its Exit button"
  status=0
  (cd "$work_dir" && exec "$program") || status=$?
  exit "$status"
fi

start_virtual_display
echo "run: no usable X display; running on a private Xvfb ($DISPLAY)"
(cd "$work_dir" && exec "$program") >"$work_dir/program.log" 2>&1 &
program_pid=$!
started+=("$program_pid")

window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$program_pid" | head -n 1 || true)
if [[ -z $window ]]; then
  echo "run: the program showed no window; its output:" >&2
  cat "$work_dir/program.log" >&2
  exit 1
fi

sleep 8
screenshot=$work_dir/screenshot.png
xwd -silent -id "$window" | convert xwd:- "png:$screenshot"
echo "run: screenshot of the window: $screenshot"

# End it as a user would. An acquisition discards the keys it reads, so Esc
# is repeated until the program is idle and takes it (without an instrument
# that is after the 7 s time-out); a scan that goes on (an instrument
# answering) is stopped with the space bar now and then.
for attempt in $(seq 40); do
  kill -0 "$program_pid" 2>/dev/null || break
  if ((attempt % 10 == 5)); then
    xdotool windowfocus "$window" key space 2>/dev/null || true
    sleep 1
  fi
  xdotool windowfocus "$window" key Escape 2>/dev/null || true
  sleep 1
done

if kill -0 "$program_pid" 2>/dev/null; then
  echo "run: the program did not end on Esc; stopping it" >&2
  exit 1
fi
status=0
wait "$program_pid" || status=$?
unset 'started[-1]' # reaped: its number may belong to someone else now
echo "run: impedance-analyzer ended with status $status"
exit "$status"

#!/usr/bin/env bash
# Builds everything and runs impedance-analyzer in a working directory of its
# own (./run-work, or $VNA_RUN_DIR), where it keeps its "configu" file, with
# instrument-simulator standing in for the hardware.
#
# With a usable X display the window opens for the user and the script waits
# until the program ends; the simulated device can be changed meanwhile with
#   echo "device short" > run-work/simulator.control
#
# Without one the script plays a user on a private Xvfb: it stops the first
# scan, sets 51 points, calibrates with an open, a short and the 50 ohm
# reference load (switching the simulator to each when the program asks),
# measures a series RLC circuit, saves a screenshot (run-work/screenshot.png)
# and prints the marker readout beside what the circuit should read. Then it
# ends the program with Esc. Everything it started is stopped on the way out.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh

build_dir=$(realpath "${VNA_BUILD_DIR:-build}")
work_dir=$(realpath -m "${VNA_RUN_DIR:-run-work}")
program=$build_dir/impedance-analyzer
screen_text=$build_dir/screen-text
control_fifo=$work_dir/simulator.control
mkdir -p "$work_dir"

# The device measured after the calibration: 50 ohm, 10 mH and 1 uF in
# series resonate at 1.59 kHz, between the two markers of a 51-point sweep
# from 200 Hz (908 Hz and 4.13 kHz), so one marker reads it capacitive and
# the other inductive.
device_r=50 device_l=0.01 device_c=1e-6
device="rlc-series $device_r $device_l $device_c"

started=() # process ids this script started and has not reaped yet
# shellcheck disable=SC2317 # called by the trap
clean_up() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do # the last started first
    kill "${started[i]}" 2>/dev/null || true
    wait "${started[i]}" 2>/dev/null || true
  done
  rm -f "$control_fifo"
}
trap clean_up EXIT

fail() {
  echo "run: $*" >&2
  exit 1
}

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
  [[ -s $number_file ]] || fail "Xvfb did not start: $(cat "$work_dir/xvfb.log")"
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
# The virtual instrument: a pseudo-terminal linked as the /dev/ttyUSB<n> the
# program opens (linking needs root), measuring what its control FIFO says.
# ---------------------------------------------------------------------------
instrument_linked=false
start_simulator() {
  local log=$work_dir/simulator.log
  rm -f "$control_fifo" # a FIFO left by a killed run would stay ours to remove
  "$build_dir/instrument-simulator" --device "resistor 100" --port "$(settings_port)" \
    --control "$control_fifo" >"$log" 2>&1 &
  started+=($!)
  # It prints where it serves once the link is made; an error ends it.
  local _
  for _ in $(seq 100); do
    grep -q 'serving' "$log" && break
    kill -0 "${started[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  if grep -q 'serving .* as /dev/ttyUSB' "$log"; then
    instrument_linked=true
    echo "run: $(grep -m 1 'serving' "$log")"
  else
    echo "run: instrument-simulator is not linked as the program's port:" >&2
    cat "$log" >&2
  fi
}

# Connects another device to the simulated instrument and waits until the
# simulator confirms it, so the next scan measures the new device.
connect() {
  local log=$work_dir/simulator.log
  local before
  before=$(grep -c 'instrument-simulator: device ' "$log" || true)
  echo "device $*" | timeout 5 tee "$control_fifo" >/dev/null ||
    fail "the simulator does not take commands on $control_fifo"
  local _
  for _ in $(seq 50); do
    if (($(grep -c 'instrument-simulator: device ' "$log" || true) > before)); then
      echo "run: $(grep 'instrument-simulator: device ' "$log" | tail -n 1)"
      return
    fi
    sleep 0.1
  done
  fail "the simulator did not take \"device $*\": $(tail -n 3 "$log")"
}

# ---------------------------------------------------------------------------
# Playing the user on the virtual display. Keys and clicks that arrive during
# an acquisition are lost, so every step waits until the screen shows the
# program ready for it, reading the screen text through screen-text (the
# end-to-end tests' reader: cells matched against the program's font).
# ---------------------------------------------------------------------------
window=

# Text rows of the window, e.g. `screen_rows 45 47`.
screen_rows() {
  xwd -silent -id "$window" | "$screen_text" "$@"
}

# The colour of one pixel of the window as #RRGGBB.
pixel_at() {
  xwd -silent -id "$window" | convert xwd:- -crop "1x1+$1+$2" +repage -depth 8 txt:- |
    grep -o -m 1 '#[0-9A-Fa-f]\{6\}'
}

# wait_until SECONDS WHAT CHECK...: runs CHECK until it succeeds; after
# SECONDS it gives up, saying WHAT did not show up and what the screen shows.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    if ((SECONDS >= deadline)); then
      echo "run: $what did not show up within $seconds s; the screen reads:" >&2
      # The plot's lines read as '?' cells: left out, so the words stand out.
      screen_rows 1 48 | tr -d '?' | tr -s ' ' | grep '[[:alnum:]]' | sed 's/^ */  /' >&2
      echo "run: screenshot of the window: $(save_screenshot)" >&2
      exit 1
    fi
    sleep 0.3
  done
}

# Checks for wait_until (which calls them by name, hence the shellcheck
# notes). The start/stop button (row 36) reads " Stop" or " Abort calibrate"
# while a scan runs and " Start ..." or " start ..." while the program idles.
# shellcheck disable=SC2317
scanning() { screen_rows 36 | grep -q -E ' (Stop|Abort calibrate)'; }
# shellcheck disable=SC2317
idle() { screen_rows 36 | grep -q -i ' start'; }
# shellcheck disable=SC2317
prompt_says() { screen_rows 20 21 | grep -q "$1"; }
# shellcheck disable=SC2317
points_are() { screen_rows 21 | grep -q -E "meas/scan: +$1\$"; }

# Trace 2 is drawn up to the last point measured, clamped into the plot, so
# it reaches the plot's right edge (x 803) only once a sweep is complete.
# shellcheck disable=SC2317
sweep_complete() {
  xwd -silent -id "$window" | convert xwd:- -crop 1x691+801+3 +repage -unique-colors -depth 8 txt:- |
    grep -q -i '#54FC54'
}

press_key() {
  xdotool windowfocus "$window" key "$1"
}

# Points at a panel item (x, text row) and presses the mouse button once the
# program shows the item highlighted: a press acts only on the item it has
# seen the pointer on, and it lights an item only when the pointer enters
# it (a redraw may have painted it plain under a still pointer), so the
# pointer leaves first.
click_item() {
  local x=$1 row=$2 button=$3 _
  local y=$((16 * row - 8)) top=$((16 * (row - 1)))
  for _ in 1 2 3 4 5; do
    xdotool mousemove --window "$window" 400 720
    sleep 0.3
    xdotool mousemove --window "$window" "$x" "$y"
    for _ in $(seq 10); do
      if [[ $(pixel_at "$x" "$top") != "#000000" ]]; then
        xdotool mousemove --window "$window" "$x" "$y" mousedown "$button" sleep 0.1 mouseup "$button"
        return
      fi
      sleep 0.3
    done
  done
  fail "the panel item at x $x, row $row does not light up under the pointer"
}

save_screenshot() {
  local file=$work_dir/screenshot.png
  xwd -silent -id "$window" | convert xwd:- "png:$file"
  echo "$file"
}

# Space stops a scan after the point being measured (also when pressed
# while the program waits for the instrument).
stop_scan() {
  press_key space
  wait_until 10 "the idle program after space" idle
}

# meas/scan steps down 401, 201, 101, 51 with the right button.
set_51_points() {
  local points
  for points in 201 101 51; do
    click_item 900 21 3
    wait_until 10 "meas/scan $points" points_are "$points"
  done
  echo "run: 51 points per scan"
}

# Each standard is connected when the program asks for it and measured by
# one sweep, started with the Start button (row 36); the program then asks
# for the next one.
calibrate() {
  click_item 900 25 1 # "calibrate"
  wait_until 10 "the prompt for the open circuit" prompt_says "open circuit"
  measure_standard open "the prompt for the short" "with a short circuit"
  measure_standard short "the prompt for the reference load" "reference load"
  measure_standard "load 50" "\"calibration done\"" "calibration done"
  echo "run: calibrated with open, short and 50 ohm"
}

measure_standard() {
  local standard=$1 what=$2 words=$3
  connect "$standard"
  click_item 850 36 1
  wait_until 40 "$what after the $standard scan" prompt_says "$words"
}

# |z| up to 300 ohm keeps the resonance and both markers' readings on the
# plot (trace 1 Max, row 6: a click starts the typed entry).
set_impedance_scale() {
  click_item 900 6 1
  xdotool windowfocus "$window" type --delay 50 300
  press_key Return
  wait_until 10 "trace 1 Max 300" scale_max_is 300
}
scale_max_is() { screen_rows 6 | grep -q -E "Max: +$1\.000"; }

measure_device() {
  connect "$device"
  click_item 850 36 1
  xdotool mousemove --window "$window" 400 720 # off the button, for the screenshot
  wait_until 40 "a complete sweep of the device" sweep_complete
}

# Prints the marker readout and, for the two markers' frequencies, what the
# series RLC circuit's impedance is.
report_markers() {
  local rows
  rows=$(screen_rows 45 47)
  echo "run: marker readout:"
  local line
  while IFS= read -r line; do echo "run:   $line"; done <<<"$rows"
  awk -v r="$device_r" -v l="$device_l" -v c="$device_c" '
    BEGIN { pi = 3.14159265358979 }
    NR <= 2 {
      if ($3 + 0 <= 0) { printf "run: marker %d: the readout row cannot be read\n", NR; next }
      w = 2 * pi * $3; x = w * l - 1 / (w * c)
      z = sqrt(r * r + x * x); phase = atan2(x, r) * 180 / pi
      printf "run: marker %d at %s Hz reads |z| %s ohm, arg(z) %s deg;", NR, $3, $5, $7
      printf " the circuit has %.3f ohm, %.3f deg (%.2f %% and %.2f deg off)\n", z, phase, 100 * ($5 - z) / z, $7 - phase
    }' <<<"$rows"
}

end_program() {
  local pid=$1 _
  stop_scan
  for _ in 1 2 3; do
    press_key Escape
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || return 0
      sleep 0.1
    done
  done
  fail "the program did not end on Esc"
}

play() {
  local program_pid=$1
  wait_until 40 "the first scan" scanning
  stop_scan
  set_51_points
  calibrate
  set_impedance_scale
  measure_device
  echo "run: screenshot of the window: $(save_screenshot)"
  report_markers
  end_program "$program_pid"
}

# ---------------------------------------------------------------------------

start_simulator

if display_usable; then
  if $instrument_linked; then
    echo "run: change the simulated device with: echo \"device short\" > $control_fifo"
  fi
  echo "run: opening impedance-analyzer on $DISPLAY; end it with Esc or its Exit button"
  status=0
  (cd "$work_dir" && exec "$program") || status=$?
  exit "$status"
fi

$instrument_linked || fail "playing a measurement needs the simulator linked as the program's port (run as root)"
[[ -x $screen_text ]] || fail "$screen_text has not been built (it comes with the tests: BUILD_TESTING)"
start_virtual_display
echo "run: no usable X display; playing a calibration and a measurement on a private Xvfb ($DISPLAY)"
(cd "$work_dir" && exec "$program") >"$work_dir/program.log" 2>&1 &
program_pid=$!
started+=("$program_pid")

window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$program_pid" | head -n 1 || true)
[[ -n $window ]] || fail "the program showed no window; its output: $(cat "$work_dir/program.log")"

play "$program_pid"
status=0
wait "$program_pid" || status=$?
unset 'started[-1]' # reaped: its number may belong to someone else now
echo "run: impedance-analyzer ended with status $status"
exit "$status"

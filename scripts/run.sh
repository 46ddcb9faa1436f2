#!/usr/bin/env bash
# Builds everything and runs the programs in a working directory of their
# own (./run-work, or $VNA_RUN_DIR), where the analyzers keep their
# "configu" file, with instrument-simulator standing in for the hardware on
# the first free /dev/ttyUSB<n> (written into "configu").
#
# With a usable X display impedance-analyzer opens for the user and the
# script waits until the program ends; the simulated device can be changed
# meanwhile with
#   echo "device short" > run-work/simulator.control
#
# Without one (or with VNA_RUN_HEADLESS=1) the script plays a user of all
# four window programs on a private Xvfb, each step waiting for what the
# screen shows:
#   1. impedance-analyzer: stops the first scan, sets 51 points, calibrates
#      with an open, a short and the 50 ohm reference load (switching the
#      simulator to each when the program asks), measures a series RLC
#      circuit and saves it as rlc.s1p through the Save As dialog;
#   2. transmission-analyzer: normalizes on a through connection, measures a
#      low-pass filter and saves it as lowpass.s2p;
#   3. impedance-viewer picks rlc.s1p from its file list, and
#   4. transmission-viewer picks lowpass.s2p.
# It saves a screenshot of each (run-work/impedance-analyzer.png,
# transmission-analyzer.png, impedance-viewer.png, transmission-viewer.png)
# and prints each marker readout beside what the device should read. It
# ends each program with Esc; everything it started is stopped on the way
# out. A step that does not show up ends the script with status 1, what the
# screen reads and a screenshot (run-work/PROGRAM-failed.png); so does a
# reading further off the device's own than noise explains.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh

build_dir=$(realpath "${VNA_BUILD_DIR:-build}")
work_dir=$(realpath -m "${VNA_RUN_DIR:-run-work}")
mkdir -p "$work_dir"
# shellcheck source=scripts/lib/desktop-session.sh
source "$root/scripts/lib/desktop-session.sh"

pi=3.14159265358979

# The impedance measured after the calibration: 50 ohm, 10 mH and 1 uF in
# series resonate at 1.59 kHz, between the two markers of a 51-point sweep
# from 200 Hz (908 Hz and 4.13 kHz), so one marker reads it capacitive and
# the other inductive.
rlc_r=50 rlc_l=0.01 rlc_c=1e-6
rlc_device="rlc-series $rlc_r $rlc_l $rlc_c"
rlc_file=rlc # saved as rlc.s1p

# The two-port measured after the normalization: a third-order Butterworth
# low-pass with its cut-off at 2 kHz, between the markers, so marker 1 reads
# the pass band and marker 2 about 19 dB of loss.
filter_cutoff=2000 filter_order=3
filter_device="lowpass-lc $filter_cutoff $filter_order"
filter_file=lowpass # saved as lowpass.s2p

screenshots=(impedance-analyzer transmission-analyzer impedance-viewer transmission-viewer)

# ---------------------------------------------------------------------------
# What the analyzers' screens show. The start/stop button (row 36) reads
# " Stop" or " Abort ..." while a scan runs and " Start ..." or
# " start ..." while the program idles.
# shellcheck disable=SC2317
scanning() { screen_rows 36 | grep -q -E ' (Stop|Abort)'; }
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

# Space stops a scan after the point being measured (also when pressed
# while the program waits for the instrument).
stop_scan() {
  press_key space
  wait_until 15 "the idle program after space" idle
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

# The first scan starts by itself once the program has opened the port.
stop_first_scan() {
  wait_until 40 "the first scan" scanning
  stop_scan
}

# Starts a scan with the Start button and waits for a whole sweep.
sweep_once() {
  click_item 850 36 1
  pointer_away # off the button, for the screenshot
  wait_until 60 "a complete sweep of $1" sweep_complete
}

# save_as NAME KIND: "Save measure to File" (row 29) opens the Save As
# dialog; the name is typed with the pointer on its field, ended with Enter,
# and "save" (row 12) writes NAME.KIND, KIND being the kind the dialog opens
# with (s1p in the impedance analyzer, s2p with s21 in the transmission
# analyzer).
save_as() {
  local name=$1 kind=$2
  click_item 900 29 1
  wait_until 10 "the Save As dialog" rows_say 8 10 "file name :"
  screen_rows 10 | grep -q "type : *${kind:0:3}" || fail "$program_name: the Save As dialog does not offer $kind: $(screen_rows 10)"
  point_at 200 8
  type_text "$name"
  press_key Return
  wait_until 10 "the name $name taken by the Save As dialog" name_taken "$name"
  click_item 200 12 1
  wait_until 15 "the measurement screen after saving" rows_say 14 14 "freq  Max"
  [[ -s $work_dir/$name.$kind ]] || fail "$program_name: the Save As dialog left no $work_dir/$name.$kind"
  echo "run: saved $work_dir/$name.$kind ($(grep -c '^[0-9]' "$work_dir/$name.$kind") points)"
}

# While a name is typed its field is yellow (colour 14, #FCFC54); Enter
# shows the accepted name in black on colour 15 (#FCE4B8).
# shellcheck disable=SC2317
name_taken() {
  screen_rows 8 | grep -q -E "file name : +$1\$" && [[ $(pixel_at 200 112) == "#FCE4B8" ]]
}

# ---------------------------------------------------------------------------
# What the viewers' screens show: the list of files at column 63 of rows 2
# to 46; a left click on a name loads the file.
# shellcheck disable=SC2317
file_list_shown() { screen_rows 20 | grep -q "Choose the file to be displayed"; }

open_from_list() {
  local file=$1 row
  wait_until 15 "the file list" file_list_shown
  row=$(screen_rows 1 46 | awk -v name="$file" '{ sub(/ +$/, "") } substr($0, 63) == name { print NR; exit }')
  [[ -n $row ]] || fail "$program_name: $file is not in the file list: $(screen_rows 2 46 | cut -c 63- | tr -s '\n' ' ')"
  click_item 520 "$row" 1
  pointer_away
  echo "run: picked $file from row $row of the list"
}

# ---------------------------------------------------------------------------
# The readings: marker rows 45 and 46 read "marker   1:  FREQ Hz  VALUE UNIT
# VALUE UNIT"; each is printed beside what the device has at FREQ.
print_readout() {
  local rows=$1 line
  echo "run: $program_name marker readout:"
  while IFS= read -r line; do echo "run:   $line"; done <<<"$rows"
}

# The series RLC circuit's |z| and arg(z).
report_impedance() {
  local rows
  rows=$(screen_rows 45 47)
  print_readout "$rows"
  awk -v who="$program_name" -v r="$rlc_r" -v l="$rlc_l" -v c="$rlc_c" -v pi="$pi" '
    NR <= 2 {
      if ($3 + 0 <= 0 || $5 == "" || $7 == "") { printf "run: %s marker %d: the readout row cannot be read\n", who, NR; bad = 1; next }
      w = 2 * pi * $3; x = w * l - 1 / (w * c)
      z = sqrt(r * r + x * x); phase = atan2(x, r) * 180 / pi
      printf "run: %s marker %d at %s Hz reads |z| %s ohm, arg(z) %s deg;", who, NR, $3, $5, $7
      printf " the circuit has %.3f ohm, %.3f deg (%+.2f %% and %+.2f deg off)\n", z, phase, 100 * ($5 - z) / z, $7 - phase
      if (abs(100 * ($5 - z) / z) > 1 || abs($7 - phase) > 1) far = 1
    }
    function abs(v) { return v < 0 ? -v : v }
    END { exit bad ? 1 : far ? 2 : 0 }' <<<"$rows" || readout_failed $? "1 % or 1 deg"
}

# The Butterworth low-pass: H(s) = prod(-p_k / (s - p_k)) over its poles on
# the left half of the unit circle, s = j f / fc; gain in dB, phase in
# degrees within (-180, 180] as the programs show it.
report_transmission() {
  local rows
  rows=$(screen_rows 45 47)
  print_readout "$rows"
  awk -v who="$program_name" -v fc="$filter_cutoff" -v n="$filter_order" -v pi="$pi" '
    NR <= 2 {
      if ($3 + 0 <= 0 || $5 == "" || $7 == "") { printf "run: %s marker %d: the readout row cannot be read\n", who, NR; bad = 1; next }
      x = $3 / fc; hr = 1; hi = 0
      for (k = 1; k <= n; k++) {
        a = pi * (2 * k + n - 1) / (2 * n); pr = cos(a); pq = sin(a)
        # (-p) / (j x - p)
        dr = -pr; di = x - pq; d = dr * dr + di * di
        qr = (-pr * dr - pq * di) / d; qi = (-pq * dr + pr * di) / d
        t = hr * qr - hi * qi; hi = hr * qi + hi * qr; hr = t
      }
      gain = 10 * log(hr * hr + hi * hi) / log(10); phase = atan2(hi, hr) * 180 / pi
      off = $7 - phase; if (off > 180) off -= 360; if (off <= -180) off += 360
      printf "run: %s marker %d at %s Hz reads %s dB, %s deg;", who, NR, $3, $5, $7
      printf " the filter has %.3f dB, %.3f deg (%+.3f dB and %+.2f deg off)\n", gain, phase, $5 - gain, off
      if (abs($5 - gain) > 0.2 || abs(off) > 1) far = 1
    }
    function abs(v) { return v < 0 ? -v : v }
    END { exit bad ? 1 : far ? 2 : 0 }' <<<"$rows" || readout_failed $? "0.2 dB or 1 deg"
}

# The simulated instrument's noise and errors, calibrated or normalized
# away, leave readings within a few hundredths of a per cent, dB or degree
# of the device's own; a reading further off than the bounds named is a
# fault of the measurement, not noise.
readout_failed() {
  (($1 == 2)) || fail "$program_name: the marker readout cannot be read"
  fail "$program_name: a marker reads more than $2 off what the device has"
}

# ---------------------------------------------------------------------------
# The four stories.

play_impedance_analyzer() {
  start_program impedance-analyzer
  stop_first_scan
  set_51_points
  calibrate
  set_impedance_scale
  connect "$rlc_device"
  sweep_once "the RLC circuit"
  stop_scan
  echo "run: screenshot: $(save_screenshot impedance-analyzer)"
  report_impedance
  save_as "$rlc_file" s1p
  end_program
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
  wait_until 60 "$what after the $standard scan" prompt_says "$words"
}

# |z| up to 300 ohm keeps the resonance and both markers' readings on the
# plot (trace 1 Max, row 6: a click starts the typed entry; the viewer has
# the same field).
set_impedance_scale() {
  click_item 900 6 1
  xdotool windowfocus "$window" type --delay 50 300
  press_key Return
  wait_until 10 "trace 1 Max 300" rows_say 6 6 "Max: \+300\.000"
}

play_transmission_analyzer() {
  connect through
  start_program transmission-analyzer
  stop_first_scan
  set_51_points
  normalize
  connect "$filter_device"
  restart_sweep
  sweep_once "the low-pass filter"
  stop_scan
  echo "run: screenshot: $(save_screenshot transmission-analyzer)"
  report_transmission
  save_as "$filter_file" s2p
  end_program
}

# "normalize" (row 25) asks for the through; Start measures it over one
# sweep, and the scan goes on normalized.
normalize() {
  click_item 900 25 1
  wait_until 10 "the prompt for the through" prompt_says "through connection"
  click_item 850 36 1
  wait_until 60 "\"normalize: on\" after the through scan" rows_say 25 25 "normalize: on"
  stop_scan
  echo "run: normalized on the through"
}

# Start resumes where the scan stopped. Toggling the sweep to linear and
# back to log (row 20) asks for a scan from the first point over the same
# frequencies, and leaves the normalization on.
restart_sweep() {
  click_item 900 20 1
  wait_until 10 "sweep: linear" rows_say 20 20 "sweep: linear"
  click_item 900 20 1
  wait_until 10 "sweep: log" rows_say 20 20 "sweep: log"
  rows_say 25 25 "normalize: on" || fail "$program_name: the sweep toggles left the normalization off: $(screen_rows 25)"
}

play_impedance_viewer() {
  start_program impedance-viewer
  open_from_list "$rlc_file.s1p"
  wait_until 15 "the file $rlc_file.s1p shown" rows_say 24 24 "Parameter: s11"
  set_impedance_scale # as in the analyzer
  pointer_away
  echo "run: screenshot: $(save_screenshot impedance-viewer)"
  report_impedance
  end_program
}

play_transmission_viewer() {
  start_program transmission-viewer
  open_from_list "$filter_file.s2p"
  wait_until 15 "the file $filter_file.s2p shown" rows_say 24 24 "Parameter: s21"
  echo "run: screenshot: $(save_screenshot transmission-viewer)"
  report_transmission
  end_program
}

# ---------------------------------------------------------------------------

start_simulator "resistor 100"

if [[ ${VNA_RUN_HEADLESS:-0} != 1 ]] && display_usable; then
  if $instrument_linked; then
    echo "run: change the simulated device with: echo \"device short\" > $control_fifo"
  fi
  echo "run: opening impedance-analyzer on $DISPLAY; end it with Esc or its Exit button"
  status=0
  (cd "$work_dir" && exec "$build_dir/impedance-analyzer") || status=$?
  exit "$status"
fi

$instrument_linked || fail "playing a measurement needs the simulator linked as the analyzers' port (run as root)"
[[ -x $screen_text ]] || fail "$screen_text has not been built (it comes with the tests: BUILD_TESTING)"
# This run's files and pictures only: a file of an earlier run would be
# merged into, and an old picture could pass for a new one.
for name in "${screenshots[@]}"; do rm -f "$work_dir/$name.png" "$work_dir/$name-failed.png"; done
rm -f "$work_dir/$rlc_file.s1p" "$work_dir/$filter_file.s2p"

start_virtual_display
echo "run: playing the four programs on a private Xvfb ($DISPLAY)"
begun=$SECONDS
play_impedance_analyzer
play_transmission_analyzer
play_impedance_viewer
play_transmission_viewer
echo "run: played all four programs in $((SECONDS - begun)) s; screenshots:"
for name in "${screenshots[@]}"; do echo "run:   $work_dir/$name.png"; done

# shellcheck shell=bash
# shellcheck disable=SC2154 # build_dir and work_dir come from the sourcing script
# Shared by scripts/run.sh: the virtual instrument, a private X server and
# playing a user on a program's window (keys, clicks, reading the screen).
# Sourced, not run. The sourcing script sets build_dir and work_dir first.
#
# Everything started here is recorded in `started` and stopped on the way
# out (the EXIT trap), the last started first.

screen_text=$build_dir/screen-text
control_fifo=$work_dir/simulator.control
simulator_log=$work_dir/simulator.log

started=() # process ids this script started and has not reaped yet
# shellcheck disable=SC2317 # called by the trap
clean_up() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
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
  for _ in $(seq 200); do
    [[ -s $number_file ]] && break
    sleep 0.1
  done
  [[ -s $number_file ]] || fail "Xvfb did not start: $(cat "$work_dir/xvfb.log")"
  DISPLAY=":$(head -n 1 "$number_file")"
  export DISPLAY
  rm -f "$number_file"
}

# ---------------------------------------------------------------------------
# The virtual instrument: a pseudo-terminal linked as the first free
# /dev/ttyUSB<n> (linking needs root), measuring what its control FIFO says.
# The analyzers read n from the first two bytes of "configu" (little-endian).
# ---------------------------------------------------------------------------
# shellcheck disable=SC2034 # read by the sourcing script
instrument_linked=false
start_simulator() {
  rm -f "$control_fifo" # a FIFO left by a killed run would stay ours to remove
  "$build_dir/instrument-simulator" --device "$1" --control "$control_fifo" >"$simulator_log" 2>&1 &
  started+=($!)
  # It prints where it serves once the link is made; an error ends it.
  local _
  for _ in $(seq 100); do
    grep -q 'serving' "$simulator_log" && break
    kill -0 "${started[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  local port
  port=$(grep -o -m 1 'serving .* as /dev/ttyUSB[0-9]*' "$simulator_log" | grep -o '[0-9]*$' || true)
  if [[ -n $port ]]; then
    # shellcheck disable=SC2034
    instrument_linked=true
    write_settings_port "$port"
    echo "run: $(grep -m 1 'serving' "$simulator_log")"
  else
    echo "run: instrument-simulator is not linked as a /dev/ttyUSB port:" >&2
    cat "$simulator_log" >&2
  fi
}

# Puts the port number into the analyzers' 26-byte settings file, keeping
# the other settings of a valid file; otherwise writes it with the defaults
# (A/R gain 1, phase 0, reference load 50 ohm, clock 150 MHz).
write_settings_port() {
  local file=$work_dir/configu port=$1
  local low high
  low=$(printf '\\%03o' $((port & 255)))
  high=$(printf '\\%03o' $((port >> 8)))
  if [[ -f $file && $(stat -c %s "$file") -eq 26 ]]; then
    # shellcheck disable=SC2059 # the format is the two bytes
    printf "$low$high" | dd of="$file" bs=1 count=2 conv=notrunc status=none
  else
    # shellcheck disable=SC2059
    printf "$low$high"'\000\000\200\077\000\000\000\000\000\000\110\102\200\321\360\010\000\000\000\000\000\000\000\000' >"$file"
  fi
}

# Connects another device to the simulated instrument and waits until the
# simulator confirms it, so the next acquisition measures the new device.
connect() {
  local before
  before=$(grep -c 'instrument-simulator: device ' "$simulator_log" || true)
  echo "device $*" | timeout 5 tee "$control_fifo" >/dev/null ||
    fail "the simulator does not take commands on $control_fifo"
  local _
  for _ in $(seq 100); do
    if (($(grep -c 'instrument-simulator: device ' "$simulator_log" || true) > before)); then
      echo "run: $(grep 'instrument-simulator: device ' "$simulator_log" | tail -n 1)"
      return
    fi
    sleep 0.1
  done
  fail "the simulator did not take \"device $*\": $(tail -n 3 "$simulator_log")"
}

# ---------------------------------------------------------------------------
# Playing the user on the virtual display. Keys and clicks that arrive during
# an acquisition are lost, so every step waits until the screen shows the
# program ready for it, reading the screen text through screen-text (the
# end-to-end tests' reader: cells matched against the program's font).
# ---------------------------------------------------------------------------
window=      # the window being played
program_pid= # its program
program_name=

# start_program NAME: starts build/NAME in the working directory and waits
# for its window.
start_program() {
  program_name=$1
  (cd "$work_dir" && exec "$build_dir/$program_name") >"$work_dir/$program_name.log" 2>&1 &
  program_pid=$!
  started+=("$program_pid")
  window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$program_pid" 2>/dev/null | head -n 1 || true)
  [[ -n $window ]] || fail "$program_name showed no window; its output: $(cat "$work_dir/$program_name.log")"
  echo "run: $program_name started"
}

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
      echo "run: $program_name: $what did not show up within $seconds s; the screen reads:" >&2
      # The plot's lines read as '?' cells: left out, so the words stand out.
      screen_rows 1 48 | tr -d '?' | tr -s ' ' | grep '[[:alnum:]]' | sed 's/^ */  /' >&2
      echo "run: screenshot of the window: $(save_screenshot "$program_name-failed")" >&2
      exit 1
    fi
    sleep 0.3
  done
}

# Checks for wait_until (which calls them by name, hence the shellcheck
# notes).
# shellcheck disable=SC2317
rows_say() { screen_rows "$1" "$2" | grep -q -e "$3"; }

press_key() {
  xdotool windowfocus "$window" key "$1"
}

type_text() {
  xdotool windowfocus "$window" type --delay 80 "$1"
}

# Points at an item (x, text row) and presses the mouse button once the
# program shows the item highlighted: a press acts only on the item it has
# seen the pointer on, and it lights an item only when the pointer enters
# it (a redraw may have painted it plain under a still pointer), so the
# pointer leaves first.
click_item() {
  local x=$1 row=$2 button=$3 _
  point_at "$x" "$row"
  xdotool mousemove --window "$window" "$x" $((16 * row - 8)) mousedown "$button" sleep 0.1 mouseup "$button"
}

# Moves the pointer onto an item and waits until the program lights it.
point_at() {
  local x=$1 row=$2 _
  local y=$((16 * row - 8)) top=$((16 * (row - 1)))
  for _ in 1 2 3 4 5; do
    xdotool mousemove --window "$window" 400 720
    sleep 0.3
    xdotool mousemove --window "$window" "$x" "$y"
    for _ in $(seq 10); do
      [[ $(pixel_at "$x" "$top") != "#000000" ]] && return
      sleep 0.3
    done
  done
  fail "$program_name: the item at x $x, row $row does not light up under the pointer"
}

# Keeps the pointer off the items, so no highlight shows in a screenshot.
pointer_away() {
  xdotool mousemove --window "$window" 400 720
}

# save_screenshot NAME: the window as run-work/NAME.png (few colours, so a
# palette PNG holds it exactly).
save_screenshot() {
  local file=$work_dir/$1.png
  xwd -silent -id "$window" | convert xwd:- "png8:$file"
  echo "$file"
}

# Presses Esc until the program ends, and reports its exit status.
end_program() {
  local _ status=0
  for _ in 1 2 3; do
    press_key Escape
    for _ in $(seq 50); do
      if ! kill -0 "$program_pid" 2>/dev/null; then
        wait "$program_pid" || status=$?
        unset 'started[-1]' # reaped: its number may belong to someone else now
        ((status == 0)) || fail "$program_name ended with status $status; its output: $(cat "$work_dir/$program_name.log")"
        echo "run: $program_name ended"
        return
      fi
      sleep 0.1
    done
  done
  fail "$program_name did not end on Esc"
}

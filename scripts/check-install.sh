#!/usr/bin/env bash
# Checks what reaches a user's machine, after scripts/build.sh:
#  1. `cmake --install` into a scratch prefix puts every file in place and
#     nothing else: the six programs, the menu launcher, a desktop entry per
#     window program that desktop-file-validate accepts and that names an
#     installed launcher, program and icon (the viewers' also the Touchstone
#     file types, declared by the installed shared-mime-info package), the
#     icons (SVG and PNG sizes), a manual page per program that groff renders
#     without a warning, and the package's copyright, changelog and lintian
#     overrides; the launcher passes a viewer its file, made absolute;
#  2. scripts/package.sh makes a .deb that depends on libX11, holds the same
#     files under /usr with the programs stripped, whose programs find every
#     library they link, that lintian passes without an error or a warning,
#     and whose window programs answer --version and --help without a window;
#  3. the packaged impedance-viewer, started from its desktop entry by gio
#     (as a desktop menu does) on a private Xvfb, opens in the measurement
#     folder of the documents folder, lists the file there and shows it;
#     started from its entry with a file (as a file manager opens one), it
#     shows that file at once; the packaged transmission-viewer started from
#     a shell lists and shows the file of the current directory instead.
# Prints one line per check and "N passed, N failed"; exits 1 when one failed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build_dir=$(realpath "${VNA_BUILD_DIR:-build}")
screen_text=$build_dir/screen-text
work=$(mktemp -d "${TMPDIR:-/tmp}/vna-check-install.XXXXXX")

window_programs=(impedance-analyzer transmission-analyzer impedance-viewer transmission-viewer)
programs=("${window_programs[@]}" vna-measure instrument-simulator)
icon_sizes=(16 24 32 48 64 128 256)

started=() # process ids this script started and has not reaped yet
# shellcheck disable=SC2317 # called by the trap
clean_up() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null || true
    wait "${started[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap clean_up EXIT

passed=0 failed=0
pass() {
  echo "check-install: ok: $*"
  passed=$((passed + 1))
}
fail() {
  echo "check-install: FAILED: $*" >&2
  failed=$((failed + 1))
}
# check WHAT COMMAND...: runs COMMAND, which says what is wrong on failure.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
give_up() {
  echo "check-install: $*" >&2
  echo "$passed passed, $((failed + 1)) failed"
  exit 1
}

# Every file an installation holds, relative to its prefix, sorted.
expected_files() {
  local p s
  for p in "${programs[@]}"; do
    echo "bin/$p"
    echo "share/man/man1/$p.1.gz"
  done
  echo "libexec/vna-software/menu-start"
  echo "share/mime/packages/vna-software.xml"
  echo "share/doc/vna-software/copyright"
  echo "share/doc/vna-software/changelog.Debian.gz"
  echo "share/lintian/overrides/vna-software"
  for p in "${window_programs[@]}"; do
    echo "share/applications/$p.desktop"
    echo "share/icons/hicolor/scalable/apps/$p.svg"
    for s in "${icon_sizes[@]}"; do echo "share/icons/hicolor/${s}x$s/apps/$p.png"; done
  done
}

same_files() { # TREE: the files (and links) under TREE are the expected ones
  local difference
  difference=$(diff <(expected_files | sort) <(cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort)) || {
    echo "  expected (<) against found (>):" >&2
    sed 's/^/  /' <<<"$difference" >&2
    return 1
  }
}

programs_executable() { # PREFIX
  local p ok=0
  for p in "${programs[@]}" ../libexec/vna-software/menu-start; do
    [[ -x $1/bin/$p ]] || { echo "  $1/bin/$p is not executable" >&2; ok=1; }
  done
  return $ok
}

# A key's value in the [Desktop Entry] group of a desktop entry.
entry_value() { # FILE KEY
  sed -n "/^\[Desktop Entry\]/,/^\[/s/^$2=//p" "$1" | head -n 1
}

entry_valid() { # FILE
  local said
  said=$(desktop-file-validate "$1" 2>&1) || { echo "  $said" >&2; return 1; }
  [[ -z $said ]] || { echo "  desktop-file-validate: $said" >&2; return 1; }
}

# The Touchstone file types each viewer opens; the analyzers open none.
mime_types_of() { # PROGRAM
  case $1 in
    impedance-viewer) echo "application/x-touchstone-s1p;application/x-touchstone-s2p;" ;;
    transmission-viewer) echo "application/x-touchstone-s2p;" ;;
  esac
}

# The entry of PROGRAM starts PREFIX's launcher with PROGRAM (and a viewer's
# with the file it is opened on), shows PROGRAM's icon, lists it under
# Science and Electronics and matches its window class.
entry_names() { # PREFIX PROGRAM LAUNCHER_PATH
  local file=$1/share/applications/$2.desktop ok=0 exec="$3 $2" types
  types=$(mime_types_of "$2")
  [[ -z $types ]] || exec+=" %f"
  [[ -f $file ]] || { echo "  no $file" >&2; return 1; }
  [[ $(entry_value "$file" Exec) == "$exec" ]] || { echo "  Exec=$(entry_value "$file" Exec), not $exec" >&2; ok=1; }
  [[ $(entry_value "$file" MimeType) == "$types" ]] || { echo "  MimeType=$(entry_value "$file" MimeType), not $types" >&2; ok=1; }
  [[ $(entry_value "$file" Icon) == "$2" ]] || { echo "  Icon=$(entry_value "$file" Icon)" >&2; ok=1; }
  [[ $(entry_value "$file" StartupWMClass) == "$2" ]] || { echo "  no StartupWMClass=$2" >&2; ok=1; }
  [[ $(entry_value "$file" Categories) == *"Science;"*"Electronics;"* ]] || { echo "  Categories=$(entry_value "$file" Categories)" >&2; ok=1; }
  return $ok
}

icons_drawn() { # PREFIX PROGRAM: the SVG is one, each PNG has its folder's size
  local icons=$1/share/icons/hicolor s ok=0 kind
  kind=$(file -b "$icons/scalable/apps/$2.svg")
  [[ $kind == "SVG Scalable Vector Graphics image" ]] || { echo "  $2.svg is $kind" >&2; ok=1; }
  for s in "${icon_sizes[@]}"; do
    kind=$(file -b "$icons/${s}x$s/apps/$2.png")
    [[ $kind == "PNG image data, $s x $s,"* ]] || { echo "  ${s}x$s/apps/$2.png is $kind" >&2; ok=1; }
  done
  return $ok
}

page_renders() { # PREFIX PROGRAM: no groff warning, and its NAME is the program's
  local page=$1/share/man/man1/$2.1.gz warnings text
  warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1) || true
  [[ -z $warnings ]] || { echo "  groff: $warnings" >&2; return 1; }
  text=$(zcat "$page" | groff -man -Tutf8 -P -cbou 2>/dev/null)
  grep -A1 '^NAME' <<<"$text" | grep -q -E "^ +$2 +- " || { echo "  its NAME section does not name $2" >&2; return 1; }
}

# ---------------------------------------------------------------------------
# 1. cmake --install
# ---------------------------------------------------------------------------
prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  give_up "cmake --install failed: $(cat "$work/install.log")"
check "cmake --install puts every expected file in place and nothing else" same_files "$prefix"
check "the programs and the launcher are executable" programs_executable "$prefix"
for p in "${window_programs[@]}"; do
  check "desktop entry of $p passes desktop-file-validate" entry_valid "$prefix/share/applications/$p.desktop"
  check "desktop entry of $p starts $p through the installed launcher, with its icon" \
    entry_names "$prefix" "$p" "$prefix/libexec/vna-software/menu-start"
  check "icons of $p: SVG and PNG at ${icon_sizes[*]}" icons_drawn "$prefix" "$p"
done
for p in "${programs[@]}"; do
  check "manual page of $p renders without warnings" page_renders "$prefix" "$p"
done

# The shared-mime-info package declares both types as text, their patterns
# matching in any case (globs2 marks a case-sensitive one ":cs"), in the
# database update-mime-database builds from it.
mime_types_declared() { # PREFIX
  local mime=$work/mime type ok=0 said
  mkdir -p "$mime/packages"
  cp "$1/share/mime/packages/vna-software.xml" "$mime/packages/"
  said=$(update-mime-database "$mime" 2>&1) || { echo "  update-mime-database: $said" >&2; return 1; }
  for type in s1p s2p; do
    grep -q -x "[0-9]*:application/x-touchstone-$type:\*\.$type" "$mime/globs2" ||
      { echo "  no case-insensitive *.$type in globs2: $(cat "$mime/globs2")" >&2; ok=1; }
    grep -q -x "application/x-touchstone-$type text/plain" "$mime/subclasses" ||
      { echo "  subclasses: $(cat "$mime/subclasses")" >&2; ok=1; }
  done
  return $ok
}
check "the Touchstone types: .s1p and .s2p in any case, sub-classes of text/plain" mime_types_declared "$prefix"

# The package's copyright file in the machine-readable format, under the GPL
# version 3 or later whose text Debian ships; the changelog of this version.
debian_documents() { # PREFIX
  local doc=$1/share/doc/vna-software ok=0 version
  head -n 1 "$doc/copyright" | grep -q -x 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    { echo "  copyright: $(head -n 1 "$doc/copyright")" >&2; ok=1; }
  grep -q -x 'License: GPL-3.0-or-later' "$doc/copyright" && grep -q '/usr/share/common-licenses/GPL-3' "$doc/copyright" ||
    { echo "  copyright names no GPL-3.0-or-later with its text in /usr/share/common-licenses/GPL-3" >&2; ok=1; }
  version=$(sed -n 's/^project(vna_software VERSION \([^ ]*\) .*/\1/p' "$root/CMakeLists.txt")
  zcat "$doc/changelog.Debian.gz" | head -n 1 | grep -q "^vna-software ($version-[0-9a-z.~+]*) " ||
    { echo "  changelog: $(zcat "$doc/changelog.Debian.gz" | head -n 1), not version $version" >&2; ok=1; }
  return $ok
}
check "the copyright file (GPL-3.0-or-later) and the changelog of this version" debian_documents "$prefix"

# The launcher, moved into a tree whose impedance-analyzer only tells where
# it was started: the folder it picks for each kind of user-dirs.dirs line.
stub=$work/stub
mkdir -p "$stub/bin" "$stub/libexec/vna-software"
cp "$prefix/libexec/vna-software/menu-start" "$stub/libexec/vna-software/"
printf '#!/bin/sh\npwd\n' >"$stub/bin/impedance-analyzer"
printf '#!/bin/sh\nprintf "%%s\\n" "$@"\n' >"$stub/bin/impedance-viewer"
chmod +x "$stub/bin/impedance-analyzer" "$stub/bin/impedance-viewer"
launcher_opens() { # DIRS_LINE FOLDER (under the scratch home; no line: no file)
  local home=$work/launcher-home where
  rm -rf "$home"
  mkdir -p "$home/.config"
  [[ -z $1 ]] || echo "$1" >"$home/.config/user-dirs.dirs"
  where=$(cd / && env -u XDG_CONFIG_HOME -u XDG_DOCUMENTS_DIR HOME="$home" \
    "$stub/libexec/vna-software/menu-start" impedance-analyzer 2>&1) || { echo "  $where" >&2; return 1; }
  [[ $where == "$home/$2" && -d $home/$2 ]] || { echo "  started in $where, not $home/$2" >&2; return 1; }
}
launcher_refuses() { # ARGUMENTS...
  local said status=0
  said=$(HOME=$work "$stub/libexec/vna-software/menu-start" "$@" 2>&1) || status=$?
  [[ $status -eq 2 && $said == "menu-start: "*usage:* ]] || { echo "  exit $status: $said" >&2; return 1; }
}
# shellcheck disable=SC2016 # user-dirs.dirs holds $HOME literally
check "the launcher opens ~/Papers/VNA for XDG_DOCUMENTS_DIR=\"\$HOME/Papers\"" \
  launcher_opens 'XDG_DOCUMENTS_DIR="$HOME/Papers"' Papers/VNA
check "the launcher opens an absolute XDG_DOCUMENTS_DIR's VNA" \
  launcher_opens "XDG_DOCUMENTS_DIR=\"$work/launcher-home/Absolute docs\"" "Absolute docs/VNA"
check "the launcher opens ~/Documents/VNA without user-dirs.dirs" launcher_opens "" Documents/VNA
check "the launcher refuses an unknown program" launcher_refuses vna-measure
check "the launcher refuses no program" launcher_refuses
check "the launcher refuses a file for an analyzer" launcher_refuses impedance-analyzer x.s1p
launcher_passes_file() { # GIVEN EXPECTED: what the viewer gets, started in $work/here
  local got
  mkdir -p "$work/here"
  got=$(cd "$work/here" && HOME=$work "$stub/libexec/vna-software/menu-start" impedance-viewer "$1" 2>&1) ||
    { echo "  $got" >&2; return 1; }
  [[ $got == "$2" ]] || { echo "  the viewer got \"$got\", not \"$2\"" >&2; return 1; }
}
check "the launcher gives a viewer a relative file made absolute" \
  launcher_passes_file "sub dir/-r.s1p" "$work/here/sub dir/-r.s1p"
check "the launcher gives a viewer an absolute file as it is" launcher_passes_file /tmp/r.s1p /tmp/r.s1p

# ---------------------------------------------------------------------------
# 2. The Debian package
# ---------------------------------------------------------------------------
deb=$(bash scripts/package.sh "$work/out" 2>"$work/package.log") ||
  give_up "scripts/package.sh failed: $(tail -n 30 "$work/package.log")"
[[ -f $deb ]] || give_up "scripts/package.sh printed \"$deb\", which is no file"
echo "check-install: package $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "check-install: Depends: $(dpkg-deb -f "$deb" Depends)"

depends_on_x11() {
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  grep -q -E '(^|, )libx11-6( |,|$)' <<<"$depends" || { echo "  Depends: $depends" >&2; return 1; }
}
check "the package depends on libx11-6" depends_on_x11
control_fields() {
  [[ $(dpkg-deb -f "$deb" Package) == vna-software && $(dpkg-deb -f "$deb" Section) == science &&
    -n $(dpkg-deb -f "$deb" Maintainer) && -n $(dpkg-deb -f "$deb" Description) ]] ||
    { dpkg-deb -I "$deb" >&2; return 1; }
}
check "the package is vna-software in section science, with maintainer and description" control_fields
same_contents() { # the file list of dpkg-deb -c, under usr/
  local difference
  difference=$(diff <(expected_files | sed 's|^|usr/|' | sort) \
    <(dpkg-deb -c "$deb" | grep -v '^d' | awk '{print $6}' | sed 's|^\./||' | sort)) || {
    echo "  expected (<) against the package's (>):" >&2
    sed 's/^/  /' <<<"$difference" >&2
    return 1
  }
}
check "the package holds the installed files under /usr" same_contents

tree=$work/tree
dpkg-deb -x "$deb" "$tree"
libraries_found() { # PROGRAM
  local binary=$tree/usr/bin/$1 libraries
  libraries=$(ldd "$binary" 2>&1) || { echo "  ldd: $libraries" >&2; return 1; }
  if grep -q 'not found' <<<"$libraries"; then
    grep 'not found' <<<"$libraries" | sed 's/^/  /' >&2
    return 1
  fi
  [[ $(file -b "$binary") == *", stripped"* ]] || { echo "  not stripped: $(file -b "$binary")" >&2; return 1; }
}
for p in "${programs[@]}"; do
  check "packaged $p is stripped and ldd finds all its libraries" libraries_found "$p"
done
for p in "${window_programs[@]}"; do
  check "packaged desktop entry of $p starts /usr/libexec/vna-software/menu-start" \
    entry_names "$tree/usr" "$p" /usr/libexec/vna-software/menu-start
done

# lintian, as Debian checks a package: no error and no warning (its
# information tags are printed, not counted).
lintian_passes() {
  local said status=0
  # (it says, here as root, that it had better not run as root)
  said=$(
    set -o pipefail
    lintian --info --fail-on error,warning "$deb" 2>&1 | { grep -v 'running with root privileges' || true; }
  ) || status=$?
  [[ -z $said ]] || sed 's/^/  lintian: /' <<<"$said"
  ((status == 0)) || { echo "  lintian exited with $status" >&2; return 1; }
  ! grep -q -E '^[EW]: ' <<<"$said" || return 1
}
check "lintian finds no error and no warning in the package" lintian_passes

# Without a display a window cannot open: status 0 and the text on standard
# output show that --version and --help open none.
answers_without_window() { # PROGRAM
  local binary=$tree/usr/bin/$1 out status=0 version
  version=$(dpkg-deb -f "$deb" Version)
  out=$(env -u DISPLAY "$binary" --version 2>&1) || status=$?
  [[ $status -eq 0 && $(head -n 1 <<<"$out") == "$1 ${version%-*}" && $out == *GPL-3.0-or-later* ]] ||
    { echo "  --version: exit $status: $out" >&2; return 1; }
  out=$(env -u DISPLAY "$binary" --help 2>&1) || status=$?
  [[ $status -eq 0 && $(head -n 1 <<<"$out") == "Usage: $1 "* && $out == *"man $1"* ]] ||
    { echo "  --help: exit $status: $out" >&2; return 1; }
  out=$(env -u DISPLAY "$binary" --colour 2>&1 >/dev/null) || status=$?
  [[ $status -eq 2 && $(wc -l <<<"$out") -eq 1 && $out == "$1: "* ]] ||
    { echo "  --colour: exit $status: $out" >&2; return 1; }
}
for p in "${window_programs[@]}"; do
  check "packaged $p answers --version and --help without a window, refuses --colour" answers_without_window "$p"
done

# ---------------------------------------------------------------------------
# 3. The packaged viewers on a private Xvfb
# ---------------------------------------------------------------------------
[[ -x $screen_text ]] || give_up "$screen_text has not been built (it comes with the tests: BUILD_TESTING)"
number_file=$work/xvfb-display
: >"$number_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" 2>"$work/xvfb.log" &
started+=($!)
for _ in $(seq 100); do
  [[ -s $number_file ]] && break
  sleep 0.1
done
[[ -s $number_file ]] || give_up "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=":$(head -n 1 "$number_file")"
export DISPLAY

screen_rows() { # WINDOW FIRST LAST
  xwd -silent -id "$1" | "$screen_text" "$2" "$3"
}

# Two-point Touchstone files of a 100 ohm resistor (s11 = 1/3) and of an
# attenuator of 6 dB, CR LF line ends as the analyzers write them.
printf '# HZ S DB R 50\r\n1000000 -9.5424 0\r\n2000000 -9.5424 0\r\n' >"$work/resistor.s1p"
printf '# HZ S DB R 50\r\n1000000 -40 0 -6 0 -6 0 -40 0\r\n2000000 -40 0 -6 0 -6 0 -40 0\r\n' >"$work/attenuator.s2p"

# Waits for PROGRAM's window (its class is the program's name), checks that
# its file list names FILE, clicks it and waits for the loaded file's
# Parameter field; PID is where the program's process id is written.
shows_file() { # PROGRAM FILE PARAMETER_WORDS PID_FILE
  local program=$1 name=$2 words=$3 window rows _
  window=$(timeout 20 xdotool search --sync --onlyvisible --class "^$program\$" | head -n 1) ||
    { echo "  no window of class $program" >&2; return 1; }
  xdotool getwindowpid "$window" >"$4"
  for _ in $(seq 50); do
    rows=$(screen_rows "$window" 1 48)
    grep -q 'Choose the file to be displayed' <<<"$rows" && break
    sleep 0.2
  done
  [[ $(sed -n 2p <<<"$rows" | tr -s ' ') == *" $name" ]] ||
    { echo "  the list's first row reads \"$(sed -n 2p <<<"$rows")\"; the screen:" >&2; tr -s ' ' <<<"$rows" | grep '[[:alnum:]]' | sed 's/^/  /' >&2; return 1; }
  # The first name is at row 2; a press acts on the name the pointer lit.
  xdotool mousemove --window "$window" 520 24 sleep 0.5 mousedown 1 sleep 0.1 mouseup 1
  for _ in $(seq 50); do
    rows=$(screen_rows "$window" 1 48)
    grep -q "Parameter: $words" <<<"$rows" && return 0
    sleep 0.2
  done
  echo "  $name was not shown; the screen reads:" >&2
  tr -s ' ' <<<"$rows" | grep '[[:alnum:]]' | sed 's/^/  /' >&2
  return 1
}

# Ends the program whose id is in PID_FILE with Esc, as a user does.
ends_on_escape() { # PID_FILE
  local pid _
  pid=$(cat "$1")
  [[ -n $pid ]] || return 1
  xdotool windowfocus "$(xdotool search --pid "$pid" | head -n 1)" key Escape
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  echo "  process $pid still runs" >&2
  kill "$pid" 2>/dev/null || true
  return 1
}

# From the menu: gio runs the packaged entry's Exec line, the launcher moved
# with the tree. The user's documents folder is "Papers" here, so the
# measurement folder is ~/Papers/VNA; it holds the resistor, the current
# directory of gio holds nothing.
home=$work/home
mkdir -p "$home/.config" "$home/Papers/VNA" "$work/elsewhere"
# shellcheck disable=SC2016 # user-dirs.dirs holds $HOME literally
echo 'XDG_DOCUMENTS_DIR="$HOME/Papers"' >"$home/.config/user-dirs.dirs"
cp "$work/resistor.s1p" "$home/Papers/VNA/menu-resistor.s1p"
entry=$work/impedance-viewer.desktop
[[ -f $tree/usr/share/applications/impedance-viewer.desktop ]] || give_up "the package has no impedance-viewer.desktop"
sed "s|^Exec=/usr/|Exec=$tree/usr/|" "$tree/usr/share/applications/impedance-viewer.desktop" >"$entry"
check "the moved desktop entry still validates" entry_valid "$entry"
(cd "$work/elsewhere" && env -u XDG_CONFIG_HOME -u XDG_DOCUMENTS_DIR HOME="$home" gio launch "$entry") \
  >"$work/gio.log" 2>&1 || give_up "gio launch failed: $(cat "$work/gio.log")"
check "impedance-viewer from the menu lists and shows the file of ~/Papers/VNA" \
  shows_file impedance-viewer menu-resistor.s1p "s11" "$work/menu.pid"
check "impedance-viewer from the menu ends on Esc" ends_on_escape "$work/menu.pid"
if [[ -z $(ls -A "$work/elsewhere") ]]; then
  pass "the menu start left gio's directory alone"
else
  fail "the menu start wrote into gio's directory: $(ls -A "$work/elsewhere")"
fi

# From a file manager: gio gives the entry the file, and the viewer shows it
# without a click.
shows_given_file() { # PROGRAM PARAMETER_WORDS READING PID_FILE
  local window rows _
  window=$(timeout 20 xdotool search --sync --onlyvisible --class "^$1\$" | head -n 1) ||
    { echo "  no window of class $1" >&2; return 1; }
  xdotool getwindowpid "$window" >"$4"
  for _ in $(seq 50); do
    rows=$(screen_rows "$window" 1 48)
    grep -q "Parameter: $2" <<<"$rows" && grep -q -- "$3" <<<"$(sed -n 45p <<<"$rows")" && return 0
    sleep 0.2
  done
  echo "  the file was not shown; the screen reads:" >&2
  tr -s ' ' <<<"$rows" | grep '[[:alnum:]]' | sed 's/^/  /' >&2
  return 1
}
mkdir -p "$work/opened"
cp "$work/resistor.s1p" "$work/opened/given-resistor.s1p"
(cd "$work/elsewhere" && env -u XDG_CONFIG_HOME -u XDG_DOCUMENTS_DIR HOME="$home" \
  gio launch "$entry" "$work/opened/given-resistor.s1p") >"$work/gio-file.log" 2>&1 ||
  give_up "gio launch with a file failed: $(cat "$work/gio-file.log")"
check "impedance-viewer from its entry with a file shows that file at once" \
  shows_given_file impedance-viewer "s11" "100.000" "$work/given.pid"
check "impedance-viewer opened on a file ends on Esc" ends_on_escape "$work/given.pid"

# From a shell: the current directory, wherever the documents folder is.
mkdir -p "$work/shell" "$home/Papers/VNA"
cp "$work/attenuator.s2p" "$work/shell/shell-attenuator.s2p"
cp "$work/attenuator.s2p" "$home/Papers/VNA/a-menu-attenuator.s2p"
(cd "$work/shell" && HOME="$home" exec "$tree/usr/bin/transmission-viewer") >"$work/shell.log" 2>&1 &
started+=($!)
check "transmission-viewer from a shell lists and shows the file of the current directory" \
  shows_file transmission-viewer shell-attenuator.s2p "s21" "$work/shell.pid"
check "transmission-viewer from a shell ends on Esc" ends_on_escape "$work/shell.pid"

echo "$passed passed, $failed failed"
((failed == 0))

#!/usr/bin/env bash
# Usage: scripts/fuzz.sh [SECONDS [LIBFUZZER_OPTION...]]   (default 5 seconds)
# Builds every libFuzzer harness tests/fuzz/NAME_fuzz.cpp with the address
# and undefined-behaviour sanitizers into build-fuzz/, from the sources its
# first line names ("// fuzz-sources: a.cpp b.cpp"), and runs it for SECONDS
# with the libFuzzer options of its second line, if it has them
# ("// fuzz-options: -max_len=64"),
# on a copy of its seeds: tests/fuzz/corpus/NAME/ and the extra seeds below.
# A dictionary tests/fuzz/NAME.dict is used when there is one. Prints one
# line per harness; exits non-zero when a harness found something (the
# inputs are kept in build-fuzz/NAME-findings/).
set -euo pipefail

seconds=${1:-5}
shift $(($# > 0))
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# clang and its libFuzzer runtime come with the project's packages.
bash scripts/install-deps.sh

# Seeds from outside the repository, per harness: other tools' files find
# paths through a reader that our own files never take.
extra_seeds() {
  case $1 in
    touchstone_reader) find /usr/lib/python3/dist-packages/skrf -iname '*.s[1-4]p' -print0 2>/dev/null || true ;;
  esac
}

out=build-fuzz
mkdir -p "$out"

# The screen font's glyph table, made as the build makes it, for the
# harnesses that draw on a screen.
if [[ ! -s $out/cp437_font_table.cpp ]]; then
  clang++-14 -std=c++20 -O1 platform/font_table_generator.cpp -o "$out/font_table_generator"
  gzip -dc /usr/share/consolefonts/Uni2-VGA16.psf.gz >"$out/console_font.psf"
  "$out/font_table_generator" "$out/console_font.psf" "$out/cp437_font_table.cpp"
fi
found=0
for harness in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$harness" _fuzz.cpp)
  read -r -a sources < <(sed -n '1s|^// fuzz-sources:||p' "$harness")
  read -r -a harness_options < <(sed -n '2s|^// fuzz-options:||p' "$harness") || true
  clang++-14 -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I. -I/usr/include/eigen3 "$harness" "${sources[@]}" -o "$out/$name"

  corpus=$out/$name-corpus
  findings=$out/$name-findings
  rm -rf "$corpus" "$findings"
  mkdir -p "$corpus" "$findings"
  if [[ -d tests/fuzz/corpus/$name ]]; then cp tests/fuzz/corpus/"$name"/* "$corpus"/; fi
  i=0
  while IFS= read -r -d '' seed; do
    cp "$seed" "$corpus/extra-$((i++))-$(basename "$seed" | tr -c 'A-Za-z0-9._\n-' _)"
  done < <(extra_seeds "$name")
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" "${harness_options[@]}" "$@")
  if [[ -f tests/fuzz/$name.dict ]]; then options+=(-dict="tests/fuzz/$name.dict"); fi

  status=0
  "$out/$name" "${options[@]}" "$corpus" >"$out/$name.log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log" | tail -n 1)
  result=$(ls "$findings")
  if [[ -n $result ]]; then
    result=$(printf '%s ' "$findings"/*)
  elif ((status != 0)); then
    result="exit status $status, see $out/$name.log"
  else
    result=0
  fi
  [[ $result == 0 ]] || found=1
  printf '%-22s %12s executions   findings: %s\n' "$name" "${runs:-?}" "$result"
done
exit "$found"

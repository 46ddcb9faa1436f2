#!/usr/bin/env bash
# Seeds one fault at a time into the working tree and runs the unit and
# scenario tests against it (with --e2e the end-to-end tests too): a fault
# the tests do not notice (it "survived") points at behaviour no test holds.
#
#   bash scripts/mutation.sh              every fault of tests/mutation/faults.txt
#   bash scripts/mutation.sh 7            fault 7 only (also "3,7,12" or "5-9")
#   bash scripts/mutation.sh --list       the numbered faults, nothing run
#   options: --faults FILE  --build-dir DIR (build-mutation)  --timeout SECONDS
#            per fault (900)  --baseline (run the tests on the untouched tree first)
#            --e2e (a fault the fast labels let through also meets the e2e label)
#
# A fault entry (tests/mutation/faults.txt) is four lines, "file:", "what:",
# "from:" and "to:"; the text after "from: " must occur exactly once in the
# file and is replaced by the text after "to: ". Lines starting with # and
# blank lines are skipped; faults are numbered in the order they stand.
#
# Each fault: apply, incremental build (RelWithDebInfo, warnings not errors,
# its own build directory), the tests of the labels unit and scenario (ctest
# -L, unit first, stopping at the first failure), restore. With --e2e a fault
# that survives those two also meets the e2e label (one test at a time: the
# tests share Xvfb and pseudo-terminals), so the score covers the whole
# suite; each result names the label that killed the fault. A fault that
# does not compile is reported apart and left out of the score (killed /
# built). The file is restored after every fault, also on Ctrl-C, and the
# tree is checked against git at the end.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

faults_file=tests/mutation/faults.txt
build_dir=build-mutation
per_fault_timeout=900
selection=""
list_only=0
baseline=0
with_e2e=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --list) list_only=1 ;;
    --faults) faults_file=$2; shift ;;
    --build-dir) build_dir=$2; shift ;;
    --timeout) per_fault_timeout=$2; shift ;;
    --baseline) baseline=1 ;;
    --e2e) with_e2e=1 ;;
    -h|--help) sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    [0-9]*) selection=$1 ;;
    *) echo "mutation.sh: unknown argument \"$1\" (try --help)" >&2; exit 2 ;;
  esac
  shift
done

[[ -f "$faults_file" ]] || { echo "mutation.sh: no fault list at $faults_file" >&2; exit 2; }

# ---------------------------------------------------------------- the fault list
files=() whats=() froms=() tos=()
entry_file="" entry_what="" entry_from="" entry_to="" have_from=0 have_to=0 line_no=0
flush_entry() {
  [[ -z "$entry_file$entry_what$entry_from$entry_to" && $have_from -eq 0 ]] && return 0
  if [[ -z "$entry_file" || -z "$entry_what" || $have_from -eq 0 || $have_to -eq 0 || -z "$entry_from" ]]; then
    echo "mutation.sh: $faults_file line $line_no: a fault needs file:, what:, from: and to:" >&2
    exit 2
  fi
  files+=("$entry_file") whats+=("$entry_what") froms+=("$entry_from") tos+=("$entry_to")
  entry_file="" entry_what="" entry_from="" entry_to="" have_from=0 have_to=0
}
while IFS= read -r line || [[ -n "$line" ]]; do
  line_no=$((line_no + 1))
  case "$line" in
    '#'*|'') continue ;;
    'file: '*) flush_entry; entry_file=${line#file: } ;;
    'what: '*) entry_what=${line#what: } ;;
    'from: '*) entry_from=${line#from: }; have_from=1 ;;
    'to: '*) entry_to=${line#to: }; have_to=1 ;;
    'to:') entry_to=""; have_to=1 ;;
    *) echo "mutation.sh: $faults_file line $line_no: \"$line\" is not file:, what:, from: or to:" >&2; exit 2 ;;
  esac
done < "$faults_file"
flush_entry
count=${#files[@]}
[[ $count -gt 0 ]] || { echo "mutation.sh: $faults_file holds no fault" >&2; exit 2; }

# The numbers asked for: "7", "3,7,12", "5-9", or all.
chosen=()
if [[ -z "$selection" ]]; then
  for ((i = 1; i <= count; i++)); do chosen+=("$i"); done
else
  IFS=',' read -ra parts <<< "$selection"
  for part in "${parts[@]}"; do
    if [[ "$part" =~ ^([0-9]+)-([0-9]+)$ ]]; then
      for ((i = BASH_REMATCH[1]; i <= BASH_REMATCH[2]; i++)); do chosen+=("$i"); done
    elif [[ "$part" =~ ^[0-9]+$ ]]; then
      chosen+=("$part")
    else
      echo "mutation.sh: \"$part\" is not a fault number" >&2; exit 2
    fi
  done
  for n in "${chosen[@]}"; do
    if ((n < 1 || n > count)); then echo "mutation.sh: there is no fault $n (1 to $count)" >&2; exit 2; fi
  done
fi

if [[ $list_only -eq 1 ]]; then
  for n in "${chosen[@]}"; do
    printf '%3d  %-44s %s\n' "$n" "${files[n-1]}" "${whats[n-1]}"
  done
  exit 0
fi

# ---------------------------------------------------------------- applying and restoring
backup_dir=$(mktemp -d)
mutated_file=""
tree_before=$( (git status --porcelain --untracked-files=all; git diff) | sha256sum)

restore() {
  if [[ -n "$mutated_file" ]]; then
    # A new modification time, so that the next build compiles the file again.
    cat "$backup_dir/original" > "$mutated_file"
    mutated_file=""
  fi
}
on_exit() {
  restore
  rm -rf "$backup_dir"
}
trap on_exit EXIT
trap 'echo; echo "mutation.sh: interrupted, file restored"; exit 130' INT TERM

# Replaces the text once; fails (changing nothing) unless it occurs exactly once.
apply_fault() {
  local file=$1 from=$2 to=$3
  FROM=$from TO=$to python3 - "$file" <<'EOF'
import os, sys
path = sys.argv[1]
text = open(path, encoding="latin-1", newline="").read()
n = text.count(os.environ["FROM"])
if n != 1:
    print(f"the original text occurs {n} times", file=sys.stderr)
    sys.exit(1)
open(path, "w", encoding="latin-1", newline="").write(text.replace(os.environ["FROM"], os.environ["TO"]))
EOF
}

# ---------------------------------------------------------------- build and test
# The test programs of the unit and scenario labels (the simulator's tests
# bring the programs they start).
targets=()
for dir in tests/*/; do
  folder=$(basename "$dir")
  [[ "$folder" == e2e || "$folder" == fuzz || "$folder" == mutation ]] && continue
  compgen -G "$dir*.cpp" > /dev/null && targets+=("${folder}_tests")
done
# The end-to-end tests bring the programs they start.
[[ $with_e2e -eq 1 ]] && targets+=(e2e_tests)
labels=(unit scenario)
[[ $with_e2e -eq 1 ]] && labels+=(e2e)

log_dir=$build_dir/mutation-logs
if [[ ! -f "$build_dir/build.ninja" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVNA_WERROR=OFF > /dev/null || exit 1
fi
mkdir -p "$log_dir"

build() { nice -n 10 cmake --build "$build_dir" -j2 --target "${targets[@]}" > "$1" 2>&1; }
# The unit tests first: they take seconds and notice most faults, so the
# scenarios run only for a fault the unit tests let through, and the
# end-to-end tests only for one both let through. Each run stops at its first
# failure; all together stay within the time per fault. The label whose
# tests failed is left in failed_label.
failed_label=""
run_tests() {
  local deadline=$((SECONDS + per_fault_timeout)) label jobs
  : > "$1"
  failed_label=""
  for label in "${labels[@]}"; do
    local left=$((deadline - SECONDS))
    failed_label=$label
    ((left > 0)) || return 124
    jobs=2
    [[ $label == e2e ]] && jobs=1
    timeout --kill-after=10 "$left" nice -n 10 \
      ctest --test-dir "$build_dir" -L "^$label\$" -j$jobs --stop-on-failure --timeout 120 --output-on-failure \
      >> "$1" 2>&1 || return 1
  done
  failed_label=""
}

echo "building the untouched tree in $build_dir ..."
if ! build "$log_dir/baseline-build.log"; then
  echo "mutation.sh: the untouched tree does not build, see $log_dir/baseline-build.log" >&2
  exit 1
fi
if [[ $baseline -eq 1 ]]; then
  echo "running the tests on the untouched tree ..."
  if ! run_tests "$log_dir/baseline-tests.log"; then
    echo "mutation.sh: the tests fail on the untouched tree, see $log_dir/baseline-tests.log" >&2
    exit 1
  fi
fi

killed=0 survived=0 unbuilt=0 unapplied=0
survivors=() unbuilt_list=() unapplied_list=()
results_file=$log_dir/results.txt
: > "$results_file"
started=$SECONDS
for n in "${chosen[@]}"; do
  file=${files[n-1]} what=${whats[n-1]}
  t0=$SECONDS
  if [[ ! -f "$file" ]]; then
    result="not applied (no such file)"
  else
    cp "$file" "$backup_dir/original"
    if ! error=$(apply_fault "$file" "${froms[n-1]}" "${tos[n-1]}" 2>&1); then
      result="not applied ($error)"
    else
      mutated_file=$file
      if ! build "$log_dir/fault-$n-build.log"; then
        result="did not build"
      elif run_tests "$log_dir/fault-$n-tests.log"; then
        result="survived"
      else
        result="killed ($failed_label)"
        grep -q -E '\(Timeout\)' "$log_dir/fault-$n-tests.log" && result="killed ($failed_label, time-out)"
      fi
      restore
    fi
  fi
  case "$result" in
    killed*) killed=$((killed + 1)) ;;
    survived) survived=$((survived + 1)); survivors+=("$n") ;;
    "did not build") unbuilt=$((unbuilt + 1)); unbuilt_list+=("$n") ;;
    *) unapplied=$((unapplied + 1)); unapplied_list+=("$n") ;;
  esac
  line=$(printf '%3d  %-26s %4ds  %-40s %s' "$n" "$result" $((SECONDS - t0)) "$file" "$what")
  echo "$line"
  echo "$line" >> "$results_file"
done

built=$((killed + survived))
echo
echo "faults run: ${#chosen[@]} in $((SECONDS - started)) s (labels: ${labels[*]}); built: $built; killed: $killed; survived: $survived"
for label in "${labels[@]}"; do
  by_label=$(grep -c -E "^ *[0-9]+  killed \($label[,)]" "$results_file")
  echo "  killed by $label: $by_label"
done
[[ $unbuilt -gt 0 ]] && echo "did not build (not scored): ${unbuilt_list[*]}"
[[ $unapplied -gt 0 ]] && echo "not applied (not scored): ${unapplied_list[*]}"
[[ $survived -gt 0 ]] && echo "survivors: ${survivors[*]}"
if [[ $built -gt 0 ]]; then
  awk -v k="$killed" -v b="$built" 'BEGIN { printf "mutation score: %d / %d = %.1f %%\n", k, b, 100 * k / b }'
else
  echo "mutation score: no fault built"
fi
echo "per-fault logs: $log_dir"

tree_after=$( (git status --porcelain --untracked-files=all; git diff) | sha256sum)
if [[ "$tree_before" != "$tree_after" ]]; then
  echo "mutation.sh: the working tree differs from before the run (git diff)" >&2
  exit 1
fi
echo "working tree as before (git status and git diff unchanged)"

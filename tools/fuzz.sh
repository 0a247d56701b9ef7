#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset: clang, libFuzzer, sanitizers) and
# runs them one after the other.
#
#   tools/fuzz.sh [-t SECONDS] [TARGET...]
#
# TARGET: gif, settings, highscore, midi, script, replay, api (default: all), each run for
# SECONDS (default 60). The seeds in fuzz/corpus/TARGET are only read; what the
# fuzzer learns goes to build/fuzz/corpus/TARGET and is used again next time.
# An input that fails is written to build/fuzz/findings/TARGET/; reproduce it
# with build/fuzz/fuzz/kelo-fuzz-TARGET FILE. Exits with 1 when a target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

all=(gif settings highscore midi script replay api)
seconds=60
while getopts ":t:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    *) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
for t in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $t "* ]] || { echo "tools/fuzz.sh: no target $t (${all[*]})" >&2; exit 2; }
done

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$out/corpus/$t" "$out/findings/$t"
  log="$out/findings/$t.log"
  echo "== $t: ${seconds} s"
  # An input that takes more than 30 s counts as a hang.
  if "$out/fuzz/kelo-fuzz-$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$out/findings/$t/" \
       "$out/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$log" | tr '\n' ' '
    echo
  else
    tail -n 60 "$log"
    echo "== $t FAILED: $log, input in $out/findings/$t/"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}"
  exit 1
fi
echo "fuzzing clean: ${targets[*]}"

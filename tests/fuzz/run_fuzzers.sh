#!/bin/sh
# run_fuzzers.sh BUILD_DIR SECONDS: runs each libFuzzer target of BUILD_DIR (configured with
# clang, -DQM_FUZZ=ON -DQM_SANITIZE=ON) for SECONDS, seeded from our own assets, and prints each
# target's executions and coverage. The corpora grow in BUILD_DIR/fuzz-corpus, so a later run
# goes on from where the last one stopped; a finding is written to BUILD_DIR/fuzz-findings and
# fails the run.
set -e
build=$(cd "$1" && pwd)
seconds=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
seeds=$build/fuzz-seeds
mkdir -p "$seeds/sid_tune" "$seeds/sid_cpu" "$seeds/module" "$seeds/contentc" "$build/fuzz-findings"

byte() { od -An -tu1 -j"$2" -N1 "$1" | tr -d ' '; }
octal() { for value; do printf "\\$(printf '%03o' "$value")"; done; }

for tune in "$root"/assets/sid/*.sid; do
  cp "$tune" "$seeds/sid_tune/"
  # The CPU target's input: A, call address, load address (low byte first), payload. A tune's
  # init routine with its own code at its load address.
  off=$(byte "$tune" 7)
  { octal 0 "$(byte "$tune" 11)" "$(byte "$tune" 10)" "$(byte "$tune" "$off")" \
      "$(byte "$tune" $((off + 1)))"
    tail -c +$((off + 3)) "$tune"; } >"$seeds/sid_cpu/$(basename "$tune" .sid)"
done
cp "$root"/assets/xm/*.xm "$seeds/module/"
for doc in "$root"/content/docs/*.qmd; do
  number=$(basename "$doc" .qmd)
  { octal $((${number#0} - 1)); cat "$doc"; } >"$seeds/contentc/$number"
done

status=0
for short in sid_tune sid_cpu module contentc; do
  corpus=$build/fuzz-corpus/$short
  log=$build/fuzz-findings/fuzz_$short.log
  mkdir -p "$corpus"
  if "$build/tests/fuzz/fuzz_$short" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-findings/fuzz_$short-" "$corpus" "$seeds/$short" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
    echo "fuzz_$short: $runs executions in ${seconds}s, $cov, corpus $(ls "$corpus" | wc -l) inputs"
  else
    echo "fuzz_$short: FAILED, see $log"; tail -30 "$log"; status=1
  fi
done
exit $status

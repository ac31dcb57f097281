#!/usr/bin/env bash
# Builds Tollora and runs every test: the program on the headless backend (plain and under
# AddressSanitizer/UndefinedBehaviorSanitizer), the alarm-file fuzzer, the Linux program (Qt)
# and the Windows program under Wine. Installs what it needs first.
set -uo pipefail
cd "$(dirname "$0")"
tools/deps.sh test || exit 1

jobs=$(nproc)
passed=0 failed=0 broken=()
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT

# Runs one stage, echoing its output, and adds the counts from its closing line.
stage() {
  local name=$1; shift
  echo "=== $name"
  "$@" 2>&1 | tee "$log/$name.out"
  local rc=${PIPESTATUS[0]}
  local line p f
  line=$(grep -E '^(100|[0-9]{1,2})% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log/$name.out" | tail -1)
  if [ -n "$line" ]; then
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    p=$(( $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line") - f ))
  else
    line=$(grep -E '([A-Za-z-]+: )?[0-9]+ passed, [0-9]+ failed' "$log/$name.out" | tail -1)
    p=$(sed -E 's/.*([^0-9]|^)([0-9]+) passed.*/\2/' <<<"$line"); p=${p:-0}
    f=$(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line"); f=${f:-0}
  fi
  passed=$((passed + p)); failed=$((failed + f))
  if [ "$rc" -ne 0 ]; then
    broken+=("$name")
    [ "$f" -gt 0 ] || failed=$((failed + 1))
  fi
}

ctest_preset() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs" && ctest --preset "$1" -j"$jobs"
}

fuzz() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j"$jobs" --target tollora_ini_fuzz || return 1
  local corpus
  corpus=$(mktemp -d)
  cp tests/fuzz/corpus/* "$corpus"
  build/fuzz/tests/tollora_ini_fuzz -runs="${TOLLORA_FUZZ_RUNS:-1000000}" -max_len=4096 "$corpus" 2>&1 | tail -n 2
  local rc=${PIPESTATUS[0]}
  rm -rf "$corpus"
  [ "$rc" -eq 0 ] && echo "fuzz: 1 passed, 0 failed"
  return "$rc"
}

stage headless ctest_preset headless
stage sanitize ctest_preset sanitize
stage fuzz fuzz
stage linux ctest_preset linux
stage windows tests/win32/run.sh

echo
[ ${#broken[@]} -eq 0 ] || echo "failed stages: ${broken[*]}"
echo "tollora: $passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ]

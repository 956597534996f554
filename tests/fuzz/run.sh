#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a time
# budget (seconds, default 60) on its corpus. New corpus entries go to
# build/fuzz/corpus/<name>; crashes to build/fuzz/crashes/<name>.
#   tests/fuzz/run.sh [seconds] [target...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
budget=${1:-60}
shift || true
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  apt-get install -y -q --no-install-recommends clang libclang-rt-dev >/dev/null 2>&1 ||
    apt-get install -y -q --no-install-recommends clang-14 libclang-rt-14-dev
fi
bash "$root/scripts/setup.sh" >/dev/null
cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPW_FUZZ=ON >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/tests/fuzz/*Fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
cmake --build "$root/build/fuzz" --target "${targets[@]}"
for t in "${targets[@]}"; do
  work="$root/build/fuzz/corpus/$t"
  crashes="$root/build/fuzz/crashes/$t"
  mkdir -p "$work" "$crashes"
  echo "== $t: ${budget}s"
  "$root/build/fuzz/tests/fuzz/$t" -max_total_time="$budget" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$work" "$root/tests/fuzz/corpus/$t" 2>&1 | tail -n 15
done

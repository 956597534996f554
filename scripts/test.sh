#!/usr/bin/env bash
# Installs what is missing, configures the native (sanitizers),
# ThreadSanitizer, Windows and fuzzing trees, builds the Windows tree, and
# runs every test of all four under one ctest run, in which the other three
# trees are built as well: Windows tests under Wine on a virtual display,
# each fuzz target for a short time budget (its execution count printed at
# the end). Exits non-zero when anything fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bash "$here/setup.sh"
source "$here/env.sh"
pw_configure
pw_configure_fuzz
# The Windows tree's tests run first and one at a time (the longest chain):
# its tree is built now. The other trees build in their first test, beside
# that chain (tests/CMakeLists.txt).
cmake --build "$pw_root/build/win"

# One ctest run over all trees, so the summary at the end covers everything.
cat >"$pw_root/build/CTestTestfile.cmake" <<'CT'
subdirs("native")
subdirs("tsan")
subdirs("win")
subdirs("fuzz")
CT
pw_wine_up
cd "$pw_root/build"
# One test per core runs beside the Windows tree's tests, which take one
# at a time and mostly wait on their clocks (tests/CMakeLists.txt). A test
# that fails is run once more before it counts as failed: the end-to-end
# cases drive real windows on a virtual display, where a key press can
# occasionally be lost. A fault that shows twice fails the run.
rm -f "$pw_root"/build/fuzz/stats/*.txt
status=0
ctest --output-on-failure --timeout 900 --repeat until-pass:2 -j "$(($(nproc) + 1))" "$@" || status=$?
# What the fuzz tests did (ctest shows the output of failed tests only).
if ls "$pw_root"/build/fuzz/stats/*.txt >/dev/null 2>&1; then
  cat "$pw_root"/build/fuzz/stats/*.txt
fi
exit $status

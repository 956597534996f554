#!/usr/bin/env bash
# Installs what is missing, builds the native (sanitizers), ThreadSanitizer
# and Windows trees, and runs every test of all three under one ctest run
# (Windows tests under Wine on a virtual display). Exits non-zero when
# anything fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bash "$here/setup.sh"
source "$here/env.sh"
pw_configure_and_build

# One ctest run over both trees, so the summary at the end covers everything.
cat >"$pw_root/build/CTestTestfile.cmake" <<'CT'
subdirs("native")
subdirs("tsan")
subdirs("win")
CT
pw_wine_up
cd "$pw_root/build"
# A test that fails is run once more before it counts as failed: the
# end-to-end cases drive real windows on a virtual display, where a key press
# can occasionally be lost. A fault that shows twice fails the run.
ctest --output-on-failure --timeout 900 --repeat until-pass:2 "$@"

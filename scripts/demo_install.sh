#!/usr/bin/env bash
# The main job: the life cycle of a release under Wine, on a virtual screen, from a
# vendor's web server (nginx). Builds the native cvztool, makes a signing key for
# the demo (build/demo/release-key.pem, never in the repository), builds the Windows
# programs with its public half in build/demo-win32, then runs
# tools/demo/life_cycle_demo.py: release 2.01, install it, release 2.02 to 0% of the
# machines (nothing changes), widen it to 100% (the next start updates), remove, and
# the adoption report with its chart. Screenshots, the chart, the site, nginx's logs
# and the Wine prefix stay in build/demo/.
#
# Arguments configure the demo's build, on top of the win32 preset: for another
# port, -DVL2_FILE_SERVER=127.0.0.1:PORT -DVL2_REPORT_SERVER=127.0.0.1:PORT.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

echo "demo: building the native cvztool (build/native)"
cmake --preset native >/dev/null
cmake --build --preset native --target cvztool >/dev/null

rm -rf build/demo
mkdir -p build/demo
build/native/cvztool keygen build/demo/release-key.pem >/dev/null
key=$(build/native/cvztool pubkey build/demo/release-key.pem)
echo "demo: made the signing key build/demo/release-key.pem; its public half is $key"

echo "demo: building the Windows programs with that public half (build/demo-win32)"
cmake --preset win32 -B build/demo-win32 -DVL2_RELEASE_PUBLIC_KEY="$key" "$@" >/dev/null
cmake --build build/demo-win32 -j2 --target InitVL2 Cubelet >/dev/null
echo "demo: built in $((SECONDS - started)) s; the life cycle starts"

PYTHONDONTWRITEBYTECODE=1 exec /usr/bin/python3 tools/demo/life_cycle_demo.py \
    --build build/demo-win32 --key build/demo/release-key.pem --cvztool build/native/cvztool

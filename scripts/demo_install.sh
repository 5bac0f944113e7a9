#!/usr/bin/env bash
# The main job: the life cycle of a release under Wine, on a virtual screen, from a
# vendor's web server (nginx). Builds the native cvztool, makes a signing key for
# the demo (build/demo/release-key.pem, never in the repository) and a certificate
# authority for Authenticode (build/demo/authenticode: a code-signing certificate and
# a time-stamp authority under it, trusted by nothing on this machine), builds the
# Windows programs with the key's public half in build/demo-win32, signed, then runs
# tools/demo/life_cycle_demo.py: release 2.01, install it, release 2.02 to 0% of the
# machines (nothing changes), widen it to 100% (the next start updates), remove, and
# the adoption report with its chart. Screenshots, the chart, the site, nginx's logs
# and the Wine prefix stay in build/demo/.
#
# With --https first, the same life cycle over TLS: the programs are built for
# https://localhost:18443 in build/demo-win32-https, the demo makes a certificate
# authority of its own (build/demo/tls) that only the demo's Wine prefix trusts,
# and nginx serves the site with a certificate it signed.
#
# Other arguments configure the demo's build, on top of the win32 preset: for
# another port, -DVL2_FILE_SERVER=127.0.0.1:PORT -DVL2_REPORT_SERVER=127.0.0.1:PORT
# (with --https: https://localhost:PORT for both).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
build=build/demo-win32 servers=() targets=(InitVL2 Cubelet wait_for_exit desktop_holder) demo=()
if [[ ${1:-} == --https ]]; then
    shift
    build=build/demo-win32-https demo=(--https)
    servers=(-DVL2_FILE_SERVER=https://localhost:18443 -DVL2_REPORT_SERVER=https://localhost:18443
             -DVL2_SITE_HOST=https://localhost:18443 -DVL2_HTTPS_TEST_SERVER=)
    targets+=(trust_root)
fi

echo "demo: building the native cvztool (build/native)"
cmake --preset native >/dev/null
cmake --build --preset native --target cvztool >/dev/null

rm -rf build/demo
mkdir -p build/demo
build/native/cvztool keygen build/demo/release-key.pem >/dev/null
key=$(build/native/cvztool pubkey build/demo/release-key.pem)
echo "demo: made the signing key build/demo/release-key.pem; its public half is $key"

mapfile -t signing < <(PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 tests/harness/authenticode.py \
                           make-signer build/demo/authenticode "Velmora demo code signing")
echo "demo: made a code-signing certificate and a time-stamp authority under an authority of the demo's own" \
     "(build/demo/authenticode)"

echo "demo: building the Windows programs with that public half, signed with that certificate ($build)"
cmake --preset win32 -B "$build" -DVL2_RELEASE_PUBLIC_KEY="$key" "${signing[@]}" "${servers[@]}" "$@" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
echo "demo: built in $((SECONDS - started)) s; the life cycle starts"

PYTHONDONTWRITEBYTECODE=1 exec /usr/bin/python3 tools/demo/life_cycle_demo.py "${demo[@]}" \
    --build "$build" --key build/demo/release-key.pem --cvztool build/native/cvztool

#!/usr/bin/env bash
# The main job: builds the Windows programs and runs the installer under Wine
# against a local vendor server that serves the stand-in suite, on a virtual
# screen, then prints what it left behind. Screenshots go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win32 >/dev/null
cmake --build --preset win32 >/dev/null
exec /usr/bin/python3 tools/demo/install_demo.py "$@"

#!/usr/bin/env bash
# Builds both configurations from scratch-safe presets and runs every test:
# the portable code natively under sanitizers, the Windows programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32

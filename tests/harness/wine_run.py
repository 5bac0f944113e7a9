#!/usr/bin/env python3
"""Runs one Windows test program under Wine in a fresh copy of the template prefix
and returns its exit code. Used as the cross-compiling emulator of the test build."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winenv  # noqa: E402


def main():
    template = os.environ.get("VL2_WINE_TEMPLATE")
    if not template:
        print("VL2_WINE_TEMPLATE is not set", file=sys.stderr)
        return 2
    winenv.make_template(template)
    args = sys.argv[1:]
    version = None
    if args[:1] == ["--windows-version"]:
        version, args = args[1], args[2:]
    with winenv.Prefix(template) as prefix:
        if version:
            prefix.set_windows_version(version)
        result = prefix.run(args, timeout=900)
        sys.stdout.write(result.stdout.decode("cp949", errors="replace"))
        sys.stderr.write(result.stderr.decode("cp949", errors="replace"))
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())

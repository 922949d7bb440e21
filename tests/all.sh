#!/usr/bin/env bash
# Every test of the project: the native build; the sanitizer build with a
# short fuzz run; the 32-bit Windows program under Wine; and the same
# Windows sources built for x86-64, for a Wine that runs 64-bit programs
# only (where 32-bit ones cannot start, their cases say so as skipped).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset default
cmake --workflow --preset sanitize
cmake --workflow --preset win32
cmake --workflow --preset win64

#!/usr/bin/env bash
# Every test of the project: the native build, the sanitizer build with a
# short fuzz run, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset default
cmake --workflow --preset sanitize

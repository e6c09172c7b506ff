#!/usr/bin/env bash
# Starts what exists of the console.
set -euo pipefail
build=${1:-build}
exec "$build/bin/dalmora"

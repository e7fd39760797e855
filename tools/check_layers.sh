#!/usr/bin/env bash
# The include check (tools/check_layers.py), which every build runs; by hand:
# tools/check_layers.sh [SOURCE_DIR]
exec python3 "$(dirname "$0")/check_layers.py" "$@"

#!/usr/bin/env bash
# wine-ctest.sh <build dir> <wine loader>: runs a cross build's tests under Wine, in the display
# that xvfb-run gives this script.
set -uo pipefail
build_dir=$1
export QUARVO_WINE=$2
source "$(dirname "$0")/wine-env.sh"
trap wine_env_stop EXIT
cd "$build_dir"
ctest --output-on-failure --timeout 300

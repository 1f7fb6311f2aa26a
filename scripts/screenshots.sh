#!/usr/bin/env bash
# Redraws the README's screenshots under a virtual X server (Xvfb) into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
command -v xvfb-run >/dev/null || {
    sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends xvfb xauth
}
scripts/build.sh
cmake --build build --target make-screenshot
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" build/tools/make-screenshot docs

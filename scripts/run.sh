#!/usr/bin/env bash
# Installs what is missing, builds, and starts the photo sorter.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): built build/kovrin-photo-sorter, but cannot open its window here."
    exit 1
fi
exec build/kovrin-photo-sorter "$@"

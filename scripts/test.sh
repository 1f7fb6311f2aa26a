#!/usr/bin/env bash
# Installs what is missing, builds, runs every test through CTest, and checks the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)"
cd ..
# The Debian package: built, validated, installed and started (tests/package/).
tests/package/test_package.sh build

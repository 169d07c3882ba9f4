#!/usr/bin/env bash
# Installs what is missing, builds the utility and starts it on the simulated instrument.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"

bash tools/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target veltra-update

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  # No desktop: give the window a virtual screen of its own.
  exec xvfb-run -a build/app/veltra-update --simulate "$@"
fi
exec build/app/veltra-update --simulate "$@"

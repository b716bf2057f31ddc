#!/usr/bin/env bash
# Builds the release programs and makes the .deb (programs in /usr/bin,
# libraries and modules in /usr/lib/ped, the server's configuration in
# /etc/ped and its systemd unit). Prints the package's path.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPED_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_SYSCONFDIR=/etc
cmake --build build-release -j"$(nproc)"
(cd build-release && cpack -G DEB > /dev/null)
ls "$top"/build-release/ped-comissao_*.deb

#!/usr/bin/env bash
# Installs every Debian package the project builds, tests and runs with.
# Idempotent: packages already present are skipped, apt-get update runs once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-ibase libqt6opengl6-dev
  libsqlite3-dev sqlite3 curl openssl libcpp-httplib-dev nlohmann-json3-dev libsodium-dev libmicrohttpd-dev
  libsimdjson-dev rapidjson-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  fonts-dejavu-core xvfb xauth poppler-utils
  firebird3.0-server haproxy
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Firebird installs enabled, with a SYSDBA password of our choosing; the
# package keeps it in /etc/firebird/3.0/SYSDBA.password.
printf '%s\n' \
  "firebird3.0-server shared/firebird/enabled boolean true" \
  "firebird3.0-server shared/firebird/sysdba_password/first_install password pedfb" \
  "firebird3.0-server shared/firebird/sysdba_password/new_password password pedfb" | $SUDO debconf-set-selections
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs every package that building, testing, benchmarking and fuzzing
# Kelvora needs, and does nothing when all of them are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs libicu-dev
  fonts-dejavu-core
  clang libclang-rt-14-dev
  xvfb xauth
  libsqlite3-dev
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$package")
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages that building, generating the data and testing need.
# Idempotent: when every package is present it only checks and exits. Uses sudo only when not root.
set -euo pipefail

packages=(
  # build
  cmake ninja-build pkg-config g++ make clang-format
  libglfw3-dev libgl1-mesa-dev libgl1-mesa-dri libx11-dev
  libopenal-dev libstb-dev libfreetype-dev libvorbis-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # data
  fonts-dejavu-core fonts-dejavu-extra scowl wamerican
  # tests
  xvfb xauth x11-utils xdotool jwm wmctrl sox vorbis-tools python3 desktop-file-utils
  # the README's screenshots (make screenshots)
  optipng
  # fuzzing (libFuzzer and the sanitizer run-times)
  clang libclang-rt-14-dev
  # the browser build and its tests (make web, make test-web)
  emscripten chromium
  # the Debian package and its checks (make package, make test-package)
  dpkg-dev fakeroot file lintian appstream man-db
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

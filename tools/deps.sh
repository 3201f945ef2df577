#!/usr/bin/env bash
# Installs the Debian packages a job needs, only when some are missing.
# Usage: tools/deps.sh run|test|bench|windows
set -euo pipefail

run_packages=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev nlohmann-json3-dev libcli11-dev libssl-dev
              libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation)
bench_packages=("${run_packages[@]}" time chromium)
# The Windows stage: the cross compilers, Wine for 32-bit programs (from the i386 architecture) and what
# drives the Win32 window under Xvfb; wixl builds the installer.
windows_packages=(g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 libwine-dev googletest cmake ninja-build
                  nlohmann-json3-dev libcli11-dev xvfb xauth openbox xdotool x11-utils imagemagick fonts-liberation wixl)
test_packages=("${run_packages[@]}" xvfb xauth xdotool x11-utils openbox imagemagick python3 chromium clang libclang-rt-14-dev clang-tidy cppcheck)

case "${1:-run}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  bench) wanted=("${bench_packages[@]}") ;;
  windows) wanted=("${windows_packages[@]}") ;;
  *) echo "usage: $0 run|test|bench|windows" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("${p%:i386}")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root or install sudo to get: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
if [ "${1:-}" = windows ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs the Debian packages a job needs, only when some are missing. Usage: tools/deps.sh run|test|bench
set -euo pipefail

run_packages=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev nlohmann-json3-dev libcli11-dev
              libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation)
bench_packages=("${run_packages[@]}" time)
test_packages=("${run_packages[@]}" xvfb xauth xdotool x11-utils openbox imagemagick python3 clang libclang-rt-14-dev clang-tidy cppcheck)

case "${1:-run}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  bench) wanted=("${bench_packages[@]}") ;;
  *) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root or install sudo to get: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

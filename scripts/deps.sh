#!/usr/bin/env bash
# Installs the Debian packages Varnel needs to build, test and run.
# As root: apt-get update, then apt-get install of whatever is missing.
# Otherwise: prints the one command to run and fails.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev libqt6svg6 libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libavahi-client-dev libsodium-dev
  fonts-ipafont-gothic
  xvfb xauth xdotool trayer imagemagick python3
  iproute2 dbus avahi-daemon avahi-utils util-linux procps
  dpkg-dev librsvg2-bin desktop-file-utils appstream groff-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Varnel needs these Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

# No package may start a daemon on this machine while we install it. A policy we put in place is
# taken away again however the install ends (failure and signals included), so later installs on
# this machine start their services as before; a policy that was there already stays as it is.
policy=/usr/sbin/policy-rc.d
created=
trap '[ -z "$created" ] || rm -f "$policy"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
if (set -C; printf '#!/bin/sh\nexit 101\n' >"$policy") 2>/dev/null; then
  created=1
  chmod +x "$policy"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"

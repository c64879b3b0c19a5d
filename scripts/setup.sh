#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the demo need, listed one
# per line in scripts/packages/*.txt. Idempotent: the package lists are refreshed and
# packages installed only when something is missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

mapfile -t wanted < <(cat "$here"/packages/*.txt | sed -e 's/#.*//' -e 's/[[:space:]]//g' | grep -v '^$' | sort -u)
missing=()
for pkg in "${wanted[@]}"; do
  # A package installed for two architectures (libwine) reports one status per line.
  dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -qx "install ok installed" ||
    missing+=("$pkg")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  # Packages of another architecture (wine32:i386) need that architecture enabled first;
  # the update below then fetches its package lists.
  for arch in $(printf '%s\n' "${missing[@]}" | sed -n 's/^[^:]*:\(.*\)$/\1/p' | sort -u); do
    if [[ "$arch" != "$(dpkg --print-architecture)" ]] &&
       ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
      echo "setup: adding architecture $arch"
      $sudo dpkg --add-architecture "$arch"
    fi
  done
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all ${#wanted[@]} packages present"
fi

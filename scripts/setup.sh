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

# The locales the tests run under, generated only when one is missing.
mapfile -t locales < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$here/locales.txt" | grep -v '^$')
have=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/')
generate=()
for name in "${locales[@]}"; do
  wanted=$(tr '[:upper:]' '[:lower:]' <<<"$name" | sed 's/utf-8/utf8/')
  grep -qx "$wanted" <<<"$have" || generate+=("$name")
done
if ((${#generate[@]})); then
  echo "setup: generating the locales ${generate[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  for name in "${generate[@]}"; do
    # Enabled in /etc/locale.gen, so that the system's own locale-gen keeps them.
    if ! grep -qx "$name UTF-8" /etc/locale.gen; then
      if grep -qx "# *$name UTF-8" /etc/locale.gen; then
        $sudo sed -i "s/^# *$name UTF-8\$/$name UTF-8/" /etc/locale.gen
      else
        echo "$name UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
      fi
    fi
  done
  $sudo locale-gen >/dev/null
else
  echo "setup: all ${#locales[@]} locales present"
fi

#!/usr/bin/env bash
# scripts/uninstall.sh — `make uninstall`: removes the files CMake's install manifest lists (below
# $DESTDIR when that is set), then the folders left empty under lib/lexorm. Nothing else is touched:
# the player's saved progress lives in their own state folder, never in the install tree.
#   scripts/uninstall.sh MANIFEST [PREFIX]
# The manifest sits in the build folder, writable by whoever built: its lines are not trusted. Only
# a line naming a path inside the install prefix is removed, and only when no link on its way leads
# out of it. The prefix is PREFIX when given, else the one the install recorded beside the manifest
# (install_prefix*.txt, written by cmake/install.cmake), used only when that record belongs to the
# user running this (or to root) and no one else may write it.
set -uo pipefail

manifest=${1:-}
prefix=${2:-}
if [[ -z $manifest ]]; then
  echo "usage: $0 INSTALL_MANIFEST [PREFIX]" >&2
  exit 2
fi
if [[ ! -f $manifest ]]; then
  echo "uninstall: $manifest not found: nothing was installed from this build (make install writes it)" >&2
  exit 1
fi

if [[ -z $prefix ]]; then
  name=${manifest##*/} folder=$(dirname -- "$manifest")
  record=$folder/${name/install_manifest/install_prefix}
  owner=$(stat -c %u -- "$record" 2>/dev/null) mode=$(stat -c %a -- "$record" 2>/dev/null)
  if [[ ! -f $record || -L $record || $name != install_manifest*.txt ]] ||
    [[ $owner != "$(id -u)" && $owner != 0 ]] || ((8#${mode:-777} & 8#022)); then
    echo "uninstall: no trustworthy record of the install prefix beside $manifest: give it (make uninstall PREFIX=...)" >&2
    exit 1
  fi
  IFS= read -r prefix <"$record"
fi
# The prefix as the manifest writes it: absolute, without . or .. or doubled slashes.
prefix=$(realpath -ms -- "$prefix")
if [[ $prefix == / ]]; then
  echo "uninstall: refusing the prefix /: give the folder the game was installed to" >&2
  exit 1
fi

dest=${DESTDIR:-}
dest=${dest%/}
root=$(realpath -m -- "$dest$prefix")
removed=0 gone=0 failed=0
programDir=""
while IFS= read -r path || [[ -n $path ]]; do
  [[ -z $path ]] && continue
  # Inside the prefix as written (. and .. taken as they read), and its folder inside it too with
  # every link on the way followed.
  if [[ $path != /* || $(realpath -ms -- "$path") != "$prefix"/* ]] ||
    [[ $(realpath -m -- "$(dirname -- "$dest$path")")/ != "$root"/* ]]; then
    echo "uninstall: refusing \"$path\": not inside the install prefix $prefix" >&2
    failed=$((failed + 1))
    continue
  fi
  [[ $(realpath -ms -- "$path") == "$prefix"/lib/lexorm/lexorm ]] && programDir=$prefix/lib/lexorm
  target=$dest$path
  if [[ -d $target && ! -L $target ]]; then
    echo "uninstall: skipping $target: a folder, where a file was installed" >&2
    failed=$((failed + 1))
  elif [[ -e $target || -L $target ]]; then
    if rm -f -- "$target"; then
      echo "-- Removed: $target"
      removed=$((removed + 1))
    else
      failed=$((failed + 1))
    fi
  else
    gone=$((gone + 1))
  fi
done <"$manifest"

# The data's folders, deepest first, and lib/lexorm itself once they are empty.
if [[ -n $programDir && -d $dest$programDir && ! -L $dest$programDir ]]; then
  find "$dest$programDir" -depth -type d -empty -delete 2>/dev/null || true
fi

echo "uninstall: $removed files removed, $gone already gone, $failed not removed"
[[ $failed -eq 0 ]]

#!/usr/bin/env bash
# scripts/uninstall.sh — `make uninstall`: removes exactly the files CMake's install manifest lists
# (below $DESTDIR when that is set), then the folders left empty under lib/lexorm. Nothing else is
# touched: the player's saved progress lives in their own state folder, never in the install tree.
#   scripts/uninstall.sh MANIFEST
set -uo pipefail

manifest=${1:-}
if [[ -z $manifest ]]; then
  echo "usage: $0 INSTALL_MANIFEST" >&2
  exit 2
fi
if [[ ! -f $manifest ]]; then
  echo "uninstall: $manifest not found: nothing was installed from this build (make install writes it)" >&2
  exit 1
fi

dest=${DESTDIR:-}
dest=${dest%/}
removed=0 gone=0 failed=0
programDir=""
while IFS= read -r path || [[ -n $path ]]; do
  [[ -z $path ]] && continue
  if [[ $path != /* ]]; then
    echo "uninstall: skipping \"$path\": not an absolute path" >&2
    failed=$((failed + 1))
    continue
  fi
  [[ $path == */lib/lexorm/lexorm ]] && programDir=${path%/lexorm}
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
if [[ -n $programDir && -d $dest$programDir ]]; then
  find "$dest$programDir" -depth -type d -empty -delete 2>/dev/null || true
fi

echo "uninstall: $removed files removed, $gone already gone, $failed not removed"
[[ $failed -eq 0 ]]

#!/usr/bin/env bash
# README command 1 on a Debian 13 machine that has nothing preinstalled: a
# fresh minbase root filesystem made by debootstrap from the archive this
# machine's apt sources name, with those sources (rewritten for trixie), the
# machine's pip configuration and CA bundle copied in, and the repository's
# committed HEAD cloned into it; then, in a chroot,
#     bash tools/setup.sh && .venv/bin/python examples/demo.py
# Nothing is kept between runs: the root filesystem is made anew each time, so
# an install step the set-up misses cannot hide behind an earlier run.
# /proc and /dev are mounted into it for the run and unmounted on every exit.
#
# Usage: tools/stage_debian13.sh [--uncommitted]
#   --uncommitted: also apply the working tree's uncommitted changes to the
#   clone (to try a change before committing it).
set -euo pipefail
cd "$(dirname "$0")/.."
OUT="$PWD/build-debian13"
ROOTFS="$OUT/rootfs"
SUITE=trixie
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# Mounts under the root filesystem, deepest first.
mounts_under() {
  findmnt -rn -o TARGET | grep -E "^$ROOTFS(/|\$)" | sort -r || true
}

unmount_all() {
  local target
  for target in $(mounts_under); do
    "${as_root[@]}" umount -l "$target" || true
  done
}
trap unmount_all EXIT

# The machine's archive: the first non-security URI of its apt sources
# (deb822 .sources files, or one-line .list files).
archive() {
  local files=(/etc/apt/sources.list.d/*.sources)
  if [ -e "${files[0]}" ]; then
    awk '/^URIs:/ {for (i = 2; i <= NF; i++) print $i}' "${files[@]}"
  fi
  local lists=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list)
  for file in "${lists[@]}"; do
    [ -e "$file" ] && awk '$1 == "deb" {for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) {print $i; break}}' "$file"
  done
  return 0
}
mirror="$(archive | grep -v security | head -n 1)"
mirror="${mirror:-http://deb.debian.org/debian}"

command -v debootstrap >/dev/null || {
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends debootstrap
}

# ---- a fresh root filesystem (never through a mount left by a killed run)
unmount_all
"${as_root[@]}" rm -rf --one-file-system "$OUT"
mkdir -p "$OUT"
started=$SECONDS
echo "== debootstrap --variant=minbase $SUITE from $mirror"
"${as_root[@]}" debootstrap --variant=minbase "$SUITE" "$ROOTFS" "$mirror" >"$OUT/debootstrap.log" 2>&1 || {
  tail -n 20 "$OUT/debootstrap.log"
  exit 1
}
echo "   $((SECONDS - started)) s"

# ---- the machine's apt sources, pip configuration and CA bundle
copy_in() {   # copy_in FILE...: each to the same path under the root filesystem
  local file
  for file in "$@"; do
    [ -e "$file" ] || continue
    "${as_root[@]}" mkdir -p "$ROOTFS$(dirname "$file")"
    "${as_root[@]}" cp -rL "$file" "$ROOTFS$file"
  done
}
sources=(/etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list /etc/apt/sources.list)
for file in "${sources[@]}"; do
  [ -e "$file" ] || continue
  copy_in "$file"
  "${as_root[@]}" sed -i -E "s/\b(bookworm|bullseye)\b/$SUITE/g" "$ROOTFS$file"
done
# debootstrap's own one-line list would name the archive a second time.
if compgen -G "$ROOTFS/etc/apt/sources.list.d/*.sources" >/dev/null && [ ! -e /etc/apt/sources.list ]; then
  "${as_root[@]}" rm -f "$ROOTFS/etc/apt/sources.list"
fi
copy_in /etc/pip.conf /etc/xdg/pip /etc/ssl/certs/ca-certificates.crt /etc/resolv.conf
# The bundle again as a local authority: the set-up installs Debian's
# ca-certificates, which makes the bundle anew from the authorities it
# knows and the local ones, and would drop any the machine added (a proxy's).
"${as_root[@]}" mkdir -p "$ROOTFS/usr/local/share/ca-certificates"
"${as_root[@]}" cp -L /etc/ssl/certs/ca-certificates.crt \
  "$ROOTFS/usr/local/share/ca-certificates/machine-bundle.crt"

# ---- the repository: its committed HEAD
"${as_root[@]}" git clone --quiet --no-hardlinks "$PWD" "$ROOTFS/root/unit"
if [ "${1:-}" = --uncommitted ]; then
  git diff HEAD | "${as_root[@]}" git -C "$ROOTFS/root/unit" apply --allow-empty
fi
echo "== cloned $(git -C "$ROOTFS/root/unit" log -1 --format='%h %s')"

# ---- README command 1 in the chroot, with a clean environment
"${as_root[@]}" mount -t proc proc "$ROOTFS/proc"
"${as_root[@]}" mount --rbind /dev "$ROOTFS/dev"
"${as_root[@]}" mount --make-rslave "$ROOTFS/dev"
started=$SECONDS
"${as_root[@]}" chroot "$ROOTFS" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  bash -c 'cd /root/unit && . /etc/os-release && echo "== $PRETTY_NAME" || exit 1
           if bash tools/setup.sh && .venv/bin/python examples/demo.py; then
             echo "== $(.venv/bin/python --version) on $PRETTY_NAME: README command 1 passed"
           else
             echo "== README command 1 failed on $PRETTY_NAME"
             exit 1
           fi' || status=$?
echo "   set-up and demo: $((SECONDS - started)) s"
exit "${status:-0}"

#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root and uses it there as a person
# would: builds the package (scripts/package.sh), makes the root with debootstrap
# (build-package/root; Debian's package registry must be reachable), installs the package
# with apt-get so that its dependencies come from the registry, then runs the programs,
# the golden outputs, the manual page look-up and the window (offscreen). Prints the
# time of every step. Needs root (debootstrap, chroot, mount); run inside a chroot, it
# needs /proc, /sys and /dev mounted there. Everything it downloads or makes
# stays in build-package/.
#   scripts/test-package.sh            # the whole run
#   DEBIAN_MIRROR=http://... scripts/test-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "$0: needs root (debootstrap, chroot): run it as root" >&2; exit 1; }
  exec sudo "$0" "$@"
fi
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
root=$(pwd)/build-package/root
times=()

step() {  # step NAME COMMAND...: runs the command, prints its output and its time
  local name=$1 start end
  shift
  echo "== $name"
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  times+=("$(awk -v n="$name" -v s="$start" -v e="$end" 'BEGIN { printf "%-44s %7.2f s", n, e - s }')")
}

# A command in the root, with its own /proc (gone when the command ends, so no mount is
# left behind) and a plain environment. unshare first makes the mounts of / private,
# which fails inside a plain chroot (where / is no mount point); there the root gets a
# /proc mounted once (mount_proc), unmounted when this script ends.
isolated=true
unshare --mount true 2>/dev/null || isolated=false
in_root() {
  local run=(chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
    LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime DEBIAN_FRONTEND=noninteractive "$@")
  if $isolated; then
    unshare --mount --pid --fork --mount-proc="$root/proc" "${run[@]}"
  else
    "${run[@]}"
  fi
}
unmount_proc() {
  if mountpoint -q "$root/proc"; then umount "$root/proc"; fi
}
trap unmount_proc EXIT

build_package() {
  scripts/package.sh | grep -v '^\['
}

make_root() {
  unmount_proc
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
    { tail -n 20 "$root.log"; return 1; }
  tail -n 1 "$root.log"
  $isolated || mount -t proc proc "$root/proc"
  # As an installed system has it: the updates and the security archive too.
  cat >"$root/etc/apt/sources.list" <<EOT
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security} bookworm-security main
EOT
}

install_package() {
  local deb
  deb=$(ls build-package/lumiveil-maker_*.deb)
  cp "$deb" "$root/tmp/"
  mkdir -p "$root/tmp/runtime"
  chmod 700 "$root/tmp/runtime"
  in_root apt-get update -qq
  # man-db for `man -w`; the package itself needs no manual reader.
  in_root apt-get install -y -qq "/tmp/$(basename "$deb")" man-db >"$root/tmp/apt.log" 2>&1 ||
    { tail -n 30 "$root/tmp/apt.log"; return 1; }
  in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' lumiveil-maker
  echo "packages in the root: $(in_root dpkg-query -W -f='.\n' | wc -l)"
}

plugins() {
  local out
  out=$(in_root lumiveil plugins)
  echo "$out" | head -n 16
  local found
  found=$(grep -cE '^/usr/lib/susie/(png|jpeg|gif)\.spi$' <<<"$out")
  [ "$found" = 3 ] || { echo "FAIL: $found of the three plug-ins found in /usr/lib/susie"; return 1; }
  echo "the three plug-ins are found in /usr/lib/susie"
}

examples=/usr/share/doc/lumiveil-maker/examples

synth_gif() {
  in_root lumiveil synth $examples/astronaut.png $examples/rocket.jpg -o /tmp/result.gif
  in_root lumiveil info /tmp/result.gif
  [ "$(head -c 3 "$root/tmp/result.gif")" = GIF ] || { echo "FAIL: no GIF file"; return 1; }
}

synth_png() {
  if ! in_root lumiveil help synth | grep -q '\.png'; then
    echo "skipped: this lumiveil writes no PNG yet"
    return 0
  fi
  in_root lumiveil synth $examples/astronaut.png $examples/rocket.jpg -o /tmp/result.png
  in_root lumiveil info /tmp/result.png
  [ "$(head -c 8 "$root/tmp/result.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
    { echo "FAIL: no PNG file"; return 1; }
}

golden() {
  # Every command on the bundled pictures, byte for byte as the developers' build writes
  # them: the package's build (hardening flags, stripped) must write the same bytes.
  rm -rf "$root/tmp/golden"
  cp -r tests/golden "$root/tmp/golden"
  in_root /tmp/golden/check.sh /usr/bin $examples /tmp/golden-work
  echo "the package's lumiveil writes every golden output byte for byte"
}

manual() {
  in_root man -w lumiveil
  in_root man -w lumiveil-maker
  in_root sh -c 'MANWIDTH=80 man lumiveil 2>&1 | head -n 4'
}

window() {
  # --quit-after-start closes the window once its event loop runs, i.e. when it is up.
  local out rc=0
  out=$(in_root timeout 60 env QT_QPA_PLATFORM=offscreen lumiveil-maker --quit-after-start \
    $examples/coffee.bmp $examples/chelsea.bmp 2>&1) || rc=$?
  echo "$out"
  [ "$rc" = 0 ] || { echo "FAIL: exit status $rc"; return 1; }
  if grep -q '^lumiveil-maker:' <<<"$out"; then
    echo "FAIL: the window did not load its pictures"
    return 1
  fi
  echo "the window came up with both pictures and closed"
}

all_start=$(date +%s.%N)
step "build the package (scripts/package.sh)" build_package
step "debootstrap a Debian 12 root" make_root
step "apt-get install the package" install_package
step "lumiveil --version" in_root lumiveil --version
step "lumiveil plugins" plugins
step "lumiveil synth PNG + JPEG -> GIF" synth_gif
step "lumiveil synth PNG + JPEG -> PNG" synth_png
step "golden outputs with the installed lumiveil" golden
step "man -w lumiveil" manual
step "lumiveil-maker offscreen, up and closed" window
echo "== times"
printf '%s\n' "${times[@]}"
awk -v s="$all_start" -v e="$(date +%s.%N)" 'BEGIN { printf "%-44s %7.1f s\n", "total", e - s }' 
echo "test-package: passed"

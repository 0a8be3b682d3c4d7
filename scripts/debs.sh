#!/usr/bin/env bash
# Builds the Debian packages libtovra1, libtovra-dev and tovra-solve for amd64
# and i386 with CPack (cmake/packaging.cmake), checks them with lintian (an
# error fails the run; warnings are printed), installs both architectures'
# library packages side by side with dpkg -i, builds and runs the consumer
# against them with the README's own command lines for each architecture
# (tests/packaging/consume.cmake), runs the installed tovra-solve of each
# architecture, and removes the packages again, also when a step fails.
#
# Usage: scripts/debs.sh [build-root]     (default: build-debs/ in the tree)
# Needs root (dpkg), lintian, dpkg-dev and file (dpkg-shlibdeps and CPack's
# use of it), g++-multilib, and the i386 C and C++ runtimes (libc6:i386,
# libstdc++6:i386) that the i386 packages depend on; .ci/run installs them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-debs}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=$(($(nproc) < 2 ? $(nproc) : 2))
# The same change-log date in both architectures' packages: their shared
# files must be identical.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}

if dpkg-query -W -f '${Package}:${Architecture} ${db:Status-Abbrev}\n' 'libtovra*' 'tovra-solve' 2>/dev/null |
  grep -q ' ii'; then
  echo "tovra packages are installed already; remove them first (dpkg -r)" >&2
  exit 1
fi

# An install under /usr/local (cmake --install) comes before the packages in
# pkg-config's search order, as in the compiler's and the linker's: the
# consumer would then be built against it, not against what was packaged.
packaged=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/pkgconfig
for dir in $(pkg-config --variable pc_path pkg-config | tr : ' '); do
  [ "$dir" = "$packaged" ] && break
  if [ -e "$dir/tovra.pc" ]; then
    echo "warning: $dir/tovra.pc comes before $packaged in pkg-config's search order and shadows" \
      "the packaged library; uninstall it first (README.md, install_manifest.txt)" >&2
  fi
done

debs=()
for arch in amd64 i386; do
  dir=$out/$arch
  extra=()
  [ "$arch" = i386 ] && extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386.cmake")
  echo "== $arch: configure, build and package in $dir"
  rm -f "$dir"/*.deb
  JOBS=$jobs "$root/scripts/build-suite.sh" "$dir" -DCMAKE_INSTALL_PREFIX=/usr -DTOVRA_BUILD_TESTS=OFF \
    -DTOVRA_BUILD_EXAMPLES=ON "${extra[@]}" >/dev/null
  (cd "$dir" && cpack -G DEB >/dev/null)
  debs+=("$dir"/*.deb)
done
for deb in "${debs[@]}"; do
  echo "   $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done

# Expected warnings: initial-upload-closes-no-bugs (the packages are not
# uploaded to Debian's archive, so no bug report asks for them).
echo "== lintian"
lintian --fail-on error "${debs[@]}"

version=$(dpkg-deb -f "$out"/amd64/libtovra1_*.deb Version)
installed=()
cleanup() {
  if [ ${#installed[@]} -gt 0 ]; then
    echo "== dpkg -r ${installed[*]}"
    dpkg -r "${installed[@]}" >/dev/null
  fi
}
trap cleanup EXIT

echo "== dpkg -i: both architectures' libtovra1 and libtovra-dev, tovra-solve:amd64"
dpkg -i "$out"/amd64/*.deb "$out"/i386/libtovra1_*.deb "$out"/i386/libtovra-dev_*.deb >/dev/null
installed=(tovra-solve libtovra-dev:amd64 libtovra-dev:i386 libtovra1:amd64 libtovra1:i386)

for arch in x86_64 i386; do
  echo "== $arch: the README's consumer lines against /usr"
  cmake -DREADME="$root/README.md" -DARCH=$arch -DPREFIX=/usr -DSOURCE="$root" -DLIBDIR=lib/$arch-linux-gnu \
    -DCONSUMER="$root/tests/packaging/consumer" -DWORK="$out/consume-$arch" -DVERSION="${version%-*}" \
    -P "$root/tests/packaging/consume.cmake"
done

# The solver of each architecture in turn (the two cannot be installed at
# once: both are /usr/bin/tovra-solve).
for arch in amd64 i386; do
  [ "$arch" = i386 ] && dpkg -i "$out"/i386/tovra-solve_*.deb >/dev/null
  echo "== tovra-solve:$arch, installed: the built-in example"
  file -L /usr/bin/tovra-solve | sed 's/,.*//'
  /usr/bin/tovra-solve | diff -u "$root/tests/data/solve/builtin.out" -
  dpkg -L tovra-solve | grep "/man1/" || echo "   (tovra-solve has no man page)"
done
echo "== Debian packages: built, lintian-clean, installed, consumed and run on amd64 and i386"

#!/bin/sh
# Usage: check-exports.sh LIBRARY EXPORT_LIST
# The shared object's defined dynamic symbols, demangled by c++filt, must be
# exactly the non-comment lines of EXPORT_LIST; its NEEDED entries must lie
# within the C++ runtime, libm, libc and libgcc_s; its SONAME must be
# libtovra.so.1.
set -eu
lib=$1
list=$2
for tool in nm c++filt readelf; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found (binutils)"; exit 1; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LC_ALL=C
status=0

# Names only: nm prints "value type name"; the demangled name may hold spaces.
nm -D --defined-only "$lib" >"$tmp/nm"
c++filt <"$tmp/nm" | sed -n 's/^[0-9a-fA-F]* [A-Za-z] //p' >"$tmp/names"
if [ ! -s "$tmp/names" ] || [ "$(wc -l <"$tmp/names")" -ne "$(wc -l <"$tmp/nm")" ]; then
  echo "FAIL: cannot read the symbols of $lib:"; cat "$tmp/nm"; exit 1
fi
sort -u "$tmp/names" >"$tmp/exported"
grep '^[^#]' "$list" | sort -u >"$tmp/listed"
comm -23 "$tmp/exported" "$tmp/listed" >"$tmp/extra"
comm -13 "$tmp/exported" "$tmp/listed" >"$tmp/missing"
if [ -s "$tmp/extra" ]; then
  echo "FAIL: exported but not listed in $list:"; sed 's/^/  /' "$tmp/extra"; status=1
fi
if [ -s "$tmp/missing" ]; then
  echo "FAIL: listed in $list but not exported:"; sed 's/^/  /' "$tmp/missing"; status=1
fi
echo "$(wc -l <"$tmp/exported") symbols exported, $(wc -l <"$tmp/listed") listed"

readelf -d "$lib" >"$tmp/dynamic"
sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' "$tmp/dynamic" >"$tmp/needed"
for dep in $(cat "$tmp/needed"); do
  case $dep in
  libstdc++.so.6 | libm.so.6 | libc.so.6 | libgcc_s.so.1) ;;
  *) echo "FAIL: unexpected dependency $dep"; status=1 ;;
  esac
done
echo "NEEDED: $(tr '\n' ' ' <"$tmp/needed")"
soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p' "$tmp/dynamic")
if [ "$soname" != libtovra.so.1 ]; then
  echo "FAIL: SONAME is '$soname', not libtovra.so.1"; status=1
fi
exit $status

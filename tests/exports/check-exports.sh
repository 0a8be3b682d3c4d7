#!/bin/sh
# Usage: check-exports.sh LIBRARY EXPORT_LIST [OBJDUMP]
# The library's exported symbols, demangled by c++filt, must be exactly the
# non-comment lines of EXPORT_LIST; it needs only the C++ runtime and the
# system's C library, and calls itself by its versioned name.
#   ELF: the defined dynamic symbols, NEEDED and SONAME (libtovra.so.1).
#   PE (a .dll, read with the target's OBJDUMP): the export table, the
#        imported DLLs and the export table's name (libtovra-1.dll).
set -eu
lib=$1
list=$2
case $lib in
*.dll) format=pe objdump=${3:-objdump} tools="$objdump c++filt" ;;
*) format=elf tools="nm c++filt readelf" ;;
esac
for tool in $tools; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found (binutils)"; exit 1; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LC_ALL=C
status=0

if [ $format = pe ]; then
  "$objdump" -p "$lib" >"$tmp/pe"
  # "[   n] name" lines, up to the blank line that ends the table.
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' "$tmp/pe" >"$tmp/nm"
  c++filt <"$tmp/nm" >"$tmp/names"
else
  # Names only: nm prints "value type name"; the demangled name may hold spaces.
  nm -D --defined-only "$lib" >"$tmp/nm"
  c++filt <"$tmp/nm" | sed -n 's/^[0-9a-fA-F]* [A-Za-z] //p' >"$tmp/names"
fi
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

if [ $format = pe ]; then
  sed -n 's/^\tDLL Name: //p' "$tmp/pe" >"$tmp/needed"
  allowed="KERNEL32.dll msvcrt.dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll"
  name=$(sed -n 's/^Name[ \t]*[0-9a-fA-F]* //p' "$tmp/pe")
  expected=libtovra-1.dll
else
  readelf -d "$lib" >"$tmp/dynamic"
  sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' "$tmp/dynamic" >"$tmp/needed"
  allowed="libstdc++.so.6 libm.so.6 libc.so.6 libgcc_s.so.1"
  name=$(sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p' "$tmp/dynamic")
  expected=libtovra.so.1
fi
for dep in $(cat "$tmp/needed"); do
  case " $allowed " in
  *" $dep "*) ;;
  *) echo "FAIL: unexpected dependency $dep"; status=1 ;;
  esac
done
echo "needs: $(tr '\n' ' ' <"$tmp/needed")"
if [ "$name" != $expected ]; then
  echo "FAIL: the library calls itself '$name', not $expected"; status=1
fi
exit $status

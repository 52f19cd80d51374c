#!/usr/bin/env bash
# Packaging check: builds the library (and the tool, when present) for the
# /usr prefix, installs it into a temporary prefix and builds three consumer
# programs against that install, the way a user would:
#   listing_pc       C11, `pkg-config --cflags --libs idprom` (libidprom.so)
#   listing_pc_static C11, fully static, `pkg-config --static ...` (libidprom.a)
#   listing, listing_static  the CMake project in cmake/ (find_package,
#                    idprom::idprom and idprom::static)
# Each prints the field listing of examples/sample.bin; all must equal
# tests/golden/sample_listing.txt (and the tool's `show`).  Then the README's snippets
# must equal these sources, and the Debian packages are built and their
# contents checked; as root under CI (or with --dpkg) they are installed,
# used and removed again.  The Python package (python3-idprom) is part of
# both: imported from the temporary prefix and from the installed package.
#   tests/consumers/run.sh [--dpkg]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/package
sample=$root/examples/sample.bin
expected=$here/../golden/sample_listing.txt
dpkg_test=false
if [ "${1:-}" = --dpkg ] || { [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; }; then
  dpkg_test=true
fi

work=$(mktemp -d)
installed_packages=""
cleanup() {
  if [ -n "$installed_packages" ]; then
    # shellcheck disable=SC2086
    dpkg --purge $installed_packages >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "packaging: $*" >&2; exit 1; }
same() {  # name, file: the file must equal the expected listing
  diff -u --label expected --label "$1" "$expected" "$2" || fail "$1 printed another listing"
  echo "ok: $1"
}

echo "--- build for /usr and install into a temporary prefix"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DIDPROM_BUILD_TESTS=OFF -DIDPROM_BUILD_EXAMPLES=OFF -DIDPROM_PYTHON=ON >/dev/null
cmake --build "$build" -j2 >/dev/null
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name libidprom.so.0 -print -quit)")
have_tool=false
[ -e "$root/tools/idprom/CMakeLists.txt" ] && have_tool=true
for f in include/idprom.h "${libdir#"$prefix"/}"/{libidprom.so.0,libidprom.so,libidprom.a,pkgconfig/idprom.pc} \
         "${libdir#"$prefix"/}"/cmake/idprom/{idpromConfig.cmake,idpromConfigVersion.cmake,idpromTargets.cmake}; do
  [ -e "$prefix/$f" ] || fail "missing after install: $f"
done
[ "$(readlink "$libdir/libidprom.so")" = libidprom.so.0 ] || fail "libidprom.so does not point at libidprom.so.0"
real=$(readlink "$libdir/libidprom.so.0")
[[ $real =~ ^libidprom\.so\.0\.[0-9]+\.[0-9]+$ ]] || fail "libidprom.so.0 points at $real"
if $have_tool; then
  for f in bin/idprom include/idprom.hpp share/man/man1/idprom.1 share/bash-completion/completions/idprom; do
    [ -e "$prefix/$f" ] || fail "missing after install: $f"
  done
fi
echo "ok: install tree ($real)"

echo "--- consumers"
export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -std=c11 -Wall -Wextra -Wpedantic -Werror "$root/examples/list_fields.c" $(pkg-config --cflags --libs idprom) \
   -o "$work/listing_pc"
# The program finds libidprom.so.0 of the temporary prefix, not another one.
LD_LIBRARY_PATH=$libdir ldd "$work/listing_pc" | grep "libidprom.so.0 => $libdir/" >/dev/null ||
  fail "listing_pc does not load $libdir/libidprom.so.0"
LD_LIBRARY_PATH=$libdir "$work/listing_pc" "$sample" >"$work/pc.txt"
same listing_pc "$work/pc.txt"

cc -std=c11 -Wall -Wextra -Wpedantic -Werror -static "$root/examples/list_fields.c" \
   $(pkg-config --static --cflags --libs idprom) -o "$work/listing_pc_static"
if readelf -d "$work/listing_pc_static" | grep NEEDED >/dev/null; then
  fail "listing_pc_static is not statically linked"
fi
"$work/listing_pc_static" "$sample" >"$work/pc_static.txt"
same listing_pc_static "$work/pc_static.txt"

cmake -S "$here/cmake" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/listing" "$sample" >"$work/cmake.txt"
same "listing (CMake, idprom::idprom)" "$work/cmake.txt"
"$work/cmake/listing_static" "$sample" >"$work/cmake_static.txt"
same "listing_static (CMake, idprom::static)" "$work/cmake_static.txt"

# Both CMake programs: the shared one loads libidprom.so.0, the static one nothing.
readelf -d "$work/cmake/listing" | grep "NEEDED.*\[libidprom\.so\.0\]" >/dev/null ||
  fail "listing (CMake) does not load libidprom.so.0"
if readelf -d "$work/cmake/listing_static" | grep "NEEDED.*libidprom" >/dev/null; then
  fail "listing_static (CMake) loads libidprom"
fi

# A C-only CMake project links idprom::static with the C compiler, without
# the C++ run time (the package declares the archive's link language C).
mkdir -p "$work/c_static"
printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(serial LANGUAGES C)' \
  'find_package(idprom 0.2 CONFIG REQUIRED)' "add_executable(serial $here/embed/serial.c)" \
  'target_link_libraries(serial PRIVATE idprom::static)' >"$work/c_static/CMakeLists.txt"
cmake -S "$work/c_static" -B "$work/c_static/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/c_static/build" >/dev/null
[ "$("$work/c_static/build/serial")" = "IDPROM_OK SN000000042 11" ] || fail "the C program on idprom::static failed"
if readelf -d "$work/c_static/build/serial" | grep -q 'libstdc++'; then fail "the C program needs libstdc++"; fi
echo "ok: serial (C, CMake, idprom::static) without the C++ run time"

# The CMake package's version rule is the SONAME's: a request is met by any
# version with the same major number that is not older.
mkdir -p "$work/version"
printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(version NONE)' \
  'find_package(idprom ${want} CONFIG QUIET)' 'message(STATUS "found=${idprom_FOUND}")' \
  >"$work/version/CMakeLists.txt"
version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$libdir/cmake/idprom/idpromConfigVersion.cmake")
major=${version%%.*}
for want in "$major:1" "$version:1" "$major.0:1" "$((major + 1)):0" "$major.999:0"; do
  rm -rf "$work/version/build"
  found=$(cmake -S "$work/version" -B "$work/version/build" -Didprom_DIR="$libdir/cmake/idprom" \
                -Dwant="${want%:*}" | sed -n 's/^-- found=//p')
  [ "$found" = "${want#*:}" ] || fail "find_package(idprom ${want%:*}) gives found=$found for $version"
done
echo "ok: find_package(idprom VERSION) follows the SONAME ($version)"

# The Python package, from the prefix's site-packages (built for /usr, it
# has no search path of its own either); one call that goes through the
# library and the front-end core.
py_check='import idprom, sys; assert idprom.__file__.startswith(sys.argv[1]), idprom.__file__; print(idprom.Image.open(sys.argv[2]).get("pid"))'
pid=$(cd "$work" && PYTHONPATH=$prefix/lib/python3/dist-packages LD_LIBRARY_PATH=$libdir /usr/bin/python3 -c "$py_check" "$prefix/" "$sample")
[ "$pid" = LC-TEST-01 ] || fail "the Python package from the prefix read pid '$pid'"
echo "ok: import idprom from $prefix/lib/python3/dist-packages"

if $have_tool; then
  # Built for /usr, the tool has no search path of its own.
  LD_LIBRARY_PATH=$libdir "$prefix/bin/idprom" --version
  # The tool prints the listing without its leading newline.
  { echo; LD_LIBRARY_PATH=$libdir "$prefix/bin/idprom" show "$sample"; } >"$work/show.txt"
  same "idprom show" "$work/show.txt"
fi

echo "--- README snippets"
"$here/check_readme.sh" "$root/README.md"

echo "--- Debian packages"
debs=$work/debs
(cd "$build" && cpack -G DEB -B "$debs" >/dev/null)
contents() { dpkg-deb --contents "$debs/$1"_*.deb | awk '{print $6}' | sed 's|^\./|/|'; }
expect_in() {  # package, path pattern
  contents "$1" | grep -x "$2" >/dev/null || fail "package $1 lacks $2"
}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
lib=/usr/lib/$multiarch
expect_in libidprom0 "$lib/libidprom\.so\.0"
expect_in libidprom0 "$lib/libidprom\.so\.0\.[0-9]*\.[0-9]*"
[ "$(contents libidprom0 | grep -c '[^/]$')" -eq 2 ] || fail "libidprom0 holds more than the library"
for f in /usr/include/idprom\.h "$lib/libidprom\.so" "$lib/libidprom\.a" "$lib/pkgconfig/idprom\.pc" \
         "$lib/cmake/idprom/idpromConfig\.cmake"; do
  expect_in libidprom-dev "$f"
done
packages="libidprom0 libidprom-dev"
expect_in python3-idprom "/usr/lib/python3/dist-packages/idprom/__init__\.py"
expect_in python3-idprom "/usr/lib/python3/dist-packages/idprom/_idprom\..*\.so"
packages="$packages python3-idprom"
if $have_tool; then
  expect_in libidprom-dev /usr/include/idprom\.hpp
  expect_in idprom /usr/bin/idprom
  expect_in idprom "/usr/share/man/man1/idprom\.1.*"
  expect_in idprom /usr/share/bash-completion/completions/idprom
  packages="$packages idprom"
  # A static tool loads no library, and its package depends on none of ours.
  if ! readelf -d "$build/tools/idprom/idprom" | grep -q NEEDED; then
    if dpkg-deb -f "$debs"/idprom_*.deb Depends | grep -q libidprom; then
      fail "the static tool's package depends on libidprom0"
    fi
  fi
fi
for p in $packages; do
  echo "$p $(dpkg-deb -f "$debs/$p"_*.deb Version), depends: $(dpkg-deb -f "$debs/$p"_*.deb Depends)"
  contents "$p" | grep -v '/$' | sed 's/^/    /'
done

if ! $dpkg_test; then
  echo "packaging: skipping dpkg -i (needs root under CI, or --dpkg)"
  exit 0
fi
for p in $packages; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "ok installed" >/dev/null; then
    fail "$p is already installed; not replacing it"
  fi
done
installed_packages=$packages
# shellcheck disable=SC2046
dpkg -i $(for p in $packages; do echo "$debs/$p"_*.deb; done) >/dev/null
cc -std=c11 -Wall -Wextra -Wpedantic -Werror "$root/examples/list_fields.c" $(env -u PKG_CONFIG_PATH pkg-config --cflags --libs idprom) \
   -o "$work/listing_system"
"$work/listing_system" "$sample" >"$work/system.txt"
same "listing against the installed packages" "$work/system.txt"
if $have_tool; then
  /usr/bin/idprom --version
  if command -v man >/dev/null; then
    man -w idprom | grep '^/usr/share/man/man1/idprom\.1' >/dev/null || fail "man finds no idprom page"
  fi
  echo "ok: idprom --version and its manual page from the package"
fi
pid=$(cd "$work" && /usr/bin/python3 -c "$py_check" /usr/lib/python3/dist-packages/ "$sample")
[ "$pid" = LC-TEST-01 ] || fail "the installed Python package read pid '$pid'"
echo "ok: import idprom from the python3-idprom package"
dpkg --purge $packages >/dev/null
installed_packages=""
echo "ok: packages installed, used and removed"

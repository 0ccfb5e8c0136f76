#!/usr/bin/env bash
# Builds the Debian package with Debian's compiler flags and checks it: lintian, its file list
# against the install tree, its control fields. The package goes to out/package/.
# Install it with: sudo apt install ./out/package/tavrin_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
build=build/package out=$PWD/out/package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DTAVRIN_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)"
mkdir -p "$out"
rm -f "$out"/tavrin_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/tavrin_*.deb)

dpkg-deb --info "$deb"
echo "--- lintian"
lintian --info --display-info "$deb" || { echo "lintian found errors" >&2; exit 1; }

echo "--- files"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
DESTDIR=$tree cmake --install "$build" --strip >/dev/null
diff <(cd "$tree" && find . ! -type d | sort) <(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sort) ||
    { echo "the package's files differ from the install tree" >&2; exit 1; }
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}'
echo "--- $deb"

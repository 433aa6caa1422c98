#!/bin/sh
# Builds the artefacts a user installs into build/dist/: the win64 zip and MSI (from the
# `windows` preset, Release), the Debian package of boxquill-cli (CPack over the `native`
# preset, RelWithDebInfo: -O2 and NDEBUG as a release, the debug information stripped) and
# SHA256SUMS over them.
#   tools/dist.sh            JOBS=N sets the build's parallel jobs (default: nproc)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}
version=$(sed -n 's/^project(boxquill VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "dist.sh: no version in CMakeLists.txt" >&2; exit 1; }
dist=$root/build/dist
rm -rf "$dist"
mkdir -p "$dist"

# The programs: the tests' own build trees are reused (make test has built them), only the
# shipped targets are asked for. (GCC 12 at -O3 warns wrongly about std::string's copies,
# which is one more reason the deb is built at -O2, as Debian builds its packages.)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target boxquill boxquill-cli
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" \
    --target boxquill-cli boxquill-cli-reference boxquill-changelog

# The zip: the two programs, with the README and the licence as Windows text files.
name=boxquill-$version-win64
stage=$dist/stage/$name
mkdir -p "$stage"
for exe in ui/win32/boxquill.exe cli/boxquill-cli.exe; do
    x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "build/windows/$exe"
done
sed 's/\r*$/\r/' README.md >"$stage/README.txt"
sed 's/\r*$/\r/' LICENSE >"$stage/LICENSE.txt"
# The programs hold code of CLI11, nlohmann/json and RapidXml (in the Debian copyright file)
# and, statically linked, of the mingw-w64 runtime and winpthreads: their notices, as this
# machine's toolchain package states them.
{
    cat packaging/copyright
    printf '\nThe Windows programs are statically linked with the mingw-w64 runtime and its\n'
    printf 'winpthreads library (and with libstdc++ and libgcc, under the GCC Runtime Library\n'
    printf 'Exception). The copyright file of the mingw-w64 package they were built with:\n\n'
    cat /usr/share/doc/mingw-w64-x86-64-dev/copyright
} | sed 's/\r*$/\r/' >"$stage/THIRD-PARTY.txt"
(cd "$dist/stage" && zip -q -X -r "$dist/$name.zip" "$name")

# The MSI: wixl finds the files in the folder it runs in. It writes no Environment table,
# so the PATH entry and the two actions that apply it are added to the built database.
cp ui/win32/boxquill.ico "$stage/"
(cd "$stage" && wixl -a x64 -D Version="$version" -o "$dist/$name.msi" \
    "$root/packaging/boxquill.wxs" 2>&1 | grep -v 'builder.vala.*unimplemented' || true)
[ -s "$dist/$name.msi" ] || { echo "dist.sh: wixl wrote no MSI" >&2; exit 1; }
msibuild "$dist/$name.msi" -i "$root/packaging/environment.idt" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)"

# The Debian package.
(cd build/native && cpack -G DEB -B "$dist/deb" >/dev/null)
mv "$dist"/deb/boxquill-cli_"$version"_*.deb "$dist/"
rm -rf "$dist/deb" "$dist/stage"

(cd "$dist" && sha256sum -- *.zip *.msi *.deb >SHA256SUMS)
echo "dist.sh: in $dist:"
ls -l "$dist"

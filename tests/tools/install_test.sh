#!/usr/bin/env bash
# What `cmake --install` puts where, and the Debian package CPack builds from it: the programs
# (which run from there), the effect, the bundled level and the documents.
#   bash tests/tools/install_test.sh BUILD_DIR
set -uo pipefail
BUILD=$1
source "$(dirname "$0")/check.sh"

INSTALLED=(usr/bin/krovane usr/bin/krovane-shot usr/bin/krovane-dr usr/bin/krovane-import
    usr/share/krovane/fx/vek_Phong.fx usr/share/krovane/demo/POLYGON01 usr/share/krovane/demo/models/crate.x
    usr/share/doc/krovane/README.md usr/share/doc/krovane/docs/level-check.md)

DESTDIR="$WORK/root" cmake --install "$BUILD" --prefix /usr >"$WORK/log" 2>&1
check "cmake --install succeeds" test $? -eq 0 || tail -1 "$WORK/log" >&2
for file in "${INSTALLED[@]}"; do check "installs $file" test -s "$WORK/root/$file"; done
check "nothing of a run is installed" test -z "$(find "$WORK/root" -name LOG.dr -o -name 'shot_*.png')"
check "the installed viewer runs" grep -q '^krovane ' <<<"$("$WORK/root/usr/bin/krovane" --version)"
cp "$(dirname "$0")/../../demo/models/crate.x" "$WORK/crate.x"
KROVANE_NO_CACHE=1 TMPDIR=$WORK "$WORK/root/usr/bin/krovane-shot" --check "$WORK/crate.x" >"$WORK/log" 2>&1
check "the installed tools show a model with the installed effect and textures" test $? -eq 0

if command -v cpack >/dev/null && command -v dpkg-deb >/dev/null; then
    (cd "$BUILD" && cpack -G DEB -B "$WORK/deb") >"$WORK/log" 2>&1
    check "cpack -G DEB succeeds" test $? -eq 0 || tail -1 "$WORK/log" >&2
    deb=$(find "$WORK/deb" -maxdepth 1 -name 'krovane_*.deb' | head -1)
    contents=$(dpkg-deb -c "$deb" 2>/dev/null)
    for file in "${INSTALLED[@]}"; do check "the package holds $file" grep -q " \./$file\$" <<<"$contents"; done
    check "the package depends on SDL and the fonts" \
        grep -q 'libsdl2.*fonts-dejavu-core\|fonts-dejavu-core.*libsdl2' <<<"$(dpkg-deb -f "$deb" Depends 2>/dev/null)"
fi

finish

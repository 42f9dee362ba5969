#!/usr/bin/env bash
# What `cmake --install` puts where, and the Debian package CPack builds from it: the programs
# (which run from there), the effect, the bundled level, the documents, and the desktop's menu entry,
# file type and thumbnailer for .x models.
#   bash tests/tools/install_test.sh BUILD_DIR
set -uo pipefail
BUILD=$1
source "$(dirname "$0")/check.sh"

INSTALLED=(usr/bin/krovane usr/bin/krovane-shot usr/bin/krovane-dr usr/bin/krovane-import
    usr/share/krovane/fx/vek_Phong.fx usr/share/krovane/fx/krovane_model.fx
    usr/share/krovane/demo/POLYGON01 usr/share/krovane/demo/models/crate.x
    usr/share/doc/krovane/README.md usr/share/doc/krovane/docs/level-check.md
    usr/share/applications/krovane.desktop usr/share/mime/packages/krovane.xml usr/share/thumbnailers/krovane.thumbnailer)

DESTDIR="$WORK/root" cmake --install "$BUILD" --prefix /usr >"$WORK/log" 2>&1
check "cmake --install succeeds" test $? -eq 0 || tail -1 "$WORK/log" >&2
for file in "${INSTALLED[@]}"; do check "installs $file" test -s "$WORK/root/$file"; done
check "nothing of a run is installed" test -z "$(find "$WORK/root" -name LOG.dr -o -name 'shot_*.png')"
check "the installed viewer runs" grep -q '^krovane ' <<<"$("$WORK/root/usr/bin/krovane" --version)"
cp "$(dirname "$0")/../../demo/models/crate.x" "$WORK/crate.x"
KROVANE_NO_CACHE=1 TMPDIR=$WORK "$WORK/root/usr/bin/krovane-shot" --check "$WORK/crate.x" >"$WORK/log" 2>&1
check "the installed tools show a model with the installed effect and textures" test $? -eq 0

# The desktop files: a valid menu entry, a well-formed file type that tells every form of .x by its first bytes
# (read through the MIME tools, as a desktop does), and a thumbnailer that runs krovane-shot.
SHARE=$WORK/root/usr/share
check "the menu entry is valid ($(desktop-file-validate "$SHARE/applications/krovane.desktop" 2>&1))" \
    desktop-file-validate "$SHARE/applications/krovane.desktop"
check "the menu entry opens the file or folder given, or the welcome level" grep -qx 'Exec=krovane --welcome %f' "$SHARE/applications/krovane.desktop"
check "the file type is well-formed XML" xmllint --noout "$SHARE/mime/packages/krovane.xml"
check "no MIME database of its own is installed" test ! -e "$SHARE/mime/mime.cache"
mkdir -p "$WORK/types/mime/packages" && cp "$SHARE/mime/packages/krovane.xml" "$WORK/types/mime/packages/"
check "update-mime-database reads the file type" update-mime-database "$WORK/types/mime" 2>/dev/null
type_of() { XDG_DATA_HOME=$WORK/types XDG_DATA_DIRS=$WORK/types gio info -a standard::content-type "$1" 2>/dev/null |
    sed -n 's/.*content-type: //p'; }
cp "$WORK/root/usr/share/krovane/demo/models/crate.x" "$WORK/crate.x"
check "a .x file is model/x-directx" test "$(type_of "$WORK/crate.x")" = model/x-directx
for version in 0302 0303; do
    for form in 'txt ' 'bin ' tzip bzip; do  # named without .x: told by the signature alone
        printf 'xof %s%s0032\n' "$version" "$form" >"$WORK/types/signature"
        check "'xof $version$form' is model/x-directx" test "$(type_of "$WORK/types/signature")" = model/x-directx
    done
done
printf 'xof is not a model\n' >"$WORK/types/other"
check "another file is not model/x-directx" test "$(type_of "$WORK/types/other")" != model/x-directx
THUMBNAILER=$SHARE/thumbnailers/krovane.thumbnailer
check "the thumbnailer is for .x models" grep -qx 'MimeType=model/x-directx;' "$THUMBNAILER"
read -ra thumb <<<"$(sed -n 's/^Exec=//p' "$THUMBNAILER")"
check "the thumbnailer runs krovane-shot at the size asked" test "${thumb[0]} ${thumb[*]: -5}" = \
    'krovane-shot --size %sx%s --out %o %i'
check "the thumbnail is the model alone, on a transparent square" grep -qw -- --thumbnail <<<"${thumb[*]}"
thumb=("${thumb[@]//"%s"/128}")
echo broken >"$WORK/broken.x"
for model in crate broken; do
    run=("${thumb[@]//"%o"/$WORK/$model.png}") && run=("${run[@]//"%i"/$WORK/$model.x}")
    PATH=$BUILD/tools:$PATH XDG_CACHE_HOME=$WORK/cache "${run[@]}" >/dev/null 2>"$WORK/$model.log"
done
check "the thumbnail is 128 x 128 ($(tail -1 "$WORK/crate.log"))" test "$(picture "$WORK/crate.png" size)" = "128 128"
check "a model that does not load gets no thumbnail" test ! -e "$WORK/broken.png"

# Installed without staging, the desktop's databases under the prefix are brought up to date.
cmake --install "$BUILD" --prefix "$WORK/live" >"$WORK/log" 2>&1
check "the MIME database there knows .x" grep -qx 'model/x-directx' "$WORK/live/share/mime/types"
check "the menu database there opens .x with krovane" \
    grep -qx 'model/x-directx=krovane.desktop;' "$WORK/live/share/applications/mimeinfo.cache"

if command -v cpack >/dev/null && command -v dpkg-deb >/dev/null; then
    (cd "$BUILD" && cpack -G DEB -B "$WORK/deb") >"$WORK/log" 2>&1
    check "cpack -G DEB succeeds" test $? -eq 0 || tail -1 "$WORK/log" >&2
    deb=$(find "$WORK/deb" -maxdepth 1 -name 'krovane_*.deb' | head -1)
    contents=$(dpkg-deb -c "$deb" 2>/dev/null)
    for file in "${INSTALLED[@]}"; do check "the package holds $file" grep -q " \./$file\$" <<<"$contents"; done
    check "the package holds no MIME database" test -z "$(grep 'mime/mime.cache' <<<"$contents")"
    check "the package recommends the MIME database" grep -q shared-mime-info <<<"$(dpkg-deb -f "$deb" Recommends)"
    check "the package depends on SDL and the fonts" \
        grep -q 'libsdl2.*fonts-dejavu-core\|fonts-dejavu-core.*libsdl2' <<<"$(dpkg-deb -f "$deb" Depends 2>/dev/null)"
fi

finish

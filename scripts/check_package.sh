#!/usr/bin/env bash
# check_package.sh [FOLDER]: makes the Debian package from a built folder (build/ by default)
# and checks it: the desktop entry and the metainfo validate, the manual pages read without
# warnings, every installed file is in it, and the unpacked programs run.
# Installs nothing: the package is unpacked into a temporary folder.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

folder=$ROOT/${1:-build}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$folder/CMakeCache.txt")
deb=$folder/morvane_${version}_$(dpkg --print-architecture).deb

fail() {
    echo "check_package: $*" >&2
    exit 1
}

rm -f "$deb"
if ! report=$(cd "$folder" && cpack -G DEB 2>&1); then
    echo "$report" >&2
    fail "cpack failed in $folder"
fi

[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "$deb is not version $version"
contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
id=org.morvane.Morvane
for path in \
    usr/bin/morvane \
    usr/bin/morvane-batch \
    usr/share/applications/$id.desktop \
    usr/share/metainfo/$id.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/$id.svg \
    usr/share/icons/hicolor/48x48/apps/$id.png \
    usr/share/icons/hicolor/64x64/apps/$id.png \
    usr/share/icons/hicolor/128x128/apps/$id.png \
    usr/share/icons/hicolor/256x256/apps/$id.png \
    usr/share/man/man1/morvane.1.gz \
    usr/share/man/man1/morvane-batch.1.gz \
    usr/share/doc/morvane/README.md \
    usr/share/doc/morvane/copyright \
    usr/share/doc/morvane/changelog.gz; do
    grep -qxF "./$path" <<< "$contents" || fail "$path is missing from $deb"
done

unpacked=$(mktemp -d /tmp/morvane-package.XXXXXX)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
# Its hints count: one is all it says of a menu entry without a main category.
report=$(desktop-file-validate "$unpacked/usr/share/applications/$id.desktop" 2>&1) &&
    [ -z "$report" ] || fail "the desktop entry does not validate: $report"
# validate-tree: the metainfo's own checks, and that its launchable names a shipped entry.
if ! report=$(appstreamcli validate --no-net "$unpacked/usr/share/metainfo/$id.metainfo.xml" &&
    appstreamcli validate-tree --no-net "$unpacked/usr"); then
    echo "$report" >&2
    fail "the metainfo does not validate"
fi
for page in morvane morvane-batch; do
    warnings=$(man --warnings --local-file "$unpacked/usr/share/man/man1/$page.1.gz" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "the manual page of $page has warnings: $warnings"
done
for program in morvane morvane-batch; do
    reply=$("$unpacked/usr/bin/$program" --version)
    [ "$reply" = "$program (Morvane) $version" ] || fail "$program --version says: $reply"
done

echo "Package checked: $deb"

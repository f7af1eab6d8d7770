#!/usr/bin/env bash
# Checks the Debian package and what it carries, from the normal build: the launcher entry and
# the AppStream metadata against their validators, the manual pages through man, then the
# package that scripts/package.sh makes from the build through lintian, its Depends and its
# contents. A check whose tool is missing (and could not be installed by setup.sh) is skipped
# with a line that says so. Ends with "package checks: N passed, N failed, N skipped" and fails
# when a check failed.
# usage: scripts/check_package.sh [BUILD_DIR]   (the build must be built)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
build=$(cd "${1:-$ov_root/build}" && pwd) || exit 1
packaging=$ov_root/packaging
id=org.ombrivault.Ombrivault

passed=0
failed=0
skipped=0
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }
skip() { echo "skipped: $1"; skipped=$((skipped + 1)); }
have() { command -v "$1" >/dev/null; }
# Passes when the list of what is missing ($1) is empty; fails naming it otherwise.
none_missing() { if [ -z "$1" ]; then pass "$2"; else fail "$3:$1"; fi; }
# Prints a tool's output indented under its check.
show() { [ -n "$1" ] && printf '%s\n' "$1" | sed 's/^/    /'; return 0; }

version=$("$build/bin/ombrivault-cli" --version | sed -n 's/^ombrivault-cli //p')
if [ -z "$version" ]; then
    fail "ombrivault-cli --version names no version"
fi

# -- The launcher entry and the metadata.
if have desktop-file-validate; then
    out=$(desktop-file-validate "$packaging/$id.desktop" 2>&1)
    status=$?
    show "$out"
    if [ $status -eq 0 ] && [ -z "$out" ]; then
        pass "desktop-file-validate $id.desktop"
    else
        fail "desktop-file-validate $id.desktop"
    fi
else
    skip "desktop-file-validate is not installed (desktop-file-utils)"
fi

if have appstreamcli; then
    out=$(appstreamcli validate --no-net "$packaging/$id.metainfo.xml" 2>&1)
    status=$?
    show "$out"
    if [ $status -eq 0 ]; then
        pass "appstreamcli validate --no-net $id.metainfo.xml"
    else
        fail "appstreamcli validate --no-net $id.metainfo.xml"
    fi
else
    skip "appstreamcli is not installed (appstream)"
fi

# One id: the metadata's, its launchable, the launcher's file name and the program's own.
metainfo=$packaging/$id.metainfo.xml
if grep -q "<id>$id</id>" "$metainfo" &&
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" &&
    grep -q "kDesktopId = \"$id\"" "$ov_root/src/base/ProductInfo.h"; then
    pass "the launcher entry, the metadata and the program share the id $id"
else
    fail "the launcher entry, the metadata and the program do not share the id $id"
fi

# The MIME types the metadata provides are those the launcher opens and the MIME file defines.
sorted_lines() { tr ';' '\n' | sed '/^$/d' | LC_ALL=C sort; }
desktop_types=$(sed -n 's/^MimeType=//p' "$packaging/$id.desktop" | sorted_lines)
provided_types=$(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1|p' "$metainfo" | sorted_lines)
defined_types=$(sed -n 's|.*<mime-type type="\([^"]*\)".*|\1|p' "$packaging/ombrivault-mime.xml" |
    sorted_lines)
if [ -n "$defined_types" ] && [ "$desktop_types" = "$defined_types" ] &&
    [ "$provided_types" = "$defined_types" ]; then
    pass "the launcher and the metadata name the $(echo "$defined_types" | wc -l) MIME types"
else
    fail "MIME types differ: defined [$defined_types] launcher [$desktop_types] metadata [$provided_types]"
fi

# The newest release of the metadata and of the changelog is the project's version.
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -1)
changelog=$(sed -n '1s/^ombrivault (\([^)]*\)).*/\1/p' "$packaging/debian/changelog")
if [ "$release" = "$version" ] && [ "$changelog" = "$version" ]; then
    pass "metadata release and changelog are at version $version"
else
    fail "version $version, but the metadata's newest release is $release and the changelog's $changelog"
fi

# -- The manual pages: built, and rendered by man without a warning.
man_dir=$build/share/man/man1
if ! have man; then
    skip "man is not installed (man-db)"
elif [ ! -f "$man_dir/ombrivault.1" ] || [ ! -f "$man_dir/ombrivault-cli.1" ]; then
    if have scdoc; then
        fail "the manual pages were not built in $man_dir"
    else
        skip "scdoc is not installed, so the manual pages were not built"
    fi
else
    for page in ombrivault.1 ombrivault-cli.1; do
        warnings=$(MANWIDTH=80 man -l "$man_dir/$page" 2>&1 >/dev/null)
        show "$warnings"
        if [ -z "$warnings" ]; then
            pass "man -l $page renders without warnings"
        else
            fail "man -l $page warns"
        fi
    done
    # Every command and option of the tool's usage text is in its manual page.
    text=$(MANWIDTH=200 man -l "$man_dir/ombrivault-cli.1" 2>/dev/null)
    missing=""
    for word in $("$build/bin/ombrivault-cli" --help | sed -n 's/^  ombrivault-cli //p' |
        tr -d '[]|' | tr ' ' '\n' | grep -E '^(-|[a-z]+$)' | sort -u); do
        grep -qE -- "(^|[^[:alnum:]-])$word([^[:alnum:]-]|$)" <<<"$text" || missing+=" $word"
    done
    none_missing "$missing" "ombrivault-cli(1) names every command and option of the usage text" \
        "ombrivault-cli(1) lacks"
fi

# -- The package, made from this build.
for tool in cpack dpkg-deb dpkg-shlibdeps file; do
    if ! have "$tool"; then
        skip "the package checks: $tool is not installed"
        echo "package checks: $passed passed, $failed failed, $skipped skipped"
        [ "$failed" -eq 0 ]
        exit
    fi
done
if ! deb=$("$ov_root/scripts/package.sh" "$build" | tail -1) || [ ! -f "$deb" ]; then
    fail "scripts/package.sh made no package"
    echo "package checks: $passed passed, $failed failed, $skipped skipped"
    exit 1
fi
pass "scripts/package.sh made $(basename "$deb")"
echo "    control fields:"
dpkg-deb -f "$deb" | sed 's/^/      /'

if [ "$(dpkg-deb -f "$deb" Version)" = "$version" ]; then
    pass "the package's version is $version, as ombrivault-cli --version says"
else
    fail "the package's version is $(dpkg-deb -f "$deb" Version), not $version"
fi

# No maintainer scripts: the databases are refreshed by the triggers of their own packages.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E '(pre|post)(inst|rm)$')
if [ -z "$scripts" ]; then
    pass "no maintainer scripts"
else
    fail "maintainer scripts in the package: $scripts"
fi

# What the package installs.
contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|')
absent=""
for path in /usr/bin/ombrivault /usr/bin/ombrivault-cli \
    "/usr/lib/*/ombrivault/ombrivault-webengine.so" "/usr/lib/*/ombrivault/ombrivault-pdf.so" \
    /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
    /usr/share/mime/packages/ombrivault.xml /usr/share/icons/hicolor/scalable/apps/ombrivault.svg \
    /usr/share/ombrivault/Help/42.html /usr/share/man/man1/ombrivault.1.gz \
    /usr/share/man/man1/ombrivault-cli.1.gz /usr/share/bash-completion/completions/ombrivault-cli \
    /usr/share/zsh/vendor-completions/_ombrivault-cli /usr/share/doc/ombrivault/copyright \
    /usr/share/doc/ombrivault/changelog.gz; do
    # A "*" in a path stands for one folder name (the architecture's library folder).
    pattern="^$(sed 's/[.]/\\./g; s/[*]/[^\/]*/g' <<<"$path")\$"
    grep -q -- "$pattern" <<<"$contents" || absent+=" $path"
done
none_missing "$absent" "the package holds the programs, modules, launcher, metadata, MIME types, \
icons, help, manual pages, completion and documentation" "the package lacks"

# Depends names the package of each library the programs and modules are linked with: the
# cipher library, Qt Widgets, the picture codecs, and Qt WebEngine and Qt PDF of the modules.
# The names come from the libraries on this machine, so they follow Debian's renames.
depends=$(dpkg-deb -f "$deb" Depends)
package_of() {
    local file
    file=$(realpath -e "$(gcc -print-file-name="$1")" 2>/dev/null) || return 1
    dpkg-query -S "$file" 2>/dev/null | head -1 | cut -d: -f1
}
lacking=""
for library in libcrypto.so libQt6Widgets.so libtiff.so libgif.so libjpeg.so libexif.so \
    libpng16.so libQt6WebEngineWidgets.so libQt6PdfWidgets.so; do
    name=$(package_of "$library")
    if [ -z "$name" ]; then
        lacking+=" $library(not installed here)"
    elif ! grep -qE "(^|, )$name( |,|$)" <<<"$depends"; then
        lacking+=" $name($library)"
    fi
done
# The SVG icon engine is a plugin Qt loads, not a linked library.
svg=$(dpkg-query -S "$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null)/iconengines/libqsvgicon.so" \
    2>/dev/null | head -1 | cut -d: -f1)
if [ -n "$svg" ] && ! grep -qE "(^|, )$svg( |,|$)" <<<"$depends"; then
    lacking+=" $svg(SVG icon engine)"
fi
none_missing "$lacking" \
    "Depends names the cipher library, Qt Widgets, the codec libraries, the SVG icon engine, Qt WebEngine and Qt PDF" \
    "Depends lacks"

if have lintian; then
    out=$(lintian --pedantic --display-info "$deb" 2>&1 | grep -v '^running with root privileges')
    echo "    lintian:"
    show "${out:-(nothing to report)}"
    if grep -q '^E: ' <<<"$out"; then
        fail "lintian reports errors"
    else
        pass "lintian reports no error"
    fi
else
    skip "lintian is not installed"
fi

echo "package checks: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]

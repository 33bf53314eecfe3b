#!/usr/bin/env bash
# Installs the build into a temporary root and checks it file by file, then builds the Debian
# package and checks its contents and dependencies.
#   install-check.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

sizes="16 22 24 32 48 64 128 256"
expected=(
    usr/bin/dive
    usr/bin/dive-loopback
    usr/share/applications/dive.desktop
    usr/share/man/man1/dive-loopback.1.gz
    usr/share/man/man1/dive.1.gz
)
for s in $sizes; do expected+=("usr/share/icons/hicolor/${s}x${s}/apps/dive.png"); done
printf '%s\n' "${expected[@]}" | sort >"$work/expected"

# --- the install tree
DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
(cd "$work/root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "installed files differ from the list"

root=$work/root/usr
[ -x "$root/bin/dive" ] && [ -x "$root/bin/dive-loopback" ] || fail "programs not executable"
[ "$(env -u DISPLAY "$root/bin/dive" --version)" = "diVE 1.04" ] || fail "dive --version"
"$root/bin/dive-loopback" --help | grep -q -- '--stream' || fail "dive-loopback --help"

for s in $sizes; do
    png=$root/share/icons/hicolor/${s}x${s}/apps/dive.png
    # PNG signature, then the IHDR width and height as 32-bit big-endian numbers.
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$png is no PNG"
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w" = "$s" ] && [ "$h" = "$s" ] || fail "$png is ${w}x${h}"
done

desktop=$root/share/applications/dive.desktop
for line in 'Type=Application' 'Exec=dive' 'Icon=dive' 'Categories=Development;' \
    'Name=diVE Serial Terminal' 'Name[zh_CN]=diVE 串口调试终端' 'Terminal=false'; do
    grep -qxF "$line" "$desktop" || fail "$desktop lacks '$line'"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi

for page in dive dive-loopback; do
    text=$(gzip -dc "$root/share/man/man1/$page.1.gz" | sed 's/\\-/-/g')
    grep -q "^\.TH ${page^^} 1" <<<"$text" || fail "$page.1 is no section 1 page"
done
gzip -dc "$root/share/man/man1/dive.1.gz" | sed 's/\\-/-/g' | grep -q -- '--list' ||
    fail "dive.1 lacks --list"

# --- the Debian package
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null) ||
    fail "cpack"
deb=$(ls "$work"/deb/dive_1.04_*.deb)
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort >"$work/packaged"
diff -u "$work/expected" "$work/packaged" || fail "package contents differ from the list"
[ "$(dpkg-deb -f "$deb" Package)" = "dive" ] || fail "Package"
[ "$(dpkg-deb -f "$deb" Version)" = "1.04" ] || fail "Version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libc6 qt6-translations-l10n \
    'fonts-noto-cjk | fonts-wqy-zenhei'; do
    grep -qF "$dep" <<<"$depends" || fail "Depends lacks $dep"
done
echo "PASS"

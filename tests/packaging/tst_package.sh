#!/usr/bin/env bash
# The Debian package as a user meets it: tools/package.sh makes it; lintian, appstreamcli and
# desktop-file-validate accept it; unpacked into a scratch root, its programs run from there and
# find their templates and help page; its man pages render without warnings; bash completes
# commands, options and file arguments through the installed completion.
#   tst_package.sh SOURCE-DIR BUILD-DIR
set -euo pipefail
src=$1
build=$2
app_id=io.github.vornetad.VornetAd
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
# Made under a private umask, as a developer's may be: the package must not take it.
if ! (umask 077 && VORNET_BUILD_DIR=$build "$src/tools/package.sh" "$work/out") >"$work/package.log" 2>&1; then
    cat "$work/package.log" >&2
    echo "FAIL: tools/package.sh" >&2
    exit 1
fi
deb=$work/out/vornetad_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "FAIL: no $deb" >&2; exit 1; }
# Every folder and file is readable by everyone, the programs runnable.
private=$(dpkg-deb -c "$deb" | awk '$1 !~ /^(d|-)r[w-][x-]r-[x-]r-[x-]$/ && $1 !~ /^l/')
[[ -z $private ]] || fail "not readable by every user: $private"

# Errors fail; warnings and notes are shown for whoever reads the log.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
grep -q '^E:' "$work/lintian.txt" && fail "lintian reports errors"
dpkg-deb -f "$deb" Depends | grep -qw fonts-liberation || fail "Depends lacks fonts-liberation"

root=$work/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$share/metainfo/$app_id.metainfo.xml" || fail "no release entry for $version"
# The software centre fetches the screenshots from docs/ as released: each one named must be there.
for shot in $(grep -o '/docs/[^<]*\.png' "$share/metainfo/$app_id.metainfo.xml"); do
    [ -f "$src$shot" ] || fail "metainfo names a screenshot that docs/ lacks: $shot"
done
desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop-file-validate"
grep -qx "Icon=$app_id" "$share/applications/$app_id.desktop" || fail "the desktop entry names another icon"
for edge in 48 128 256; do
    file "$share/icons/hicolor/${edge}x$edge/apps/$app_id.png" | grep -q "PNG image data, $edge x $edge" ||
        fail "no $edge px icon"
done
[[ -s $share/vornetad/help/index.html ]] || fail "no help page in the installed layout"

# The programs run from the scratch root, with no display and nothing of the build tree.
cli=$root/usr/bin/vornetad-cli
# --help and --version start fast because the program itself needs the C library alone, and code
# because its main module needs Qt Core only; the drawing commands load the engine module, and with
# it the GUI libraries. The help the program holds is the one the module's option tables print.
needed=$(readelf -d "$cli" | grep NEEDED)
[[ $(grep -v 'libc\.so' <<<"$needed") == "" ]] || fail "vornetad-cli needs more than the C library: $needed"
needed=$(readelf -d "$(find "$root/usr/lib" -name vornetad-cli-main.so)" | grep NEEDED)
grep -q 'libQt6Core' <<<"$needed" && ! grep -q 'libQt6Gui' <<<"$needed" ||
    fail "the main module of vornetad-cli needs more than Qt Core: $needed"
[[ $("$cli" --version) == "vornetad-cli $version" ]] || fail "vornetad-cli --version"
cmp -s <("$cli" --help) <("$cli" templates --help) || fail "vornetad-cli --help is not the help of its options"
template=$(find "$share/vornetad/vornets" -name '*.gif' | head -1)
# Where there is no /proc (a chroot, a small container), it finds its modules by the name it was
# started by, on PATH as the shell found it (past a folder of that name), the engine beside the main
# module, and its templates, by their whole paths, in the commands that draw nothing too. (The
# style sheet's lines end in a carriage return and a line feed.)
if unshare -m --propagation private true 2>/dev/null; then
    mkdir "$work/vornetad-cli"
    noproc=$(unshare -m --propagation private sh -c 'cd "$3" && umount -l /proc &&
        PATH=.:"${0%/*}" vornetad-cli code --css | head -1 && "$0" templates | head -1 &&
        "$0" compose --template "$1" --gif "$2"' "$cli" "$template" "$work/noproc.gif" "$work" 2>&1) &&
        [[ $noproc == "/* CSS Document */"?$'\n'"$(realpath "$share")/vornetad/vornets/"*.gif && -s $work/noproc.gif ]] ||
        fail "vornetad-cli without /proc: $noproc"
fi
# Nor does a folder whose name is not valid text keep it from its engine; its templates, which no
# text can name there, are not looked for elsewhere, and it says why.
odd=$work/$(printf 'r\377')
cp -a "$root" "$odd"
"$odd/usr/bin/vornetad-cli" compose --template "$template" --gif "$work/odd.gif" 2>/dev/null && [[ -s $work/odd.gif ]] ||
    fail "vornetad-cli installed in a folder whose name is not valid text"
oddList=$("$odd/usr/bin/vornetad-cli" templates 2>&1) && fail "templates found in a folder no text names: $oddList"
grep -q 'r\\xff/usr/bin" has a name that is not valid UTF-8 text' <<<"$oddList" || fail "templates there: $oddList"
[[ $(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$root/usr/bin/vornetad" --version) == "vornetad $version" ]] ||
    fail "vornetad --version without a display"
# Without a display the wizard says so, where Qt would abort it.
nodisplay=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/vornetad" 2>&1) && fail "vornetad started without a display"
grep -q "no display" <<<"$nodisplay" || fail "vornetad without a display: $nodisplay"
# Nor is it aborted where a display is named that does not answer (a stale DISPLAY in a reattached
# terminal): it exits with the reason.
status=0
nodisplay=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97 "$root/usr/bin/vornetad" 2>&1) || status=$?
[[ $status == 1 ]] && grep -q 'no display answers.*DISPLAY is ":97"' <<<"$nodisplay" && ! grep -q Reinstalling <<<"$nodisplay" ||
    fail "vornetad with a display that does not answer ($status): $nodisplay"
# The shipped templates alone: no user's own templates from this machine's data folder.
export XDG_DATA_HOME=$work/no-user-data
"$cli" templates >"$work/installed.txt" || fail "vornetad-cli templates"
"$build/bin/vornetad-cli" templates | sed "s|^$build/bin/vornets/|$share/vornetad/vornets/|" >"$work/built.txt"
[[ -s $work/installed.txt ]] && cmp -s "$work/installed.txt" "$work/built.txt" ||
    fail "the installed catalog differs from the built one: $(diff "$work/built.txt" "$work/installed.txt" | head -5)"
# The same default template and engine give the same bytes as the build tree.
"$cli" compose --line1 "Installed" --gif "$work/installed.gif" || fail "vornetad-cli compose from the scratch root"
"$build/bin/vornetad-cli" compose --line1 "Installed" --gif "$work/built.gif"
cmp -s "$work/installed.gif" "$work/built.gif" || fail "the installed program composes another banner"

for page in vornetad-cli vornetad; do
    man_page=$share/man/man1/$page.1.gz
    warnings=$(MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >/dev/null) || fail "man $page"
    [[ -z $warnings ]] || fail "man $page warns: $warnings"
done
rendered=$(MANWIDTH=80 man -l "$share/man/man1/vornetad-cli.1.gz" 2>/dev/null)
for heading in SYNOPSIS OPTIONS "EXIT STATUS" "THE DESIGN FILE" "HOW PAGES ARE TREATED" "YOUR OWN TEMPLATES"; do
    grep -q "^$heading" <<<"$rendered" || fail "vornetad-cli(1) has no $heading"
done

# Completion as bash-completion loads it on demand, from the package's data folder.
set +eu
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
XDG_DATA_DIRS=$share __load_completion vornetad-cli
# As in an interactive shell, a step of a completion may fail without ending it (compopt does
# outside a real completion).
set -u
complete -p vornetad-cli 2>/dev/null | grep -q _vornetad_cli || fail "bash-completion does not load the completion"
mkdir -p "$work/site/sub folder"
touch "$work/site/a.gif" "$work/site/B.GIF" "$work/site/page.html" "$work/site/spring.vornetad"
cd "$work/site"
completes() {
    local expected=$1
    shift
    COMP_WORDS=(vornetad-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _vornetad_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
    [[ $got == "$expected" ]] || fail "completing '$*': got '$got', expected '$expected'"
}
completes "--help --version code compose design generate make-template preview remove templates" ""
completes "generate" gen
completes "--color1 --color2 --color3" compose --col
completes "--click-through --color1 --color2 --color3 --csp-hash --css --custom-code --custom-code-file" code --c
completes "--gif" compose --line1 x --g
completes "left right" generate --side ""
completes "left right" generate --side = ""
completes "left" generate --side = l
completes "--help" compose --he
completes "B.GIF a.gif sub folder" compose --template ""
completes "sub folder" generate --out ""
completes "sub folder" templates ""
completes "B.GIF a.gif page.html spring.vornetad sub folder" generate --modify ""
completes "spring.vornetad sub folder" code --design ""
completes "" generate --title ""
completes "B.GIF a.gif page.html spring.vornetad sub folder" remove ""
completes "sub folder" remove --custom-code x --site ""
completes "curl dogear gradient midnight pastel ribbon tape winter" make-template --style ""
# After "--", a word starting with a dash is a name.
mkdir "$work/dash" "$work/dash/-old"
cd "$work/dash"
completes "-old" templates -- -
completes "-old" remove x.html -- -
completes "-old" remove -- --link -

((failures == 0)) || exit 1
echo "package $(basename "$deb"): all checks passed"

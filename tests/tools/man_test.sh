#!/usr/bin/env bash
# The manual page of xmltool: it renders without a roff warning, and shows
# every command and option that --help lists.
#   man_test.sh PATH_TO_XMLTOOL.1 PATH_TO_XMLTOOL
set -u
page=${1:?usage: man_test.sh PATH_TO_XMLTOOL.1 PATH_TO_XMLTOOL}
tool=${2:?usage: man_test.sh PATH_TO_XMLTOOL.1 PATH_TO_XMLTOOL}
if ! command -v groff >/dev/null 2>&1; then
    echo "groff is not installed: the manual page is not checked"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

if ! LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -P-cbou "$page" > "$work/page.txt" 2> "$work/warnings" || [ -s "$work/warnings" ]; then
    echo "FAIL: groff warns about the page: $(cat "$work/warnings")"
    failed=1
fi
# Each term of --help appears in the rendered page.  A term is indented by
# two spaces, with its text starting in column 31 of the same line or, for a
# long term, of the next.  Rendering may set words further apart, so runs of
# spaces are squeezed on both sides.
tr -s ' ' < "$work/page.txt" > "$work/flat.txt"
"$tool" --help | awk '
    { line[NR] = $0 }
    END {
        for (i = 1; i <= NR; i++) {
            l = line[i]
            if (l !~ /^  [^ ]/) continue
            if (length(l) > 30 && substr(l, 29, 2) == "  " && substr(l, 31, 1) != " ") {
                t = substr(l, 3, 26); sub(/ +$/, "", t); print t
            } else if (length(l) > 28 && substr(line[i + 1], 1, 30) == sprintf("%30s", "") &&
                       substr(line[i + 1], 31, 1) ~ /[^ ]/) {
                print substr(l, 3)
            }
        }
    }' | tr -s ' ' > "$work/terms.txt"
[ "$(wc -l < "$work/terms.txt")" -gt 0 ] || { echo "FAIL: no terms found in --help"; failed=1; }
while IFS= read -r term; do
    grep -qF -- "$term" "$work/flat.txt" || { echo "FAIL: the page lacks '$term'"; failed=1; }
done < "$work/terms.txt"
for section in NAME SYNOPSIS COMMANDS "EXIT STATUS"; do
    grep -q "^$section" "$work/page.txt" || { echo "FAIL: no section $section"; failed=1; }
done
[ "$failed" = 0 ] && echo "xmltool man page: consistent with --help"
[ "$failed" = 0 ]

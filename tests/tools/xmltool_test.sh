#!/usr/bin/env bash
# Tests of the xmltool command-line tool: each subcommand, exit statuses,
# messages for bad usage and bad files, and standard input.
#   xmltool_test.sh PATH_TO_XMLTOOL
set -u
tool=${1:?usage: xmltool_test.sh PATH_TO_XMLTOOL}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

passed=0
failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $*"; }

# expect NAME STATUS EXPECTED_STDOUT -- COMMAND...
expect() {
    local name=$1 status=$2 want=$3
    shift 4
    local out rc
    out=$("$@" 2>"$work/stderr")
    rc=$?
    if [ "$rc" != "$status" ]; then
        bad "$name: exit status $rc, expected $status (stderr: $(cat "$work/stderr"))"
    elif [ "$out" != "$want" ]; then
        bad "$name: output"$'\n'"$out"$'\n'"expected"$'\n'"$want"
    else
        ok
    fi
}

# expect_stderr NAME PATTERN: the last command's standard error matches.
expect_stderr() {
    if grep -q -- "$2" "$work/stderr"; then ok; else bad "$1: stderr lacks '$2': $(cat "$work/stderr")"; fi
}

# expect_stderr_is NAME TEXT: the last command's standard error is exactly TEXT.
expect_stderr_is() {
    local err
    err=$(cat "$work/stderr")
    if [ "$err" = "$2" ]; then ok; else bad "$1: stderr"$'\n'"$err"$'\n'"expected"$'\n'"$2"; fi
}

# expect_usage NAME -- COMMAND...: a usage error is exit status 2, nothing on
# standard output and one line on standard error that points to --help.
expect_usage() {
    local name=$1
    shift 2
    expect "$name" 2 "" -- "$@"
    local lines
    lines=$(wc -l < "$work/stderr")
    if [ "$lines" = 1 ] && grep -q "^xmltool: .*; try 'xmltool --help'\$" "$work/stderr"; then ok
    else bad "$name: usage message: $(cat "$work/stderr")"; fi
}

printf '<r><a k="v">text</a><b/></r>' > good.xml
printf '<r><a></r>' > warn.xml
printf '<r>\n  <a b=>\n</r>' > error.xml
printf '<r><x>&amp; more</x><y id="7"><z>deep</z></y></r>' > query.xml

# --- global options -------------------------------------------------------
expect "version" 0 "xmltool v2.39" -- "$tool" --version
"$tool" --help > help.txt 2>&1 && grep -q "usage: xmltool" help.txt && ok || bad "help"
# The help fits a terminal of 80 columns.
if awk 'length > 80 { exit 1 }' help.txt; then ok; else bad "help wider than 80 columns"; fi
expect_usage "no command" -- "$tool"
expect_stderr_is "no command" "xmltool: no command given; try 'xmltool --help'"
expect_usage "unknown command" -- "$tool" frobnicate
expect_stderr "unknown command" "unknown command 'frobnicate'"
expect_usage "unknown option" -- "$tool" --frobnicate check good.xml
expect_usage "unknown encoding" -- "$tool" --encoding ebcdic check good.xml
expect_usage "encoding needs value" -- "$tool" check good.xml --encoding

# --- check ----------------------------------------------------------------
expect "check good" 0 "" -- "$tool" check good.xml
warn_out=$'warn.xml:1:11: warning: Unmatched end tag \'</r>\'\n<r><a></r>\n          ^'
error_out=$'error.xml:2:9: error: Unexpected token found\n  <a b=>\n        ^'
expect "check warning" 0 "$warn_out" -- "$tool" check warn.xml
expect "check strict warning" 1 "$warn_out" -- "$tool" check --strict warn.xml
expect "check strict good" 0 "" -- "$tool" check good.xml --strict
expect "check error" 1 "$error_out" -- "$tool" check error.xml
expect "check missing" 1 "missing.xml: error: No such file or directory" -- "$tool" check missing.xml
expect "check several" 1 "$error_out" -- "$tool" check good.xml error.xml good.xml
expect "check stdin" 1 "${error_out/error.xml/<stdin>}" -- sh -c "\"$tool\" check - < error.xml"
expect_usage "check no file" -- "$tool" check
expect_usage "check bad option" -- "$tool" check --pedantic good.xml
expect "check directory" 1 ".: error: is a directory" -- "$tool" check .
ln -s missing.xml dangling.xml
expect "check dangling link" 1 "dangling.xml: error: No such file or directory" -- "$tool" check dangling.xml
printf '<r/>' > unreadable.xml
chmod 000 unreadable.xml
if [ -r unreadable.xml ]; then
    echo "(file permissions are not enforced here; the unreadable file is not tested)"
else
    expect "check unreadable" 1 "unreadable.xml: error: Permission denied" -- "$tool" check unreadable.xml
fi

# Where the caret goes: after tabs (kept, so that it lines up), after
# multibyte characters (one column each), at the end of a line cut short
# (lines longer than 80 characters are cut around the column), on a line of
# a CRLF file, and past a UTF-8 byte-order mark.
long=$(printf 'x%.0s' $(seq 200))
caret_cases=(
    $'\t<a>\t</b>|\t<a>\t</b>\n\t   \t    ^'
    $'<a>\xc3\xa9\xc3\xa9</b>|<a>\xc3\xa9\xc3\xa9</b>\n         ^'
    "<r>$long</b>|...${long:0:76}</b>"$'\n'"$(printf ' %.0s' $(seq 83))^"
    "<r>${long:0:20}</b>$long</r>|<r>${long:0:20}</b>${long:0:53}..."$'\n'"$(printf ' %.0s' $(seq 27))^"
    $'<r>\r\n</b>\r\n|</b>\n    ^'
    $'\xef\xbb\xbf<r></b>|<r></b>\n       ^'
)
for c in "${caret_cases[@]}"; do
    printf '%s' "${c%%|*}" > caret.xml
    out=$("$tool" check caret.xml)
    # Drop the first line (position and message) and compare the rest.
    if [ "${out#*$'\n'}" = "${c#*|}" ]; then ok; else bad "caret for $(printf '%q' "${c%%|*}"):"$'\n'"$out"; fi
done

# --- format ---------------------------------------------------------------
expect "format" 0 $'<r>\n\t<a k="v">text</a>\n\t<b/>\n</r>' -- "$tool" format good.xml
expect "format compact" 0 '<r><a k="v">text</a><b/></r>' -- "$tool" format --compact good.xml
expect "format stdin" 0 '<r><a k="v">text</a><b/></r>' -- sh -c "\"$tool\" format --compact - < good.xml"
printf '<r> a <!--c--> b </r>' > ws.xml
expect "format drops white space" 0 '<r>ab</r>' -- "$tool" format --compact ws.xml
expect "format keep comments" 0 '<r>a<!--c-->b</r>' -- "$tool" format --compact --keep-comments ws.xml
expect "format keep white space" 0 '<r> a <!--c--> b </r>' -- "$tool" format --keep-whitespace --keep-comments ws.xml
expect "format first tag" 0 '<a k="v">text</a>' -- "$tool" format --compact --first-tag A good.xml
expect "format first tag missing" 1 "" -- "$tool" format --first-tag nope good.xml
expect_stderr_is "format first tag missing" "good.xml: error: no element nope"
expect "format error" 1 "" -- "$tool" format error.xml
expect_stderr_is "format error" "$error_out"
expect_usage "format two files" -- "$tool" format good.xml good.xml
expect_usage "format bad option" -- "$tool" format --pretty good.xml
expect_usage "format -o without value" -- "$tool" format good.xml -o
expect "format -o" 0 "" -- "$tool" format --compact -o out.xml good.xml
if [ "$(head -c 3 out.xml | od -An -tx1 | tr -d ' ')" = "efbbbf" ] &&
   grep -q '<?xml version="1.0" encoding="utf-8"?>' out.xml &&
   grep -q '<r><a k="v">text</a><b/></r>' out.xml; then ok; else bad "format -o content: $(cat out.xml)"; fi
expect "format -o unwritable" 1 "" -- "$tool" format -o /nonexistent/dir/out.xml good.xml
expect_stderr_is "format -o unwritable" "/nonexistent/dir/out.xml: error: unable to open file for writing"

# --- get ------------------------------------------------------------------
expect "get text" 0 "& more" -- "$tool" get query.xml r/x
expect "get deep" 0 "deep" -- "$tool" get query.xml r/y/z
expect "get attribute" 0 "7" -- "$tool" get query.xml r/y@id
expect "get case-insensitive" 0 "7" -- "$tool" get query.xml R/Y@ID
# Each missing value exits 1 and says what is missing on standard error.
missing_cases=(
    "r/nope|query.xml: no node at r/nope"
    "r/y@nope|query.xml: no attribute nope at r/y"
    "q/x|query.xml: no node at q/x"
    "r[2]|query.xml: no node at r[2]"
    "r/y[2]|query.xml: no node at r/y[2]"
    "r/y|query.xml: no text at r/y"
)
for c in "${missing_cases[@]}"; do
    expect "get ${c%%|*}" 1 "" -- "$tool" get query.xml "${c%%|*}"
    expect_stderr_is "get ${c%%|*}" "${c#*|}"
done
printf '<?xml version="1.0"?>\n<!-- c --><doc><v>1</v></doc>' > decl.xml
expect "get below declaration" 0 "1" -- "$tool" get decl.xml doc/v
expect "get stdin" 0 "1" -- sh -c "\"$tool\" get - doc/v < decl.xml"
expect "get pipe by name" 0 "1" -- sh -c "cat decl.xml | \"$tool\" get /dev/stdin doc/v"
expect "check pipe by name" 1 "${error_out/error.xml//dev/stdin}" -- sh -c "cat error.xml | \"$tool\" check /dev/stdin"
expect "get stdin missing" 1 "" -- sh -c "\"$tool\" get - doc/w < decl.xml"
expect_stderr_is "get stdin missing" "<stdin>: no node at doc/w"

# name[n] steps count from 1 at every level, the root's included; CDATA
# sections are text, joined with the texts around them in document order.
printf '<r><i n="1">one</i><j/><I n="2"><k>a</k><k>b<![CDATA[<c>]]>d</k></I><i v>' > many.xml
printf '<![CDATA[only]]></i></r>' >> many.xml
get_cases=(
    "r/i|one"
    "r/i[1]|one"
    "r[1]/i[2]@n|2"
    "r/i[2]/k[2]|b<c>d"
    "r/i[2]/K|a"
    "r/i[3]|only"
    "r/i[3]@v|"
)
for c in "${get_cases[@]}"; do
    expect "get ${c%%|*}" 0 "${c#*|}" -- "$tool" get many.xml "${c%%|*}"
done
expect "get i[4]" 1 "" -- "$tool" get many.xml "r/i[4]"
expect_stderr_is "get i[4]" "many.xml: no node at r/i[4]"

expect_usage "get usage" -- "$tool" get query.xml
for p in 'r/i[0]' 'r/i[x]' 'r/i[1' 'r/i[]' 'r/i[-1]' 'r/[2]' 'r//i' 'r/i@' '/' 'r/i[99999999999]'; do
    expect_usage "get bad path $p" -- "$tool" get many.xml "$p"
done

# --- stats ----------------------------------------------------------------
"$tool" stats query.xml > stats.txt 2>&1
if grep -q '^elements: *4$' stats.txt && grep -q '^attributes: *1$' stats.txt &&
   grep -q '^texts: *2$' stats.txt && grep -q '^max depth: *3$' stats.txt &&
   grep -q "^bytes: *$(wc -c < query.xml)$" stats.txt && ! grep -q 'MB/s' stats.txt; then ok; else bad "stats: $(cat stats.txt)"; fi
# The verbatim sections are counted by kind.
printf '<!DOCTYPE r><r><!--a--><![CDATA[b]]><x><!--c--></x><PRE>p</PRE></r>' > kinds.xml
"$tool" stats kinds.xml > kinds.txt 2>&1
if grep -q '^comments: *2$' kinds.txt && grep -q '^CDATA sections: *1$' kinds.txt &&
   grep -q '^document types: *1$' kinds.txt && grep -q '^PRE blocks: *1$' kinds.txt &&
   ! grep -qi 'clear' kinds.txt; then ok; else bad "stats kinds: $(cat kinds.txt)"; fi
# A document of 1 MB or more also gets its throughput.
{ printf '<a>%.0s' $(seq 1000000); printf '</a>%.0s' $(seq 1000000); } > deep.xml
"$tool" stats deep.xml > deep.txt 2>&1
if grep -q '^elements: *1000000$' deep.txt && grep -q '^max depth: *1000000$' deep.txt &&
   grep -q '^throughput: .* MB/s$' deep.txt; then ok; else bad "stats deep: $(cat deep.txt)"; fi
expect "stats stdin" 0 "elements:        4" -- sh -c "\"$tool\" stats - < query.xml | head -n 1"
expect "stats missing" 1 "" -- "$tool" stats missing.xml
expect_stderr_is "stats missing" "missing.xml: error: No such file or directory"

# --- base64 ---------------------------------------------------------------
head -c 1000 /dev/urandom > blob.bin
"$tool" base64 encode blob.bin > blob.b64 && "$tool" base64 decode blob.b64 > blob.out &&
    cmp -s blob.bin blob.out && ok || bad "base64 file round trip"
sh -c "\"$tool\" base64 encode < blob.bin | \"$tool\" base64 decode -" > blob.out2 &&
    cmp -s blob.bin blob.out2 && ok || bad "base64 stdin round trip"
expect "base64 encode text" 0 "TWFu" -- sh -c "printf Man | \"$tool\" base64 encode"
expect "base64 illegal" 1 "" -- sh -c "printf 'TW!u' | \"$tool\" base64 decode"
expect_stderr_is "base64 illegal" "<stdin>: error: Base64-string contains an illegal character"
expect_usage "base64 bad mode" -- "$tool" base64 scramble
expect "base64 missing file" 1 "" -- "$tool" base64 encode missing.bin
expect_stderr_is "base64 missing file" "missing.bin: error: No such file or directory"

# --- wide characters ------------------------------------------------------
# A UTF-32 file is converted to the locale's multibyte encoding, so the tool
# takes on the user's locale; in the C locale the same file cannot be read.
printf '\xff\xfe\x00\x00<\x00\x00\x00r\x00\x00\x00>\x00\x00\x00\xe9\x00\x00\x00<\x00\x00\x00/\x00\x00\x00r\x00\x00\x00>\x00\x00\x00' > wide.xml
# UTF-16 in both byte orders, with a character beyond the 16-bit range (a
# surrogate pair: U+1F600).
printf '\xff\xfe<\x00r\x00>\x00\x3d\xd8\x00\xde<\x00/\x00r\x00>\x00' > wide16le.xml
printf '\xfe\xff\x00<\x00r\x00>\xd8\x3d\xde\x00\x00<\x00/\x00r\x00>' > wide16be.xml
if locale -a 2>/dev/null | grep -qix 'c\.utf-\?8'; then
    expect "wide file in a UTF-8 locale" 0 $'\xc3\xa9' -- env LC_ALL=C.UTF-8 "$tool" get wide.xml r
    expect "UTF-16 little-endian file" 0 $'\xf0\x9f\x98\x80' -- env LC_ALL=C.UTF-8 "$tool" get wide16le.xml r
    expect "UTF-16 big-endian file" 0 $'\xf0\x9f\x98\x80' -- env LC_ALL=C.UTF-8 "$tool" get wide16be.xml r
else
    echo "(no C.UTF-8 locale: the wide-character file is not tested)"
fi
expect "wide file in the C locale" 1 "" -- env LC_ALL=C "$tool" get wide.xml r

echo "xmltool: $passed passed, $failed failed"
[ "$failed" = 0 ]

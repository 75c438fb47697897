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

printf '<r><a k="v">text</a><b/></r>' > good.xml
printf '<r><a></r>' > warn.xml
printf '<r>\n  <a b=>\n</r>' > error.xml
printf '<r><x>&amp; more</x><y id="7"><z>deep</z></y></r>' > query.xml

# --- global options -------------------------------------------------------
expect "version" 0 "xmltool v2.39" -- "$tool" --version
"$tool" --help > help.txt 2>&1 && grep -q "usage: xmltool" help.txt && ok || bad "help"
expect "no command" 2 "" -- "$tool"
expect_stderr "no command" "usage: xmltool"
expect "unknown command" 2 "" -- "$tool" frobnicate
expect_stderr "unknown command" "unknown command 'frobnicate'"
expect "unknown encoding" 2 "" -- "$tool" --encoding ebcdic check good.xml
expect "encoding needs value" 2 "" -- "$tool" check good.xml --encoding

# --- check ----------------------------------------------------------------
expect "check good" 0 "" -- "$tool" check good.xml
expect "check warning" 0 "warn.xml:1:11: warning: Warning: Unmatched end tag" -- "$tool" check warn.xml
expect "check error" 1 "error.xml:2:9: error: Error: Unexpected token found" -- "$tool" check error.xml
expect "check missing" 1 "missing.xml: error: Error: File not found" -- "$tool" check missing.xml
expect "check several" 1 "error.xml:2:9: error: Error: Unexpected token found" -- "$tool" check good.xml error.xml good.xml
expect "check stdin" 1 "<stdin>:2:9: error: Error: Unexpected token found" -- sh -c "\"$tool\" check - < error.xml"
expect "check no file" 2 "" -- "$tool" check
expect "check directory" 1 ".: error: Error: No XML data" -- "$tool" check .

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
expect "format error" 1 "" -- "$tool" format error.xml
expect_stderr "format error" "error.xml:2:9: error: Error: Unexpected token found"
expect "format two files" 2 "" -- "$tool" format good.xml good.xml
expect "format bad option" 2 "" -- "$tool" format --pretty good.xml
expect "format -o" 0 "" -- "$tool" format --compact -o out.xml good.xml
if [ "$(head -c 3 out.xml | od -An -tx1 | tr -d ' ')" = "efbbbf" ] &&
   grep -q '<?xml version="1.0" encoding="utf-8"?>' out.xml &&
   grep -q '<r><a k="v">text</a><b/></r>' out.xml; then ok; else bad "format -o content: $(cat out.xml)"; fi
expect "format -o unwritable" 1 "" -- "$tool" format -o /nonexistent/dir/out.xml good.xml
expect_stderr "format -o unwritable" "Error: unable to open file for writing"

# --- get ------------------------------------------------------------------
expect "get text" 0 "& more" -- "$tool" get query.xml r/x
expect "get deep" 0 "deep" -- "$tool" get query.xml r/y/z
expect "get attribute" 0 "7" -- "$tool" get query.xml r/y@id
expect "get case-insensitive" 0 "7" -- "$tool" get query.xml R/Y@ID
expect "get absent node" 1 "" -- "$tool" get query.xml r/nope
expect "get absent attribute" 1 "" -- "$tool" get query.xml r/y@nope
expect "get wrong root" 1 "" -- "$tool" get query.xml q/x
expect "get no text" 1 "" -- "$tool" get query.xml r/y
printf '<?xml version="1.0"?>\n<!-- c --><doc><v>1</v></doc>' > decl.xml
expect "get below declaration" 0 "1" -- "$tool" get decl.xml doc/v
expect "get usage" 2 "" -- "$tool" get query.xml

# --- stats ----------------------------------------------------------------
"$tool" stats query.xml > stats.txt 2>&1
if grep -q '^elements: *4$' stats.txt && grep -q '^attributes: *1$' stats.txt &&
   grep -q '^texts: *2$' stats.txt && grep -q '^max depth: *3$' stats.txt &&
   grep -q "^bytes: *$(wc -c < query.xml)$" stats.txt && grep -q 'MB/s' stats.txt; then ok; else bad "stats: $(cat stats.txt)"; fi
{ printf '<a>%.0s' $(seq 1000000); printf '</a>%.0s' $(seq 1000000); } > deep.xml
"$tool" stats deep.xml > deep.txt 2>&1
if grep -q '^elements: *1000000$' deep.txt && grep -q '^max depth: *1000000$' deep.txt; then ok; else bad "stats deep: $(cat deep.txt)"; fi
expect "stats missing" 1 "" -- "$tool" stats missing.xml
expect_stderr "stats missing" "missing.xml: error: Error: File not found"

# --- base64 ---------------------------------------------------------------
head -c 1000 /dev/urandom > blob.bin
"$tool" base64 encode blob.bin > blob.b64 && "$tool" base64 decode blob.b64 > blob.out &&
    cmp -s blob.bin blob.out && ok || bad "base64 file round trip"
sh -c "\"$tool\" base64 encode < blob.bin | \"$tool\" base64 decode -" > blob.out2 &&
    cmp -s blob.bin blob.out2 && ok || bad "base64 stdin round trip"
expect "base64 encode text" 0 "TWFu" -- sh -c "printf Man | \"$tool\" base64 encode"
expect "base64 illegal" 1 "" -- sh -c "printf 'TW!u' | \"$tool\" base64 decode"
expect_stderr "base64 illegal" "Error: Base64-string contains an illegal character"
expect "base64 bad mode" 2 "" -- "$tool" base64 scramble
expect "base64 missing file" 1 "" -- "$tool" base64 encode missing.bin

echo "xmltool: $passed passed, $failed failed"
[ "$failed" = 0 ]

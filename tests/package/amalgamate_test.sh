#!/usr/bin/env bash
# The drop-in: the amalgamation writes exactly xmlParser.h and xmlParser.cpp;
# the README's example, compiled as C++11 against the header alone and linked
# with the source compiled as C++17 (warnings as errors), runs and prints what
# the same example linked with the library prints.  Then, on a small tree of
# its own, the amalgamation must refuse two files that keep the same local
# name, write each internal header once, and end each file's macros.
#   amalgamate_test.sh SOURCE_DIR README_EXAMPLE_CPP README_EXAMPLE_PROGRAM CXX
set -euo pipefail
src=${1:?usage: amalgamate_test.sh SOURCE_DIR EXAMPLE_CPP EXAMPLE_PROGRAM CXX}
example=${2:?}
reference=${3:?}
cxx=${4:-c++}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
flags=(-Wall -Wextra -Wpedantic -Werror -O1)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

python3 "$src/scripts/amalgamate.py" --root "$src" --out "$work/dist"
files=$(cd "$work/dist" && ls -A | tr '\n' ' ')
[ "$files" = "xmlParser.cpp xmlParser.h " ] || fail "the drop-in holds: $files"

mkdir "$work/user"
cp "$example" "$work/user/main.cpp"
"$cxx" -std=c++11 "${flags[@]}" -I"$work/dist" -c "$work/user/main.cpp" -o "$work/user/main.o"
"$cxx" -std=c++17 "${flags[@]}" -I"$work/dist" -c "$work/dist/xmlParser.cpp" -o "$work/user/xmlParser.o"
"$cxx" "$work/user/main.o" "$work/user/xmlParser.o" -o "$work/user/example"
"$work/user/example" >"$work/drop-in.txt" || fail "the example built from the drop-in exited with $?"
"$reference" >"$work/library.txt" || true
if ! cmp -s "$work/drop-in.txt" "$work/library.txt"; then
  fail "the drop-in's example prints other text than the library's:"
  diff "$work/drop-in.txt" "$work/library.txt" || true
fi
[ -s "$work/drop-in.txt" ] || fail "the example printed nothing"

# A tree with a clash: two files with a local `helper` (one in an anonymous
# namespace, one static), both including one internal header.
t="$work/tree"
mkdir -p "$t/include" "$t/src/one" "$t/src/two"
cp "$src/include/xmlParser.h" "$t/include/"
printf '#ifndef COMMON_H\n#define COMMON_H\n#include "xmlParser.h"\ninline int common() { return 1; }\n#endif\n' >"$t/src/common.h"
printf '#include "../common.h"\n#define LOCAL_MACRO 2\nnamespace {\nint helper() { return LOCAL_MACRO; }\n}\nint first() { return helper() + common(); }\n' >"$t/src/one/a.cpp"
printf '#include "common.h"\nstatic int helper(int x) { return x; }\nint second() { return helper(3) + common(); }\n' >"$t/src/two/b.cpp"
if python3 "$src/scripts/amalgamate.py" --root "$t" --out "$t/dist" 2>"$work/clash.txt"; then
  fail "two files' local helper went into one translation unit unreported"
elif ! grep -q '"helper".*src/one/a.cpp:4.*src/two/b.cpp:2' "$work/clash.txt"; then
  fail "the clash report does not name the helper and both places:"
  cat "$work/clash.txt"
fi
[ ! -e "$t/dist/xmlParser.cpp" ] || fail "a drop-in was written despite the clash"

# Without the clash the same tree amalgamates and compiles.
sed -i 's/helper/helperTwo/g' "$t/src/two/b.cpp"
python3 "$src/scripts/amalgamate.py" --root "$t" --out "$t/dist" >/dev/null
[ "$(grep -c 'inline int common()' "$t/dist/xmlParser.cpp")" = 1 ] ||
  fail "the internal header is not written exactly once"
grep -q '^#undef LOCAL_MACRO$' "$t/dist/xmlParser.cpp" || fail "the file's macro is not ended"
"$cxx" -std=c++17 "${flags[@]}" -I"$t/dist" -c "$t/dist/xmlParser.cpp" -o "$t/x.o" ||
  fail "the small tree's drop-in does not compile"

if [ "$failures" -ne 0 ]; then
  echo "amalgamation: $failures check(s) failed"
  exit 1
fi
echo "amalgamation: the drop-in builds and runs the README example; clashes are refused"

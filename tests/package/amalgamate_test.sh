#!/usr/bin/env bash
# The drop-in: the amalgamation writes exactly xmlParser.h and xmlParser.cpp;
# the README's example, compiled as C++11 against the header alone and linked
# with the source compiled as C++17 (warnings as errors), runs and prints what
# the same example linked with the library prints.  Then, on a small tree of
# its own, the amalgamation must report two files that keep the same local
# name and keep them apart (or, with --strict, refuse them), write each
# internal header once, and end each file's macros.
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

# A tree with a clash: two files with a local `helper` (one static, one in an
# anonymous namespace), of different signatures, so that in one translation
# unit the second file's call would silently go to the first file's helper,
# the better match; both include one internal header, one defines a macro.
t="$work/tree"
mkdir -p "$t/include" "$t/src/one" "$t/src/two"
cp "$src/include/xmlParser.h" "$t/include/"
cat >"$t/src/common.h" <<'END'
#ifndef COMMON_H
#define COMMON_H
#include "xmlParser.h"
inline int common() { return 100; }
#endif
END
cat >"$t/src/one/a.cpp" <<'END'
#include "../common.h"
#define LOCAL_MACRO 1
static int helper(int x) { return x + LOCAL_MACRO; }
int first() { return helper(3) + common(); }
END
cat >"$t/src/two/b.cpp" <<'END'
#include "common.h"
namespace {
long helper(long x) { return x * 2; }
}
int second() { return static_cast<int>(helper(3)) + common(); }
END
cat >"$t/main.cpp" <<'END'
#include <cstdio>
int first();
int second();
int main() {
    std::printf("%d %d\n", first(), second());
    return first() == 104 && second() == 106 ? 0 : 1;
}
END

# --strict refuses the clash, naming the helper and both places.
if python3 "$src/scripts/amalgamate.py" --root "$t" --out "$t/strict" --strict 2>"$work/clash.txt"; then
  fail "--strict let two files' local helper into one translation unit"
elif ! grep -q '"helper".*src/one/a.cpp:3.*src/two/b.cpp:3' "$work/clash.txt"; then
  fail "the clash report does not name the helper and both places:"
  cat "$work/clash.txt"
fi
[ ! -e "$t/strict/xmlParser.cpp" ] || fail "--strict wrote a drop-in despite the clash"

# By default the clash is reported and each file keeps calling its own helper.
python3 "$src/scripts/amalgamate.py" --root "$t" --out "$t/dist" >/dev/null 2>"$work/note.txt"
grep -q 'note: .*"helper".*src/one/a.cpp:3.*src/two/b.cpp:3' "$work/note.txt" ||
  { fail "the renaming is not reported:"; cat "$work/note.txt"; }
[ "$(grep -c 'inline int common()' "$t/dist/xmlParser.cpp")" = 1 ] ||
  fail "the internal header is not written exactly once"
grep -q '^#undef LOCAL_MACRO$' "$t/dist/xmlParser.cpp" || fail "the file's macro is not ended"
if "$cxx" -std=c++17 "${flags[@]}" -I"$t/dist" "$t/dist/xmlParser.cpp" "$t/main.cpp" -o "$t/run"; then
  "$t/run" >"$work/run.txt" || fail "a file called the other file's helper: $(cat "$work/run.txt")"
else
  fail "the drop-in of the tree with a clash does not compile"
fi

if [ "$failures" -ne 0 ]; then
  echo "amalgamation: $failures check(s) failed"
  exit 1
fi
echo "amalgamation: the drop-in builds and runs the README example; clashes are reported and kept apart"

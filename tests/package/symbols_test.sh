#!/usr/bin/env bash
# Builds the library as a shared library from the source tree and checks its
# dynamic symbol table: every function and variable of the public interface
# is exported, nothing of the internal namespace or of the handle's protected
# machinery is, and the SONAME carries the major version only.
#   symbols_test.sh SOURCE_DIR
set -euo pipefail
src=${1:?usage: symbols_test.sh SOURCE_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DXMLPARSER_BUILD_TESTS=OFF -DXMLPARSER_BUILD_EXAMPLES=OFF -DXMLPARSER_BUILD_TOOLS=OFF \
  >"$work/configure.log" || { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" --target xmlparser --parallel 2 >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; exit 1; }

major=$(sed -n 's/^#define XMLPARSER_VERSION_MAJOR \([0-9]*\)$/\1/p' "$src/include/xmlParser.h")
lib="$work/build/libxmlparser.so.$major"
[ -f "$lib" ] || { echo "FAIL: no $lib"; ls "$work/build"; exit 1; }

failures=0
soname=$(readelf -d "$lib" | sed -n 's/.*Library soname: \[\(.*\)\].*/\1/p')
if [ "$soname" != "libxmlparser.so.$major" ]; then
  echo "FAIL: SONAME is '$soname', expected libxmlparser.so.$major"
  failures=$((failures + 1))
fi

# Defined dynamic symbols, demangled, without address and type.
nm -D --defined-only -C "$lib" | sed 's/^[0-9a-fA-F]* [A-Za-z] //' | sort -u >"$work/exported"

missing=$(comm -23 "$here/public_symbols.txt" "$work/exported")
if [ -n "$missing" ]; then
  echo "FAIL: public symbols not exported:"
  echo "$missing" | sed 's/^/  /'
  failures=$((failures + 1))
fi

internal=$(grep -E 'xml_internal|_priv\(|XMLNode::(emptyTheNode|exactMemory|removeOrderElement|detachFromParent|addToOrder|indexText|indexClear|ParseXMLElement|maybeAddTxT|parseClearTag|CreateXMLStringR)\(|XMLNode::XMLNode\(XMLNode::XMLNodeDataTag' \
  "$work/exported" || true)
if [ -n "$internal" ]; then
  echo "FAIL: internal symbols exported:"
  echo "$internal" | sed 's/^/  /'
  failures=$((failures + 1))
fi

# Anything else must at least be a member of a public class: a new public
# member is fine here (add it to public_symbols.txt), a new global is not.
extra=$(comm -13 "$here/public_symbols.txt" "$work/exported" |
  grep -vE '^(XMLNode|ToXMLStringTool|XMLParserBase64Tool)::' || true)
if [ -n "$extra" ]; then
  echo "FAIL: exported symbols outside the public interface:"
  echo "$extra" | sed 's/^/  /'
  failures=$((failures + 1))
fi

count=$(wc -l <"$work/exported")
if [ "$failures" -ne 0 ]; then
  echo "symbols: $failures check(s) failed ($count exported)"
  exit 1
fi
echo "symbols: $count exported, all public; SONAME $soname"

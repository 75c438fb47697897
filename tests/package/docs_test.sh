#!/usr/bin/env bash
# The API reference: Doxygen builds it from the public header with warnings
# as errors, so a public declaration without its comment fails here.  To show
# that the check bites, a copy of the header with one undocumented public
# member added must fail, naming that member.  Exits 77 (skipped) when
# Doxygen is not installed (`make docs` and CI install it).
#   docs_test.sh SOURCE_DIR
set -euo pipefail
src=$(cd "${1:?usage: docs_test.sh SOURCE_DIR}" && pwd)
if ! command -v doxygen >/dev/null 2>&1; then
  echo "doxygen is not installed (Debian package doxygen): skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

doxygen_on() {  # output directory, [input]; runs from the source tree
  (cd "$src" && { cat docs/Doxyfile; echo "OUTPUT_DIRECTORY = $1"
    if [ $# -gt 1 ]; then echo "INPUT = $2"; fi; } | doxygen -) >"$1.log" 2>&1
}

if ! doxygen_on "$work/docs"; then
  cat "$work/docs.log"
  echo "FAIL: the reference does not build without warnings"
  exit 1
fi
for page in index.html xmlParser_8h.html structXMLNode.html structToXMLStringTool.html \
            structXMLParserBase64Tool.html; do
  [ -s "$work/docs/html/$page" ] || { echo "FAIL: no $page in the reference"; exit 1; }
done

mkdir "$work/probe"
sed 's/^struct XMLPARSER_API XMLNode {$/&\n    int undocumentedProbeMember() const;/' \
  "$src/include/xmlParser.h" >"$work/probe/xmlParser.h"
grep -q undocumentedProbeMember "$work/probe/xmlParser.h" ||
  { echo "FAIL: could not add the probe member to a copy of the header"; exit 1; }
if doxygen_on "$work/probe-docs" "$work/probe/xmlParser.h"; then
  echo "FAIL: an undocumented public member went through"
  exit 1
fi
if ! grep -q undocumentedProbeMember "$work/probe-docs.log"; then
  cat "$work/probe-docs.log"
  echo "FAIL: Doxygen failed without naming the undocumented member"
  exit 1
fi
echo "api reference: every public declaration documented; an undocumented one fails"

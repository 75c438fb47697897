#!/usr/bin/env bash
# Builds and runs a consumer project that takes the library in as a
# sub-project: once through add_subdirectory on the source tree, once through
# FetchContent on an archive of it (a local file: no network).  GoogleTest is
# hidden from both builds.  A third configuration, with the tool turned on
# by the parent, must give the tool's target.
#   subproject_test.sh SOURCE_DIR
set -euo pipefail
src=$(cd "${1:?usage: subproject_test.sh SOURCE_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {  # name, then cmake arguments
  local name=$1
  shift
  if ! cmake -S "$here/subproject" -B "$work/$name" -DCMAKE_BUILD_TYPE=Release \
       -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "$@" >"$work/$name.log" 2>&1; then
    cat "$work/$name.log"
    echo "FAIL: $name: configuring failed"
    exit 1
  fi
}

build_and_run() {
  local name=$1
  if ! cmake --build "$work/$name" --parallel 2 >>"$work/$name.log" 2>&1; then
    cat "$work/$name.log"
    echo "FAIL: $name: building failed"
    exit 1
  fi
  "$work/$name/consumer"
}

run add_subdirectory -DXMLPARSER_VIA=add_subdirectory -DXMLPARSER_SOURCE="$src"
build_and_run add_subdirectory

# The archive holds the checkout as a user would fetch it, without build
# trees, generated files or version-control data.
tar -C "$src" --exclude='./build' --exclude='./build-*' --exclude='./.git' \
  --exclude='./dist' --exclude='./bench/corpus' --exclude='./fuzz/corpus-*' \
  --transform 's,^\.,xmlparser,' -czf "$work/xmlparser.tar.gz" .
run fetchcontent -DXMLPARSER_VIA=FetchContent -DXMLPARSER_SOURCE="$work/xmlparser.tar.gz"
build_and_run fetchcontent

run with_tool -DXMLPARSER_VIA=add_subdirectory -DXMLPARSER_SOURCE="$src" \
  -DXMLPARSER_BUILD_TOOLS=ON -DEXPECT_TOOL=ON

echo "subproject: 3 passed, 0 failed"

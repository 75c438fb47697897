#!/usr/bin/env bash
# Installs the library into a temporary prefix, then builds and runs a small
# consumer project against it twice: through find_package and through
# pkg-config.
set -euo pipefail
build_dir=${1:?usage: install_test.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null

cmake -S "$here/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer"

pcdir=$(dirname "$(find "$work/prefix" -name xmlparser.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs xmlparser)
# The pkg-config version is the header's.
src=$(cd "$here/../.." && pwd)
version=$(sed -n 's/^#define XMLPARSER_VERSION_[A-Z]* \([0-9]*\)$/\1/p' "$src/include/xmlParser.h" | paste -sd.)
pcversion=$(PKG_CONFIG_PATH="$pcdir" pkg-config --modversion xmlparser)
if [ "$pcversion" != "$version" ]; then
  echo "install: pkg-config gives version $pcversion, the header $version"
  exit 1
fi
# shellcheck disable=SC2086
g++ -std=c++17 "$here/consumer/main.cpp" $flags -o "$work/pc-consumer"
"$work/pc-consumer"
echo "install: 2 passed, 0 failed"

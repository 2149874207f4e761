#!/usr/bin/env bash
# Installs the build into a scratch prefix, then, without LD_LIBRARY_PATH: runs the installed
# orvane on an example, and builds and runs a consumer against the prefix twice, through the
# CMake package and through pkg-config with a plain compiler call.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")" && pwd)
example="$source_dir/../../examples/order-handling.yaml"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LD_LIBRARY_PATH

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
mkdir -p "$work/out"
"$work/prefix/bin/orvane" render "$example" -o "$work/out/example.png" >/dev/null
test -s "$work/out/example.png"

cmake -S "$source_dir" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer" "$work/out"
test -s "$work/out/consumer.png"
grep -q "bpmn:definitions\|<definitions" "$work/out/consumer.bpmn"

# A prefix outside the system's library folders needs an RPATH (or LD_LIBRARY_PATH) for the
# program's own link to orvane; the libraries find each other by themselves.
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
libdir=$(pkg-config --variable=libdir orvane)
# shellcheck disable=SC2046
c++ "$source_dir/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs orvane) \
  -Wl,-rpath,"$libdir"
"$work/pc-consumer" "$work/out"
echo "installed package works"

#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs a consumer against it twice:
# through the CMake package and through pkg-config.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$source_dir" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
mkdir -p "$work/out"
LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer" "$work/out"
test -s "$work/out/consumer.png"
grep -q "bpmn:definitions\|<definitions" "$work/out/consumer.bpmn"

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046
c++ -std=c++20 "$source_dir/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs orvane)
LD_LIBRARY_PATH="$work/prefix/lib" "$work/pc-consumer" "$work/out"
echo "installed package works"

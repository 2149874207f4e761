#!/usr/bin/env bash
# Checks an installed orvane the way a newcomer uses it, without LD_LIBRARY_PATH: runs the
# installed command on an example, then builds the README's C++ example against the prefix
# twice (through the CMake package, and through pkg-config with a plain compiler call) and runs
# both in an empty folder, and runs the README's Python example with the installed package.
#   run.sh BUILD_DIR          installs BUILD_DIR into a scratch prefix
#   run.sh --prefix PREFIX    uses an existing installation (such as /usr from the .deb)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LD_LIBRARY_PATH

if [ "$1" = "--prefix" ]; then
  prefix=$2
else
  prefix="$work/prefix"
  cmake --install "$1" --prefix "$prefix" >/dev/null
fi

# The README's example: the first cpp block of its C++ section.
mkdir -p "$work/src"
awk '/^## Using the library from C\+\+/ { section = 1 }
     section && /^```cpp$/ { inside = 1; next }
     inside && /^```$/ { exit }
     inside { print }' "$root/README.md" >"$work/src/order.cpp"
grep -q 'int main' "$work/src/order.cpp" || { echo "no C++ example in README.md" >&2; exit 1; }
cp "$here/CMakeLists.txt" "$work/src/"

run_in_empty_folder() {  # NAME COMMAND...: runs in a new folder and checks what it wrote
  mkdir "$work/$1"
  (cd "$work/$1" && "${@:2}")
  test -s "$work/$1/order.png"
  grep -q '<bpmn:definitions\|<definitions' "$work/$1/order.bpmn"
  grep -q '<mxfile' "$work/$1/order.drawio"
}

mkdir "$work/command"
(cd "$work/command" && "$prefix/bin/orvane" render "$root/examples/order-handling.yaml" -o x.png)
test -s "$work/command/x.png"

cmake -S "$work/src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
run_in_empty_folder cmake-run "$work/cmake-build/consumer"

# A prefix outside the system's library folders needs an RPATH (or LD_LIBRARY_PATH) for the
# program's own link to orvane; the libraries find each other by themselves.
PKG_CONFIG_PATH="$(dirname "$(find "$prefix"/lib* -maxdepth 3 -name orvane.pc -print -quit)")"
export PKG_CONFIG_PATH
libdir=$(pkg-config --variable=libdir orvane)
# shellcheck disable=SC2046
c++ "$work/src/order.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs orvane) \
  -Wl,-rpath,"$libdir"
run_in_empty_folder pkg-config-run "$work/pc-consumer"

# The Python package, when it was built: the README's Python example, run with PYTHONPATH at the
# prefix's package folder (the compiled part finds the libraries by its relative RPATH).
python_dir=$(find "$prefix"/lib* -maxdepth 3 -type d -path '*/python3*/*-packages' \
             -exec test -d {}/orvane \; -print -quit)
if [ -n "$python_dir" ]; then
  awk '/^## Using orvane from Python/ { section = 1 }
       section && /^```python$/ { inside = 1; next }
       inside && /^```$/ { exit }
       inside { print }' "$root/README.md" >"$work/src/order.py"
  grep -q 'Swimboard' "$work/src/order.py" || { echo "no Python example in README.md" >&2; exit 1; }
  test -f "$python_dir/orvane/__init__.pyi"
  run_in_empty_folder python-run env PYTHONPATH="$python_dir" \
    "${ORVANE_PYTHON_EXECUTABLE:-python3}" "$work/src/order.py"
  echo "installed Python package works ($python_dir)"
fi
echo "installed package works"

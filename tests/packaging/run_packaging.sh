#!/usr/bin/env bash
# Installs pixpen into a fresh prefix and builds and runs a small C consumer
# against it, once through find_package(pixpen) and once through pkg-config;
# or vendors the source tree with add_subdirectory.
#
#   run_packaging.sh MODE NAME=VALUE...
#
# MODE is `installed` (install the build tree that CTest runs in), `rebuilt`
# (configure, build and install a nested library-only build of the source
# tree with the other BUILD_SHARED_LIBS setting), `subdirectory`, or `readme`
# (README.md's install commands, then its C, C++ and CMake examples built and
# run as written, with HOME in a scratch folder). The NAME=VALUE pairs come
# from tests/packaging/CMakeLists.txt.
set -euo pipefail

mode=$1
shift
for setting in "$@"; do
  declare "${setting%%=*}=${setting#*=}"
done
: "${cmake:?}" "${source:?}" "${build:?}" "${work:?}" "${generator:?}" "${cc:?}" "${cxx:?}"
: "${version:?}" "${shared:?}" "${werror:?}" "${sanitize=}" "${pkg_config=}"
here=$(cd "$(dirname "$0")" && pwd)
IFS=. read -r major minor patch <<<"$version"

mkdir -p "$work"
logs="$work/logs"
rm -rf "$logs" "$work/prefix" "$work/find_package" "$work/pkg_config" "$work/out"
mkdir -p "$logs" "$work/out"
count=0

# step DESCRIPTION COMMAND...: runs the command with its output in a log that
# is shown only if it fails.
step() {
  local what=$1
  shift
  count=$((count + 1))
  local log="$logs/$count.log"
  echo "-- $what"
  if ! "$@" >"$log" 2>&1; then
    echo "FAILED: $what"
    echo "   command: $*"
    sed 's/^/   | /' "$log"
    exit 1
  fi
}
fail() {
  echo "FAILED: $*"
  exit 1
}

# The sanitizer runtime must come first, so consumers of a sanitized library
# are built with the same sanitizers.
san_flags=""
if [[ -n "$sanitize" ]]; then
  san_flags="-fsanitize=$sanitize"
fi

# check_linkage EXE KIND: a shared consumer needs libpixpen.so.<major>, a
# static one must not need any libpixpen.
check_linkage() {
  local exe=$1 kind=$2 needed
  needed=$(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(libpixpen[^]]*\)\].*/\1/p')
  if [[ $kind == shared && $needed != "libpixpen.so.$major" ]]; then
    fail "$exe needs [$needed], expected [libpixpen.so.$major]"
  fi
  if [[ $kind == static && -n $needed ]]; then
    fail "$exe was to link libpixpen statically but needs [$needed]"
  fi
  echo "   $(basename "$exe"): ${needed:-libpixpen linked in statically}"
}

# consume PREFIX KIND (KIND: shared or static)
consume() {
  local prefix=$1 kind=$2 type
  [[ $kind == shared ]] && type=SHARED_LIBRARY || type=STATIC_LIBRARY
  [[ -f "$prefix/include/pixpen.h" ]] || fail "no include/pixpen.h under $prefix"
  [[ -f "$prefix/include/pixpen.hpp" ]] || fail "no include/pixpen.hpp under $prefix"

  step "find_package: configure a C consumer against $prefix ($kind)" \
    "$cmake" -S "$here/consumer" -B "$work/find_package" -G "$generator" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" \
    -DPIXPEN_EXPECTED_VERSION="$version" -DPIXPEN_EXPECTED_TYPE="$type" \
    -DCMAKE_C_FLAGS="$san_flags" -DCMAKE_EXE_LINKER_FLAGS="$san_flags"
  step "find_package: build it" "$cmake" --build "$work/find_package"
  step "find_package: run it" "$work/find_package/consumer" "$work/out"
  check_linkage "$work/find_package/consumer" "$kind"

  local pc
  pc=$(find "$prefix" -name pixpen.pc -path '*/pkgconfig/*' | head -n 1)
  [[ -n $pc ]] || fail "no pkgconfig/pixpen.pc under $prefix"
  export PKG_CONFIG_PATH
  PKG_CONFIG_PATH=$(dirname "$pc")
  local pc_version
  pc_version=$("$pkg_config" --modversion pixpen) || fail "pkg-config cannot read $pc"
  [[ $pc_version == "$version" ]] || fail "pixpen.pc says version $pc_version, expected $version"
  local static_flag=()
  [[ $kind == static ]] && static_flag=(--static)
  local cflags libs libdir
  cflags=$("$pkg_config" --cflags pixpen)
  libs=$("$pkg_config" --libs "${static_flag[@]}" pixpen)
  libdir=$("$pkg_config" --variable=libdir pixpen)
  echo "   pkg-config --cflags: $cflags"
  echo "   pkg-config --libs ${static_flag[*]}: $libs"
  mkdir -p "$work/pkg_config"
  # shellcheck disable=SC2086 # the flags are meant to split into words
  step "pkg-config: compile and link the C consumer ($kind)" \
    "$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror $san_flags $cflags \
    -DEXPECTED_MAJOR="$major" -DEXPECTED_MINOR="$minor" -DEXPECTED_PATCH="$patch" \
    "$here/consumer/consumer.c" -o "$work/pkg_config/consumer" $libs -Wl,-rpath,"$libdir"
  step "pkg-config: run it" "$work/pkg_config/consumer" "$work/out"
  check_linkage "$work/pkg_config/consumer" "$kind"
  # shellcheck disable=SC2086
  step "pkg-config: compile and link a C++ consumer of pixpen.hpp ($kind)" \
    "$cxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror $san_flags $cflags \
    "$here/consumer/consumer.cpp" -o "$work/pkg_config/consumer_cpp" $libs -Wl,-rpath,"$libdir"
  step "pkg-config: run the C++ consumer" "$work/pkg_config/consumer_cpp"
}

kind_of() { [[ $1 == ON ]] && echo shared || echo static; }

# readme_examples: README.md's install commands into $HOME/.local, with only
# the build folder moved into $work, then its examples built and run there.
readme_examples() {
  local home="$work/home" project="$work/readme"
  rm -rf "$home" "$project"
  mkdir -p "$home" "$project"
  awk -v OUT="$project" -f "$here/readme_snippets.awk" "$source/README.md"
  local file
  for file in install.sh use.sh CMakeLists.txt hello.c star.cpp gradient.cpp; do
    [[ -s "$project/$file" ]] || fail "README.md gave no $file"
  done
  sed -i "s#build-release#$work/build-release#g" "$project/install.sh"
  export HOME="$home" CC="$cc" CXX="$cxx"
  step "README: install (library only)" bash -euo pipefail -c "cd '$source' && . '$project/install.sh'"
  [[ ! -e "$work/build-release/tests" ]] || fail "the README's install build configured the tests"
  # Every file the install table names, unless it stands for several.
  local listed
  for listed in $(sed -n 's/^| \(`\(lib\|include\)\/.*\)|.*|$/\1/p' "$source/README.md" |
                  grep -o '`[^`]*`' | tr -d '`' | grep -v 'X\|…'); do
    [[ -e "$home/.local/$listed" ]] || fail "README's install table lists $listed, not installed"
  done
  # gradient.cpp is built "as star.cpp above".
  local star_line
  star_line=$(grep -m1 '^c++ .*star\.cpp' "$project/use.sh") || fail "no c++ line for star.cpp"
  step "README: the C, CMake and C++ examples" bash -euo pipefail -c \
    "cd '$project' && . ./use.sh && ${star_line//star/gradient} && ./gradient"
  [[ -s "$project/hello.ppm" && -s "$project/star.png" && -s "$project/gradient.tga" ]] ||
    fail "the README's examples did not write hello.ppm, star.png and gradient.tga"
}

case $mode in
installed)
  step "install the tested build into $work/prefix" "$cmake" --install "$build" --prefix "$work/prefix"
  consume "$work/prefix" "$(kind_of "$shared")"
  ;;
rebuilt)
  # Only the library, with the other linkage than the tested build. The
  # build directory is kept between runs so that a rerun is incremental.
  if [[ $shared == ON ]]; then other=OFF; else other=ON; fi
  step "configure a library-only build with BUILD_SHARED_LIBS=$other" \
    "$cmake" -S "$source" -B "$work/library" -G "$generator" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DBUILD_SHARED_LIBS="$other" \
    -DBUILD_TESTING=OFF -DPIXPEN_BUILD_EXAMPLES=OFF -DPIXPEN_BUILD_BENCHMARKS=OFF \
    -DPIXPEN_BUILD_FUZZERS=OFF -DPIXPEN_WARNINGS_AS_ERRORS="$werror" -DPIXPEN_SANITIZE=
  step "build it" "$cmake" --build "$work/library" --parallel 2
  step "install it into $work/prefix" "$cmake" --install "$work/library" --prefix "$work/prefix"
  san_flags=""
  consume "$work/prefix" "$(kind_of "$other")"
  ;;
subdirectory)
  rm -rf "$work/subdirectory"
  step "configure a C project that does add_subdirectory(pixpen) with no options" \
    "$cmake" -S "$here/subdirectory" -B "$work/subdirectory" -G "$generator" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DPIXPEN_SOURCE_DIR="$source" \
    -DPIXPEN_EXPECTED_VERSION="$version"
  step "build it (the library and the consumer only)" "$cmake" --build "$work/subdirectory" --parallel 2
  step "run it" "$work/subdirectory/consumer" "$work/out"
  check_linkage "$work/subdirectory/consumer" shared
  # The parent installs its own program; pixpen, not asked to, adds nothing.
  step "install the parent project" "$cmake" --install "$work/subdirectory" --prefix "$work/prefix"
  installed=$(cd "$work/prefix" && find . -type f -o -type l | sort | tr '\n' ' ')
  [[ $installed == "./bin/consumer " ]] ||
    fail "the parent's install wrote [$installed], expected just [./bin/consumer]"
  ;;
readme)
  readme_examples
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo "packaging ($mode): passed"

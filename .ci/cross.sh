#!/usr/bin/env bash
# Cross builds: for each target, configure with its toolchain file, build, and
# run ctest, which starts every test program under qemu-user (i686: see its
# toolchain file). Debian needs
#   g++-aarch64-linux-gnu g++-s390x-linux-gnu g++-i686-linux-gnu qemu-user libgtest-dev
#
#   .ci/cross.sh                 # aarch64, s390x and i686, one after another
#   .ci/cross.sh s390x           # just the big-endian one
#
# Each target builds in build-cross-<arch>/. PIXPEN_CROSS_BUILD_TYPE (Release)
# and PIXPEN_CROSS_JOBS (2) change the build; extra ctest arguments go in
# PIXPEN_CROSS_CTEST_ARGS, e.g. "-R Ppm". Every target runs even when an
# earlier one fails; the exit status is non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."

build_type="${PIXPEN_CROSS_BUILD_TYPE:-Release}"
jobs="${PIXPEN_CROSS_JOBS:-2}"
read -r -a ctest_args <<<"${PIXPEN_CROSS_CTEST_ARGS:-}"

targets=("$@")
((${#targets[@]})) || targets=(aarch64 s390x i686)

summary=()
failed=0
for arch in "${targets[@]}"; do
    case "$arch" in
    aarch64) qemu=qemu-aarch64 ;;
    s390x) qemu=qemu-s390x ;;
    i686) qemu=qemu-i386 ;;
    *)
        echo "cross.sh: unknown target '$arch' (aarch64, s390x or i686)" >&2
        exit 2
        ;;
    esac
    triple="$arch-linux-gnu"
    dir="build-cross-$arch"
    # The toolchain file may start i686 programs without qemu (see there).
    for tool in "$triple-g++" "$qemu"; do
        if ! command -v "$tool" >/dev/null; then
            echo "cross.sh: $tool not found (Debian: g++-$triple qemu-user)" >&2
            exit 2
        fi
    done

    # Under qemu-i386 the tests' forked children and threads spin forever, so
    # i686 needs a kernel that runs 32-bit x86 programs itself.
    if [[ $arch == i686 ]] && ! "/usr/$triple/lib/ld-linux.so.2" --version >/dev/null 2>&1; then
        echo "== cross i686: SKIPPED, this kernel does not run 32-bit x86 programs"
        summary+=("i686: SKIPPED (no 32-bit x86 support in this kernel)")
        continue
    fi

    echo "== cross $arch: configure and build ($build_type, -j$jobs) in $dir"
    start=$SECONDS
    if cmake -S . -B "$dir" --toolchain "cmake/toolchains/$triple.cmake" \
        -DCMAKE_BUILD_TYPE="$build_type" &&
        cmake --build "$dir" -j"$jobs"; then
        built=$((SECONDS - start))
        echo "== cross $arch: ctest"
        start=$SECONDS
        # A program that hangs under emulation fails in minutes, not at
        # ctest's default of 25.
        if ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 300 "${ctest_args[@]}"; then
            result="passed"
        else
            result="FAILED"
            failed=1
        fi
        summary+=("$arch: build ${built} s, ctest $((SECONDS - start)) s, $result")
    else
        summary+=("$arch: build FAILED after $((SECONDS - start)) s")
        failed=1
    fi
done

echo "== cross summary"
printf '  %s\n' "${summary[@]}"
exit "$failed"

#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
#
# wine32 is an i386 package whose libraries must be of the very version of their installed
# amd64 twins. When the security suite's i386 index is out of step with its amd64 one (a
# mirror in the middle of a sync), apt finds no such pair; the main suite alone then gives a
# matching pair (-t bookworm). When even that fails, the 32-bit runs are left out (one line
# says so) and everything else is installed.
set -euo pipefail

packages=(cmake g++ make googletest nlohmann-json3-dev python3-jsonschema clang-format clang libclang-rt-14-dev libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 mingw-w64-tools
          lld llvm ccache
          wine wine64 wine32:i386
          xvfb xdotool xclip imagemagick fonts-liberation x11-utils python3 e2fsprogs time)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

# An index that fails to download is left out by apt (it says so); what can be installed
# from the others decides.
update() {
    local attempt
    for attempt in 1 2 3; do
        apt-get update -q && return 0
        echo "(apt-get update reported errors, attempt $attempt of 3)"
        sleep 5
    done
    return 0
}

install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    update
    if ! install "${missing[@]}"; then
        echo "(retrying with the main suite's versions, so that i386 and amd64 twins match)"
        if ! install -t bookworm "${missing[@]}"; then
            others=()
            for package in "${missing[@]}"; do
                [[ $package == *:i386 ]] || others+=("$package")
            done
            ((${#others[@]} == 0)) || install -t bookworm "${others[@]}"
            echo "wine32 cannot be installed from this machine's package sources: the 32-bit runs are left out."
        fi
    fi
elif [[ -n "${need_update:-}" ]]; then
    update
fi

# Sourced by the run and test scripts: the project's own Wine prefixes and how to start
# programs in them. Never the user's default prefix.
: "${KELVRA_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
KELVRA_PREFIX64="$KELVRA_ROOT/build/wineprefix64"
KELVRA_PREFIX32="$KELVRA_ROOT/build/wineprefix32"
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
QEMU_BINFMT=/proc/sys/fs/binfmt_misc/qemu-i386

binfmt_set() {  # binfmt_set 0|1: turns the qemu entry for i386 programs off or on
    [[ -e $QEMU_BINFMT ]] && echo "$1" > "$QEMU_BINFMT" || true
}

# A 64-bit prefix (the tests' own by default), created with the i386 emulation off so that
# its 32-bit side is not booted under emulation.
ensure_prefix64() {
    local prefix=${1:-$KELVRA_PREFIX64}
    if [[ ! -f $prefix/system.reg ]]; then
        echo "Creating Wine prefix $prefix"
        binfmt_set 0
        WINEPREFIX=$prefix WINEARCH=win64 $WINE64 wineboot --init
        WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
        binfmt_set 1
    fi
}

# i386 programs run here only through qemu-user-static registered in binfmt_misc.
ensure_i386_binfmt() {
    if [[ ! -d /proc/sys/fs/binfmt_misc ]] || [[ ! -e /proc/sys/fs/binfmt_misc/register ]]; then
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    fi
    if [[ ! -e $QEMU_BINFMT ]]; then
        echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            > /proc/sys/fs/binfmt_misc/register
    fi
    binfmt_set 1
}

ensure_prefix32() {
    ensure_i386_binfmt
    if [[ ! -f $KELVRA_PREFIX32/system.reg ]]; then
        echo "Creating Wine prefix $KELVRA_PREFIX32 (32-bit, under emulation: a few minutes)"
        # Under emulation wineboot may report a failure for one of the programs it starts
        # while the prefix itself comes out whole; the registry files tell.
        WINEPREFIX=$KELVRA_PREFIX32 WINEARCH=win32 $WINE32 wineboot --init ||
            echo "wineboot ended with status $?; waiting for the prefix to settle"
        WINEPREFIX=$KELVRA_PREFIX32 /usr/lib/wine/wineserver -w
        if [[ ! -f $KELVRA_PREFIX32/system.reg ]]; then
            echo "the 32-bit Wine prefix was not created" >&2
            return 1
        fi
    fi
}

# Starts an X server on a free display for programs that need one; sets DISPLAY. The screen
# is 1280x1024 unless a size is given: start_xvfb 1366x768.
start_xvfb() {
    local display=99 screen=${1:-1280x1024}
    while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
    KELVRA_XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}

stop_xvfb() {
    [[ -n "${KELVRA_XVFB_PID:-}" ]] && kill "$KELVRA_XVFB_PID" 2>/dev/null || true
}

# Sourced by the run and test scripts: the project's own Wine prefixes and how to start
# programs in them. Never the user's default prefix.
#
# 32-bit programs (the shipped build, wine32) run natively: an x86-64 Linux kernel starts i386
# programs itself when it is built with IA-32 emulation (CONFIG_IA32_EMULATION=y, the default
# of Debian's kernels) and the i386 C library is installed (wine32:i386 brings it in). A
# binfmt_misc entry "qemu-i386" (from qemu-user-static, with its F flag) would send every i386
# program through qemu instead, which is slow and crashes; such an entry is switched off while
# these scripts run and restored when they end. On a kernel that cannot start a 32-bit program
# at all (one built without IA-32 emulation, or a host that switches it off: dmesg then says
# "IA-32 emulation off"), the scripts say so in one line and leave the 32-bit runs out.
: "${KELVRA_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
KELVRA_PREFIX64="$KELVRA_ROOT/build/wineprefix64"
KELVRA_PREFIX32="$KELVRA_ROOT/build/wineprefix32"
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
BINFMT_DIR=/proc/sys/fs/binfmt_misc
QEMU_BINFMT=$BINFMT_DIR/qemu-i386

# Actions run when the sourcing script exits, whichever way (last added, first run).
KELVRA_EXIT_ACTIONS=()
kelvra_run_exit_actions() {
    local i
    for ((i = ${#KELVRA_EXIT_ACTIONS[@]} - 1; i >= 0; i--)); do
        eval "${KELVRA_EXIT_ACTIONS[i]}" || true
    done
    KELVRA_EXIT_ACTIONS=()
}
on_exit() {
    KELVRA_EXIT_ACTIONS+=("$1")
    trap kelvra_run_exit_actions EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# A 64-bit prefix (the tests' own by default).
ensure_prefix64() {
    local prefix=${1:-$KELVRA_PREFIX64}
    use_native_i386 || true  # wine64 starts the 32-bit side of the prefix too, if it can
    if [[ ! -f $prefix/system.reg ]]; then
        echo "Creating Wine prefix $prefix"
        WINEPREFIX=$prefix WINEARCH=win64 $WINE64 wineboot --init
        WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
    fi
}

# Makes i386 programs start natively for the rest of this script, if the kernel can; see the
# top of this file. Returns 1, after one line saying why, when it cannot: the callers then
# leave out what needs a 32-bit process. qemu-user is used only when asked for with
# KELVRA_QEMU_I386=1: it cannot run Wine's 32-bit side reliably (prefix creation and the
# multi-threaded tests end in emulator crashes that look like crashes of our own code).
KELVRA_I386_READY=
use_native_i386() {
    case $KELVRA_I386_READY in
        native | qemu) return 0 ;;
        none) return 1 ;;
    esac
    if [[ -e $QEMU_BINFMT ]] && head -n 1 "$QEMU_BINFMT" | grep -qx enabled; then
        echo 0 > "$QEMU_BINFMT"
        on_exit "echo 1 > '$QEMU_BINFMT'"
        echo "(the qemu-i386 binfmt entry is switched off while this script runs)"
    fi
    if $WINE32 --version >/dev/null 2>&1; then
        KELVRA_I386_READY=native
        return 0
    fi
    if [[ ${KELVRA_QEMU_I386:-} == 1 ]]; then
        fall_back_to_qemu
        return 0
    fi
    KELVRA_I386_READY=none
    echo "This kernel cannot start 32-bit programs ($(i386_refusal)): the 32-bit build is compiled but not run here; KELVRA_QEMU_I386=1 tries qemu-user."
    return 1
}

# Why the kernel refuses i386 programs, in a few words, as far as it says.
i386_refusal() {
    local said
    said=$(dmesg 2>/dev/null | grep -m 1 -o 'IA-32 emulation off[^(]*' || true)
    echo "${said:-no IA-32 emulation}" | sed 's/[: ]*$//'
}

fall_back_to_qemu() {
    echo "This kernel cannot start 32-bit programs ($(i386_refusal)): running them under qemu-user, slowly and unreliably."
    KELVRA_I386_READY=qemu
    if [[ ! -x /usr/bin/qemu-i386-static ]]; then
        apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q qemu-user-static
    fi
    [[ -e $BINFMT_DIR/register ]] || mount -t binfmt_misc binfmt_misc "$BINFMT_DIR"
    if [[ ! -e $QEMU_BINFMT ]]; then
        echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            > "$BINFMT_DIR/register"
        on_exit "echo -1 > '$QEMU_BINFMT'"
    else
        echo 1 > "$QEMU_BINFMT"
    fi
}

# A 32-bit prefix (the tests' own by default) for the shipped build.
ensure_prefix32() {
    local prefix=${1:-$KELVRA_PREFIX32}
    use_native_i386 || return 1
    if [[ ! -f $prefix/system.reg ]]; then
        echo "Creating Wine prefix $prefix (32-bit)"
        WINEPREFIX=$prefix WINEARCH=win32 $WINE32 wineboot --init
        WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
        if [[ ! -f $prefix/system.reg ]]; then
            echo "the 32-bit Wine prefix $prefix was not created" >&2
            return 1
        fi
    fi
}

# Starts an X server on a free display for programs that need one; sets DISPLAY. The screen
# is 1280x1024 unless given ("1366x768").
start_xvfb() {
    local screen=${1:-1280x1024} display=99
    while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
    KELVRA_XVFB_PID=$!
    on_exit stop_xvfb
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
    KELVRA_XVFB_PID=
}

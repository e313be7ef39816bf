#!/usr/bin/env bash
# Benchmarks, printed as a table and written to build/bench/results.md:
#  - one complete report run and the export and import of a generated registry tree
#    (2,000 keys x 50 values, about 6 MB of REGEDIT4 text) on the simulated platform;
#  - the same under wine64, side by side with Wine's own regedit /e and reg export, and
#    regedit /s and reg import, on the same tree in the same prefix: median wall time, peak
#    memory and wineserver CPU time of each (every tool timed as one process from start to
#    end), and the ratio ours / the fastest of Wine's tools;
#  - our import of a script ten times as long (the tree's sections ten times over), once, for
#    its peak memory;
#  - the report run under wine64 again with 500 folders on the PATH, a few of them holding
#    copies of files of the list.
# BENCH_RUNS sets the runs per measurement (5 by default).
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$KELVRA_ROOT"
bash scripts/setup.sh
source scripts/wine-env.sh
runs=${BENCH_RUNS:-5}
out=build/bench
mkdir -p "$out"

for preset in linux-release win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target $([[ $preset == win64 ]] && echo kelvra_wine_bench kelvra_registry_bench kelvra_test_dlls || echo kelvra_bench)
done

echo "=== simulated platform (Google Benchmark)"
build/linux-release/bin/kelvra_bench --benchmark_repetitions="$(( runs < 3 ? 3 : runs ))" \
    --benchmark_report_aggregates_only=true --benchmark_out="$out/native.json" \
    --benchmark_out_format=json | tee "$out/native.txt"

prefix="$KELVRA_ROOT/build/wineprefix64-bench"
ensure_prefix64 "$prefix"
export WINEPREFIX=$prefix
bench="$KELVRA_ROOT/build/win64/bin/kelvra_wine_bench.exe"
regbench="$KELVRA_ROOT/build/win64/bin/kelvra_registry_bench.exe"
tree='Software\KelvraBench'
key="HKEY_CURRENT_USER\\$tree"
work="$out/wine"
rm -rf "$work"
mkdir -p "$work"
winwork='Z:'"$(realpath "$work" | tr / '\\')"
/usr/lib/wine/wineserver -k 2>/dev/null || true
# One server for the whole run, as for an interactive session; its CPU time is read around each
# measured command.
/usr/lib/wine/wineserver -p 60 </dev/null >/dev/null 2>&1
# The prefix's server works in a folder that Wine names after the prefix's device and inode.
server_dir=server-$(printf '%x-%x' $(stat -c '%d %i' "$prefix"))
server_pid=
find_server() {
    for pid in $(pgrep -x wineserver64; pgrep -x wineserver); do
        [[ $(readlink "/proc/$pid/cwd") == */"$server_dir" ]] && server_pid=$pid
    done
    [[ -n $server_pid ]] || { echo "the prefix's wineserver was not found" >&2; return 1; }
}
server_cpu() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) / hz}' "/proc/$server_pid/stat"; }

# Wine's tools are started by their full paths: "wine regedit" would run them in a child
# process of start.exe, out of reach of the time and memory measurement.
# measure LABEL PREPARE CHECK COMMAND...: runs PREPARE, COMMAND, then CHECK, $runs times;
# records the median wall time (s), peak resident memory (MB) and wineserver CPU time (s) of
# COMMAND.
declare -A median_s peak_mb server_s
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
measure() {
    local label=$1 prepare=$2 check=$3
    shift 3
    local times=() mems=() servers=()
    for ((i = 0; i < ${MEASURE_RUNS:-$runs}; i++)); do
        eval "$prepare"
        local before after
        before=$(server_cpu)
        /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
            echo "$label failed:"; cat "$work/stderr.txt"; return 1; }
        after=$(server_cpu)
        read -r t m < "$work/time.txt"
        times+=("$t"); mems+=("$m"); servers+=("$(awk -v a="$before" -v b="$after" 'BEGIN {print b - a}')")
        eval "$check" || { echo "$label: the result is wrong"; return 1; }
    done
    median_s[$label]=$(printf '%s\n' "${times[@]}" | median)
    peak_mb[$label]=$(printf '%s\n' "${mems[@]}" | median | awk '{printf "%.1f", $1 / 1024}')
    server_s[$label]=$(printf '%s\n' "${servers[@]}" | median | awk '{printf "%.2f", $1}')
    echo "$label: ${median_s[$label]} s, ${peak_mb[$label]} MB, server ${server_s[$label]} s"
}

echo "=== wine64: generating the tree"
$WINE64 "$regbench" delete "$tree"
$WINE64 "$regbench" generate "$tree"
expected_count=$($WINE64 "$regbench" count "$tree" | tr -d '\r')
echo "tree: $expected_count"
same_tree='[[ "$($WINE64 "$regbench" count "$tree" | tr -d "\r")" == "$expected_count" ]]'
same_file() { cmp -s "$work/tree.reg" "$1"; }
$WINE64 "$regbench" export "$key" "$winwork\\tree.reg"
echo "tree: $(wc -c < "$work/tree.reg") bytes of REGEDIT4 text"
find_server
# The same sections ten times over: the same tree written ten times.
{ cat "$work/tree.reg"; for _ in $(seq 9); do tail -n +2 "$work/tree.reg"; done; } > "$work/tree10.reg"

echo "=== wine64: export"
measure "export ours" 'rm -f "$work/ours.reg"' 'same_file "$work/ours.reg"' $WINE64 "$regbench" export "$key" "$winwork\\ours.reg"
measure "export regedit" 'rm -f "$work/regedit.reg"' '[[ -s "$work/regedit.reg" ]]' $WINE64 'C:\windows\regedit.exe' /e "$winwork\\regedit.reg" "$key"
measure "export reg" 'rm -f "$work/reg.reg"' '[[ -s "$work/reg.reg" ]]' $WINE64 'C:\windows\system32\reg.exe' export "$key" "$winwork\\reg.reg" /y

echo "=== wine64: import"
drop="$WINE64 \"$regbench\" delete \"$tree\""
measure "import ours" "$drop" "$same_tree" $WINE64 "$regbench" import "$winwork\\tree.reg"
measure "import regedit" "$drop" "$same_tree" $WINE64 'C:\windows\regedit.exe' /s "$winwork\\tree.reg"
measure "import reg" "$drop" "$same_tree" $WINE64 'C:\windows\system32\reg.exe' import "$winwork\\tree.reg"
MEASURE_RUNS=1 measure "import ours x10" "$drop" "$same_tree" $WINE64 "$regbench" import "$winwork\\tree10.reg"

echo "=== wine64: report run and soak"
report_ms=$($WINE64 "$bench" report 50 | awk '/report_run_median_ms/ {print $2}')
$WINE64 "$bench" soak 1000 | tee "$work/soak.txt"

echo "=== wine64: report run with a PATH of 500 folders"
# Folders in a scratch folder of the prefix (short names: a variable holds 32,767 characters at
# most), prepended to the process PATH through WINEPATH; four hold copies of files of the list.
path_root="$prefix/drive_c/kelvra-bench-path"
rm -rf "$path_root"
long_path=
for i in $(seq 500); do
    mkdir -p "$path_root/$i"
    long_path+="${long_path:+;}C:\\kelvra-bench-path\\$i"
done
testdata="$KELVRA_ROOT/build/win64/testdata/x64"
cp "$testdata/kelvra_ver2.dll" "$path_root/100/DravikLib.dll"
cp "$testdata/kelvra_ver6.dll" "$path_root/300/DravikLib.dll"
cp "$testdata/kelvra_ver2.dll" "$path_root/200/libmmd.dll"
cp "$testdata/kelvra_ver6.dll" "$path_root/450/libiomp5md.dll"
report500_ms=$(WINEPATH=$long_path $WINE64 "$bench" report 10 | awk '/report_run_median_ms/ {print $2}')
echo "report run, PATH of 500 folders: $report500_ms ms"
rm -rf "$path_root"
$WINE64 "$regbench" delete "$tree"
/usr/lib/wine/wineserver -k || true

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
native_value() { python3 - "$out/native.json" "$1" "$2" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
bench = next(b for b in data["benchmarks"] if b["name"] == sys.argv[2] + "_median")
print(f"{bench[sys.argv[3]]:.0f}" if sys.argv[3] != "real_time" else f"{bench['real_time']:.3f} {bench['time_unit']}")
PY
}

{
    echo "# Benchmark results"
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(uname -m), $(/usr/lib/wine/wine64 --version); median of $runs runs."
    echo
    echo "Wall time, peak memory and wineserver CPU time of each program; the ratio is ours to the"
    echo "fastest of Wine's tools."
    echo
    echo "| Measurement | Ours | \`regedit\` | \`reg\` | Ours / fastest |"
    echo "|---|---|---|---|---|"
    row() {  # row TITLE OURS REGEDIT REG
        local best=${median_s[$3]}
        awk -v a="${median_s[$4]}" -v b="$best" 'BEGIN { exit !(a < b) }' && best=${median_s[$4]}
        echo "| $1 | $(cell "$2") | $(cell "$3") | $(cell "$4") | $(ratio "${median_s[$2]}" "$best") |"
    }
    cell() { echo "${median_s[$1]} s, ${peak_mb[$1]} MB, server ${server_s[$1]} s"; }
    row "Export (\`regedit /e\`, \`reg export\`)" "export ours" "export regedit" "export reg"
    row "Import (\`regedit /s\`, \`reg import\`)" "import ours" "import regedit" "import reg"
    echo "| Import of the script ten times over ($(( $(wc -c < "$work/tree10.reg") / 1000000 )) MB) | $(cell "import ours x10") | | | |"
    echo "| One complete report run under wine64 | ${report_ms} ms | | | |"
    echo "| The report run with 500 folders on the PATH | ${report500_ms} ms | | | |"
    echo
    echo "Simulated platform (Google Benchmark, median):"
    echo
    echo "| Benchmark | Time | Values per second |"
    echo "|---|---|---|"
    echo "| Report run | $(native_value BM_ReportRun real_time) | |"
    echo "| Export of the tree | $(native_value BM_ExportTree real_time) | $(native_value BM_ExportTree items_per_second) |"
    echo "| Import of the tree | $(native_value BM_ImportTree real_time) | $(native_value BM_ImportTree items_per_second) |"
    echo
    echo "Soak under wine64 (1,000 report runs in one process):"
    echo
    sed 's/^/    /' "$work/soak.txt"
} > "$out/results.md"
echo
cat "$out/results.md"

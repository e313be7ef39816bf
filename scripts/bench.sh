#!/usr/bin/env bash
# Benchmarks, printed as a table and written to build/bench/results.md:
#  - one complete report run and the export and import of a generated registry tree
#    (2,000 keys x 50 values, about 6 MB of REGEDIT4 text, 13 MB in the Unicode form) on the
#    simulated platform;
#  - the same under wine64, side by side with Wine's own regedit /e and reg export, and
#    regedit /s and reg import, on the same tree in the same prefix, for both forms of the
#    script: median wall time, peak memory and wineserver CPU time of each (every tool timed as
#    one process from start to end), and the ratio ours / the fastest of Wine's tools. The tools
#    take turns run after run (the imports: ours, regedit /s, reg import, each form; then the
#    exports), so that a slow spell of the machine falls on all of them alike;
#  - our import of a script ten times as long (the tree's sections ten times over), in each
#    form, once, for its peak memory;
#  - the report run under wine64 again with 500 folders on the PATH, a few of them holding
#    copies of files of the list;
#  - the report run under wine64 with a chain of 150 DLLs and with a graph of 300 DLLs that
#    import each other behind files of the list, taking turns with the run without them, and
#    the walk of their imports alone.
# BENCH_RUNS sets the runs per measurement (5 by default); BENCH_REGISTRY_ONLY=1 runs only the
# registry scripts under wine64.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$KELVRA_ROOT"
bash scripts/setup.sh
source scripts/wine-env.sh
runs=${BENCH_RUNS:-5}
out=build/bench
mkdir -p "$out"

presets="linux-release win64"
[[ ${BENCH_REGISTRY_ONLY:-} == 1 ]] && presets=win64
for preset in $presets; do
    cmake --preset "$preset" >/dev/null
    targets=kelvra_bench
    [[ $preset == win64 ]] && targets="kelvra_wine_bench kelvra_registry_bench kelvra_test_dlls kelvra_dll_graph"
    [[ ${BENCH_REGISTRY_ONLY:-} == 1 ]] && targets=kelvra_registry_bench
    cmake --build --preset "$preset" --target $targets
done

if [[ ${BENCH_REGISTRY_ONLY:-} != 1 ]]; then
    echo "=== simulated platform (Google Benchmark)"
    build/linux-release/bin/kelvra_bench --benchmark_repetitions="$(( runs < 3 ? 3 : runs ))" \
        --benchmark_report_aggregates_only=true --benchmark_out="$out/native.json" \
        --benchmark_out_format=json | tee "$out/native.txt"
fi

prefix="$KELVRA_ROOT/build/wineprefix64-bench"
ensure_prefix64 "$prefix"
export WINEPREFIX=$prefix
bench="$KELVRA_ROOT/build/win64/bin/kelvra_wine_bench.exe"
regbench="$KELVRA_ROOT/build/win64/bin/kelvra_registry_bench.exe"
dllgraph="$KELVRA_ROOT/build/win64/bin/kelvra_dll_graph.exe"
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
# measure_once LABEL PREPARE CHECK COMMAND...: runs PREPARE, COMMAND, then CHECK; adds the wall
# time (s), peak resident memory (KB) and wineserver CPU time (s) of COMMAND to LABEL's runs.
declare -A times mems servers median_s peak_mb server_s
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
measure_once() {
    local label=$1 prepare=$2 check=$3
    shift 3
    eval "$prepare"
    local before after t m
    before=$(server_cpu)
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
        echo "$label failed:"; cat "$work/stderr.txt"; return 1; }
    after=$(server_cpu)
    read -r t m < "$work/time.txt"
    times[$label]+="$t "
    mems[$label]+="$m "
    servers[$label]+="$(awk -v a="$before" -v b="$after" 'BEGIN {print b - a}') "
    eval "$check" || { echo "$label: the result is wrong"; return 1; }
}
# The medians of every label measured so far.
summarize() {
    local label
    for label in "${!times[@]}"; do
        median_s[$label]=$(printf '%s\n' ${times[$label]} | median)
        peak_mb[$label]=$(printf '%s\n' ${mems[$label]} | median | awk '{printf "%.1f", $1 / 1024}')
        server_s[$label]=$(printf '%s\n' ${servers[$label]} | median | awk '{printf "%.2f", $1}')
    done
    for label in "${!times[@]}"; do
        echo "$label: ${median_s[$label]} s, ${peak_mb[$label]} MB, server ${server_s[$label]} s (runs: ${times[$label]})"
    done | sort
}

echo "=== wine64: generating the tree"
$WINE64 "$regbench" delete "$tree"
$WINE64 "$regbench" generate "$tree"
expected_count=$($WINE64 "$regbench" count "$tree" | tr -d '\r')
echo "tree: $expected_count"
same_tree='[[ "$($WINE64 "$regbench" count "$tree" | tr -d "\r")" == "$expected_count" ]]'
$WINE64 "$regbench" export "$key" "$winwork\\tree.reg"
# The Unicode script as users have it: written by Wine's regedit.
$WINE64 'C:\windows\regedit.exe' /e "$winwork\\tree-unicode.reg" "$key"
echo "tree: $(wc -c < "$work/tree.reg") bytes of REGEDIT4 text, $(wc -c < "$work/tree-unicode.reg") bytes in the Unicode form"
find_server
# The same sections ten times over: the same tree written ten times (the Unicode form's header is
# its first 78 bytes, byte-order mark included).
{ cat "$work/tree.reg"; for _ in $(seq 9); do tail -n +2 "$work/tree.reg"; done; } > "$work/tree10.reg"
{ cat "$work/tree-unicode.reg"; for _ in $(seq 9); do tail -c +79 "$work/tree-unicode.reg"; done; } > "$work/tree10-unicode.reg"

drop="$WINE64 \"$regbench\" delete \"$tree\""
for ((run = 1; run <= runs; run++)); do
    echo "=== wine64: round $run of $runs"
    for form in regedit4 unicode; do
        file=tree.reg
        [[ $form == unicode ]] && file=tree-unicode.reg
        measure_once "import $form ours" "$drop" "$same_tree" $WINE64 "$regbench" import "$winwork\\$file"
        measure_once "import $form regedit" "$drop" "$same_tree" $WINE64 'C:\windows\regedit.exe' /s "$winwork\\$file"
        measure_once "import $form reg" "$drop" "$same_tree" $WINE64 'C:\windows\system32\reg.exe' import "$winwork\\$file"
    done
    # Our Unicode export of this tree is the very file regedit writes.
    measure_once "export regedit4 ours" 'rm -f "$work/ours.reg"' 'cmp -s "$work/tree.reg" "$work/ours.reg"' $WINE64 "$regbench" export "$key" "$winwork\\ours.reg"
    measure_once "export unicode ours" 'rm -f "$work/ours-unicode.reg"' 'cmp -s "$work/tree-unicode.reg" "$work/ours-unicode.reg"' $WINE64 "$regbench" export "$key" "$winwork\\ours-unicode.reg" unicode
    measure_once "export regedit" 'rm -f "$work/regedit.reg"' '[[ -s "$work/regedit.reg" ]]' $WINE64 'C:\windows\regedit.exe' /e "$winwork\\regedit.reg" "$key"
    measure_once "export reg" 'rm -f "$work/reg.reg"' '[[ -s "$work/reg.reg" ]]' $WINE64 'C:\windows\system32\reg.exe' export "$key" "$winwork\\reg.reg" /y
done
measure_once "import regedit4 ours x10" "$drop" "$same_tree" $WINE64 "$regbench" import "$winwork\\tree10.reg"
measure_once "import unicode ours x10" "$drop" "$same_tree" $WINE64 "$regbench" import "$winwork\\tree10-unicode.reg"
summarize

report_ms="(not run)"
report500_ms="(not run)"
links_base_ms="(not run)"; chain_ms="(not run)"; graph_ms="(not run)"
chain_walk_ms="(not run)"; graph_walk_ms="(not run)"
if [[ ${BENCH_REGISTRY_ONLY:-} != 1 ]]; then
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

echo "=== wine64: report run with a chain of 150 DLLs and a graph of 300 DLLs behind files of the list"
# libifcoremd.dll heads a chain of 150 DLLs whose last import lies nowhere (the probe's load
# fails, and the walk of imports names the last link); libmmd.dll heads 300 DLLs that import
# each other (every one loads). The runs take turns: without them, with the chain, with the graph.
graphs="$prefix/drive_c/kelvra-bench-graphs"
rm -rf "$graphs"
$WINE64 "$dllgraph" chain 150 'C:\kelvra-bench-graphs\chain' --first libifcoremd.dll >/dev/null
$WINE64 "$dllgraph" graph 300 'C:\kelvra-bench-graphs\graph' --first libmmd.dll >/dev/null
declare -a base_runs=() chain_runs=() graph_runs=()
report_median() { WINEPATH=$1 $WINE64 "$bench" report 5 | awk '/report_run_median_ms/ {print $2}'; }
for round in $(seq "$runs"); do
    base_runs+=("$(report_median '')")
    chain_runs+=("$(report_median 'C:\kelvra-bench-graphs\chain')")
    graph_runs+=("$(report_median 'C:\kelvra-bench-graphs\graph')")
done
median_of() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
links_base_ms=$(median_of "${base_runs[@]}")
chain_ms=$(median_of "${chain_runs[@]}")
graph_ms=$(median_of "${graph_runs[@]}")
echo "report run: $links_base_ms ms; with the chain of 150: $chain_ms ms; with the graph of 300: $graph_ms ms"
# Of what they add, the walk of the imports is the report's own part; the rest is Wine's loader
# mapping the DLLs in the probe, as the library search always did.
walk_median() { WINEPATH=$1 $WINE64 "$bench" walk "$1\\$2" "$runs" | awk '/walk_median_ms/ {print $2}'; }
chain_walk_ms=$(walk_median 'C:\kelvra-bench-graphs\chain' libifcoremd.dll)
graph_walk_ms=$(walk_median 'C:\kelvra-bench-graphs\graph' libmmd.dll)
echo "the walk alone: the chain of 150: $chain_walk_ms ms; the graph of 300: $graph_walk_ms ms"
rm -rf "$graphs"
fi
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
    echo "$(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(uname -m), $(/usr/lib/wine/wine64 --version); median of $runs runs, the tools taking turns run after run."
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
    row "Export, REGEDIT4 (\`regedit /e\`, \`reg export\`: Unicode)" "export regedit4 ours" "export regedit" "export reg"
    row "Export, Unicode (\`regedit /e\`, \`reg export\`)" "export unicode ours" "export regedit" "export reg"
    row "Import, REGEDIT4 (\`regedit /s\`, \`reg import\`)" "import regedit4 ours" "import regedit4 regedit" "import regedit4 reg"
    row "Import, Unicode (\`regedit /s\`, \`reg import\`)" "import unicode ours" "import unicode regedit" "import unicode reg"
    echo "| Import of the REGEDIT4 script ten times over ($(( $(wc -c < "$work/tree10.reg") / 1000000 )) MB) | $(cell "import regedit4 ours x10") | | | |"
    echo "| Import of the Unicode script ten times over ($(( $(wc -c < "$work/tree10-unicode.reg") / 1000000 )) MB) | $(cell "import unicode ours x10") | | | |"
    echo "| One complete report run under wine64 | ${report_ms} ms | | | |"
    echo "| The report run with 500 folders on the PATH | ${report500_ms} ms | | | |"
    added() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 == a && b + 0 == b) printf "%+.0f ms", a - b; else print "(not run)" }'; }
    echo "| The report run, taking turns: alone / a 150-DLL chain behind libifcoremd.dll / a 300-DLL graph behind libmmd.dll | ${links_base_ms} / ${chain_ms} / ${graph_ms} ms (added: $(added "$chain_ms" "$links_base_ms"), $(added "$graph_ms" "$links_base_ms")) | | | |"
    echo "| Of that, the walk of the imports: the chain / the graph (goal: under 300 ms) | ${chain_walk_ms} / ${graph_walk_ms} ms | | | |"
    if [[ ${BENCH_REGISTRY_ONLY:-} != 1 ]]; then
        echo
        echo "Simulated platform (Google Benchmark, median):"
        echo
        echo "| Benchmark | Time | Values per second |"
        echo "|---|---|---|"
        echo "| Report run | $(native_value BM_ReportRun real_time) | |"
        for form in regedit4 unicode; do
            echo "| Export of the tree, $form | $(native_value BM_ExportTree/$form real_time) | $(native_value BM_ExportTree/$form items_per_second) |"
            echo "| Import of the tree, $form | $(native_value BM_ImportTree/$form real_time) | $(native_value BM_ImportTree/$form items_per_second) |"
        done
        echo
        echo "Soak under wine64 (1,000 report runs in one process):"
        echo
        sed 's/^/    /' "$work/soak.txt"
    fi
} > "$out/results.md"
echo
cat "$out/results.md"

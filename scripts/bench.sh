#!/usr/bin/env bash
# Benchmarks, printed as a table and written to build/bench/results.md:
#  - one complete report run and the export and import of a generated registry tree
#    (2,000 keys x 50 values, about 6 MB of REGEDIT4 text) on the simulated platform;
#  - the same under wine64, side by side with Wine's own regedit /s, reg import and
#    reg export on the same tree in the same prefix: median wall time and peak memory of
#    each (every tool timed as one process from start to end), and the ratio ours/theirs.
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
    cmake --build --preset "$preset" --target $([[ $preset == win64 ]] && echo kelvra_wine_bench || echo kelvra_bench)
done

echo "=== simulated platform (Google Benchmark)"
build/linux-release/bin/kelvra_bench --benchmark_repetitions="$(( runs < 3 ? 3 : runs ))" \
    --benchmark_report_aggregates_only=true --benchmark_out="$out/native.json" \
    --benchmark_out_format=json | tee "$out/native.txt"

prefix="$KELVRA_ROOT/build/wineprefix64-bench"
ensure_prefix64 "$prefix"
export WINEPREFIX=$prefix
bench="$KELVRA_ROOT/build/win64/bin/kelvra_wine_bench.exe"
tree='Software\KelvraBench'
key="HKEY_CURRENT_USER\\$tree"
work="$out/wine"
rm -rf "$work"
mkdir -p "$work"
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -p 60  # one server for the whole run, as for an interactive session

# Wine's tools are started by their full paths: "wine regedit" would run them in a child
# process of start.exe, out of reach of the time and memory measurement.
# measure LABEL PREPARE CHECK COMMAND...: runs PREPARE, COMMAND, then CHECK, $runs times;
# records the median wall time (s) and the median peak resident memory (MB) of COMMAND.
declare -A median_s peak_mb
measure() {
    local label=$1 prepare=$2 check=$3
    shift 3
    local times=() mems=()
    for ((i = 0; i < runs; i++)); do
        eval "$prepare"
        /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
            echo "$label failed:"; cat "$work/stderr.txt"; return 1; }
        read -r t m < "$work/time.txt"
        times+=("$t"); mems+=("$m")
        eval "$check" || { echo "$label: the result is wrong"; return 1; }
    done
    median_s[$label]=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    peak_mb[$label]=$(printf '%s\n' "${mems[@]}" | sort -g | awk '{a[NR]=$1} END {printf "%.0f", a[int((NR+1)/2)]/1024}')
    echo "$label: ${median_s[$label]} s, ${peak_mb[$label]} MB"
}

echo "=== wine64: generating the tree"
$WINE64 "$bench" delete "$tree"
$WINE64 "$bench" generate "$tree"
expected_count=$($WINE64 "$bench" count "$tree" | tr -d '\r')
echo "tree: $expected_count"
same_tree='[[ "$($WINE64 "$bench" count "$tree" | tr -d "\r")" == "$expected_count" ]]'
same_file() { cmp -s "$work/tree.reg" "$1"; }
$WINE64 "$bench" export "$key" 'Z:'"$(realpath "$work")"'/tree.reg'
echo "tree: $(wc -c < "$work/tree.reg") bytes of REGEDIT4 text"
treefile_win='Z:'"$(realpath "$work" | tr / '\\')"'\tree.reg'

echo "=== wine64: export"
measure "export ours" 'rm -f "$work/ours.reg"' 'same_file "$work/ours.reg"' $WINE64 "$bench" export "$key" "Z:$(realpath "$work" | tr / '\\')\\ours.reg"
measure "export reg" 'rm -f "$work/reg.reg"' '[[ -s "$work/reg.reg" ]]' $WINE64 'C:\windows\system32\reg.exe' export "$key" "Z:$(realpath "$work" | tr / '\\')\\reg.reg" /y

echo "=== wine64: import"
drop="$WINE64 \"$bench\" delete \"$tree\""
measure "import ours" "$drop" "$same_tree" $WINE64 "$bench" import "$treefile_win"
measure "import regedit" "$drop" "$same_tree" $WINE64 'C:\windows\regedit.exe' /s "$treefile_win"
measure "import reg" "$drop" "$same_tree" $WINE64 'C:\windows\system32\reg.exe' import "$treefile_win"

echo "=== wine64: report run and soak"
report_ms=$($WINE64 "$bench" report 50 | awk '/report_run_median_ms/ {print $2}')
$WINE64 "$bench" soak 1000 | tee "$work/soak.txt"
$WINE64 "$bench" delete "$tree"
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
    echo "| Measurement | Ours | Wine's tool | Ours / theirs |"
    echo "|---|---|---|---|"
    echo "| Export vs \`reg export KEY FILE /y\` | ${median_s[export ours]} s, ${peak_mb[export ours]} MB | ${median_s[export reg]} s, ${peak_mb[export reg]} MB | $(ratio "${median_s[export ours]}" "${median_s[export reg]}") |"
    echo "| Import vs \`regedit /s FILE\` | ${median_s[import ours]} s, ${peak_mb[import ours]} MB | ${median_s[import regedit]} s, ${peak_mb[import regedit]} MB | $(ratio "${median_s[import ours]}" "${median_s[import regedit]}") |"
    echo "| Import vs \`reg import FILE\` | ${median_s[import ours]} s, ${peak_mb[import ours]} MB | ${median_s[import reg]} s, ${peak_mb[import reg]} MB | $(ratio "${median_s[import ours]}" "${median_s[import reg]}") |"
    echo "| One complete report run under wine64 | ${report_ms} ms | | |"
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

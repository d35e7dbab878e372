#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all, then prints one summary
# with each figure's ratio to its target. Not part of ./test.sh.
#   bench/run.sh [build-dir]        default: build-bench next to this folder
#   LIDAR_E2E_SECONDS=60            length of each end-to-end run (default 10)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLIDAR_BENCH=ON >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" --target bench_receive bench_plot bench_window bench_testrun bench_results bench_longrun bench_cli lidar-sim >/dev/null || exit 1

# The CSV files stay in the build tree for a closer look.
out=$build/bench/results
rm -rf "$out" && mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
status=0
# One run per family: the CSV report needs the same counters on every row.
families="bench_receive:decodeThroughput bench_receive:hostileThroughput bench_receive:garbagePile bench_plot:refreshStep bench_plot:weekLongRun
          bench_plot:refreshStepAfterPlayback bench_plot:memoryPerPoint bench_window:measurementLogic bench_window:measurementWindow
          bench_window:headerLine bench_window:waitCpu bench_window:idleCpu bench_window:downloadTurnaround bench_window:endToEnd
          bench_window:statisticsSlide bench_window:statisticsPerFrame bench_window:endToEndLog
          bench_window:endToEndStatistics bench_window:statisticsWindowRefresh bench_testrun:collectorPerFrame bench_testrun:framePerFrame bench_testrun:reportHtmlAndPdf
          bench_results:storeStep bench_longrun:curveStorage bench_longrun:driftAndAllan bench_cli:streamAtLinkLimit"
for f in $families; do
    b=${f%%:*} family=${f#*:}
    echo "== $b $family" >&2
    # The window writes its settings file into the working directory.
    (cd "$out" && "$build/bench/$b" --benchmark_format=csv --benchmark_filter="^$family(/|\$)" \
        >"$out/bench_$family.csv" 2>"$out/$family.log") || status=1
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
cat "$out"/bench_*.csv | awk -F, '
function col(name) { return $(idx[name]) }
function line(what, value, unit, target, ratio) {
    printf "%-44s %12.4g %-6s target %-10s ratio %.3g\n", what, value, unit, target, ratio
}
/^name,/ { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); idx[h] = i }; next }
!/^"/ { next }
{
    gsub(/"/, "", $1); name = $1
    if (name ~ /^(decodeThroughput|hostileThroughput)/) {
        v = col("link_x"); line(name, v, "x link", ">= 1000", v / 1000)
    } else if (name ~ /^garbagePile/) {
        v = col("ns_per_byte") * 1e9; split(name, parts, "pile:"); arg = parts[2] + 0
        if (arg == 0) empty = v; if (arg >= fullArg) { fullArg = arg; full = v }
        line(name, v, "ns/B", "", 0)
    } else if (name ~ /^refreshStepAfterPlayback/) {
        v = col("cpu_time")
        line(name, v, "ms cpu", name ~ /points:1000000$/ ? "<= 10" : "<= 15", name ~ /points:1000000$/ ? v / 10 : v / 15)
    } else if (name ~ /^refreshStep/) {
        v = col("cpu_time"); step[name] = v
        line(name, v, "ms cpu", name ~ /points:1000000\/lod:1/ ? "<= 10" : name ~ /points:10000000\/lod:1/ ? "<= 15" : "", \
             name ~ /points:1000000\/lod:1/ ? v / 10 : name ~ /points:10000000\/lod:1/ ? v / 15 : 0)
    } else if (name ~ /^memoryPerPoint/) {
        v = col("bytes_per_point"); line(name, v, "B/pt", "<= 24", v / 24)
    } else if (name ~ /^measurement/) {
        line(name, col("cpu_time") / 1000, "us cpu", "", 0)
    } else if (name ~ /^statisticsSlide/) {
        v = col("cpu_time"); slide[name ~ /window:10000/ ? "big" : "small"] = v
        line(name, v, "ns cpu", "", 0)
    } else if (name ~ /^collectorPerFrame/) {
        v = col("cpu_time"); collector[name ~ /held:1000000/ ? "big" : "small"] = v
        line(name, v, "ns cpu", "", 0)
    } else if (name ~ /^framePerFrame/) {
        v = col("cpu_time"); if (name ~ /run:1\/held:1000000/) runBig = v; else if (name ~ /run:1/) runSmall = v; else bare0 = v
        line(name, v, "ns cpu", "", 0)
    } else if (name ~ /^reportHtmlAndPdf/) {
        v = col("real_time"); line(name, v, "ms", name ~ /steps:20\// ? "< 1000" : "", name ~ /steps:20\// ? v / 1000 : 0)
    } else if (name ~ /^statisticsPerFrame/) {
        line(name, col("cpu_time"), "ns cpu", "", 0)
    } else if (name ~ /^endToEndLog/) {
        line(name " lost", col("lost"), "frames", "0", col("lost"))
        line(name " cpu", col("cpu_share"), "core", "", 0)
        line(name " rss growth", col("rss_growth_mib"), "MiB", "<= 1", col("rss_growth_mib"))
        split(name, a, "points:"); p = a[2] + 0
        if (name ~ /log:1/) logged[p] = col("cpu_share"); else bare[p] = col("cpu_share")
    } else if (name ~ /^endToEndStatistics/) {
        line(name " cpu", col("cpu_share"), "core", "< 0.5", col("cpu_share") / 0.5)
        line(name " drift+allan", col("drift_allan_per_s"), "/s", "<= 1", col("drift_allan_per_s"))
    } else if (name ~ /^statisticsWindowRefresh/) {
        v = col("with_drift_allan_ms_max"); line(name " with drift+allan", v, "ms max", "< 50", v / 50)
        line(name " plain", col("plain_ms_max"), "ms max", "< 50", col("plain_ms_max") / 50)
        line(name " drift+allan", col("drift_allan_per_s"), "/s", "<= 1", col("drift_allan_per_s"))
    } else if (name ~ /^endToEnd/) {
        line(name " lost", col("lost"), "frames", "0", col("lost"))
        line(name " cpu", col("cpu_share"), "core", "< 0.5", col("cpu_share") / 0.5)
    } else if (name ~ /^downloadTurnaround/) {
        v = col("turnaround_us_median"); line(name " median", v, "us", "<= 113", v / 113)
        line(name " p90", col("turnaround_us_p90"), "us", "", 0)
    } else if (name ~ /^headerLine/) {
        v = col("bytes_per_s"); line(name " taken", v, "B/s", ">= 92160", v / 92160)
        line(name " cpu", col("cpu_share"), "core", "< 0.5", col("cpu_share") / 0.5)
        line(name " frames after", col("frames_after"), "frames", "700", col("frames_after") / 700)
    } else if (name ~ /^storeStep/) {
        v = col("real_time"); line(name, v, "ms", "< 50", v / 50)
    } else if (name ~ /^weekLongRun/) {
        v = col("cpu_time"); t = name ~ /points:1000000\// ? 10 : 15
        line(name " step", v, "ms cpu", "<= " t, v / t)
        v = col("rss_peak_MiB"); line(name " peak rss", v, "MiB", "< 256", v / 256)
    } else if (name ~ /^curveStorage/) {
        v = col("cpu_time"); line(name " step", v, "ms cpu", "<= 15", v / 15)
        v = col("rss_peak_MiB"); line(name " peak rss", v, "MiB", "< 256", v / 256)
        line(name " append", col("append_ns_per_point"), "ns/pt", "", 0)
    } else if (name ~ /^driftAndAllan/) {
        v = col("cpu_time"); line(name, v, "ms cpu", "< 50", v / 50)
    } else if (name ~ /^streamAtLinkLimit/) {
        line(name " lost", col("lost") + col("gaps"), "frames", "0", col("lost") + col("gaps"))
        v = col("cpu_share"); line(name " cpu", v, "core", "< 0.1", v / 0.1)
        v = col("first_line_ms"); line(name " first line", v, "ms", "< 100", v / 100)
    } else if (name ~ /^(waitCpu|idleCpu)/) {
        v = col("cpu_share"); line(name, v, "core", "< 0.05", v / 0.05)
    }
}
END {
    if (empty > 0) line("garbage: at the bound / empty buffer", full / empty, "x", "<= 2", full / empty / 2)
    for (k in step) { if (k ~ /points:100000\/lod:1/) s5 = step[k]; if (k ~ /points:10000000\/lod:1/) s7 = step[k] }
    if (s5 > 0) line("refresh step(1e7) / step(1e5), lod", s7 / s5, "x", "<= 5", s7 / s5 / 5)
    if (slide["small"] > 0) line("statistics slide(10000) / slide(100)", slide["big"] / slide["small"], "x", "<= 2", slide["big"] / slide["small"] / 2)
    if (collector["small"] > 0) line("collector frame(1e6 held) / frame(100 held)", collector["big"] / collector["small"], "x", "<= 2", collector["big"] / collector["small"] / 2)
    if (runSmall > 0) line("run frame(1e6 held) / frame(100 held)", runBig / runSmall, "x", "<= 2", runBig / runSmall / 2)
    if (bare0 > 0) line("frame with a run collecting / without", runSmall / bare0, "x", "", 0)
    for (p in logged) if (p in bare) line("log cpu - no-log cpu, points:" p, logged[p] - bare[p], "core", "<= 0.1", (logged[p] - bare[p]) / 0.1)
}'
grep -h -E "error|Error" "$out"/*.log | grep -v -E "^lidar-sim|propagateSizeHints" | head -5
exit $status

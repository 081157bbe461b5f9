#!/bin/sh
# Every aim the benchmarks measure, each against its reference tools in the
# same run: BUILD is a build folder of the default preset (default: build).
#
#   bench/aims.sh [BUILD]
set -e
build=${1:-build}
"$build/bench/bench_issued"
"$build/bench/bench_open" 5
"$build/bench/bench_unseal" 100K 20M
"$build/bench/bench_batch"
"$build/bench/bench_window"

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a fixed time (not in CI).
#   bash scripts/fuzz.sh [seconds per target, default 120]
# Corpora grow in build-fuzz/corpus/<target>, seeded from the playlists and chains of the tests;
# crashes land in build-fuzz/findings/<target>.
set -euo pipefail
source "$(dirname "$0")/build-common.sh"
seconds=${1:-120}
build=${HALCYON_FUZZ_DIR:-$HALCYON_ROOT/build-fuzz}

CC=clang CXX=clang++ halcyon_configure "$build" -DFUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build "$build" -j "${HALCYON_JOBS:-2}" --target playlist_fuzz sout_chain_fuzz player_options_fuzz

# Seeds: the string literals of the tests that read playlists, chains and options, one per file.
seed() {
    local target=$1
    shift
    mkdir -p "$build/corpus/$target"
    python3 - "$build/corpus/$target" "$@" <<'PY'
import ast, hashlib, pathlib, re, sys
out = pathlib.Path(sys.argv[1])
for source in sys.argv[2:]:
    text = pathlib.Path(source).read_text(encoding="utf-8")
    # Adjacent C++ string literals form one seed.
    for group in re.finditer(r'(?:"(?:[^"\\\n]|\\.)*"\s*)+', text):
        parts = re.findall(r'"((?:[^"\\\n]|\\.)*)"', group.group(0))
        try:
            data = "".join(ast.literal_eval('"' + p.replace("\\x", "\\x") + '"') for p in parts)
        except Exception:
            continue
        raw = data.encode("latin-1", "replace") if all(ord(c) < 256 for c in data) else data.encode()
        if len(raw) > 4:
            (out / hashlib.sha1(raw).hexdigest()).write_bytes(raw)
PY
}
seed playlist_fuzz "$HALCYON_ROOT"/tests/playlist/*.cpp
seed sout_chain_fuzz "$HALCYON_ROOT"/tests/player/sout_chain_test.cpp
seed player_options_fuzz "$HALCYON_ROOT"/tests/player/player_options_test.cpp "$HALCYON_ROOT"/tests/player/sout_chain_test.cpp

status=0
for target in playlist_fuzz sout_chain_fuzz player_options_fuzz; do
    mkdir -p "$build/findings/$target"
    echo "== $target: ${seconds}s"
    "$build/tests/fuzz/$target" "$build/corpus/$target" -max_total_time="$seconds" -max_len=65536 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$target/" \
        2>&1 | grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss|INFO: Loaded|==[0-9]+==ERROR|SUMMARY)|cov:' |
        tail -6 || status=1
    if ls "$build/findings/$target"/crash-* "$build/findings/$target"/leak-* >/dev/null 2>&1; then
        echo "findings in $build/findings/$target"
        status=1
    fi
done
exit $status

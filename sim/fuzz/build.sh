#!/usr/bin/env bash
# Builds the frame-decoder fuzz target with clang-14 (libFuzzer, ASan, UBSan) into
# build/fuzz/. Run it on the kept corpus, e.g.:
#   build/fuzz/frame_decoder_fuzz -max_total_time=60 sim/fuzz/corpus
# New inputs it finds land in the corpus folder; commit the ones worth keeping.
set -euo pipefail
cd "$(dirname "$0")/../.."
mkdir -p build/fuzz
clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I. board/block_checksum.cpp sim/*.cpp sim/fuzz/frame_replay.cpp \
    sim/fuzz/frame_decoder_fuzz.cpp -o build/fuzz/frame_decoder_fuzz
echo "built build/fuzz/frame_decoder_fuzz"

#!/usr/bin/env bash
# Builds the frame-decoder fuzz target (with the other libFuzzer targets) into build/fuzz/bin.
# Run it on the kept corpus, e.g.:
#   build/fuzz/bin/frame_decoder_fuzz -max_total_time=60 sim/fuzz/corpus
# New inputs it finds land in the corpus folder; commit the ones worth keeping.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/fuzz-build
echo "built build/fuzz/bin/frame_decoder_fuzz"

#!/bin/sh
# Builds the decode fuzzer with clang's libFuzzer and runs it for a bounded time on the seeds.
#   run-decode-fuzzer.sh CLANGXX SOURCE_ROOT WORK_DIR SECONDS
set -eu
clangxx=$1
src=$2
work=$3
seconds=$4
mkdir -p "$work"
binary="$work/decode-fuzzer"
sources="$src/tests/chat/fuzz/DecodeFuzzer.cpp $src/src/chat/client/DeepSeekClient.cpp $src/src/chat/client/Utf8.cpp"
stale=no
[ -x "$binary" ] || stale=yes
for f in $sources "$src"/src/chat/client/*.h; do
    [ "$f" -nt "$binary" ] && stale=yes
done
if [ $stale = yes ]; then
    "$clangxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
        -I"$src/src" $sources -o "$binary.tmp"
    mv "$binary.tmp" "$binary"
fi
# A fresh corpus each run: findings go to the work dir, never into the source tree.
corpus="$work/corpus"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$src"/tests/chat/fuzz/corpus/* "$corpus/"
cd "$work"
exec "$binary" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 -timeout=10 \
    -print_final_stats=1 "$corpus"

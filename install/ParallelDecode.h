// The bzip2 blocks of a compressed package file decoded on several threads:
// each block is cut from the input at its magic and decoded by libbz2 as a
// stream of its own; outputs are written in order.
#pragma once
#include <cstdint>
#include <cstdio>

enum class EParallelDecode {
    kDecoded,      // every block and the stream's combined CRC checked, the output complete
    kWriteFailed,  // the output could not be written
    kTooLong,      // the output would pass the limit; nothing past it is written
    kUndecided,    // something the cuts cannot vouch for: the sequential decoder judges the stream from its start,
                   // leaving out the `written` bytes that are out already (they are what it would write first)
};

// Decodes the block stream that follows "BZh" + digit, from input's position on, with `workers` threads, into at
// most `limit` bytes. Memory stays within a few blocks per worker: the input is read in windows and at most two
// blocks per worker are in flight.
EParallelDecode DecodeBlocksInParallel(std::FILE* input, std::FILE* output, char digit, unsigned workers,
                                       uint64_t limit, uint64_t& written);

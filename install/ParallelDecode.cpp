#include "install/ParallelDecode.h"

#include <bzlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const uint64_t kBlockMagic = 0x314159265359, kEndMagic = 0x177245385090;
const unsigned kMagicBits = 48, kCrcBits = 32;
const size_t kWindow = 64 * 1024;

template <class T>
void Release(std::vector<T>& bytes) {
    std::vector<T>().swap(bytes);
}

// Bits [bit, bit + count) of bytes, the first one highest; count <= 57.
uint64_t PeekBits(const unsigned char* bytes, uint64_t bit, unsigned count) {
    const uint64_t first = bit / 8, last = (bit + count - 1) / 8;
    uint64_t value = 0;
    for (uint64_t i = first; i <= last; ++i) value = value << 8 | bytes[i];
    return value >> ((last + 1) * 8 - bit - count) & ((uint64_t(1) << count) - 1);
}

// Per byte value, the magics that may start in the byte before it (bit s: the block magic from that byte's bit s;
// bit 8 + s: the end magic). The second byte of a magic lies wholly inside it at every shift, so one look per byte
// leaves only a few places to compare in full.
const std::array<uint16_t, 256>& MagicFilter() {
    static const std::array<uint16_t, 256> filter = [] {
        std::array<uint16_t, 256> table{};
        for (unsigned s = 0; s < 8; ++s) {
            table[(kBlockMagic >> (32 + s)) & 0xFF] |= uint16_t(1u << s);
            table[(kEndMagic >> (32 + s)) & 0xFF] |= uint16_t(1u << (8 + s));
        }
        return table;
    }();
    return filter;
}

// A block's bits as cut from the input, in the bytes from the one that holds its first bit.
struct CPiece {
    std::vector<unsigned char> bytes;
    unsigned firstBit = 0;
    uint64_t bitCount = 0;
};

enum class ECut { kBlock, kEnd, kIrregular };

// Cuts the block stream at the magics that follow each block's magic and CRC, reading a window at a time. A magic
// inside a block's data makes a piece that fails to decode on its own, which sends the stream to the sequential
// decoder; so does anything else out of the ordinary.
class CBlockCutter {
public:
    CBlockCutter(std::FILE* input, char digit)
        // The packer's largest block, of incompressible data, is a little over its block size.
        : m_input(input), m_maxBits(uint64_t(digit - '0') * 125000 * 8) {}

    // The next block; or the end of the stream, whose combined CRC lands in storedCrc.
    ECut Next(CPiece& piece, uint32_t& storedCrc) {
        const uint64_t headBits = kMagicBits + kCrcBits;
        if (!Have((m_start + headBits + 7) / 8)) return ECut::kIrregular;
        const uint64_t magic = PeekBits(m_buffer.data(), m_start, kMagicBits);
        if (magic == kEndMagic) {
            storedCrc = uint32_t(PeekBits(m_buffer.data(), m_start + kMagicBits, kCrcBits));
            return ECut::kEnd;
        }
        if (magic != kBlockMagic) return ECut::kIrregular;
        const std::array<uint16_t, 256>& filter = MagicFilter();
        // A magic from the byte before b ends by the 5th byte after it, which must be in the buffer.
        for (size_t b = (m_start + headBits) / 8;;) {
            const unsigned char* bytes = m_buffer.data();
            for (const size_t limit = m_buffer.size() - 5; b < limit; ++b) {
                const unsigned shifts = filter[bytes[b]];
                for (unsigned left = (shifts | shifts >> 8) & 0xFF; left != 0; left &= left - 1) {
                    const unsigned s = unsigned(__builtin_ctz(left));
                    const uint64_t at = (b - 1) * 8 + s, bits = PeekBits(bytes, at, kMagicBits);
                    if (at >= m_start + headBits && ((shifts >> s & 1 && bits == kBlockMagic) ||
                                                     (shifts >> (8 + s) & 1 && bits == kEndMagic)))
                        return Cut(piece, at);
                }
            }
            if (m_buffer.size() * 8 - m_start > m_maxBits || !Have(b + 6)) return ECut::kIrregular;
        }
    }

private:
    // At least `size` bytes in the buffer, reading on as needed.
    bool Have(size_t size) {
        while (m_buffer.size() < size) {
            const size_t old = m_buffer.size();
            m_buffer.resize(old + kWindow);
            m_buffer.resize(old + std::fread(m_buffer.data() + old, 1, kWindow, m_input));
            if (m_buffer.size() == old) return false;
        }
        return true;
    }

    ECut Cut(CPiece& piece, uint64_t at) {
        piece.firstBit = m_start;
        piece.bitCount = at - m_start;
        piece.bytes.assign(m_buffer.begin(), m_buffer.begin() + ptrdiff_t((at + 7) / 8));
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + ptrdiff_t(at / 8));
        m_start = unsigned(at % 8);
        return ECut::kBlock;
    }

    std::FILE* m_input;
    const uint64_t m_maxBits;
    std::vector<unsigned char> m_buffer;  // from the byte that holds the current magic's first bit
    unsigned m_start = 0;                 // that bit in m_buffer[0]
};

// Appends bits to bytes, the first one highest.
class CBitWriter {
public:
    explicit CBitWriter(std::vector<char>& out) : m_out(out) {}
    void Put(uint64_t bits, unsigned count) {  // count <= 48
        m_pending = m_pending << count | (bits & ((uint64_t(1) << count) - 1));
        for (m_count += count; m_count >= 8; m_count -= 8) m_out.push_back(char(m_pending >> (m_count - 8)));
    }
    void PadToByte() {
        if (m_count != 0) Put(0, 8 - m_count);
    }

private:
    std::vector<char>& m_out;
    uint64_t m_pending = 0;
    unsigned m_count = 0;
};

// The block as a stream of its own: its CRC is the stream's combined CRC.
std::vector<char> MakeBlockStream(const CPiece& piece, char digit, uint32_t& crc) {
    crc = uint32_t(PeekBits(piece.bytes.data(), piece.firstBit + kMagicBits, kCrcBits));
    std::vector<char> stream = {'B', 'Z', 'h', digit};
    const unsigned char* bytes = piece.bytes.data();
    const unsigned shift = piece.firstBit;
    const size_t whole = size_t(piece.bitCount / 8), rest = size_t(piece.bitCount % 8);
    stream.reserve(stream.size() + whole + 16);
    stream.resize(stream.size() + whole);
    char* out = stream.data() + stream.size() - whole;
    if (shift == 0)
        std::copy(bytes, bytes + whole, out);
    else
        for (size_t i = 0; i < whole; ++i) out[i] = char(bytes[i] << shift | bytes[i + 1] >> (8 - shift));
    CBitWriter writer(stream);
    if (rest != 0) writer.Put(PeekBits(bytes, shift + whole * 8, unsigned(rest)), unsigned(rest));
    writer.Put(kEndMagic, kMagicBits);
    writer.Put(crc, kCrcBits);
    writer.PadToByte();
    return stream;
}

using Sink = std::function<bool(const char*, size_t)>;

// Decodes a block's own stream into sink, which returns false to stop. True only when the stream ends in its last
// byte: a block that ended short of its piece, or ran on into the end magic, was cut where no block ends (the end
// magic repeats itself in no shift below 45 bits).
bool DecodeBlockStream(std::vector<char>& stream, const Sink& sink) {
    bz_stream bz = {};
    if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) return false;
    std::vector<char> out(kWindow);
    bz.next_in = stream.data();
    bz.avail_in = unsigned(stream.size());
    int result;
    do {
        bz.next_out = out.data();
        bz.avail_out = unsigned(out.size());
        result = BZ2_bzDecompress(&bz);
        const size_t produced = out.size() - bz.avail_out;
        if (produced != 0 && !sink(out.data(), produced)) result = BZ_IO_ERROR;
    } while (result == BZ_OK && bz.avail_out == 0);
    const bool ended = result == BZ_STREAM_END && bz.avail_in == 0;
    BZ2_bzDecompressEnd(&bz);
    return ended;
}

struct CJob {
    CPiece piece;
    std::vector<char> stream;  // kept while the output is not
    std::vector<char> output;
    uint32_t crc = 0;
    bool done = false;
    bool decoded = false;
    bool kept = true;  // the whole output is in `output`
};

// A block that decodes to more than this is decoded again when its turn to be written comes: a few blocks of long
// runs (up to 51 times the block size each) would otherwise fill the memory.
size_t OutputCap(char digit) { return size_t(digit - '0') * 200000; }

void DecodeJob(CJob& job, char digit) {
    job.stream = MakeBlockStream(job.piece, digit, job.crc);
    Release(job.piece.bytes);
    const size_t cap = OutputCap(digit);
    job.decoded = DecodeBlockStream(job.stream, [&](const char* data, size_t size) {
        job.kept = job.kept && job.output.size() + size <= cap;
        if (job.kept)
            job.output.insert(job.output.end(), data, data + size);
        else
            Release(job.output);
        return true;
    });
    if (job.kept) Release(job.stream);
}

// Worker threads that decode jobs in the order they came; the coordinator takes them back in that order. A worker
// starts with each of the first jobs, so a stream that fails at its start costs no thread.
class CDecoderPool {
public:
    CDecoderPool(char digit, unsigned workers) : m_digit(digit), m_workers(workers) {}
    ~CDecoderPool() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_work.notify_all();
        for (std::thread& thread : m_threads) thread.join();
    }
    size_t InFlight() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_jobs.size();
    }
    // False when no worker could be started.
    bool Add(std::unique_ptr<CJob> job) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back(job.get());
            m_jobs.push_back(std::move(job));
        }
        if (m_threads.size() < m_workers) {
            try {
                m_threads.emplace_back(&CDecoderPool::Work, this);
            } catch (const std::system_error&) {
            }
        }
        m_work.notify_one();
        return !m_threads.empty();
    }
    // The oldest job once it is done; null when none is in flight.
    std::unique_ptr<CJob> TakeOldest() {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_jobs.empty()) return nullptr;
        m_done.wait(lock, [this] { return m_jobs.front()->done; });
        std::unique_ptr<CJob> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        return job;
    }

private:
    void Work() {
        for (;;) {
            CJob* job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_work.wait(lock, [this] { return m_stop || !m_queue.empty(); });
                if (m_stop) return;
                job = m_queue.front();
                m_queue.pop_front();
            }
            try {
                DecodeJob(*job, m_digit);
            } catch (const std::exception&) {
                job->decoded = false;
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                job->done = true;
            }
            m_done.notify_one();
        }
    }

    const char m_digit;
    const unsigned m_workers;
    std::mutex m_mutex;
    std::condition_variable m_work, m_done;
    std::deque<std::unique_ptr<CJob>> m_jobs;  // in flight, oldest first
    std::deque<CJob*> m_queue;                 // not yet taken by a worker
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

EParallelDecode WriteJob(CJob& job, std::FILE* output, uint64_t limit, uint64_t& written) {
    EParallelDecode failure = EParallelDecode::kUndecided;
    const Sink write = [&](const char* data, size_t size) {
        if (size > limit - written)
            failure = EParallelDecode::kTooLong;
        else if (std::fwrite(data, 1, size, output) != size)
            failure = EParallelDecode::kWriteFailed;
        else
            written += size;
        return failure == EParallelDecode::kUndecided;
    };
    if (job.kept)
        return job.output.empty() || write(job.output.data(), job.output.size()) ? EParallelDecode::kDecoded : failure;
    return DecodeBlockStream(job.stream, write) ? EParallelDecode::kDecoded : failure;
}

EParallelDecode Coordinate(std::FILE* input, std::FILE* output, char digit, unsigned workers, uint64_t limit,
                           uint64_t& written) {
    CDecoderPool pool(digit, workers);
    CBlockCutter cutter(input, digit);
    uint32_t combined = 0, stored = 0;
    bool ended = false;
    for (;;) {
        while (!ended && pool.InFlight() < 2 * size_t(workers)) {
            auto job = std::make_unique<CJob>();
            const ECut cut = cutter.Next(job->piece, stored);
            if (cut == ECut::kIrregular) return EParallelDecode::kUndecided;
            ended = cut == ECut::kEnd;
            if (!ended && !pool.Add(std::move(job))) return EParallelDecode::kUndecided;
        }
        const std::unique_ptr<CJob> job = pool.TakeOldest();
        if (!job) break;
        if (!job->decoded) return EParallelDecode::kUndecided;
        combined = (combined << 1 | combined >> 31) ^ job->crc;
        const EParallelDecode wrote = WriteJob(*job, output, limit, written);
        if (wrote != EParallelDecode::kDecoded) return wrote;
    }
    return combined == stored ? EParallelDecode::kDecoded : EParallelDecode::kUndecided;
}

}  // namespace

EParallelDecode DecodeBlocksInParallel(std::FILE* input, std::FILE* output, char digit, unsigned workers,
                                       uint64_t limit, uint64_t& written) {
    written = 0;
    try {
        return Coordinate(input, output, digit, workers, limit, written);
    } catch (const std::bad_alloc&) {
        return EParallelDecode::kUndecided;
    }
}

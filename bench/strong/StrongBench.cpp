// Throughput of the strong envelope against libsodium's XChaCha20-Poly1305 called directly on
// the same 1 GiB buffer in chunk-sized calls, sealing and opening: the chunking, the header
// and the copies in and out of the writer and the reader should cost little. The key
// derivation with the parameters written by default is timed once and printed on its own.
#include "BenchFigures.h"

#include "crypto/StrongEnvelope.h"

#include <sodium.h>

#include <chrono>
#include <cstring>

namespace {

constexpr size_t kSize = size_t{1} << 30;
constexpr size_t kChunk = strong::kDefaultChunkBytes;
constexpr size_t kChunks = kSize / kChunk; // the last one full, and flagged as the last
constexpr size_t kSealedSize = strong::kHeaderBytes + kSize + kChunks * strong::kTagBytes;

const strong::Key& BenchKey() {
    static const strong::Key key = [] {
        strong::Key k;
        k.Derive("benchmark password", {1, 8192});
        return k;
    }();
    return key;
}

// Buffers allocated and touched once, outside the timing, for both sides alike.
std::vector<uint8_t>& Plain() {
    static std::vector<uint8_t> plain = [] {
        std::vector<uint8_t> b(kSize);
        for (size_t i = 0; i < b.size(); ++i) {
            b[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
        }
        return b;
    }();
    return plain;
}

std::vector<uint8_t>& Sealed() {
    static std::vector<uint8_t> sealed(kSealedSize, 1);
    return sealed;
}

std::vector<uint8_t>& Opened() {
    static std::vector<uint8_t> opened(kSize, 1);
    return opened;
}

// The file the open runs read: sealed once by the envelope.
const std::vector<uint8_t>& File() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> f;
        strong::Seal(Plain().data(), Plain().size(), BenchKey(), f);
        return f;
    }();
    return file;
}

// The reference: one libsodium call per chunk, straight from the input into the output, with
// the same nonce and additional data the envelope uses.
void RawChunks(benchmark::State& state, bool seal) {
    const std::vector<uint8_t>& file = File();
    std::array<uint8_t, strong::kHeaderBytes + 1> ad{};
    std::memcpy(ad.data(), file.data(), strong::kHeaderBytes);
    std::array<uint8_t, strong::kNonceBytes> nonce{};
    const uint8_t* key = BenchKey().Bytes();
    for (auto _ : state) {
        for (size_t i = 0; i < kChunks; ++i) {
            const size_t length = std::min(kChunk, kSize - i * kChunk);
            const size_t at = strong::kHeaderBytes + i * (kChunk + strong::kTagBytes);
            std::memcpy(nonce.data(), file.data() + 40, nonce.size());
            for (int b = 0; b < 8; ++b) {
                nonce[static_cast<size_t>(b)] ^= static_cast<uint8_t>(uint64_t{i} >> (8 * b));
            }
            ad[strong::kHeaderBytes] = i + 1 == kChunks ? 1 : 0;
            unsigned long long n = 0;
            if (seal) {
                crypto_aead_xchacha20poly1305_ietf_encrypt(
                    Sealed().data() + at, &n, Plain().data() + i * kChunk, length, ad.data(),
                    ad.size(), nullptr, nonce.data(), key);
            } else if (crypto_aead_xchacha20poly1305_ietf_decrypt(
                           Opened().data() + i * kChunk, &n, nullptr, file.data() + at,
                           length + strong::kTagBytes, ad.data(), ad.size(), nonce.data(),
                           key) != 0) {
                state.SkipWithError("a chunk did not open");
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_RawSeal(benchmark::State& state) {
    RawChunks(state, true);
}
void BM_RawOpen(benchmark::State& state) {
    RawChunks(state, false);
}

void BM_EnvelopeSeal(benchmark::State& state) {
    for (auto _ : state) {
        size_t done = 0;
        strong::Writer writer([&](const uint8_t* p, size_t n) {
            std::memcpy(Sealed().data() + done, p, n);
            done += n;
            return true;
        });
        if (writer.Begin(BenchKey()) != strong::Status::Ok ||
            writer.Append(Plain().data(), Plain().size()) != strong::Status::Ok ||
            writer.Finish() != strong::Status::Ok) {
            state.SkipWithError("sealing failed");
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_EnvelopeOpen(benchmark::State& state) {
    const std::vector<uint8_t>& file = File();
    for (auto _ : state) {
        strong::MemorySource source(file.data(), file.size());
        strong::Reader reader;
        size_t done = 0;
        if (reader.Open(source) != strong::Status::Ok ||
            reader.UnlockWithKey(BenchKey()) != strong::Status::Ok ||
            reader.ReadAll([&](const uint8_t* p, size_t n) {
                std::memcpy(Opened().data() + done, p, n);
                done += n;
                return true;
            }) != strong::Status::Ok) {
            state.SkipWithError("opening failed");
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

// Alternating the two sides and keeping the fastest repetition of each evens out other load
// on a shared machine.
BENCHMARK(BM_RawSeal)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_EnvelopeSeal)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_RawOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_EnvelopeOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        if (t["BM_EnvelopeSeal"] > 0) {
            PrintFigure("strong_seal_vs_raw_xchacha", t["BM_RawSeal"] / t["BM_EnvelopeSeal"],
                        ">=0.8");
        }
        if (t["BM_EnvelopeOpen"] > 0) {
            PrintFigure("strong_open_vs_raw_xchacha", t["BM_RawOpen"] / t["BM_EnvelopeOpen"],
                        ">=0.8");
        }
        // Paid once per open (and per save that changes the password or the parameters).
        strong::Key key;
        const auto start = std::chrono::steady_clock::now();
        const strong::Status s = key.Derive("benchmark password", strong::KdfParams{});
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        std::printf("key derivation, 3 passes and 256 MiB: %lld ms%s\n", static_cast<long long>(ms),
                    s == strong::Status::Ok ? "" : " (failed)");
    });
}

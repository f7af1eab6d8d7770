// Throughput of the current-form blob against raw AES-256-ECB from the same library on the
// same 64 MiB buffer: padding, the word scramble and the copies should cost little.
#include "BenchFigures.h"

#include "crypto/EncryptedFile.h"

#include <openssl/evp.h>

#include <memory>

namespace {

constexpr size_t kSize = size_t{64} << 20;
const char* const kPassword = "benchmark password";

const Bytes& Plain() {
    static const Bytes plain = [] {
        Bytes b(kSize);
        for (size_t i = 0; i < b.size(); ++i) {
            b[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
        }
        return b;
    }();
    return plain;
}

const Bytes& Blob() {
    static const Bytes blob = [] {
        Bytes b;
        EncryptBuffer(Plain().data(), Plain().size(), kPassword, b);
        return b;
    }();
    return blob;
}

// The reference: one EVP call over the whole buffer into a fresh output buffer.
void RawAes(benchmark::State& state, const Bytes& input, bool encrypt) {
    const AesKey key = DeriveAesKey(kPassword);
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> out(new uint8_t[input.size()]);
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        EVP_CipherInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key.data(), nullptr, encrypt);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        int written = 0;
        EVP_CipherUpdate(ctx, out.get(), &written, input.data(), static_cast<int>(input.size()));
        EVP_CIPHER_CTX_free(ctx);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_RawAesEncrypt(benchmark::State& state) {
    RawAes(state, Plain(), true);
}
void BM_RawAesDecrypt(benchmark::State& state) {
    Bytes whole(Blob().begin(), Blob().begin() + static_cast<long>(kSize));
    RawAes(state, whole, false);
}

void BM_EncryptBuffer(benchmark::State& state) {
    for (auto _ : state) {
        Bytes out;
        EncryptBuffer(Plain().data(), Plain().size(), kPassword, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_DecryptBuffer(benchmark::State& state) {
    for (auto _ : state) {
        Bytes out;
        if (!DecryptBuffer(Blob().data(), Blob().size(), kPassword, out)) {
            state.SkipWithError("decryption failed");
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

BENCHMARK(BM_RawAesEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncryptBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawAesDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecryptBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        if (t["BM_EncryptBuffer"] > 0) {
            PrintFigure("encrypt_buffer_vs_raw_aes", t["BM_RawAesEncrypt"] / t["BM_EncryptBuffer"],
                        ">=0.8");
        }
        if (t["BM_DecryptBuffer"] > 0) {
            PrintFigure("decrypt_buffer_vs_raw_aes", t["BM_RawAesDecrypt"] / t["BM_DecryptBuffer"],
                        ">=0.8");
        }
    });
}

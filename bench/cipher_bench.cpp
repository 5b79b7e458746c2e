// Enciphering as the socket layer does it: the same 8 MiB buffer in 1 KiB calls (block
// transfers move bodies in pieces of at most 1024 bytes) against one call over the whole buffer,
// measured side by side in the same run. Fails (exit status 1) when the 1 KiB calls run at less
// than 0.7 times the speed of the single call.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "vaultline/vaultline.h"

namespace {

constexpr int kBufferBytes = 8 * 1024 * 1024;
constexpr int kPiece = 1024;
constexpr double kMinSpeedRatio = 0.7;
constexpr int kRounds = 15;

struct Key {
    unsigned char material[64];
    int handle = VLT_KeyCreate(material);
    ~Key() { VLT_KeyDestroy(handle); }
};

std::vector<unsigned char>& buffer() {
    static std::vector<unsigned char> b(kBufferBytes, 0x5a);
    return b;
}

void encipherWhole(int handle) {
    auto& b = buffer();
    VLT_SendEncrypt(handle, kBufferBytes, b.data(), b.data());
}

void encipherInPieces(int handle) {
    auto& b = buffer();
    for (int at = 0; at < kBufferBytes; at += kPiece) VLT_SendEncrypt(handle, kPiece, b.data() + at, b.data() + at);
}

template <typename F>
double secondsOf(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_EncipherOneCall(benchmark::State& state) {
    Key key;
    for (auto _ : state) encipherWhole(key.handle);
    state.SetBytesProcessed(state.iterations() * kBufferBytes);
}
BENCHMARK(BM_EncipherOneCall)->Unit(benchmark::kMillisecond);

void BM_EncipherKiBCalls(benchmark::State& state) {
    Key key;
    for (auto _ : state) encipherInPieces(key.handle);
    state.SetBytesProcessed(state.iterations() * kBufferBytes);
}
BENCHMARK(BM_EncipherKiBCalls)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // The verdict: best of kRounds of each, taken in turns so that both see the same load.
    Key key;
    double whole = 1e9, pieces = 1e9;
    for (int i = 0; i < kRounds; ++i) {
        whole = std::min(whole, secondsOf([&] { encipherWhole(key.handle); }));
        pieces = std::min(pieces, secondsOf([&] { encipherInPieces(key.handle); }));
    }
    const double ratio = whole / pieces;  // speed of the pieces relative to the single call
    std::printf("enciphering %d MiB: one call %.2f ms, 1 KiB calls %.2f ms; speed ratio %.2f (at least %.1f)\n",
                kBufferBytes >> 20, whole * 1000, pieces * 1000, ratio, kMinSpeedRatio);
    if (ratio < kMinSpeedRatio) {
        std::printf("FAIL: 1 KiB calls are slower than %.1f times one call\n", kMinSpeedRatio);
        return 1;
    }
    return 0;
}

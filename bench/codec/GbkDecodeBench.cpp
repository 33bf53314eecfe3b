// GBK decoding for the receive box: the codec's table decoder against Qt's GBK converter (the
// reference, measured in the same run), on random bytes and on GBK text, whole buffers and the
// start of a decoder for one short line (the screen starts one for every front it drops).
#include <benchmark/benchmark.h>

#include <QStringDecoder>
#include <random>
#include <vector>

#include "Codec.h"
#include "GbkDecoder.h"

namespace {

// A full receive buffer: random bytes, or GBK text (pairs, some ASCII and line feeds).
std::vector<char> Bytes(bool bText) {
    std::mt19937 rng(1);
    std::vector<char> bytes;
    while (bytes.size() < kRxBufferSize) {
        if (!bText) {
            bytes.push_back(static_cast<char>(rng()));
        } else if (rng() % 4 == 0) {
            bytes.push_back(static_cast<char>(rng() % 40 == 0 ? '\n' : 0x20 + rng() % 0x5F));
        } else {
            bytes.push_back(static_cast<char>(0xB0 + rng() % 0x48));
            bytes.push_back(static_cast<char>(0xA1 + rng() % 0x5E));
        }
    }
    bytes.resize(kRxBufferSize);
    return bytes;
}

void SetBytes(benchmark::State& state, std::size_t nBytes) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(nBytes));
}

void BM_QtDecode(benchmark::State& state, bool bText) {
    const std::vector<char> bytes = Bytes(bText);
    std::vector<QChar> out(bytes.size() + 1);
    QStringDecoder decoder("GBK");
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            decoder.appendToBuffer(out.data(), QByteArrayView(bytes.data(), bytes.size())));
        benchmark::ClobberMemory();
    }
    SetBytes(state, bytes.size());
}

void BM_TableDecode(benchmark::State& state, bool bText) {
    const std::vector<char> bytes = Bytes(bText);
    std::vector<char16_t> out(CGbkDecoder::RequiredSpace(bytes.size()));
    CGbkDecoder decoder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.Append(out.data(), bytes.data(), bytes.size()));
        benchmark::ClobberMemory();
    }
    SetBytes(state, bytes.size());
}

// A fresh decoder for one 80-byte line of text.
constexpr std::size_t kLine = 80;

void BM_QtOpenAndDecodeLine(benchmark::State& state) {
    const std::vector<char> bytes = Bytes(true);
    std::vector<QChar> out(kLine + 1);
    for (auto _ : state) {
        QStringDecoder decoder("GBK");
        benchmark::DoNotOptimize(
            decoder.appendToBuffer(out.data(), QByteArrayView(bytes.data(), kLine)));
        benchmark::ClobberMemory();
    }
    SetBytes(state, kLine);
}

void BM_TableOpenAndDecodeLine(benchmark::State& state) {
    const std::vector<char> bytes = Bytes(true);
    std::vector<char16_t> out(CGbkDecoder::RequiredSpace(kLine));
    for (auto _ : state) {
        CGbkDecoder decoder;
        benchmark::DoNotOptimize(decoder.Append(out.data(), bytes.data(), kLine));
        benchmark::ClobberMemory();
    }
    SetBytes(state, kLine);
}

}  // namespace

BENCHMARK_CAPTURE(BM_QtDecode, random, false);
BENCHMARK_CAPTURE(BM_TableDecode, random, false);
BENCHMARK_CAPTURE(BM_QtDecode, text, true);
BENCHMARK_CAPTURE(BM_TableDecode, text, true);
BENCHMARK(BM_QtOpenAndDecodeLine);
BENCHMARK(BM_TableOpenAndDecodeLine);

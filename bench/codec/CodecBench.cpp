// The codec's hot paths: the receive box renders its whole buffer once per received byte.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Codec.h"

namespace {

// A full receive buffer of mixed bytes: text, line feeds, NULs and GBK pairs.
std::vector<std::uint8_t> ReceivedBytes() {
    std::mt19937 rng(1);
    std::vector<std::uint8_t> bytes(kRxBufferSize);
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(rng() % 40 == 0 ? '\n' : rng() & 0xFF);
    }
    return bytes;
}

// Reference: copying the same bytes, the least any rendering costs.
void BM_CopyReference(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = ReceivedBytes();
    std::string strOut(bytes.size(), '\0');
    for (auto _ : state) {
        std::memcpy(strOut.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(strOut.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_CopyReference);

void BM_BytesToHexText(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = ReceivedBytes();
    for (auto _ : state) {
        std::string strText = BytesToHexText(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(strText.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_BytesToHexText);

void BM_BytesToDisplayText(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = ReceivedBytes();
    for (auto _ : state) {
        std::string strText = BytesToDisplayText(bytes.data(), bytes.size(), true);
        benchmark::DoNotOptimize(strText.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_BytesToDisplayText);

// Appending into a string that keeps its capacity, as an incremental display does.
void BM_AppendHexTextReused(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = ReceivedBytes();
    std::string strText;
    for (auto _ : state) {
        strText.clear();
        AppendHexText(strText, bytes.data(), bytes.size());
        benchmark::DoNotOptimize(strText.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_AppendHexTextReused);

void BM_AppendDisplayTextReused(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = ReceivedBytes();
    std::string strText;
    for (auto _ : state) {
        strText.clear();
        AppendDisplayText(strText, bytes.data(), bytes.size(), true);
        benchmark::DoNotOptimize(strText.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_AppendDisplayTextReused);

// 1,100 tokens, of which the first 1024 are read.
void BM_TextToSendBytesHex(benchmark::State& state) {
    std::string strText;
    for (int n = 0; n < 1100; ++n) {
        strText += (n % 3 == 0) ? "a5 " : (n % 3 == 1) ? "0x7F " : "3 ";
    }
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes = TextToSendBytes(strText, true);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(strText.size()));
}
BENCHMARK(BM_TextToSendBytesHex);

}  // namespace

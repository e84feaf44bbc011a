// Throughput of the text cipher on 1 MiB texts, counted in plain bytes, with
// the piecewise figures of RC4 and the base-64 variant beside them.
#include "cache/Base64Variant.h"
#include "cache/Rc4.h"
#include "cache/TextCipher.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr size_t kTextSize = 1 << 20;

std::string SampleText()
{
    std::string text(kTextSize, '\0');
    uint32_t state = 12345;
    for (char& c : text) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return text;
}

void EncryptAndEncode(benchmark::State& state)
{
    const std::string text = SampleText();
    std::vector<char> plain(text.begin(), text.end());
    std::vector<char> output(zyr::cipher::EncodedLength(kTextSize) + 1);
    for (auto _ : state) {
        int capacity = static_cast<int>(output.size());
        HRESULT hr = EncryptText(nullptr, plain.data(), plain.size(), output.data(), &capacity);
        benchmark::DoNotOptimize(hr);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTextSize));
}
BENCHMARK(EncryptAndEncode);

void DecodeAndDecrypt(benchmark::State& state)
{
    const std::string encoded = zyr::cipher::Encrypt(SampleText());
    std::vector<char> output(kTextSize + 1);
    for (auto _ : state) {
        size_t length = 0;
        HRESULT hr =
            DecryptText(nullptr, encoded.data(), encoded.size(), output.data(), output.size(), &length);
        benchmark::DoNotOptimize(hr);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTextSize));
}
BENCHMARK(DecodeAndDecrypt);

void Rc4Only(benchmark::State& state)
{
    std::vector<uint8_t> data(kTextSize, 0x5A);
    const uint8_t key[16] = {1, 2, 3, 4, 5};
    for (auto _ : state) {
        zyr::cipher::Rc4 rc4(key, sizeof key);
        rc4.Apply(data.data(), data.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTextSize));
}
BENCHMARK(Rc4Only);

void EncodeOnly(benchmark::State& state)
{
    const std::string text = SampleText();
    std::vector<char> output(zyr::cipher::EncodedLength(kTextSize));
    for (auto _ : state) {
        size_t length = zyr::cipher::EncodeBase64Variant(reinterpret_cast<const uint8_t*>(text.data()),
                                                         text.size(), output.data());
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTextSize));
}
BENCHMARK(EncodeOnly);

void DecodeOnly(benchmark::State& state)
{
    const std::string encoded = zyr::cipher::Encrypt(SampleText());
    std::vector<uint8_t> output(kTextSize);
    for (auto _ : state) {
        auto result =
            zyr::cipher::DecodeBase64Variant(encoded.data(), encoded.size(), output.data(), output.size());
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTextSize));
}
BENCHMARK(DecodeOnly);

} // namespace

BENCHMARK_MAIN();

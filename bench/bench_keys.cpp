// USM key derivation against the raw cost of MD5 over 1 MiB, measured in
// the same run: the derivation digests exactly 1 MiB of repeated pass phrase
// (plus one 64-byte localisation digest), so plain MD5 over 1 MiB is the
// physical limit it can approach.
#include "snmp/Usm.h"

#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const unsigned char kEngine[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};

void BM_RawMd5_1MiB(benchmark::State& state)
{
    // The same bytes the derivation digests, laid out in memory beforehand.
    const std::string pass = "Mw4-Tq8s-Lk2v-Rp6zXc";
    std::vector<unsigned char> data(1048576);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(pass[i % pass.size()]);
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    for (auto _ : state) {
        EVP_Digest(data.data(), data.size(), out, &len, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1048576);
}
BENCHMARK(BM_RawMd5_1MiB)->Unit(benchmark::kMillisecond);

void BM_PasswordToKeyMd5(benchmark::State& state)
{
    const std::string pass = state.range(0) == 20 ? "Mw4-Tq8s-Lk2v-Rp6zXc" : std::string(static_cast<size_t>(state.range(0)), 'p');
    unsigned char key[16];
    for (auto _ : state) {
        Password_to_Key_md5(reinterpret_cast<const unsigned char*>(pass.data()),
                            static_cast<uint32_t>(pass.size()), kEngine, sizeof kEngine, key);
        benchmark::DoNotOptimize(key);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1048576);
}
BENCHMARK(BM_PasswordToKeyMd5)->Arg(8)->Arg(20)->Arg(64)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

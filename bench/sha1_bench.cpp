// SHA-1 throughput of the signature code beside OpenSSL's SHA-1 in the same run (OpenSSL is
// linked into this benchmark only).
#include "ratio_reporter.h"
#include "transfer/sha1.h"

#include <openssl/evp.h>

#include <random>
#include <vector>

namespace
{

// 1 MiB, fed in the export's 32 KiB pieces.
const std::vector<uint8_t>& Data()
{
    static const std::vector<uint8_t> data = []
    {
        std::vector<uint8_t> d(1 << 20);
        std::mt19937 rng(7);
        for (auto& b : d)
            b = static_cast<uint8_t>(rng());
        return d;
    }();
    return data;
}
constexpr size_t kPiece = 32768;

void OursSha1(benchmark::State& state)
{
    const auto& d = Data();
    for (auto _ : state)
    {
        vark::Sha1 sha;
        for (size_t at = 0; at < d.size(); at += kPiece)
            sha.Input(d.data() + at, kPiece);
        vark::Sha1Digest digest;
        sha.Result(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}

void OpenSslSha1(benchmark::State& state)
{
    const auto& d = Data();
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : state)
    {
        EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr);
        for (size_t at = 0; at < d.size(); at += kPiece)
            EVP_DigestUpdate(ctx, d.data() + at, kPiece);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(ctx, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}

} // namespace

BENCHMARK(OursSha1);
BENCHMARK(OpenSslSha1);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::map<std::string, std::string>{{"OursSha1", "OpenSslSha1"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}

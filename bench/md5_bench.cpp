// MD5 throughput: our own code, which digests the track files, against
// OpenSSL's on the same 16 MiB of data.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "bench_world.h"
#include "snapshot/md5.h"

static const uint32_t bench_md5_bytes = 16u << 20;

static const std::vector<unsigned char> &bench_md5_input(void) {
    static std::vector<unsigned char> data;
    if (data.empty()) {
        data.resize(bench_md5_bytes);
        uint64_t x = 0x243F6A8885A308D3ull;
        for (unsigned char &b : data) {
            x = x * 6364136223846793005ull + 1442695040888963407ull;
            b = (unsigned char)(x >> 56);
        }
    }
    return data;
}

static void bench_md5_ours(const std::vector<unsigned char> &in, unsigned char *digest) {
    vqmd5_ctx ctx;
    vqmd5_init(&ctx);
    vqmd5_update(&ctx, in.data(), (uint32_t)in.size());
    vqmd5_final(&ctx, digest);
}

static void bench_md5_openssl(EVP_MD_CTX *ctx, const std::vector<unsigned char> &in,
                              unsigned char *digest) {
    unsigned int n = 0;
    if (!EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) ||
        !EVP_DigestUpdate(ctx, in.data(), in.size()) || !EVP_DigestFinal_ex(ctx, digest, &n)) {
        fprintf(stderr, "bench: OpenSSL MD5 failed\n");
        exit(1);
    }
}

static void Md5Ours(benchmark::State &state) {
    const std::vector<unsigned char> &in = bench_md5_input();
    unsigned char digest[RA_MD5_DIGEST];
    for (auto _ : state) {
        bench_md5_ours(in, digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * bench_md5_bytes);
}

static void Md5OpenSSL(benchmark::State &state) {
    const std::vector<unsigned char> &in = bench_md5_input();
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    // Both must compute the same digest, or the comparison means nothing.
    unsigned char ours[RA_MD5_DIGEST];
    bench_md5_ours(in, ours);
    bench_md5_openssl(ctx, in, digest);
    if (memcmp(ours, digest, RA_MD5_DIGEST) != 0) state.SkipWithError("digests differ");
    for (auto _ : state) {
        bench_md5_openssl(ctx, in, digest);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    state.SetBytesProcessed((int64_t)state.iterations() * bench_md5_bytes);
}

// Both, alternately, on the same data: the ratio of their throughputs.
static void Md5OursVsOpenSSL(benchmark::State &state) {
    const std::vector<unsigned char> &in = bench_md5_input();
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    double ours = 0, openssl = 0;
    bool ours_first = true;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            double start = bench_now();
            if ((side == 0) == ours_first) {
                bench_md5_ours(in, digest);
                ours += bench_now() - start;
            } else {
                bench_md5_openssl(ctx, in, digest);
                openssl += bench_now() - start;
            }
            benchmark::DoNotOptimize(digest);
        }
        ours_first = !ours_first;
    }
    EVP_MD_CTX_free(ctx);
    double n = (double)state.iterations();
    state.counters["ours_ms"] = ours / n * 1e3;
    state.counters["openssl_ms"] = openssl / n * 1e3;
    state.counters["ratio"] = openssl / ours;  // throughput of ours over OpenSSL's
}

BENCHMARK(Md5Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Md5OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(Md5OursVsOpenSSL)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

static const int bench_md5_ratio =
    (bench_add_ratio("MD5 throughput, ours / OpenSSL", "Md5OursVsOpenSSL", "ratio", 0.95, true), 0);

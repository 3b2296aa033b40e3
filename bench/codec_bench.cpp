// Record codec throughput on a text file (default: the Bible of the corpus), one 4096-byte record
// at a time as the conversions use it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "zun2/zun2.h"

namespace {

const std::vector<uint8_t>& Corpus() {
  static const std::vector<uint8_t> text = [] {
    const char* path = std::getenv("ZUN2_BENCH_TEXT");
    std::ifstream in(path != nullptr ? path : "bench/corpus/bible.txt", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }();
  return text;
}

struct Packed {
  std::vector<std::vector<uint8_t>> records;
};

const Packed& PackedCorpus() {
  static const Packed packed = [] {
    Packed p;
    const auto& text = Corpus();
    std::vector<uint8_t> buffer(4096 + 500);
    for (size_t at = 0; at < text.size(); at += 4096) {
      const int32_t size = static_cast<int32_t>(std::min<size_t>(4096, text.size() - at));
      const int32_t n = Compress(buffer.data(), text.data() + at, size);
      p.records.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    return p;
  }();
  return packed;
}

void BM_Compress(benchmark::State& state) {
  const auto& text = Corpus();
  std::vector<uint8_t> buffer(4096 + 500);
  int64_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (size_t at = 0; at < text.size(); at += 4096) {
      const int32_t size = static_cast<int32_t>(std::min<size_t>(4096, text.size() - at));
      packed += Compress(buffer.data(), text.data() + at, size);
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(text.size());
}
BENCHMARK(BM_Compress)->Unit(benchmark::kMillisecond);

void BM_GetUncompSize(benchmark::State& state) {
  const auto& packed = PackedCorpus();
  for (auto _ : state) {
    for (const auto& r : packed.records)
      benchmark::DoNotOptimize(GetUncompSize(r.data(), static_cast<int32_t>(r.size())));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Corpus().size()));
}
BENCHMARK(BM_GetUncompSize)->Unit(benchmark::kMillisecond);

void BM_DeCompress(benchmark::State& state) {
  const auto& packed = PackedCorpus();
  std::vector<uint8_t> out(4096);
  for (auto _ : state) {
    for (const auto& r : packed.records) {
      const int32_t size = GetUncompSize(r.data(), static_cast<int32_t>(r.size()));
      out.resize(static_cast<size_t>(size));
      benchmark::DoNotOptimize(DeCompress(out.data(), r.data(), size));
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Corpus().size()));
}
BENCHMARK(BM_DeCompress)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The PNG encoder's compression against the libraries that could replace it, on the picture of
// a generated 50-shape, 4-lane process (the picture bench/cli_bench.sh draws): the run encoder
// with libdeflate's Adler-32 (what orvane writes), libdeflate at its fast levels and zlib at
// level 1.
// Each case reports its compressed size; all compress the same unfiltered RGB rows.
//   png_encode_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <fmt/format.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvane/loader.hpp"
#include "render/run_deflate.hpp"

namespace {

using namespace orvane;

// The rows of a PNG (a zero filter byte, then RGB) of the 50-shape process picture.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rows;
};

std::string process_description() {
  const char* lanes[] = {"Intake", "Review", "Fulfilment", "Billing"};
  auto kind = [](int i) {
    return i == 1 ? "start" : i == 50 ? "end" : i % 5 == 0 ? "exclusive" : "task";
  };
  std::string text = "title: Fifty shapes in four lanes\npools:\n  - name: Bench\n    lanes:\n";
  for (int lane = 0; lane < 4; ++lane) {
    text += fmt::format("      - name: {}\n        shapes:\n", lanes[lane]);
    for (int i = 1; i <= 50; ++i) {
      if ((i - 1) * 4 / 50 != lane) continue;
      text += fmt::format("          - {{id: s{0}, name: Step {0}, type: {1}}}\n", i, kind(i));
    }
  }
  text += "connections:\n";
  for (int i = 1; i < 50; ++i) {
    text += fmt::format("  - {{from: s{}, to: s{}}}\n", i, i + 1);
    if (i % 5 == 0 && i + 3 <= 50) {
      text += fmt::format("  - {{from: s{}, to: s{}, label: skip}}\n", i, i + 3);
    }
  }
  return text;
}

const Picture& picture() {
  static const Picture p = [] {
    LoadedDiagram diagram = load_diagram_text(process_description(), "bench.yaml");
    diagram.board->draw();
    const std::string file = "/tmp/orvane-png-encode-bench.png";
    diagram.board->save(file);
    cairo_surface_t* surface = cairo_image_surface_create_from_png(file.c_str());
    std::remove(file.c_str());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
      throw std::runtime_error("cannot read the rendered picture back");
    }
    Picture out;
    out.width = cairo_image_surface_get_width(surface);
    out.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < out.height; ++y) {
      out.rows.push_back(0);
      const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
      for (int x = 0; x < out.width; ++x) {
        out.rows.push_back(static_cast<unsigned char>(row[x] >> 16));
        out.rows.push_back(static_cast<unsigned char>(row[x] >> 8));
        out.rows.push_back(static_cast<unsigned char>(row[x]));
      }
    }
    cairo_surface_destroy(surface);
    return out;
  }();
  return p;
}

void report(benchmark::State& state, std::size_t bytes) {
  const Picture& p = picture();
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["ratio"] = static_cast<double>(p.rows.size()) / static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.rows.size()));
}

void BM_RunDeflate(benchmark::State& state) {
  const Picture& p = picture();
  std::size_t bytes = 0;
  for (auto _ : state) {
    RunDeflate encoder(3);
    encoder.add(p.rows.data(), p.rows.size());
    encoder.finish(true);
    benchmark::DoNotOptimize(libdeflate_adler32(1, p.rows.data(), p.rows.size()));
    bytes = encoder.data().size();
  }
  report(state, bytes);
}
BENCHMARK(BM_RunDeflate)->Unit(benchmark::kMillisecond);

void BM_Libdeflate(benchmark::State& state) {
  const Picture& p = picture();
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
      libdeflate_alloc_compressor(static_cast<int>(state.range(0))), &libdeflate_free_compressor);
  std::vector<unsigned char> out(libdeflate_zlib_compress_bound(compressor.get(), p.rows.size()));
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = libdeflate_zlib_compress(compressor.get(), p.rows.data(), p.rows.size(), out.data(),
                                     out.size());
    benchmark::DoNotOptimize(bytes);
  }
  report(state, bytes);
}
BENCHMARK(BM_Libdeflate)->Arg(1)->Arg(2)->Arg(4)->Arg(6)->Unit(benchmark::kMillisecond);

void BM_Zlib(benchmark::State& state) {
  const Picture& p = picture();
  std::vector<unsigned char> out(compressBound(p.rows.size()));
  std::size_t bytes = 0;
  for (auto _ : state) {
    uLongf size = out.size();
    compress2(out.data(), &size, p.rows.data(), p.rows.size(), static_cast<int>(state.range(0)));
    bytes = size;
  }
  report(state, bytes);
}
BENCHMARK(BM_Zlib)->Arg(1)->Unit(benchmark::kMillisecond);

// The checksum every encoder also computes over the rows.
void BM_Adler32(benchmark::State& state) {
  const Picture& p = picture();
  for (auto _ : state) {
    if (state.range(0) == 0) {
      benchmark::DoNotOptimize(adler32_z(1, p.rows.data(), p.rows.size()));
    } else {
      benchmark::DoNotOptimize(libdeflate_adler32(1, p.rows.data(), p.rows.size()));
    }
  }
  state.SetLabel(state.range(0) == 0 ? "zlib" : "libdeflate");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.rows.size()));
}
BENCHMARK(BM_Adler32)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

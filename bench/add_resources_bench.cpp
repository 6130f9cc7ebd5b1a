// The main job on a large executable: embedding 20 MB of resources into a 200 MB program and
// unpacking them again, each run as a child process of the built utility, with its wall time and
// peak resident memory. Beside them, the floors measured the same way in the same run: copying
// the 200 MB file (streamed, and read and written whole), and compressing the 20 MB with zlib at
// level 6.
//
// With --table (what scripts/bench.sh runs) it prints instead one row per job, the utility beside
// its floor measured in the same run, medians of ZENTU_BENCH_RUNS runs (5):
//   embed 20 MB into 200 MB, and into ZENTU_BENCH_LARGE_EXE_MB (2048; 0 leaves it out)
//     floor: cp of the program twice + gzip -6 of the resources
//   -unpack of the branded program            floor: gunzip of the gzipped resources into a file
//   brand a .tgz made by GNU tar and gzip -6 of ZENTU_BENCH_PACKAGE_MB (30) MB of random data, a
//     2 MB application and as much text (35 MB compressed), and, with ZENTU_BENCH_HUGE_PACKAGE_MB
//     (880 gives about 1 GB), a larger one, with the example's few kilobytes of resources
//                                             floor: gzip -dc | gzip -6 of the package
//   compress the resources on every core      floor: one thread (the same zlib, level 6)
//
// Sizes can be changed with ZENTU_BENCH_EXE_MB and ZENTU_BENCH_RESOURCES_MB; the data lives in a
// folder under TMPDIR (or /tmp) that is removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/file_system.h"
#include "support/parallel_deflate.h"
#include "support/zlib_codec.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr double kMiB = 1024.0 * 1024.0;

uint64_t SizeFromEnvironment(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

Vadu::WString Wide(const fs::path& path) { return Vadu::FromUtf8(Vadu::String(path.c_str())); }

// Pseudo-random bytes, fast enough for hundreds of megabytes.
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed | 1) {}
  void Fill(char* out, size_t count) {
    for (size_t i = 0; i < count; i += 8) {
      state_ ^= state_ << 13;
      state_ ^= state_ >> 7;
      state_ ^= state_ << 17;
      for (size_t j = 0; j < 8 && i + j < count; ++j) out[i + j] = char(state_ >> (8 * j));
    }
  }

 private:
  uint64_t state_;
};

// Text that compresses like documentation and XML do.
std::string SomeText(size_t count, uint64_t seed) {
  static const char* const words[] = {
      "<camera ", "name=\"",     "Entrance ",  "Parking ",    "stream ", "rtsp://",
      "192.168.", "resolution=", "1920x1080 ", "</camera>\n", "motion ", "detection ",
      "archive ", "days=",       "30 ",        "Zentu ",      "video ",  "surveillance ",
      "OEM ",     "logo ",       "skin\n"};
  std::string text;
  text.reserve(count);
  uint64_t state = seed | 1;
  while (text.size() < count) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    text += words[(state >> 33) % (sizeof words / sizeof *words)];
    if ((state >> 20) % 7 == 0) text += std::to_string((state >> 40) % 1000);
  }
  text.resize(count);
  return text;
}

// The files of one benchmark run.
struct DataSet {
  fs::path folder;
  fs::path exe;        // the original program
  fs::path target;     // a fresh copy of it for each run
  fs::path branded;    // the program after embedding, for unpacking
  fs::path resources;  // the resource folder
  fs::path utility;    // a copy of the utility (it writes beside itself)
  uint64_t exeBytes = 0;
  uint64_t resourceBytes = 0;

  DataSet() {
    const char* base = std::getenv("TMPDIR");
    folder = fs::path(base && *base ? base : "/tmp") / ("zentu-bench-" + std::to_string(getpid()));
    fs::create_directories(folder / "temp");
    exe = folder / "program.exe";
    target = folder / "target.exe";
    branded = folder / "branded.exe";
    resources = folder / "resources";
    utility = folder / "zentu-rebrand";
    fs::copy_file(ZENTU_UTILITY_PATH, utility);

    // The program: a real small Windows executable at the start, then code-like and data-like
    // bytes up to the size asked for.
    exeBytes = SizeFromEnvironment("ZENTU_BENCH_EXE_MB", 200) << 20;
    Vadu::String head = Vadu::ReadWholeFile(Wide(ZENTU_SAMPLE_EXE));
    std::string program(head.CStr(), head.Length());
    const size_t start = program.size();
    program.resize(exeBytes);
    Noise noise(1);
    // Alternating stretches of random bytes and of zeros and text, 1 MiB each.
    for (size_t at = start, n = 0; at < program.size(); at += 1 << 20, ++n) {
      const size_t count = std::min<size_t>(1 << 20, program.size() - at);
      if (n % 2 == 0) {
        noise.Fill(&program[at], count);
      } else {
        std::string text = SomeText(count / 2, n);
        std::copy(text.begin(), text.end(), program.begin() + at);
      }
    }
    Write(exe, program);

    // The resources: half random (images, fonts), half text (skins, XML), in files of 1 MiB to
    // 4 MiB.
    resourceBytes = SizeFromEnvironment("ZENTU_BENCH_RESOURCES_MB", 20) << 20;
    fs::create_directories(resources);
    uint64_t written = 0;
    for (int i = 0; written < resourceBytes; ++i) {
      const size_t size = std::min<uint64_t>((1 + i % 4) << 20, resourceBytes - written);
      std::string bytes;
      if (i % 2 == 0) {
        bytes.resize(size);
        noise.Fill(bytes.data(), size);
      } else {
        bytes = SomeText(size, 100 + i);
      }
      Write(resources / ("resource" + std::to_string(i) + (i % 2 ? ".xml" : ".png")), bytes);
      written += size;
    }
  }
  ~DataSet() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  static void Write(const fs::path& path, const std::string& bytes) {
    Vadu::String data(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (!Vadu::WriteWholeFile(data, Wide(path))) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }

  // All resource files, one after the other.
  std::string ResourcesJoined() const {
    std::string all;
    for (const auto& entry : fs::directory_iterator(resources)) {
      Vadu::String bytes = Vadu::ReadWholeFile(Wide(entry.path()));
      all.append(bytes.CStr(), bytes.Length());
    }
    return all;
  }
};

DataSet& Data() {
  static DataSet data;
  return data;
}

// Wall time and peak resident memory of one child process.
struct ChildCost {
  double seconds = 0;
  double cpuSeconds = 0;  // user and system time, which other load on the machine does not inflate
  double peakMiB = 0;
  int status = -1;
};

ChildCost Measure(pid_t child, std::chrono::steady_clock::time_point start) {
  ChildCost cost;
  rusage usage{};
  if (wait4(child, &cost.status, 0, &usage) != child) return cost;
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cost.peakMiB = usage.ru_maxrss / 1024.0;  // kilobytes on Linux
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  cost.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return cost;
}

// Runs the utility with the arguments, TEMP pointing into the data folder, output discarded.
ChildCost RunUtility(const std::vector<std::string>& arguments) {
  DataSet& data = Data();
  std::vector<std::string> texts = {data.utility.string()};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = {"TEMP=" + (data.folder / "temp").string()};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("TEMP=", 0) != 0) environment.push_back(*e);
  std::vector<char*> envp;
  for (std::string& text : environment) envp.push_back(text.data());
  envp.push_back(nullptr);

  // fork and exec rather than posix_spawn: a child that shares this process's memory until it
  // starts the program would inherit this process's peak as its own.
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (child < 0) return ChildCost{};
  return Measure(child, start);
}

// Runs `work` in a forked child, so that its peak memory is its own.
ChildCost RunForked(const std::function<bool()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) _exit(work() ? 0 : 1);
  if (child < 0) return ChildCost{};
  return Measure(child, start);
}

// The largest peak and the total processor time of the measured processes.
struct Totals {
  double peakMiB = 0;
  double cpuSeconds = 0;
};

void Report(benchmark::State& state, const ChildCost& cost, Totals* totals) {
  if (cost.status != 0) state.SkipWithError("the measured process failed");
  state.SetIterationTime(cost.seconds);
  if (cost.peakMiB > totals->peakMiB) totals->peakMiB = cost.peakMiB;
  totals->cpuSeconds += cost.cpuSeconds;
}

void SetCounters(benchmark::State& state, const Totals& totals, uint64_t bytes) {
  state.counters["peak_MiB"] = totals.peakMiB;
  state.counters["cpu_ms"] = 1000 * totals.cpuSeconds / double(state.iterations());
  state.counters["input_MiB"] = bytes / kMiB;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_EmbedResources(benchmark::State& state) {
  DataSet& data = Data();
  Totals totals;
  for (auto _ : state) {
    // A fresh, unbranded copy for each run; copying is not part of the measured time.
    Vadu::CopyFileTo(Wide(data.exe), Wide(data.target));
    Report(state,
           RunUtility({"-resource", data.resources.string(), "-target", data.target.string()}),
           &totals);
  }
  fs::copy_file(data.target, data.branded, fs::copy_options::overwrite_existing);
  SetCounters(state, totals, data.exeBytes + data.resourceBytes);
  state.counters["result_MiB"] = fs::file_size(data.target) / kMiB;
}

void BM_UnpackResources(benchmark::State& state) {
  DataSet& data = Data();
  if (!fs::exists(data.branded)) {
    state.SkipWithError("runs after BM_EmbedResources");
    return;
  }
  Totals totals;
  for (auto _ : state) {
    fs::remove_all(data.folder / "unpack_res");
    Report(state, RunUtility({"-unpack", data.branded.string()}), &totals);
  }
  SetCounters(state, totals, fs::file_size(data.branded));
}

// A floor: `work` run in a forked child each iteration, over `bytes` of input.
void MeasureFloor(benchmark::State& state, uint64_t bytes, const std::function<bool()>& work) {
  Totals totals;
  for (auto _ : state) Report(state, RunForked(work), &totals);
  SetCounters(state, totals, bytes);
}

// Floor: the file copied by the file system layer, streamed.
void BM_FloorCopyExecutable(benchmark::State& state) {
  DataSet& data = Data();
  MeasureFloor(state, data.exeBytes,
               [&] { return Vadu::CopyFileTo(Wide(data.exe), Wide(data.target)); });
}

// Floor: the file read whole into memory and written whole, as a rewrite of it needs at least.
void BM_FloorReadWriteExecutableWhole(benchmark::State& state) {
  DataSet& data = Data();
  MeasureFloor(state, data.exeBytes, [&] {
    Vadu::String bytes = Vadu::ReadWholeFile(Wide(data.exe));
    return !bytes.IsEmpty() && Vadu::ReplaceFileContent(bytes, Wide(data.target));
  });
}

// Floor: the resources compressed with zlib at level 6, from memory to memory.
void BM_FloorDeflateResources(benchmark::State& state) {
  DataSet& data = Data();
  MeasureFloor(state, data.resourceBytes, [&] {
    std::string all = data.ResourcesJoined();
    Vadu::String bytes(all.data(), static_cast<uint32_t>(all.size()));
    all = std::string();
    return !Vadu::Deflate(bytes, 6).IsEmpty();
  });
}

#define ZENTU_CHILD_BENCHMARK(name) \
  BENCHMARK(name)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)

ZENTU_CHILD_BENCHMARK(BM_EmbedResources);
ZENTU_CHILD_BENCHMARK(BM_UnpackResources);
ZENTU_CHILD_BENCHMARK(BM_FloorCopyExecutable);
ZENTU_CHILD_BENCHMARK(BM_FloorReadWriteExecutableWhole);
ZENTU_CHILD_BENCHMARK(BM_FloorDeflateResources);

// ---- The table: each job beside its floor -------------------------------------------------

// Runs a shell command line in a child, output discarded.
ChildCost RunShell(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (child < 0) return ChildCost{};
  return Measure(child, start);
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The medians of several runs; a failed run makes the row fail.
struct Median {
  ChildCost cost;
  bool failed = false;
};

Median MedianOf(int runs, const std::function<void()>& prepare,
                const std::function<ChildCost()>& run) {
  std::vector<double> wall, cpu, peak;
  Median median;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const ChildCost cost = run();
    median.failed = median.failed || cost.status != 0;
    wall.push_back(cost.seconds), cpu.push_back(cost.cpuSeconds), peak.push_back(cost.peakMiB);
  }
  auto middle = [](std::vector<double>& values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  median.cost.seconds = middle(wall), median.cost.cpuSeconds = middle(cpu);
  median.cost.peakMiB = middle(peak);
  return median;
}

void PrintRow(const std::string& job, const Median& utility, const std::string& floorName,
              const Median& floor) {
  std::printf("| %s | %.2f s wall, %.2f s CPU%s | %.2f s: %s%s | %.2fx | %.0f MiB |\n", job.c_str(),
              utility.cost.seconds, utility.cost.cpuSeconds, utility.failed ? " (FAILED)" : "",
              floor.cost.seconds, floorName.c_str(), floor.failed ? " (FAILED)" : "",
              utility.cost.seconds / floor.cost.seconds, utility.cost.peakMiB);
  std::fflush(stdout);
}

void NoPreparation() {}

// Embedding into `program`, and the floor of the table.
void EmbedRow(const std::string& job, const fs::path& program, int runs) {
  DataSet& data = Data();
  const Median utility = MedianOf(
      runs, [&] { Vadu::CopyFileTo(Wide(program), Wide(data.target)); },
      [&] {
        return RunUtility({"-resource", data.resources.string(), "-target", data.target.string()});
      });
  fs::copy_file(data.target, data.branded, fs::copy_options::overwrite_existing);
  const fs::path copy = data.folder / "floor-copy";
  const Median floor = MedianOf(runs, NoPreparation, [&] {
    return RunShell("cp " + Quoted(program) + " " + Quoted(copy) + " && cp " + Quoted(copy) + " " +
                    Quoted(data.folder / "floor-copy2") + " && tar -cf - -C " +
                    Quoted(data.resources) + " . | gzip -6 > " + Quoted(data.folder / "res.tgz"));
  });
  fs::remove(copy), fs::remove(data.folder / "floor-copy2");
  PrintRow(job, utility, "cp of the program twice + gzip -6 of the resources", floor);
}

void UnpackRow(int runs) {
  DataSet& data = Data();
  const Median utility = MedianOf(
      runs, [&] { fs::remove_all(data.folder / "unpack_res"); },
      [&] {
        return RunUtility({"-unpack", data.branded.string()});
      });
  const Median floor = MedianOf(runs, NoPreparation, [&] {
    return RunShell("mkdir -p " + Quoted(data.folder / "gunzipped") + " && gzip -dc " +
                    Quoted(data.folder / "res.tgz") + " | tar -xf - -C " +
                    Quoted(data.folder / "gunzipped"));
  });
  fs::remove_all(data.folder / "gunzipped");
  PrintRow("`-unpack` of the same", utility, "gunzip of the resources into files", floor);
}

// Branding a package as a build system makes it (GNU tar, then gzip -6): `megabytes` MB of random
// data, a 2 MB application, and as much text, in that order, so that the application lies in the
// middle; against decompressing and compressing the package again, which any change of an entry
// in a gzip stream costs at least when done the plain way.
void PackageRow(uint64_t megabytes, int runs) {
  DataSet& data = Data();
  const fs::path content = data.folder / "package-content", archive = data.folder / "package.tgz";
  const fs::path pristine = data.folder / "pristine.tgz";
  fs::create_directories(content);
  {
    std::string bytes(1 << 20, '\0');
    Noise noise(5);
    FILE* out = std::fopen((content / "random.bin").c_str(), "wb");
    for (uint64_t k = 0; k < megabytes; ++k) {
      noise.Fill(bytes.data(), bytes.size());
      std::fwrite(bytes.data(), 1, bytes.size(), out);
    }
    std::fclose(out);
    out = std::fopen((content / "docs.txt").c_str(), "wb");
    for (uint64_t k = 0; k < megabytes; ++k) {
      const std::string text = SomeText(1 << 20, k + 1);
      std::fwrite(text.data(), 1, text.size(), out);
    }
    std::fclose(out);
    noise.Fill(bytes.data(), bytes.size());
    DataSet::Write(content / "zentu.app", bytes + bytes);
  }
  RunShell("tar -cf - -C " + Quoted(content) + " random.bin zentu.app docs.txt | gzip -6 > " +
           Quoted(pristine));
  fs::remove_all(content);
  // A few kilobytes of resources, as the example's: the row measures the package's handling.
  const fs::path resources = data.folder / "package-resources";
  fs::create_directories(resources);
  DataSet::Write(resources / "oem_info.xml",
                 "<vendormark><oem><ProductName>Bench Cam"
                 "</ProductName></oem></vendormark>\n");
  DataSet::Write(resources / "logo.png", std::string(4096, 'l'));
  const Median utility = MedianOf(
      runs, [&] { fs::copy_file(pristine, archive, fs::copy_options::overwrite_existing); },
      [&] {
        return RunUtility({"-resource", resources.string(), "-target", archive.string()});
      });
  const Median floor = MedianOf(runs, NoPreparation, [&] {
    return RunShell("gzip -dc " + Quoted(pristine) + " | gzip -6 > " +
                    Quoted(data.folder / "floor.tgz"));
  });
  const uint64_t size = fs::file_size(pristine) >> 20;
  fs::remove(data.folder / "floor.tgz"), fs::remove(archive), fs::remove(pristine);
  fs::remove_all(resources);
  PrintRow("brand a " + std::to_string(size) + " MB `.tgz` (" + std::to_string(2 * megabytes + 2) +
               " MB inside, the application in the middle)",
           utility, "`gzip -dc \\| gzip -6` of it", floor);
}

// Compressing the resources as a block, on every core against one thread.
void CompressRow(int runs) {
  DataSet& data = Data();
  const std::string all = data.ResourcesJoined();
  auto compress = [&all](unsigned threads) {
    return RunForked([&all, threads] {
      Vadu::ParallelDeflater deflater(Vadu::kDefaultCompressionLevel, threads);
      deflater.Add(all.data(), static_cast<uint32_t>(all.size()));
      return !deflater.Finish().IsEmpty();
    });
  };
  const Median parallel = MedianOf(runs, NoPreparation, [&] { return compress(0); });
  const Median single = MedianOf(runs, NoPreparation, [&] { return compress(1); });
  PrintRow("compress the " + std::to_string(data.resourceBytes >> 20) + " MB on " +
               std::to_string(std::max(1u, std::thread::hardware_concurrency())) + " cores",
           parallel, "one thread", single);
}

int RunTable() {
  DataSet& data = Data();
  const int runs = static_cast<int>(SizeFromEnvironment("ZENTU_BENCH_RUNS", 5));
  std::printf("| job | utility | floor | ratio | peak memory |\n|---|---|---|---|---|\n");
  const std::string resources = std::to_string(data.resourceBytes >> 20) + " MB";
  EmbedRow("embed " + resources + " of resources into a " + std::to_string(data.exeBytes >> 20) +
               " MB program",
           data.exe, runs);
  UnpackRow(runs);
  const uint64_t large = SizeFromEnvironment("ZENTU_BENCH_LARGE_EXE_MB", 2048);
  if (large) {
    // The same program grown to the large size: its start, then copies of it.
    const fs::path big = data.folder / "large.exe";
    RunShell("for i in $(seq 1 " +
             std::to_string((large + (data.exeBytes >> 20) - 1) / (data.exeBytes >> 20)) +
             "); do cat " + Quoted(data.exe) + "; done | head -c " + std::to_string(large << 20) +
             " > " + Quoted(big));
    EmbedRow("embed " + resources + " of resources into a " + std::to_string(large) + " MB program",
             big, runs);
    fs::remove(big);
  }
  PackageRow(SizeFromEnvironment("ZENTU_BENCH_PACKAGE_MB", 30), runs);
  if (const uint64_t huge = SizeFromEnvironment("ZENTU_BENCH_HUGE_PACKAGE_MB", 0))
    PackageRow(huge, std::min(runs, 3));
  CompressRow(runs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--table") return RunTable();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

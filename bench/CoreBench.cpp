// Speed of the core: decoding records, collecting a module's logs over the simulated base station, and
// how much the program adds to the radio's own latency.
#include "desktop/Sha256.h"
#include "extract/CsvReport.h"
#include "extract/Journal.h"
#include "extract/NativeFileSystem.h"
#include "extract/Session.h"
#include "link/LogRecord.h"
#include "sim/GeneratedLogs.h"
#include "sim/SimulatedBaseStation.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <unistd.h>

namespace {

// Heap use of the running benchmark, for peak-memory counters.
std::atomic<std::size_t> heapNow{0}, heapPeak{0};

// A desktop with no window: every effect is dropped.
struct QuietDesktop : z83::Desktop {
    z83::MessageAnswer showMessage(const std::string&, const std::string&, z83::MessageIcon,
                                   z83::MessageButtons) override {
        return z83::MessageAnswer::Ok;
    }
    void setBusyPointer(bool) override {}
    void setStatus(const std::string&, bool) override {}
    void setClearLogEnabled(bool) override {}
    std::string idText() override { return "1A2B3C"; }
    void setIdText(const std::string&) override {}
    std::string readSetting(const std::string&, const std::string&, const std::string& f) override {
        return f;
    }
    void writeSetting(const std::string&, const std::string&, const std::string&) override {}
    std::string applicationName() override { return "bench"; }
    bool setClipboardText(const std::string&) override { return true; }
    std::string GetSpecialFolder(z83::SpecialFolder) override { return {}; }
    void openFile(const std::string&) override {}
    z83::LocalDateTime localNow() override { return {}; }
    void pause(double) override {}
};

// A session loaded on a station with one module of the given logs, its module identified.
struct LoadedSession {
    QuietDesktop desktop;
    z83::NativeFileSystem fileSystem;
    z83::Session session;

    explicit LoadedSession(z83::sim::Scenario scenario)
        : session(
              desktop,
              [scenario = std::move(scenario)] {
                  return std::make_unique<z83::sim::SimulatedBaseStation>(scenario);
              },
              fileSystem) {
        session.Load();
        session.identifyByTypedId();
    }
};

z83::sim::Scenario moduleWith(int logs, double latencySeconds) {
    z83::sim::Scenario scenario;
    z83::sim::SimModule module;
    module.id = 0x1A2B3C;
    module.model = "Z83-PM-VX";
    z83::sim::appendGeneratedLogs(module.records, static_cast<std::uint32_t>(logs), 7);
    scenario.modules.push_back(std::move(module));
    scenario.latencySeconds = latencySeconds;
    return scenario;
}

void BM_DecodeAndCsvLine(benchmark::State& state) {
    z83::sim::ModuleLogs logs;
    z83::sim::appendGeneratedLogs(logs, 4096, 11);
    std::vector<std::string> replies;
    for (std::size_t i = 0; i < logs.size(); ++i)
        replies.push_back(logs[i]);
    std::string line;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& reply = replies[i++ & 4095];
        z83::LogRecord record = z83::decodeLogReply(reply);
        bool good = z83::crcMatches(record);
        line.clear();
        z83::appendCsvLine(record, line);
        benchmark::DoNotOptimize(good);
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeAndCsvLine);

// Collecting every log of a module and building the report text, as one extraction does.
void BM_CollectLogs(benchmark::State& state) {
    const int logs = static_cast<int>(state.range(0));
    std::size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        LoadedSession loaded(moduleWith(logs, 0.0));
        z83::Session& session = loaded.session;
        std::size_t before = heapNow.load();
        heapPeak = before;
        state.ResumeTiming();

        auto collection = session.collectLogs();
        auto report = z83::reportFileContent(collection.entries);
        benchmark::DoNotOptimize(report.data());

        state.PauseTiming();
        peak = std::max(peak, heapPeak.load() - before);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * logs);
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
}
BENCHMARK(BM_CollectLogs)->Arg(1000)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond);

// With a radio latency per call, the wall time of an extraction over the time the radio alone takes.
void BM_RadioOverhead(benchmark::State& state) {
    const int logs = static_cast<int>(state.range(0));
    const double latency = 0.002;
    double ratio = 0;
    for (auto _ : state) {
        LoadedSession loaded(moduleWith(logs, latency));
        auto start = std::chrono::steady_clock::now();
        auto collection = loaded.session.collectLogs();
        std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        // Two index writes, the count, and one record read per log (the tests hold it to that).
        const int calls = 3 + logs;
        ratio = wall.count() / (static_cast<double>(calls) * latency);
        benchmark::DoNotOptimize(collection.entries.data());
    }
    state.counters["wall_over_radio"] = ratio;
}
BENCHMARK(BM_RadioOverhead)->Arg(500)->Iterations(3)->Unit(benchmark::kMillisecond);

// What the journal adds to one extraction: one entry appended and flushed to disk (in TMPDIR, which
// bench/run.sh leaves on the disk), and the SHA-256 of the report, here a full module's.
void BM_JournalEntry(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("z83-bench-" + std::to_string(::getpid()));
    z83::NativeFileSystem fs;
    z83::JournalEntry entry;
    entry.time = "2025-03-07T09:05:03";
    entry.utc = "2025-03-07T08:05:03Z";
    entry.program = "z83-extract";
    entry.module = "1A2B3C";
    entry.model = "Z83-PM-VX";
    entry.count = "65535";
    entry.logs = 65535;
    entry.flagged = 0;
    entry.outcome = "saved";
    entry.report = z83::JournalReport{"/home/user/Documents/Log20250307090503-1A2B3C.CSV", 5000000,
                                      std::string(64, 'e'), false};
    for (auto _ : state)
        if (!z83::appendToJournal(fs, folder.string(), entry).empty())
            state.SkipWithError("the journal could not be written");
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_JournalEntry)->Unit(benchmark::kMillisecond);

void BM_ReportSha256(benchmark::State& state) {
    LoadedSession loaded(moduleWith(65535, 0.0));
    const std::string report = z83::reportFileContent(loaded.session.collectLogs().entries);
    for (auto _ : state)
        benchmark::DoNotOptimize(z83::sha256Hex(report));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(report.size()));
}
BENCHMARK(BM_ReportSha256)->Unit(benchmark::kMillisecond);

} // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size + sizeof(std::max_align_t));
    if (!p)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = size;
    std::size_t now = heapNow += size;
    std::size_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(p) + sizeof(std::max_align_t);
}

// The pointer came from malloc in operator new above; the compiler cannot see that pairing.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p)
        return;
    char* base = static_cast<char*>(p) - sizeof(std::max_align_t);
    heapNow -= *reinterpret_cast<std::size_t*>(base);
    std::free(base);
}
#pragma GCC diagnostic pop

void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

BENCHMARK_MAIN();

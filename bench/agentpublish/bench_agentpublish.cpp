// Benchmark of the agent's midnight publication: a working store holding the whole retention
// (400 days of 300 titles a day), published with the default window; prints the published file's
// size, the time the publication takes and its peak memory (measured in a child process that
// does nothing else), against their targets.
#include "agent/core/AgentEngine.h"
#include "agent/core/Publisher.h"
#include "agent/core/WorkingStore.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace vcagent;
namespace fs = std::filesystem;

namespace {

class Utc : public LocalCalendar {
public:
    Day dayOf(Millis utc) const override { return Day{std::chrono::days{utc / 86400000}}; }
};

class FixedClock : public Clock {
public:
    explicit FixedClock(Millis now) : m_now(now) {}
    Millis now() const override { return m_now; }
    Millis monotonic() const override { return 0; }

private:
    Millis m_now;
};

void bench(const char* name, double value, const char* unit, const char* target) {
    std::printf("BENCH %s %.3f %s (target %s)\n", name, value, unit, target);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const int titlesPerDay = argc > 1 ? std::atoi(argv[1]) : 300;
    const int days = 400;
    const fs::path dir = fs::temp_directory_path() / ("vc-bench-agent-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const Day today = Day{std::chrono::days{20600}};
    {
        WorkingStore store(dir / "usage.db");
        for (int d = days; d >= 1; --d) {
            UsageMap usage;
            for (int t = 0; t < titlesPerDay; ++t) {
                // Titles as windows name them: a document or page, then the program.
                const std::string title = "Quarterly report " + std::to_string(d * 1000 + t) +
                                          " (draft, reviewed) - Document Editor Professional";
                usage[UsageKey{today - std::chrono::days{d}, "CORP\\user" + std::to_string(t % 3), title}] =
                    1000 * (t + 1);
            }
            store.add(usage);
        }
    }
    // The publication alone, in a child, so its peak memory is its own.
    const pid_t child = fork();
    if (child == 0) {
        WorkingStore store(dir / "usage.db");
        Publisher publisher(dir / "Data" / "VCWorkstation.mdb");
        const Utc calendar;
        const FixedClock clock(static_cast<Millis>(today.time_since_epoch().count()) * 86400000 + 3600000);
        AgentSettings settings;
        settings.version = "bench";
        AgentEngine engine(clock, calendar, store, publisher, settings);
        const auto start = std::chrono::steady_clock::now();
        engine.start();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bench("agent_publish_seconds", seconds, "s", "<= 0.3");
        std::_Exit(fs::exists(publisher.publishedFile()) ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double size =
        static_cast<double>(fs::file_size(dir / "Data" / "VCWorkstation.mdb")) / (1024.0 * 1024.0);
    bench("agent_published_file_mb", size, "MB", "<= 2.5");
    bench("agent_publish_peak_memory_mb", static_cast<double>(usage.ru_maxrss) / 1024.0, "MB", "<= 30");
    fs::remove_all(dir);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

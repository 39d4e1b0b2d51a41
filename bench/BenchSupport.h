#pragma once

// Small helpers shared by the benchmark programs: process CPU time, memory, machine load,
// percentiles and the one-line summaries that bench/run.sh collects.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

namespace lvx::bench {

// User and system CPU time of this process so far, in seconds (getrusage, microseconds).
struct CpuTimes {
    double user = 0;
    double system = 0;
    long voluntarySwitches = 0;
    long involuntarySwitches = 0;
    double total() const { return user + system; }
};

inline CpuTimes ProcessCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    CpuTimes t;
    t.user = static_cast<double>(usage.ru_utime.tv_sec) +
             static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
    t.system = static_cast<double>(usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
    t.voluntarySwitches = usage.ru_nvcsw;
    t.involuntarySwitches = usage.ru_nivcsw;
    return t;
}

// utime + stime of a process from /proc/PID/stat, in seconds (clock-tick resolution);
// negative when the file cannot be read.
inline double ProcStatCpu(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(in, line)) {
        return -1;
    }
    // The command name in parentheses may hold blanks: the fields count from its end.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    // After the name: state is field 3; utime is field 14 and stime field 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) {
            utime = std::stoll(field);
        } else if (index == 15) {
            stime = std::stoll(field);
        }
    }
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return static_cast<double>(utime + stime) / static_cast<double>(ticks > 0 ? ticks : 100);
}

inline double SelfStatCpu() {
    return ProcStatCpu("self");
}

// A "Vm..." line of /proc/self/status in KiB, or -1.
inline long StatusKiB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::stol(line.substr(key.size() + 1));
        }
    }
    return -1;
}

// The first three fields of /proc/loadavg ("1.02 0.88 0.61").
inline std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    if (!(in >> a >> b >> c)) {
        return "unknown";
    }
    return a + " " + b + " " + c;
}

inline long OnlineCpus() {
    return ::sysconf(_SC_NPROCESSORS_ONLN);
}

// Nearest-rank percentile of sorted values (p in 0..100).
inline double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) {
        return 0;
    }
    const double rank = std::ceil(p / 100.0 * static_cast<double>(sorted.size()));
    const std::size_t index =
        static_cast<std::size_t>(std::clamp(rank, 1.0, static_cast<double>(sorted.size()))) - 1;
    return sorted[index];
}

// One figure for the run script's summary: "summary: <text> | goal: <goal> | <verdict>".
// The verdict is "met", "NOT met" or "info".
inline void PrintSummary(const std::string& text, const std::string& goal,
                         const std::string& verdict) {
    std::printf("summary: %s | goal: %s | %s\n", text.c_str(), goal.c_str(), verdict.c_str());
}

inline std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Every .bin file of a folder, in name order.
inline std::vector<std::vector<std::uint8_t>> ReadCorpus(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".bin") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::vector<std::uint8_t>> edids;
    for (const std::filesystem::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        edids.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return edids;
}

} // namespace lvx::bench

// Time to draw one ZPL label with the interpreter, as a job pays it (a new
// interpreter, its fonts opened, the label drawn) and as the next label of a
// stream (the raw port's case), at 203 dpi and scaled to 300 dpi. Prints
// the median and the 90th percentile over many runs after a warm-up.
//   bench_zpl [--runs N] [--warmup N] [LABEL.zpl]   (default: samples/shipping-label.zpl)
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zpl/ZplInterpreter.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Setup {
    const char* name;
    int dpi;
    bool stream;  // one interpreter for every run
};
const Setup kSetups[] = {
    {"203 dpi, new interpreter", 203, false},
    {"203 dpi, next in a stream", 203, true},
    {"300 dpi, new interpreter", 300, false},
    {"300 dpi, next in a stream", 300, true},
};

// Feeds `zpl` once, ending the stream when `finish`; the labels drawn (in a
// stream a label comes out when the next one's first command arrives).
int Draw(zpl::ZplInterpreter& interpreter, const std::string& zpl, bool finish, std::string& problem) {
    int labels = 0;
    auto sink = [&](zpl::Label& label) {
        labels++;
        if (!label.problems.empty())
            problem = label.problems.front();
        return true;
    };
    interpreter.Feed(zpl.data(), zpl.size(), sink);
    if (finish)
        interpreter.Finish(sink);
    return labels;
}

// The processor time this thread has used: on a machine shared with other
// work the wall clock also counts the time spent waiting for a core.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

double Percentile(const std::vector<double>& sorted, double share) {
    const size_t rank = size_t(std::max(1.0, std::ceil(share * double(sorted.size()))));
    return sorted[std::min(rank, sorted.size()) - 1];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 500, warmup = 50;
    std::string path = QUORVANT_SOURCE_DIR "/samples/shipping-label.zpl";
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--warmup") == 0 && i + 1 < argc)
            warmup = std::max(0, std::atoi(argv[++i]));
        else if (argv[i][0] != '-')
            path = argv[i];
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--warmup N] [LABEL.zpl]\n", argv[0]);
            return 2;
        }
    }
    std::ifstream file(path, std::ios::binary);
    const std::string zpl((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (zpl.empty()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
        return 1;
    }
    std::printf("%s: %d runs after %d warm-up runs, ms per label (written for 203 dpi)\n", path.c_str(), runs, warmup);
    std::printf("%-28s %8s %8s %8s %8s %12s\n", "", "median", "p90", "min", "max", "cpu median");
    for (const Setup& setup : kSetups) {
        zpl::InterpreterOptions options;
        options.dpi = setup.dpi;
        options.sourceDpi = 203;
        options.maxLabels = INT_MAX;
        auto quiet = [](const std::string&) {};
        zpl::ZplInterpreter streaming(options, quiet);
        std::vector<double> times, cpu;
        int labels = 0;
        std::string problem;
        for (int i = 0; i < warmup + runs && problem.empty(); i++) {
            const Clock::time_point start = Clock::now();
            const double cpuStart = CpuMs();
            if (setup.stream) {
                labels += Draw(streaming, zpl, false, problem);
            } else {
                zpl::ZplInterpreter job(options, quiet);
                labels += Draw(job, zpl, true, problem);
            }
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (i >= warmup) {
                times.push_back(ms);
                cpu.push_back(CpuMs() - cpuStart);
            }
        }
        if (labels < warmup + runs - 1)
            problem = "not every run drew a label";
        if (!problem.empty()) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s: %s\n", setup.name, problem.c_str());
            return 1;
        }
        std::sort(times.begin(), times.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("%-28s %8.2f %8.2f %8.2f %8.2f %12.2f\n", setup.name, Percentile(times, 0.5),
                    Percentile(times, 0.9), times.front(), times.back(), Percentile(cpu, 0.5));
    }
    return 0;
}

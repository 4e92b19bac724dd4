// Appends one million typical lines to the activity log and reports the rate.
// A benchmark, not a test: it prints figures and checks only that every line
// arrived.
#include <chrono>
#include <cstdio>
#include <string>

#include "scan/activity_log.h"

int main(int argc, char** argv) {
    const size_t count = argc > 1 ? std::stoul(argv[1]) : 1000000;
    vx::scan::ActivityLog log;
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < count; ++i)
        log.append("[VX] > Arquivo E:\\RECUPERADOS\\Fotos\\IMG_" + std::to_string(i) + ".jpg Deletado!");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (log.size() != count) {
        std::printf("FAILED: %zu lines in the log, expected %zu\n", log.size(), count);
        return 1;
    }
    std::printf("activity log: %zu lines appended in %.3f s = %.0f lines/s\n", count, seconds, count / seconds);
    return 0;
}

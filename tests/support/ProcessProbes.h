#pragma once
// What this process holds and uses, for tests that check that cycles leave nothing behind and that
// an idle program does not spin.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>

inline int CountEntriesOf(const char* pszFolder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(pszFolder, ec);
    return ec ? -1 : static_cast<int>(std::distance(it, {}));
}
// Open descriptors (the one that lists them is closed again before the count is returned).
inline int CountOpenFds() {
    return CountEntriesOf("/proc/self/fd") - 1;
}
inline int CountThreads() {
    return CountEntriesOf("/proc/self/task");
}
// CPU time of all threads of the process so far, in seconds.
inline double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The CPU share of one core (all threads) over a window of nMs spent in fnWait(nMs), tried up to
// three times, returning the first at most dEnough, else the least. A spinning thread shows in
// every window; late work that a loaded machine pushed into one window shows in that one only.
template <class FnWait>
double LeastCpuShare(int nMs, double dEnough, FnWait fnWait) {
    double dLeast = 1e9;
    for (int nTry = 0; nTry < 3 && dLeast > dEnough; ++nTry) {
        const double dCpuBefore = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        fnWait(nMs);
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        dLeast = std::min(dLeast, (ProcessCpuSeconds() - dCpuBefore) / wall.count());
    }
    return dLeast;
}

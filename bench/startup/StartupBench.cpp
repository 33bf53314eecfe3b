// The time from exec to the first painted main window, with a small settings file and with one of
// about 20 MiB (a foreign section, then the window's own sections at the end, so every read
// scans it all). The reference is a plain Qt program that shows a window of the same size, started
// the same way in the same run. Target: diVE within 1.5 times the reference. A second row shows
// the same program with one line of Chinese text, which separates the cost of loading the fonts.
//
// The first paint is seen without any help from the program: Qt's own painting log
// (qt.widgets.painting) says "Flushing" when a window's pixels first go to the display, and each
// line carries the monotonic clock's time at which it was written (to the millisecond); the clock
// stops at that line's time. A small library preloaded into both programs (CpuProbe.cpp) writes
// the processor time of the main thread and of the whole process up to that flush: under load the
// clock's figures scatter, the processor time far less. The bench looks at the child's standard
// error only every few milliseconds: a reader waiting on the pipe would be woken by every line of
// the log (about 180 for diVE, 14 for the plain window) and take the processor from the child each
// time. Runs are interleaved, and each program is started once before the rounds so that both find
// their libraries cached.
//
// Usage: dive_startup_bench [rounds, default 3] (on a display: DISPLAY and QT_QPA_PLATFORM=xcb,
// else offscreen)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "StreamBench.h"

extern char** environ;

namespace {

// Milliseconds of the monotonic clock, as the log's "%{time boot}" writes them.
double MonotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The time written at the start of the log line that says "Flushing", or -1 while there is none.
double FlushTime(const std::string& strLog) {
    const std::size_t nAt = strLog.find("Flushing");
    if (nAt == std::string::npos) {
        return -1;
    }
    const std::size_t nLine = strLog.rfind('\n', nAt);
    return std::atof(strLog.c_str() + (nLine == std::string::npos ? 0 : nLine + 1)) * 1e3;
}

struct SStart {
    double dWallMs = -1;     // exec to the first flush
    double dMainCpuMs = -1;  // the main thread's processor time up to it
    double dCpuMs = -1;      // the whole process's
};

// The environment of the programs started: this one's, with the processor-time probe preloaded.
std::vector<std::string> ChildEnvironment() {
    std::vector<std::string> arrEnv;
    std::string strPreload = std::string("LD_PRELOAD=") + DIVE_CPU_PROBE;
    for (char** ppVar = environ; *ppVar != nullptr; ++ppVar) {
        const std::string strVar = *ppVar;
        if (strVar.rfind("LD_PRELOAD=", 0) == 0) {
            strPreload += ":" + strVar.substr(11);
        } else {
            arrEnv.push_back(strVar);
        }
    }
    arrEnv.push_back(strPreload);
    return arrEnv;
}

// Starts strProgram under the name strArgv0 (the program finds its settings file beside the
// name) and measures its way to the first flush to the display (-1 where none came).
SStart TimeToFirstPaint(const std::string& strProgram, const std::string& strArgv0) {
    static const std::vector<std::string> arrEnvText = ChildEnvironment();
    std::vector<char*> arrEnv;
    for (const std::string& strVar : arrEnvText) {
        arrEnv.push_back(const_cast<char*>(strVar.c_str()));
    }
    arrEnv.push_back(nullptr);
    int arrPipe[2];
    if (pipe2(arrPipe, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, arrPipe[1], STDERR_FILENO);
    std::vector<char*> arrArgs = {const_cast<char*>(strArgv0.c_str()), nullptr};
    pid_t nPid = -1;
    const double dStart = MonotonicMs();
    const int nError =
        posix_spawn(&nPid, strProgram.c_str(), &actions, nullptr, arrArgs.data(), arrEnv.data());
    posix_spawn_file_actions_destroy(&actions);
    close(arrPipe[1]);
    fcntl(arrPipe[0], F_SETFL, O_NONBLOCK);
    SStart start;
    std::string strLog;  // the log up to the first flush: some 30 KB
    char buf[65536];
    bool bOpen = nError == 0;
    while (bOpen && start.dWallMs < 0 && MonotonicMs() - dStart < 30000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ssize_t n = 0;
        while ((n = read(arrPipe[0], buf, sizeof buf)) > 0) {
            strLog.append(buf, static_cast<std::size_t>(n));
        }
        bOpen = n < 0 && errno == EAGAIN;
        const double dFlush = FlushTime(strLog);
        if (dFlush >= 0) {
            start.dWallMs = dFlush - dStart;
        }
    }
    close(arrPipe[0]);
    if (nPid > 0) {
        kill(nPid, SIGTERM);
        waitpid(nPid, nullptr, 0);
    }
    // The probe's line comes just before the log's "Flushing".
    const std::size_t nCpu = strLog.find("\ncpu ");
    if (nCpu != std::string::npos) {
        std::sscanf(strLog.c_str() + nCpu + 5, "%lf %lf", &start.dMainCpuMs, &start.dCpuMs);
    }
    return start;
}

// A settings file of about nMiB: a foreign section of short lines, then the window's sections.
void WriteSettings(const std::string& strPath, std::size_t nMiB) {
    std::string strText;
    if (nMiB > 0) {
        strText = "[FOREIGN]\n";
        for (std::size_t n = 0; strText.size() < (nMiB << 20); ++n) {
            strText += "k" + std::to_string(n) + "=v\n";
        }
    }
    strText += "[PORT]\nCOM=0\nBAUD=14\n[RX]\nMODE=0\n[SYSTEM]\nCODEPAGE=936\n";
    std::ofstream(strPath, std::ios::binary) << strText;
}

}  // namespace

int main(int argc, char** argv) {
    const int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_LOGGING_RULES", "qt.widgets.painting=true", 1);
    setenv("QT_MESSAGE_PATTERN", "%{time boot} %{message}", 1);
    const CBenchFolder small("startup-small");
    const CBenchFolder big("startup-big");
    WriteSettings(small.IniPath(), 0);
    WriteSettings(big.IniPath(), 20);
    // As a file saved by an earlier session: one changed within the last second is read anew at
    // every key.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    std::printf("platform %s, load average at start: ", std::getenv("QT_QPA_PLATFORM"));
    PrintLoadAverage();
    struct SCase {
        const char* pszName;
        std::string strProgram;
        std::string strArgv0;
    };
    const std::vector<SCase> arrCases = {
        {"plain window", DIVE_PLAIN_WINDOW, small.Path() + "/plain"},
        {"plain, Chinese label", DIVE_PLAIN_WINDOW, small.Path() + "/plain-label"},
        {"diVE, small settings", DIVE_PROGRAM, small.Path() + "/dive"},
        {"diVE, 20 MiB settings", DIVE_PROGRAM, big.Path() + "/dive"},
    };
    for (const SCase& c : arrCases) {  // libraries and files into the caches
        TimeToFirstPaint(c.strProgram, c.strArgv0);
    }
    std::vector<std::vector<SStart>> arrStarts(arrCases.size());
    for (int nRound = 1; nRound <= nRounds; ++nRound) {
        for (std::size_t i = 0; i < arrCases.size(); ++i) {
            const SStart start = TimeToFirstPaint(arrCases[i].strProgram, arrCases[i].strArgv0);
            arrStarts[i].push_back(start);
            std::printf("%d %-22s %7.1f ms, processor %5.1f ms main thread, %5.1f ms process\n",
                        nRound, arrCases[i].pszName, start.dWallMs, start.dMainCpuMs, start.dCpuMs);
        }
        std::fflush(stdout);
    }
    const auto wall = [](const SStart& start) { return start.dWallMs; };
    const auto mainCpu = [](const SStart& start) { return start.dMainCpuMs; };
    const auto cpu = [](const SStart& start) { return start.dCpuMs; };
    const double dPlain = SpreadOf(arrStarts[0], wall).dMedian;
    const double dPlainMainCpu = SpreadOf(arrStarts[0], mainCpu).dMedian;
    std::printf(
        "\nmedians of %d rounds: exec to first paint (lowest-highest), / plain window; processor "
        "time up to it: main thread, / plain window; whole process\n",
        nRounds);
    for (std::size_t i = 0; i < arrCases.size(); ++i) {
        const SSpread s = SpreadOf(arrStarts[i], wall);
        const double dMainCpu = SpreadOf(arrStarts[i], mainCpu).dMedian;
        std::printf(
            "%-22s %7.1f ms (%.1f-%.1f)  %.2fx   %5.1f ms  %.2fx   %5.1f ms\n", arrCases[i].pszName,
            s.dMedian, s.dMin, s.dMax, dPlain > 0 ? s.dMedian / dPlain : 0, dMainCpu,
            dPlainMainCpu > 0 ? dMainCpu / dPlainMainCpu : 0, SpreadOf(arrStarts[i], cpu).dMedian);
    }
    std::printf("load average at the end: ");
    PrintLoadAverage();
    return 0;
}

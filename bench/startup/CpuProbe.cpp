// Loaded by the start-up benchmark into each program it starts (LD_PRELOAD): at the first
// "Flushing" of Qt's painting log it writes, on a line of its own, the processor time used so far
// by the main thread and by the whole process ("cpu <main ms> <process ms>"), from exec on. The
// reference and diVE carry it alike.
#include <time.h>
#include <unistd.h>

#include <QString>
#include <QtGlobal>
#include <cstdio>

namespace {

QtMessageHandler g_pfnNext = nullptr;
bool g_bWritten = false;

double CpuMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The painting log is written on the main thread, where the window is painted.
void OnMessage(QtMsgType eType, const QMessageLogContext& context, const QString& strMessage) {
    if (!g_bWritten && strMessage.contains(QLatin1String("Flushing"))) {
        g_bWritten = true;
        char line[80];
        const int n =
            std::snprintf(line, sizeof line, "cpu %.2f %.2f\n", CpuMs(CLOCK_THREAD_CPUTIME_ID),
                          CpuMs(CLOCK_PROCESS_CPUTIME_ID));
        [[maybe_unused]] const ssize_t nWritten =
            write(STDERR_FILENO, line, static_cast<std::size_t>(n));
    }
    g_pfnNext(eType, context, strMessage);
}

__attribute__((constructor)) void Install() {
    g_pfnNext = qInstallMessageHandler(OnMessage);
}

}  // namespace

#include "AtSession.h"

#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "UiProbes.h"

namespace {
constexpr const char* kInsideVar = "DIVE_BENCH_AT_SESSION";
}  // namespace

bool EnterAssistiveSession(int& argc, char** argv) {
    bool bAt = false;
    int nOut = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--at") == 0) {
            bAt = true;
        } else {
            argv[nOut++] = argv[i];
        }
    }
    if (!bAt) {
        return false;
    }
    const char* pszInside = std::getenv(kInsideVar);
    if (pszInside != nullptr && std::strcmp(pszInside, "1") == 0) {
        argc = nOut;
        argv[argc] = nullptr;
        return true;
    }
    setenv(kInsideVar, "1", 1);
    setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
    // The bus launcher stays in the session and ends with it; the benchmark runs again with
    // "--at" so that it knows its mode.
    std::vector<const char*> arrArgs = {
        "dbus-run-session",
        "--",
        "sh",
        "-c",
        "/usr/libexec/at-spi-bus-launcher --launch-immediately & sleep 1; exec \"$@\"",
        "sh"};
    arrArgs.push_back(argv[0]);
    arrArgs.push_back("--at");
    for (int i = 1; i < nOut; ++i) {
        arrArgs.push_back(argv[i]);
    }
    arrArgs.push_back(nullptr);
    execvp(arrArgs[0], const_cast<char* const*>(arrArgs.data()));
    std::perror("dbus-run-session");
    std::exit(2);
}

std::unique_ptr<QApplication> MakeAssistedBenchApp(int& argc, char** argv) {
    const bool bAt = EnterAssistiveSession(argc, argv);
    auto pApp = MakeBenchApp(argc, argv);
    if (bAt && !RunEventsUntil([] { return QAccessible::isActive(); }, 10000)) {
        std::fprintf(stderr, "assistive technology did not become active on platform %s\n",
                     qPrintable(QGuiApplication::platformName()));
        std::exit(2);
    }
    std::printf("assistive technology %s; ", QAccessible::isActive() ? "active" : "inactive");
    return pApp;
}

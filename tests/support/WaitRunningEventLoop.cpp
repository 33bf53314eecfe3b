#include <QElapsedTimer>
#include <QTest>

#include "WaitHelpers.h"

bool WaitRunningEventLoop(const std::function<bool()>& pred, int nLimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > nLimitMs) {
            return pred();
        }
        QTest::qWait(5);
    }
    return true;
}

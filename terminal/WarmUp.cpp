#include "WarmUp.h"

#include <fontconfig/fontconfig.h>

CWarmUp::CWarmUp() : m_thread([] { FcInit(); }) {}

CWarmUp::~CWarmUp() {
    Finish();
}

void CWarmUp::Finish() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

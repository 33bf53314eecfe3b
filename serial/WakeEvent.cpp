#include "WakeEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

CWakeEvent::CWakeEvent() : m_nFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CWakeEvent::~CWakeEvent() {
    if (m_nFd >= 0) {
        close(m_nFd);
    }
}

void CWakeEvent::Signal() {
    const std::uint64_t nOne = 1;
    // Fails only when the counter is saturated, which still leaves the fd readable.
    [[maybe_unused]] ssize_t n = write(m_nFd, &nOne, sizeof nOne);
}

bool CWakeEvent::Clear() {
    std::uint64_t nCount = 0;
    return read(m_nFd, &nCount, sizeof nCount) == sizeof nCount;
}

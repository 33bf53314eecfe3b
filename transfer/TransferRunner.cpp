#include "TransferRunner.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr const char* kLineLost = "串口已断开";

// Writes all of bytes, waiting while the driver's buffer is full; false on an error.
bool WriteAll(int nFd, const std::vector<std::uint8_t>& bytes, CTransferCancel& cancel) {
    std::size_t nDone = 0;
    while (nDone < bytes.size()) {
        const ssize_t n = write(nFd, bytes.data() + nDone, bytes.size() - nDone);
        if (n > 0) {
            nDone += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd fds[2] = {{nFd, POLLOUT, 0}, {cancel.Fd(), POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) {
            return false;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) || cancel.IsCancelled()) {
            return cancel.IsCancelled();
        }
    }
    return true;
}

}  // namespace

CTransferCancel::CTransferCancel() : m_nFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CTransferCancel::~CTransferCancel() {
    if (m_nFd >= 0) {
        close(m_nFd);
    }
}

void CTransferCancel::Cancel() {
    m_bCancelled = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_nFd, &one, sizeof one);
}

ETransferState RunTransfer(CTransferMachine& machine, int nFd, CTransferCancel& cancel) {
    machine.Start(TransferClock::now());
    bool bCancelSeen = false;
    std::uint8_t buf[4096];
    for (;;) {
        if (!WriteAll(nFd, machine.TakeOutput(), cancel)) {
            machine.LineLost(kLineLost);
        }
        if (!machine.IsRunning()) {
            // What the ending said (CAN CAN) still goes out; errors no longer matter.
            WriteAll(nFd, machine.TakeOutput(), cancel);
            return machine.State();
        }
        if (cancel.IsCancelled() && !bCancelSeen) {
            bCancelSeen = true;
            machine.Cancel();
            continue;
        }
        const auto tNow = TransferClock::now();
        const auto nWait = std::chrono::ceil<std::chrono::milliseconds>(machine.Deadline() - tNow);
        const int nTimeout =
            static_cast<int>(std::clamp<std::int64_t>(nWait.count(), 0, 60 * 60 * 1000));
        pollfd fds[2] = {{nFd, POLLIN, 0}, {cancel.Fd(), POLLIN, 0}};
        if (poll(fds, 2, nTimeout) < 0 && errno != EINTR) {
            machine.LineLost(kLineLost);
            continue;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(nFd, buf, sizeof buf);
            if (n > 0) {
                machine.OnBytes(std::span(buf, static_cast<std::size_t>(n)), TransferClock::now());
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                machine.LineLost(kLineLost);
            }
        } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            machine.LineLost(kLineLost);
        }
        machine.OnTime(TransferClock::now());
    }
}

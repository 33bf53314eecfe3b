#include "TransferRunner.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr const char* kLineLost = "串口已断开";
constexpr auto kWriteWait = std::chrono::seconds(1);

// Writes all of bytes, waiting while the driver's buffer is full; false on an error.
bool WriteAll(ITransferLine& line, const std::vector<std::uint8_t>& bytes,
              CTransferCancel& cancel) {
    std::size_t nDone = 0;
    while (nDone < bytes.size()) {
        const long n = line.Write(bytes.data() + nDone, bytes.size() - nDone);
        if (n > 0) {
            nDone += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && n != -EAGAIN && n != -EINTR) {
            return false;
        }
        const int nEvents = line.Wait(POLLOUT, cancel.Fd(), kWriteWait);
        if ((nEvents < 0 && nEvents != -EINTR) || (nEvents & (POLLERR | POLLHUP | POLLNVAL)) ||
            cancel.IsCancelled()) {
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

int CFdLine::Wait(short nEvents, int nWakeFd, std::chrono::nanoseconds timeout) {
    const std::int64_t nNs = std::clamp<std::int64_t>(timeout.count(), 0, 3600'000'000'000);
    const timespec ts{static_cast<time_t>(nNs / 1'000'000'000),
                      static_cast<long>(nNs % 1'000'000'000)};
    pollfd fds[2] = {{m_nFd, nEvents, 0}, {nWakeFd, POLLIN, 0}};
    if (ppoll(fds, 2, &ts, nullptr) < 0) {
        return -errno;
    }
    return fds[0].revents;
}

long CFdLine::Read(std::uint8_t* pBuf, std::size_t nCap) {
    const ssize_t n = read(m_nFd, pBuf, nCap);
    return n < 0 ? -errno : n;
}

long CFdLine::Write(const std::uint8_t* pBytes, std::size_t nCount) {
    const ssize_t n = write(m_nFd, pBytes, nCount);
    return n < 0 ? -errno : n;
}

ETransferState RunTransfer(CTransferMachine& machine, ITransferLine& line, CTransferCancel& cancel,
                           const std::function<void()>& fnStep) {
    machine.Start(TransferClock::now());
    bool bCancelSeen = false;
    std::uint8_t buf[4096];
    for (;;) {
        if (!WriteAll(line, machine.TakeOutput(), cancel)) {
            machine.LineLost(kLineLost);
        }
        if (fnStep) {
            fnStep();
        }
        if (!machine.IsRunning()) {
            // What the ending said (CAN CAN) still goes out; errors no longer matter.
            WriteAll(line, machine.TakeOutput(), cancel);
            return machine.State();
        }
        if (cancel.IsCancelled() && !bCancelSeen) {
            bCancelSeen = true;
            machine.Cancel(TransferClock::now());
            continue;
        }
        // Once seen, the cancel stays readable: no longer woken by it.
        const int nEvents = line.Wait(POLLIN, bCancelSeen ? -1 : cancel.Fd(),
                                      machine.Deadline() - TransferClock::now());
        if (nEvents < 0 && nEvents != -EINTR) {
            machine.LineLost(kLineLost);
            continue;
        }
        if (nEvents > 0 && (nEvents & POLLIN)) {
            const long n = line.Read(buf, sizeof buf);
            if (n > 0) {
                machine.OnBytes(std::span(buf, static_cast<std::size_t>(n)), TransferClock::now());
            } else if (n == 0 || (n != -EAGAIN && n != -EINTR)) {
                machine.LineLost(kLineLost);
            }
        } else if (nEvents > 0 && (nEvents & (POLLERR | POLLHUP | POLLNVAL))) {
            machine.LineLost(kLineLost);
        }
        machine.OnTime(TransferClock::now());
    }
}

ETransferState RunTransfer(CTransferMachine& machine, int nFd, CTransferCancel& cancel) {
    CFdLine line(nFd);
    return RunTransfer(machine, line, cancel);
}

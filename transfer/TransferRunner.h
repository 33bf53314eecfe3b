#pragma once
// RunTransfer: drives a transfer machine on a line until it ends, on the calling thread: reads
// what arrives, writes what the machine says, wakes at its deadlines. The line is an
// ITransferLine (the serial engine's device) or a file descriptor (a terminal opened raw and
// non-blocking, one end of a pseudo-terminal pair). Another thread ends it with
// CTransferCancel::Cancel() (the machine sends CAN CAN). A read or write error or a hang-up of
// the line ends the transfer as failed ("串口已断开"). Returns the machine's final state.
#include <atomic>
#include <chrono>
#include <functional>

#include "Transfer.h"

class CTransferCancel {
public:
    CTransferCancel();
    ~CTransferCancel();
    CTransferCancel(const CTransferCancel&) = delete;
    CTransferCancel& operator=(const CTransferCancel&) = delete;

    void Cancel();  // any thread
    int Fd() const { return m_nFd; }
    bool IsCancelled() const { return m_bCancelled; }

private:
    int m_nFd;  // eventfd, readable once cancelled
    std::atomic<bool> m_bCancelled{false};
};

// The line a transfer runs on, non-blocking.
class ITransferLine {
public:
    virtual ~ITransferLine() = default;
    // Waits until the line is ready for nEvents (POLLIN, POLLOUT), nWakeFd is readable or the
    // time is up; the line's poll events (0: time-out or wake), negative errno on failure.
    virtual int Wait(short nEvents, int nWakeFd, std::chrono::nanoseconds timeout) = 0;
    // The count moved, 0 at the end of the line (gone), or a negative errno (-EAGAIN).
    virtual long Read(std::uint8_t* pBuf, std::size_t nCap) = 0;
    virtual long Write(const std::uint8_t* pBytes, std::size_t nCount) = 0;
};

// A file descriptor as the line.
class CFdLine : public ITransferLine {
public:
    explicit CFdLine(int nFd) : m_nFd(nFd) {}
    int Wait(short nEvents, int nWakeFd, std::chrono::nanoseconds timeout) override;
    long Read(std::uint8_t* pBuf, std::size_t nCap) override;
    long Write(const std::uint8_t* pBytes, std::size_t nCount) override;

private:
    int m_nFd;
};

// fnStep, when given, runs after each step (the machine's Progress() may be read then).
ETransferState RunTransfer(CTransferMachine& machine, ITransferLine& line, CTransferCancel& cancel,
                           const std::function<void()>& fnStep = {});
ETransferState RunTransfer(CTransferMachine& machine, int nFd, CTransferCancel& cancel);

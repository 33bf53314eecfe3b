#pragma once
// RunTransfer: drives a transfer machine on a file descriptor (a terminal opened raw and
// non-blocking, or one end of a pseudo-terminal pair) until it ends, on the calling thread: reads
// what arrives, writes what the machine says, wakes at its deadlines. Another thread ends it with
// CTransferCancel::Cancel() (the machine sends CAN CAN). A read or write error or a hang-up of
// the line ends the transfer as failed ("串口已断开"). Returns the machine's final state.
#include <atomic>

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

ETransferState RunTransfer(CTransferMachine& machine, int nFd, CTransferCancel& cancel);

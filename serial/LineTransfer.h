#pragma once
// CLineTransfer: a block file transfer (XMODEM, YMODEM: a CTransferMachine) that has the line to
// itself, run on a thread of its own over the open device while the watcher is stopped. Every
// byte that arrives goes to the machine, none to the owner; the bytes both ways are counted.
// The owner's thread reads its state and progress at any time (Status()); nothing here waits
// for the owner. Cancel() makes the machine send CAN CAN and end; the destructor cancels a
// transfer still running and waits for its thread.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "TerminalDevice.h"
#include "Transfer.h"
#include "TransferRunner.h"

struct STransferStatus {
    bool bFinished = false;  // the thread has ended; eState is final
    ETransferState eState = ETransferState::Running;
    STransferProgress progress;
    std::string strMessage;  // the machine's, Chinese
    std::uint64_t nRxBytes = 0;
    std::uint64_t nTxBytes = 0;
};

class CLineTransfer {
public:
    CLineTransfer(ITerminalDevice& device, std::unique_ptr<CTransferMachine> pMachine);
    ~CLineTransfer();
    CLineTransfer(const CLineTransfer&) = delete;
    CLineTransfer& operator=(const CLineTransfer&) = delete;

    void Cancel() { m_cancel.Cancel(); }
    STransferStatus Status() const;

private:
    // The device as the machine's line; counts what passes.
    class CDeviceLine : public ITransferLine {
    public:
        explicit CDeviceLine(ITerminalDevice& device) : m_device(device) {}
        int Wait(short nEvents, int nWakeFd, std::chrono::nanoseconds timeout) override;
        long Read(std::uint8_t* pBuf, std::size_t nCap) override;
        long Write(const std::uint8_t* pBytes, std::size_t nCount) override;
        std::atomic<std::uint64_t> m_nRx{0};
        std::atomic<std::uint64_t> m_nTx{0};

    private:
        ITerminalDevice& m_device;
    };

    void Run();
    void Publish(bool bFinished);

    CDeviceLine m_line;
    std::unique_ptr<CTransferMachine> m_pMachine;
    CTransferCancel m_cancel;
    mutable std::mutex m_mtx;
    STransferStatus m_status;  // under m_mtx
    std::thread m_thread;
};

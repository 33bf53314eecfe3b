#include "LineTransfer.h"

#include <algorithm>

CLineTransfer::CLineTransfer(ITerminalDevice& device, std::unique_ptr<CTransferMachine> pMachine)
    : m_line(device), m_pMachine(std::move(pMachine)), m_thread([this] { Run(); }) {}

CLineTransfer::~CLineTransfer() {
    m_cancel.Cancel();
    m_thread.join();
}

STransferStatus CLineTransfer::Status() const {
    std::lock_guard lock(m_mtx);
    STransferStatus status = m_status;
    status.nRxBytes = m_line.m_nRx;
    status.nTxBytes = m_line.m_nTx;
    return status;
}

void CLineTransfer::Run() {
    RunTransfer(*m_pMachine, m_line, m_cancel, [this] { Publish(false); });
    Publish(true);
}

void CLineTransfer::Publish(bool bFinished) {
    std::lock_guard lock(m_mtx);
    m_status.bFinished = bFinished;
    m_status.eState = m_pMachine->State();
    m_status.progress = m_pMachine->Progress();
    m_status.strMessage = m_pMachine->Message();
}

int CLineTransfer::CDeviceLine::Wait(short nEvents, int nWakeFd, std::chrono::nanoseconds timeout) {
    // The device waits in whole milliseconds: a deadline inside the next one waits for it.
    const auto nMs = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    bool bWoken = false;
    return m_device.Wait(nEvents, nWakeFd,
                         static_cast<int>(std::clamp<std::int64_t>(nMs, 0, 3600 * 1000)), bWoken);
}

long CLineTransfer::CDeviceLine::Read(std::uint8_t* pBuf, std::size_t nCap) {
    const long n = m_device.Read(pBuf, nCap);
    m_nRx += n > 0 ? static_cast<std::uint64_t>(n) : 0;
    return n;
}

long CLineTransfer::CDeviceLine::Write(const std::uint8_t* pBytes, std::size_t nCount) {
    const long n = m_device.Write(pBytes, nCount);
    m_nTx += n > 0 ? static_cast<std::uint64_t>(n) : 0;
    return n;
}

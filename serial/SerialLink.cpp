#include "SerialLink.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "DeviceMap.h"
#include "LineTransfer.h"
#include "NetAddress.h"
#include "NetDevice.h"
#include "NoticeQueue.h"
#include "PortLock.h"
#include "PortWatcher.h"
#include "SettingDifferences.h"
#include "TermiosDevice.h"
#include "Transmitter.h"

CSerialLink::CSerialLink() = default;

CSerialLink::~CSerialLink() {
    Close();
    HandOverSocket(-1);
}

void CSerialLink::SetDeviceMapSource(std::string strIniPath, std::string strDevRoot) {
    m_strIniPath = std::move(strIniPath);
    m_strDevRoot = std::move(strDevRoot);
}

void CSerialLink::SetRunDevice(unsigned nPort, std::string strPath) {
    if (nPort < 1 || nPort > CDeviceMap::kPortCount) {
        return;
    }
    if (strPath.empty()) {
        m_mapRunDevices.erase(nPort);
    } else {
        m_mapRunDevices[nPort] = std::move(strPath);
    }
}

std::vector<std::string> CSerialLink::DevicePaths() const {
    std::vector<std::string> arrConfigured = CDeviceMap::ReadConfigured(m_strIniPath);
    for (const auto& [nPort, strPath] : m_mapRunDevices) {
        arrConfigured[nPort - 1] = strPath;
    }
    return CDeviceMap(m_strDevRoot).Build(arrConfigured);
}

std::string CSerialLink::DevicePathFor(unsigned nPort) const {
    if (nPort < 1 || nPort > CDeviceMap::kPortCount) {
        return {};
    }
    return DevicePaths()[nPort - 1];
}

void CSerialLink::SetDeviceFactory(DeviceFactory factory) {
    m_fnDeviceFactory = std::move(factory);
}

void CSerialLink::SetLockFolder(std::string strFolder) {
    m_strLockFolder = std::move(strFolder);
}

bool CSerialLink::Open(ISerialOwner* pOwner, const PortSettings& settings) {
    return OpenDevice(pOwner, DevicePathFor(settings.nPort), settings);
}

bool CSerialLink::OpenDevice(ISerialOwner* pOwner, const std::string& strPath,
                             const PortSettings& settings) {
    Close();
    m_strHolder.clear();
    m_openError = {};
    m_arrSettingLines.clear();
    m_arrDifferences.clear();

    if (strPath.empty()) {
        m_openError.eKind = EOpenError::NoDevice;
        return false;
    }
    // A port on another machine is its server's to share out: no lock file, no tty.
    const bool bNet = IsNetAddress(strPath);
    auto pLock = bNet ? nullptr : std::make_unique<CPortLock>(m_strLockFolder, strPath);
    if (pLock && !pLock->Acquire()) {
        m_strHolder = pLock->GetHolder();
        m_openError =
            pLock->GetRemoveError() != 0
                ? OpenError{EOpenError::LockFile, pLock->GetRemoveError(), pLock->GetPath()}
                : OpenError{EOpenError::Busy, EBUSY, strPath};
        return false;
    }
    std::unique_ptr<ITerminalDevice> pDevice = MakeDevice(strPath);
    const int nError = pDevice ? pDevice->Open() : ENOMEM;
    if (nError != 0) {
        m_openError = OpenErrorFromErrno(nError, strPath);
        if (nError == EBUSY && !bNet) {
            m_strHolder = FindDeviceUser(strPath);
        }
        return false;
    }

    m_pOwner = pOwner;
    m_pLock = std::move(pLock);
    m_pDevice = std::move(pDevice);
    m_strOpenPath = strPath;
    m_pNotices = std::make_unique<CNoticeQueue>(pOwner);
    m_pTransmitter = std::make_unique<CTransmitter>(*m_pDevice, *m_pNotices);
    if (!m_pTransmitter->Start()) {
        Close();
        m_openError = OpenErrorFromErrno(EAGAIN, strPath);  // no thread could be started
        return false;
    }
    ApplySettings(settings);
    SetFlowControl(EFlowControl::None);
    ++m_nSession;
    return true;
}

std::unique_ptr<ITerminalDevice> CSerialLink::MakeDevice(const std::string& strPath) {
    const int nSocket = std::exchange(m_nHandedSocket, -1);
    if (m_fnDeviceFactory) {
        if (nSocket >= 0) {
            close(nSocket);
        }
        return m_fnDeviceFactory(strPath);
    }
    if (IsNetAddress(strPath)) {
        return std::make_unique<CNetDevice>(strPath, nSocket);
    }
    if (nSocket >= 0) {
        close(nSocket);
    }
    return std::make_unique<CTermiosDevice>(strPath);
}

void CSerialLink::HandOverSocket(int nFd) {
    if (m_nHandedSocket >= 0) {
        close(m_nHandedSocket);
    }
    m_nHandedSocket = nFd;
}

void CSerialLink::ApplySettings(const PortSettings& settings) {
    LineSettings requested;
    requested.dwBaudRate = settings.dwBaudRate;
    requested.nDataBits = settings.byDataBits;
    requested.eParity = settings.eParity;
    requested.eStopBits = settings.eStopBits;
    requested.eFlow = EFlowControl::None;
    m_pDevice->ApplySettings(requested);
    LineSettings actual;
    if (m_pDevice->GetSettings(actual)) {
        m_arrSettingLines = DescribeSettingDifferences(requested, actual);
    }
    const std::vector<std::string> arrNotes = m_pDevice->Notes();
    m_arrSettingLines.insert(m_arrSettingLines.end(), arrNotes.begin(), arrNotes.end());
    m_arrDifferences = m_arrSettingLines;
}

void CSerialLink::SetGatherMs(int nMs) {
    m_nGatherMs = nMs;
    if (m_pWatcher) {
        m_pWatcher->SetGatherMs(nMs);
    }
}

bool CSerialLink::StartWatcher() {
    if (!m_pDevice || m_pWatcher) {
        return false;
    }
    auto pWatcher = std::make_unique<CPortWatcher>(*m_pDevice, *m_pNotices);
    pWatcher->SetGatherMs(m_nGatherMs);
    pWatcher->SetReadClock(m_fnReadClock);
    if (!pWatcher->Start()) {
        return false;
    }
    m_pWatcher = std::move(pWatcher);
    return true;
}

void CSerialLink::Close() {
    ++m_nSession;
    // Threads first: they use the device and the queue.
    m_pTransfer.reset();
    m_pWatcher.reset();
    m_pTransmitter.reset();
    if (m_pDevice) {
        m_pDevice->Close();
        m_pDevice.reset();
    }
    m_strOpenPath.clear();
    m_pLock.reset();
    m_pNotices.reset();
    ClearBatch();
    m_arrPrompt.clear();
    m_nPromptPos = 0;
    m_pOwner = nullptr;
}

bool CSerialLink::StartTransfer(std::unique_ptr<CTransferMachine> pMachine) {
    if (!m_pDevice || m_pTransfer || IsTransmitting() || !pMachine) {
        return false;
    }
    m_pWatcher.reset();
    m_pTransfer = std::make_unique<CLineTransfer>(*m_pDevice, std::move(pMachine));
    return true;
}

STransferStatus CSerialLink::TransferStatus() const {
    return m_pTransfer ? m_pTransfer->Status() : STransferStatus{};
}

void CSerialLink::CancelTransfer() {
    if (m_pTransfer) {
        m_pTransfer->Cancel();
    }
}

void CSerialLink::EndTransfer() {
    m_pTransfer.reset();
    StartWatcher();
}

bool CSerialLink::IsOpen() const {
    return m_pDevice != nullptr;
}

bool CSerialLink::Write(const std::uint8_t* pBytes, std::size_t nCount) {
    if (!m_pTransmitter || (pBytes == nullptr && nCount != 0)) {
        return false;
    }
    // Even an empty write ends with SN_TX_EMPTY, so an owner waiting for it is never stuck.
    m_pTransmitter->QueueBytes(std::vector<std::uint8_t>(pBytes, pBytes + nCount));
    return true;
}

bool CSerialLink::WriteStream(std::function<long(std::uint8_t* pBuf, std::size_t nCap)> fnRead,
                              int nGapMs) {
    if (!m_pTransmitter || !fnRead) {
        return false;
    }
    m_pTransmitter->QueueStream(std::move(fnRead), nGapMs);
    return true;
}

void CSerialLink::CancelWrite() {
    if (m_pTransmitter) {
        m_pTransmitter->Cancel();
    }
}

std::uint64_t CSerialLink::GetTxDone() const {
    return m_pTransmitter ? m_pTransmitter->Done() : 0;
}

std::chrono::steady_clock::time_point CSerialLink::GetTxEndTime() const {
    return m_pTransmitter ? m_pTransmitter->EndedAt() : std::chrono::steady_clock::time_point();
}

bool CSerialLink::IsTransmitting() const {
    return m_pTransmitter && m_pTransmitter->IsBusy();
}

void CSerialLink::SetFlowControl(EFlowControl eMode) {
    if (!m_pDevice || eMode < EFlowControl::None || eMode > EFlowControl::XonXoff) {
        return;
    }
    LineSettings settings;
    if (!m_pDevice->GetSettings(settings)) {
        return;
    }
    // Linux drivers handshake with RTS/CTS or XON/XOFF only; the DTR and DSR modes fall back.
    const bool bDriverHasIt = eMode == EFlowControl::CtsRts || eMode == EFlowControl::XonXoff;
    settings.eFlow = bDriverHasIt ? eMode : EFlowControl::None;
    m_pDevice->ApplySettings(settings);
    LineSettings actual;
    const EFlowControl eActual = m_pDevice->GetSettings(actual) ? actual.eFlow : EFlowControl::None;
    m_arrDifferences = m_arrSettingLines;
    if (std::string strLine = DescribeFlowDifference(eMode, eActual); !strLine.empty()) {
        m_arrDifferences.push_back(std::move(strLine));
    }
}

bool CSerialLink::SetEventMask(std::uint32_t dwMask) {
    if (!m_pNotices) {
        return false;
    }
    m_pNotices->SetEventMask(dwMask);
    return true;
}

bool CSerialLink::SetDTR() {
    return m_pDevice && m_pDevice->SetOutputLine(EOutputLine::DTR, true);
}
bool CSerialLink::ClearDTR() {
    return m_pDevice && m_pDevice->SetOutputLine(EOutputLine::DTR, false);
}
bool CSerialLink::SetRTS() {
    return m_pDevice && m_pDevice->SetOutputLine(EOutputLine::RTS, true);
}
bool CSerialLink::ClearRTS() {
    return m_pDevice && m_pDevice->SetOutputLine(EOutputLine::RTS, false);
}

bool CSerialLink::GetModemStatus(std::uint32_t& dwStatus) {
    return m_pDevice && m_pDevice->GetStatusLines(dwStatus);
}

bool CSerialLink::DeliverNotices(std::size_t nBudgetBytes) {
    if (!m_pNotices || m_pOwner == nullptr) {
        return false;
    }
    if (m_nBatchPos == m_arrBatch.size()) {
        ClearBatch();
        m_bQueueMore = m_pNotices->Take(nBudgetBytes, m_arrBatch);
    }
    // The owner may close or reopen the engine from a notice: what is left is then dropped.
    const std::uint64_t nSession = m_nSession;
    ISerialOwner* const pOwner = m_pOwner;
    while (m_nBatchPos < m_arrBatch.size()) {
        CNotice& notice = m_arrBatch[m_nBatchPos];
        const unsigned nCode = notice.nCode;
        unsigned nValue = notice.nValue;
        if (nCode == SN_RX_BYTE) {
            m_tRead = notice.tRead;
            if (m_nBytePos == notice.bytes.size()) {
                ++m_nBatchPos;
                m_nBytePos = 0;
                continue;
            }
            if (m_nBytePos == 0 && DeliverRun(pOwner, notice.bytes)) {
                if (m_nSession != nSession) {
                    return false;
                }
                continue;
            }
            nValue = notice.bytes[m_nBytePos++];
        } else {
            ++m_nBatchPos;
        }
        pOwner->OnSerialEvent(nCode, nValue);
        if (m_nSession != nSession) {
            return false;
        }
    }
    return m_bQueueMore;
}

void CSerialLink::DeliverPromptNotices() {
    if (!m_pNotices || m_pOwner == nullptr) {
        return;
    }
    if (m_nPromptPos == m_arrPrompt.size()) {
        m_arrPrompt.clear();
        m_nPromptPos = 0;
        m_pNotices->TakePrompt(m_arrPrompt);
    }
    const std::uint64_t nSession = m_nSession;
    ISerialOwner* const pOwner = m_pOwner;
    while (m_nPromptPos < m_arrPrompt.size()) {
        const CNotice& notice = m_arrPrompt[m_nPromptPos++];
        pOwner->OnSerialEvent(notice.nCode, notice.nValue);
        if (m_nSession != nSession) {
            return;
        }
    }
}

bool CSerialLink::DeliverRun(ISerialOwner* pOwner, std::vector<std::uint8_t>& bytes) {
    // Passed on before the call, so that a delivery from inside it goes on with the next notice
    // and cannot free the run.
    std::vector<std::uint8_t> run = std::move(bytes);
    ++m_nBatchPos;
    if (pOwner->OnSerialBytes(run.data(), run.size())) {
        return true;
    }
    --m_nBatchPos;  // declined at once, as the default does
    bytes = std::move(run);
    return false;
}

void CSerialLink::ClearBatch() {
    m_arrBatch.clear();
    m_nBatchPos = 0;
    m_nBytePos = 0;
    m_bQueueMore = false;
}

const OpenError& CSerialLink::GetOpenError() const {
    return m_openError;
}

const std::string& CSerialLink::GetHolder() const {
    return m_strHolder;
}

const std::vector<std::string>& CSerialLink::GetSettingDifferences() const {
    return m_arrDifferences;
}

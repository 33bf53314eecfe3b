// The main window's automatic reconnection: with "自动重连" ticked, a port whose device goes away
// stays open for the user while the window waits for the same device (CReconnector), then opens
// it again with the same settings. The receive box notes both moments on lines of their own.
// A port on another machine is tried through CNetConnector, so a server that does not answer never
// holds the window; one connect at a time, cancelled when the port closes.
#include <QCheckBox>
#include <QTime>

#include "NetAddress.h"
#include "NumEdit.h"
#include "ReceiveView.h"
#include "TerminalDlg.h"

namespace {

constexpr const char* kLostMarker = "—— 串口已断开 %1，等待重新连接 ——";
constexpr const char* kBackMarker = "—— 已重新连接 %1 ——";
constexpr const char* kHeldMarker = "—— 设备已被其他程序占用：%1，稍后重试 ——";
constexpr const char* kHeldUnknownMarker = "—— 设备已被其他程序占用，稍后重试 ——";

QString Now() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace

void CTerminalDlg::WaitForDevice() {
    // A file send ends here with what was sent counted; auto send goes on once the device is back.
    m_bResumeAutoSend = m_send.IsAutoSending();
    m_send.EndSends();
    m_link.Close();
    m_send.SetPortOpen(false);
    m_bWaiting = true;
    m_edReceive->AppendNote(QString::fromUtf8(kLostMarker).arg(Now()));
    ShowPortState();
    UpdateControlStates();
    ShowCounters();
    m_reconnector.Start(m_identity, m_link.DevRoot(),
                        [this](const std::string& strPath) { return TryReopen(strPath); });
}

CReconnector::STry CTerminalDlg::TryReopen(const std::string& strPath) {
    if (IsNetAddress(strPath)) {  // EndReconnectTry goes on
        return {m_connector.Start(strPath) ? CReconnector::EResult::Pending
                                           : CReconnector::EResult::Failed,
                {}};
    }
    return ReopenOn(strPath);
}

void CTerminalDlg::EndReconnectTry(int nFd, int nError) {
    CReconnector::STry result;
    if (nError == 0) {
        m_link.HandOverSocket(nFd);
        result = ReopenOn(m_connector.Address());
    }
    m_reconnector.TryEnded(result);
}

CReconnector::STry CTerminalDlg::ReopenOn(const std::string& strPath) {
    if (!OpenPort(strPath)) {
        const bool bBusy = m_link.GetOpenError().eKind == EOpenError::Busy;
        return {bBusy ? CReconnector::EResult::Busy : CReconnector::EResult::Failed,
                m_link.GetHolder()};
    }
    ++m_nSession;
    m_bWaiting = false;
    m_edReceive->AppendNote(QString::fromUtf8(kBackMarker).arg(Now()));
    ShowPortState();
    UpdateControlStates();
    if (m_bResumeAutoSend) {
        m_bResumeAutoSend = false;
        m_send.ToggleAutoSend(m_edPeriod->GetValue());
    }
    return {CReconnector::EResult::Opened, {}};
}

void CTerminalDlg::OnDeviceHeld(const QString& strHolder) {
    m_edReceive->AppendNote(strHolder.isEmpty() ? QString::fromUtf8(kHeldUnknownMarker)
                                                : QString::fromUtf8(kHeldMarker).arg(strHolder));
}

void CTerminalDlg::OnAutoReconnect() {
    // Unticked while waiting: the port closes as it would have when the device went.
    if (m_bWaiting && !m_chkAutoReconnect->isChecked()) {
        ClosePort();
        ShowPortState();
        UpdateControlStates();
    }
}

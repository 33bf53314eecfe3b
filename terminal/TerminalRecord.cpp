// The main window's side of recording to a file: the receive box's menu item starts and stops it,
// the title says while it runs, received bytes and the port's opening and closing go to it; sends
// shown in the receive box ("显示发送") go to it too, and frames split by silence ("分帧") set how
// long the watcher lets arrivals gather.
#include <algorithm>
#include <chrono>

#include "CodePage.h"
#include "ReceiveView.h"
#include "RecordControl.h"
#include "TerminalDlg.h"
#include "Version.h"

namespace {
constexpr const char* kTitle = "diVE 串口调试终端 V";
constexpr const char* kRecordingTitle = " — 记录：";
}  // namespace

void CTerminalDlg::SetUpRecording() {
    m_pRecord = new CRecordControl(this);
    connect(m_edReceive, &CReceiveView::RecordCommand, this, [this] {
        m_pRecord->Toggle(m_edReceive->CodePage()->Get() == CP_UTF8,
                          m_edReceive->GetLfToCrLf() != 0);
    });
    connect(m_edReceive, &CReceiveView::LfToCrLfChanged, m_pRecord, &CRecordControl::SetLfToCrLf);
    connect(m_edReceive->CodePage().get(), &CCodePage::Changed, m_pRecord,
            [this] { m_pRecord->SetCodePage(m_edReceive->CodePage()->Get() == CP_UTF8); });
    connect(m_pRecord, &CRecordControl::StateChanged, this, [this] {
        m_edReceive->SetRecording(m_pRecord->IsRecording());
        ShowTitle();
    });
    connect(m_edReceive, &CReceiveView::OptionsChanged, this, &CTerminalDlg::FollowFrameGap);
    FollowFrameGap();
}

void CTerminalDlg::FollowFrameGap() {
    // Arrivals that gather in the driver share one read's time: to tell a silence of the frame
    // gap, they gather at most half of it.
    const int nGapMs = m_edReceive->Options().nFrameGapMs;
    m_link.SetGatherMs(nGapMs > 0 ? std::min(CRxDelivery::kIntervalMs, nGapMs / 2)
                                  : CRxDelivery::kIntervalMs);
}

void CTerminalDlg::OnSent(const std::uint8_t* pBytes, std::size_t nCount) {
    if (!m_edReceive->Options().bEcho) {
        return;
    }
    const ReadTime tSent = std::chrono::system_clock::now();
    m_edReceive->AppendSent(pBytes, nCount, tSent);
    m_pRecord->AppendSent(pBytes, nCount, tSent);
}

void CTerminalDlg::ShowTitle() {
    // The title is the window's accessible name too, so assistive tools say that it records.
    QString strTitle = QString::fromUtf8(kTitle) + QString::fromLatin1(kVersion);
    if (m_pRecord->IsRecording()) {
        strTitle += QString::fromUtf8(kRecordingTitle) + m_pRecord->FileName();
    }
    setWindowTitle(strTitle);
}

void CTerminalDlg::RecordPortOpened(const PortSettings& settings) {
    m_pRecord->PortOpened(PortMarkerText(settings.nPort, settings.dwBaudRate, settings.byDataBits,
                                         static_cast<int>(settings.eParity),
                                         static_cast<int>(settings.eStopBits)));
}

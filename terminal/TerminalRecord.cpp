// The main window's side of recording to a file: the receive box's menu item starts and stops it,
// the title says while it runs, received bytes and the port's opening and closing go to it.
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

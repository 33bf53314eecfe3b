// The main window's side of the block file transfers: the send box's "文件传输" items pick a file
// or a folder (the last folder is remembered in section "TRANSFER", key "FOLDER") and start the
// transfer (CTransferControl). While it runs it has the line: the receive box gets none of its
// bytes, the counters count them, the sends wait; closing the port or the window cancels it
// first. Its end is one line in the receive box.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <iterator>

#include "FileDialog.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "ReceiveView.h"
#include "SendEdit.h"
#include "TerminalDlg.h"
#include "TransferControl.h"

namespace {

constexpr const char* kSection = "TRANSFER";
constexpr const char* kFolderKey = "FOLDER";

constexpr const char* kChooseSend = "选择要发送的文件";
constexpr const char* kChooseSaveAs = "接收的文件保存为";
constexpr const char* kChooseFolder = "选择保存接收文件的文件夹";
constexpr const char* kCannotRead = "无法读取文件：%1";
constexpr const char* kCannotWrite = "无法写入文件夹：%1";
constexpr const char* kNotStarted = "串口正忙，无法开始传输";

struct SCommandJob {
    int nCommand;
    ETransferProtocol eProtocol;
    bool bSend;
};

constexpr SCommandJob kJobs[] = {
    {IDM_XFER_XMODEM_SEND, ETransferProtocol::Xmodem, true},
    {IDM_XFER_XMODEM1K_SEND, ETransferProtocol::Xmodem1K, true},
    {IDM_XFER_YMODEM_SEND, ETransferProtocol::Ymodem, true},
    {IDM_XFER_XMODEM_RECEIVE, ETransferProtocol::Xmodem, false},
    {IDM_XFER_YMODEM_RECEIVE, ETransferProtocol::Ymodem, false},
};

bool CanAccess(const QString& strPath, int nMode) {
    return access(QFile::encodeName(strPath).constData(), nMode) == 0;
}

}  // namespace

void CTerminalDlg::SetUpTransfers() {
    m_pTransfer = new CTransferControl(m_link, this);
    connect(m_edSend, &CSendEdit::TransferCommand, this, &CTerminalDlg::OnTransferCommand);
    connect(m_pTransfer, &CTransferControl::Counted, this,
            [this](std::uint64_t nRx, std::uint64_t nTx) {
                // The counters wrap as the bytes one at a time would.
                m_dwRxCount += static_cast<std::uint32_t>(nRx);
                m_dwTxCount += static_cast<std::uint32_t>(nTx);
                m_bCountersStale = true;
                ShowCountersSoon();
            });
    connect(m_pTransfer, &CTransferControl::Finished, this, [this](const QString& strLine) {
        m_edReceive->AppendNote(strLine);
        ShowCounters();
        UpdateControlStates();
    });
}

bool CTerminalDlg::IsTransferring() const {
    return m_pTransfer != nullptr && m_pTransfer->IsRunning();
}

bool CTerminalDlg::TransfersAllowed() const {
    return m_bPortOpen && !m_bWaiting && !IsTransferring() && !m_send.IsTxPending() &&
           !m_send.IsAutoSending();
}

void CTerminalDlg::OnTransferCommand(int nCommand) {
    const auto* pJob =
        std::find_if(std::begin(kJobs), std::end(kJobs),
                     [nCommand](const SCommandJob& job) { return job.nCommand == nCommand; });
    if (pJob == std::end(kJobs) || !TransfersAllowed()) {
        return;
    }
    CIniFile ini(m_strIniPath);
    const QString strFolder = QString::fromStdString(ini.ReadString(kSection, kFolderKey, ""));
    QString strPath;
    QString strProblem;
    if (pJob->bSend) {
        strPath = CFileDialog::GetOpenFileName(this, strFolder, QString::fromUtf8(kChooseSend));
        if (!strPath.isEmpty() && !CanAccess(strPath, R_OK)) {
            strProblem = QString::fromUtf8(kCannotRead).arg(strPath);
        }
    } else if (pJob->eProtocol != ETransferProtocol::Ymodem) {
        strPath = CFileDialog::GetSaveFileName(this, strFolder, QString::fromUtf8(kChooseSaveAs));
        const QString strIn = QFileInfo(strPath).absolutePath();
        if (!strPath.isEmpty() && !CanAccess(strIn, W_OK | X_OK)) {
            strProblem = QString::fromUtf8(kCannotWrite).arg(strIn);
        }
    } else {
        strPath =
            CFileDialog::GetExistingDirectory(this, strFolder, QString::fromUtf8(kChooseFolder));
        if (!strPath.isEmpty() && !CanAccess(strPath, W_OK | X_OK)) {
            strProblem = QString::fromUtf8(kCannotWrite).arg(strPath);
        }
    }
    if (strPath.isEmpty()) {
        return;
    }
    const QFileInfo info(strPath);
    const QString strUsed = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    ini.WriteString(kSection, kFolderKey, QDir::cleanPath(strUsed).toStdString());
    if (strProblem.isEmpty() && !m_pTransfer->Start({pJob->eProtocol, pJob->bSend, strPath})) {
        strProblem = QString::fromUtf8(kNotStarted);
    }
    if (!strProblem.isEmpty()) {
        CMessageBox::Show(this, strProblem, QString::fromUtf8(CMessageBox::kErrorCaption),
                          QMessageBox::Warning);
    }
    UpdateControlStates();
}

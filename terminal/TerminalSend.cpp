// The transmit operations of the main window: manual send, automatic periodic send, file send and
// the transmit completion.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <atomic>
#include <cstdio>
#include <memory>

#include "FileDialog.h"
#include "MessageBox.h"
#include "NumEdit.h"
#include "SendEdit.h"
#include "TerminalDlg.h"

namespace {

// The framework's own message boxes carry the application's name.
constexpr const char* kAppCaption = "diVE";
constexpr const char* kNothingToSend = "发送信息框中没有数据";
constexpr const char* kPeriodZero = "自动发送周期不可以等于0";
constexpr const char* kFileOpenFailed = "开启文件失败";
constexpr const char* kFileReadFailed = "读取文件失败";
constexpr const char* kCaptionStopSending = "停止发送";
constexpr const char* kProgressTitle = "发送文件";
constexpr const char* kProgressCancel = "取消";
constexpr const char* kProgressText = "已发送 %1 / %2 字节";

constexpr int kFileProgressMs = 100;
constexpr int kProgressSteps = 1000;

// Opens a file to send. Only regular files are sent: opening a pipe waits for a writer, and a
// read from a pipe or a terminal may never return, which would hold up closing the port.
std::shared_ptr<std::FILE> OpenFileToSend(const QString& strPath, struct stat& info) {
    const int fd = open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::FILE* pFile = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        pFile = fdopen(fd, "rb");
    }
    if (pFile == nullptr) {
        close(fd);
        return {};
    }
    return {pFile, [](std::FILE* p) { std::fclose(p); }};
}

}  // namespace

bool CTerminalDlg::SendNow() {
    SaveControls();
    const std::vector<std::uint8_t> bytes = m_edSend->GetSendBytes();
    if (bytes.empty()) {
        CMessageBox::Show(this, QString::fromUtf8(kNothingToSend), QString::fromUtf8(kAppCaption),
                          QMessageBox::Warning);
        return false;
    }
    // The engine takes a copy and returns at once; a refusal (no port) would never be followed
    // by the transmit-empty notice, so it counts as nothing sent.
    if (!m_link.Write(bytes.data(), bytes.size())) {
        return false;
    }
    m_dwTxCount += static_cast<std::uint32_t>(bytes.size());
    m_bTxPending = true;
    LoadControls();
    return true;
}

void CTerminalDlg::EnableSendButtons(bool bEnable) {
    for (QWidget* pButton : {m_btnManualSend, m_btnSendFile, m_btnAutoSend}) {
        SetEnabledKeepingFocus(pButton, bEnable);
    }
}

void CTerminalDlg::OnManualSend() {
    if (SendNow()) {
        EnableSendButtons(false);
    }
}

void CTerminalDlg::OnAutoSend() {
    m_dwPeriod = m_edPeriod->GetValue();
    if (m_dwPeriod == 0) {
        CMessageBox::Show(this, QString::fromUtf8(kPeriodZero),
                          QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Information);
        return;
    }
    if (!m_bPortOpen) {
        return;
    }
    if (m_bAutoSend) {
        EndAutoSend();
    } else if (SendNow()) {
        m_bAutoSend = 1;
        m_btnAutoSend->setText(QString::fromUtf8(kCaptionStopSending));
        m_btnSendFile->setEnabled(false);
        m_btnManualSend->setEnabled(false);
        m_edPeriod->setEnabled(false);
    }
}

void CTerminalDlg::EndAutoSend() {
    StopAutoSend();
    // A transmission still going out keeps the other send buttons until its completion enables
    // them: a send started on top of it would be counted with it and ended by it. A port that was
    // lost while the empty-box message was on screen keeps them disabled.
    if (m_bPortOpen && !m_bTxPending) {
        m_btnSendFile->setEnabled(true);
        m_btnManualSend->setEnabled(true);
    }
}

void CTerminalDlg::OnTimer() {
    // The period has passed after the last transmission: send again.
    if (m_bAutoSend && !SendNow()) {
        EndAutoSend();
    }
}

void CTerminalDlg::OnTxEmpty() {
    m_bTxPending = false;
    const bool bReadFailed = m_bFileSending && m_pFileReadFailed->load();
    if (m_bFileSending) {
        EndFileSend();
    }
    if (m_bAutoSend) {
        LoadControls();
        m_timerAutoSend.start(static_cast<int>(m_dwPeriod));
    } else {
        EnableSendButtons(true);
    }
    // A file that fails midway would otherwise look sent: say so, once the window is idle again.
    // The box waits until the notices of this delivery are handed on: its event loop would
    // otherwise deliver later notices before the rest of them.
    if (bReadFailed) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                CMessageBox::Show(this, QString::fromUtf8(kFileReadFailed),
                                  QString::fromUtf8(kAppCaption), QMessageBox::Warning);
            },
            Qt::QueuedConnection);
    }
}

void CTerminalDlg::OnSendFile() {
    const QString strPath = CFileDialog::GetOpenFileName(this);
    if (strPath.isEmpty()) {
        return;
    }
    struct stat info {};
    std::shared_ptr<std::FILE> pFile = OpenFileToSend(strPath, info);
    if (!pFile) {
        CMessageBox::Show(this, QString::fromUtf8(kFileOpenFailed), QString::fromUtf8(kAppCaption),
                          QMessageBox::Warning);
        return;
    }
    // An empty file has nothing to send and no transmission to wait for.
    if (info.st_size == 0) {
        return;
    }
    // The file is read on the engine's transmitter thread, piece by piece, so memory stays
    // bounded whatever its size; the reader owns the file and closes it when the send ends. A read
    // error ends the transmission; the flag tells the transmit completion to report it.
    auto pReadFailed = std::make_shared<std::atomic<bool>>(false);
    const bool bQueued =
        m_link.WriteStream([pFile, pReadFailed](std::uint8_t* pBuf, std::size_t nCap) -> long {
            const std::size_t nRead = std::fread(pBuf, 1, nCap, pFile.get());
            if (nRead == 0 && std::ferror(pFile.get())) {
                pReadFailed->store(true);
                return -1;
            }
            return static_cast<long>(nRead);
        });
    if (!bQueued) {
        return;
    }
    m_pFileReadFailed = std::move(pReadFailed);
    m_bTxPending = true;
    EnableSendButtons(false);
    m_bFileSending = true;
    m_nFileTotal = static_cast<std::uint64_t>(info.st_size);
    m_nFileCounted = 0;

    if (m_pFileProgress == nullptr) {
        m_pFileProgress = new QProgressDialog(this);
        m_pFileProgress->setWindowTitle(QString::fromUtf8(kProgressTitle));
        m_pFileProgress->setCancelButtonText(QString::fromUtf8(kProgressCancel));
        m_pFileProgress->setWindowModality(Qt::NonModal);
        m_pFileProgress->setAutoClose(false);
        m_pFileProgress->setAutoReset(false);
        m_pFileProgress->setMinimumDuration(0);
        connect(m_pFileProgress, &QProgressDialog::canceled, this,
                [this] { m_link.CancelWrite(); });
    }
    m_pFileProgress->setRange(0, kProgressSteps);
    m_pFileProgress->setValue(0);
    UpdateFileProgress();
    m_pFileProgress->show();
    m_timerFileProgress.start(kFileProgressMs);
}

void CTerminalDlg::UpdateFileProgress() {
    if (!m_bFileSending) {
        return;
    }
    // The TX counter counts what has been written, as it is written.
    const std::uint64_t nDone = m_link.GetTxDone();
    if (nDone > m_nFileCounted) {
        m_dwTxCount += static_cast<std::uint32_t>(nDone - m_nFileCounted);
        m_nFileCounted = nDone;
        m_bCountersStale = true;
        ShowCountersSoon();
    }
    if (m_pFileProgress != nullptr) {
        m_pFileProgress->setLabelText(
            QString::fromUtf8(kProgressText).arg(m_nFileCounted).arg(m_nFileTotal));
        m_pFileProgress->setValue(static_cast<int>(
            std::min<std::uint64_t>(m_nFileCounted, m_nFileTotal) * kProgressSteps / m_nFileTotal));
    }
}

void CTerminalDlg::EndFileSend() {
    if (!m_bFileSending) {
        return;
    }
    UpdateFileProgress();
    m_bFileSending = false;
    m_timerFileProgress.stop();
    if (m_pFileProgress != nullptr) {
        m_pFileProgress->hide();
    }
    ShowCounters();
}

void CTerminalDlg::OnSendFormat() {
    SaveControls();
    m_edSend->SetMode(m_nSendFormat != 0 ? 1 : 0);
}

#pragma once
// CTransferDlg: the progress of a block file transfer (XMODEM, XMODEM-1K, YMODEM), modeless over
// the main window: protocol and direction in its title, then the file, its bytes done of its
// size, the blocks, the retries, the rate on the line, the time so far, and "取消". The window's
// event loop runs on while it shows; the transfer itself runs on the engine's thread.
//
// It shows what it is given (Show) and asks for a cancel (CancelRequested): "取消", Escape and
// the close box all ask, and the dialog stays until its owner closes it.
#include <QDialog>
#include <cstdint>

#include "Transfer.h"

class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;

// What the dialog shows at one moment.
struct STransferView {
    STransferProgress progress;
    std::uint64_t nLineBytes = 0;  // moved on the line in the transfer's direction
    std::int64_t nElapsedMs = 0;
    bool bStarted = false;  // the far end has answered
};

class CTransferDlg : public QDialog {
    Q_OBJECT
public:
    // strTitle: protocol and direction ("YMODEM 发送"); strNote: a line under the figures, if any.
    CTransferDlg(const QString& strTitle, const QString& strNote, QWidget* pParent);

    void Show(const STransferView& view);
    // "取消" was pressed: the button stays disabled and the state says so until the end.
    void ShowCancelling();

    // For tests and assistive tools: the figures' labels and the button.
    QLabel* FileLabel() const { return m_lblFile; }
    QLabel* BytesLabel() const { return m_lblBytes; }
    QPushButton* CancelButton() const { return m_btnCancel; }
    QProgressBar* ProgressBar() const { return m_barProgress; }

signals:
    void CancelRequested();

protected:
    void reject() override;  // Escape and the close box ask to cancel

private:
    // A caption and its value on the next row of grid; returns the value's label.
    QLabel* AddRow(QGridLayout& grid, const char* pszCaption);

    QLabel* m_lblState = nullptr;
    QLabel* m_lblFile = nullptr;
    QLabel* m_lblBytes = nullptr;
    QLabel* m_lblBlocks = nullptr;
    QLabel* m_lblRetries = nullptr;
    QLabel* m_lblRate = nullptr;
    QLabel* m_lblElapsed = nullptr;
    QProgressBar* m_barProgress = nullptr;
    QPushButton* m_btnCancel = nullptr;
    bool m_bCancelling = false;
};

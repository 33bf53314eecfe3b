#include "TransferDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Fonts.h"
#include "TransferText.h"

namespace {

constexpr int kBarSteps = 1000;
constexpr int kMinWidth = 360;

// Sets a label's text only when it changed: a label repaints and tells assistive tools at each set.
void SetText(QLabel* pLabel, const QString& strText) {
    if (pLabel->text() != strText) {
        pLabel->setText(strText);
    }
}

}  // namespace

CTransferDlg::CTransferDlg(const QString& strTitle, const QString& strNote, QWidget* pParent)
    : QDialog(pParent) {
    setWindowTitle(strTitle);
    setFont(DialogFont());
    setModal(false);
    setMinimumWidth(kMinWidth);

    auto* pGrid = new QGridLayout;
    m_lblState = AddRow(*pGrid, "状态：");
    m_lblFile = AddRow(*pGrid, "文件：");
    m_lblBytes = AddRow(*pGrid, "已传输：");
    m_lblBlocks = AddRow(*pGrid, "数据块：");
    m_lblRetries = AddRow(*pGrid, "重发：");
    m_lblRate = AddRow(*pGrid, "速率：");
    m_lblElapsed = AddRow(*pGrid, "用时：");
    pGrid->setColumnStretch(1, 1);

    m_barProgress = new QProgressBar(this);
    m_barProgress->setRange(0, kBarSteps);
    m_barProgress->setValue(0);
    m_barProgress->setAccessibleName(QStringLiteral("传输进度"));

    m_btnCancel = new QPushButton(QStringLiteral("取消"), this);
    m_btnCancel->setAccessibleName(QStringLiteral("取消"));
    m_btnCancel->setAccessibleDescription(QStringLiteral("取消传输，通知对方停止"));
    m_btnCancel->setAutoDefault(false);
    connect(m_btnCancel, &QPushButton::clicked, this, &CTransferDlg::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pGrid);
    if (!strNote.isEmpty()) {
        auto* pNote = new QLabel(strNote, this);
        pNote->setWordWrap(true);
        pNote->setAccessibleName(QStringLiteral("说明"));
        pLayout->addWidget(pNote);
    }
    pLayout->addWidget(m_barProgress);
    pLayout->addWidget(m_btnCancel, 0, Qt::AlignRight);
}

QLabel* CTransferDlg::AddRow(QGridLayout& grid, const char* pszCaption) {
    const QString strCaption = QString::fromUtf8(pszCaption);
    auto* pCaption = new QLabel(strCaption, this);
    auto* pValue = new QLabel(this);
    pValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Assistive tools read the value as its name (it changes as the transfer runs) and the
    // caption through the buddy's "labelled-by" relation.
    pCaption->setBuddy(pValue);
    const int nRow = grid.rowCount();
    grid.addWidget(pCaption, nRow, 0, Qt::AlignRight);
    grid.addWidget(pValue, nRow, 1);
    return pValue;
}

void CTransferDlg::Show(const STransferView& view) {
    const STransferProgress& progress = view.progress;
    if (!m_bCancelling) {
        SetText(m_lblState, QString::fromUtf8(view.bStarted ? "正在传输" : "等待对方开始..."));
    }
    SetText(m_lblFile, progress.strFile.empty() ? QStringLiteral("—")
                                                : QString::fromStdString(progress.strFile));
    SetText(m_lblBytes,
            progress.nTotal > 0
                ? QStringLiteral("%1 / %2 字节").arg(progress.nBytes).arg(progress.nTotal)
                : QStringLiteral("%1 字节").arg(progress.nBytes));
    SetText(m_lblBlocks, QString::number(progress.nBlocks));
    SetText(m_lblRetries, QString::number(progress.nRetries));
    SetText(m_lblRate, RateText(view.nLineBytes, view.nElapsedMs));
    SetText(m_lblElapsed, ElapsedText(view.nElapsedMs));
    if (progress.nTotal > 0) {
        m_barProgress->setRange(0, kBarSteps);
        m_barProgress->setValue(static_cast<int>(std::min(progress.nBytes, progress.nTotal) *
                                                 kBarSteps / progress.nTotal));
    } else if (view.bStarted) {
        m_barProgress->setRange(0, 0);  // the size is not known: busy
    }
}

void CTransferDlg::ShowCancelling() {
    m_bCancelling = true;
    SetText(m_lblState, QStringLiteral("正在取消..."));
    m_btnCancel->setEnabled(false);
}

void CTransferDlg::reject() {
    if (!m_bCancelling) {
        emit CancelRequested();
    }
}

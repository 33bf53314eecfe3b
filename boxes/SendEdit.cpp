#include "SendEdit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <iterator>

#include "Codec.h"
#include "ReceiveView.h"

namespace {

// The text as typed: plain-text export would turn a no-break space into a plain one. Paragraph
// and line separators (Enter, Shift+Enter) are the line breaks and become strBreak.
QString WithLineBreaks(QString strRaw, const QString& strBreak) {
    strRaw.replace(QChar::ParagraphSeparator, strBreak);
    strRaw.replace(QChar::LineSeparator, strBreak);
    return strRaw;
}

constexpr const char* kLineEndTexts[kLineEndCount] = {"无", "CR", "LF", "CR LF"};
// The byte order of each multi-byte check is part of its caption.
constexpr const char* kChecksumTexts[kChecksumCount] = {
    "无",
    "累加和（8位）",
    "异或（8位）",
    "CRC-8",
    "CRC-16/MODBUS（低字节在前）",
    "CRC-16/CCITT-FALSE（高字节在前）",
    "CRC-32（低字节在前）",
};
// The items of "文件传输", in command order from IDM_XFER_XMODEM_SEND; receiving after a line.
constexpr const char* kTransferTexts[] = {"XMODEM 发送...", "XMODEM-1K 发送...", "YMODEM 发送...",
                                          "XMODEM 接收...", "YMODEM 接收..."};
constexpr int kTransferSends = 3;

constexpr int kHistoryChars = 32;  // a history entry's caption, before the ellipsis

// A history entry as one short line of a menu: its format, then its text with line breaks shown
// as arrows, cut after kHistoryChars characters; '&' doubled so that it is not a mnemonic.
std::string HistoryCaption(const SHistoryEntry& entry) {
    QString strText = QString::fromStdString(entry.strText);
    strText.replace(QStringLiteral("\r\n"), QStringLiteral("↵"));
    strText.replace(QChar('\r'), QStringLiteral("↵"));
    strText.replace(QChar('\n'), QStringLiteral("↵"));
    strText.replace(QChar('\t'), QChar(' '));
    if (strText.size() > kHistoryChars) {
        strText = strText.left(kHistoryChars) + QStringLiteral("…");
    }
    strText.replace(QChar('&'), QStringLiteral("&&"));
    return (entry.bHex ? "十六进制：" : "文本：") + strText.toStdString();
}

}  // namespace

CSendEdit::CSendEdit(const std::string& strIniPath, QWidget* pParent)
    : CColorEdit(strIniPath, "TX", pParent),
      m_options(SSendOptions::Read(strIniPath)),
      m_history(strIniPath) {}

std::vector<std::uint8_t> CSendEdit::GetSendBytes() const {
    const QString strText = WithLineBreaks(document()->toRawText(), QStringLiteral("\r\n"));
    const QByteArray bytes = EncodeForCodePage(CodePage()->Get(), strText);
    std::vector<std::uint8_t> send =
        TextToSendBytes(std::string_view(bytes.constData(), bytes.size()), m_bHexMode);
    FinishSendBytes(send, m_options.eChecksum, m_options.eLineEnd, m_bHexMode);
    return send;
}

void CSendEdit::SaveOptions() const {
    m_options.Write(IniPath());
}

SHistoryEntry CSendEdit::CurrentEntry() const {
    return {WithLineBreaks(document()->toRawText(), QStringLiteral("\n")).toStdString(),
            m_bHexMode};
}

void CSendEdit::RememberSend() {
    m_history.Add(CurrentEntry());
    m_nHistoryPos = -1;
}

void CSendEdit::ShowEntry(const SHistoryEntry& entry) {
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(QString::fromStdString(entry.strText));
    setTextCursor(cursor);
    SetMode(entry.bHex ? 1 : 0);
}

void CSendEdit::RecallHistory(std::size_t nIndex) {
    if (nIndex >= m_history.Entries().size()) {
        return;
    }
    if (m_nHistoryPos < 0) {
        m_draft = CurrentEntry();
    }
    m_nHistoryPos = static_cast<int>(nIndex);
    ShowEntry(m_history.Entries()[nIndex]);
}

void CSendEdit::keyPressEvent(QKeyEvent* pEvent) {
    const bool bAltOnly = (pEvent->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier;
    if (bAltOnly && pEvent->key() == Qt::Key_Up) {
        RecallHistory(static_cast<std::size_t>(m_nHistoryPos + 1));
        return;
    }
    if (bAltOnly && pEvent->key() == Qt::Key_Down) {
        if (m_nHistoryPos > 0) {
            RecallHistory(static_cast<std::size_t>(m_nHistoryPos - 1));
        } else if (m_nHistoryPos == 0) {
            m_nHistoryPos = -1;
            ShowEntry(m_draft);
        }
        return;
    }
    CColorEdit::keyPressEvent(pEvent);
}

QMimeData* CSendEdit::createMimeDataFromSelection() const {
    auto* pData = new QMimeData;
    pData->setText(WithLineBreaks(textCursor().selectedText(), QStringLiteral("\n")));
    return pData;
}

void CSendEdit::OnCommand(int nCommand) {
    switch (nCommand) {
        case EM_UNDO:
            undo();
            break;
        case WM_CUT:
            cut();
            break;
        case WM_PASTE:
            paste();
            break;
        case WM_CLEAR:
            textCursor().removeSelectedText();
            break;
        case IDM_FILEMODE_WHOLE:
        case IDM_FILEMODE_BYLINE:
            m_options.eFileMode =
                nCommand == IDM_FILEMODE_BYLINE ? EFileSendMode::ByLine : EFileSendMode::Whole;
            break;
        case IDM_HISTORY_CLEAR:
            m_history.Clear();
            m_nHistoryPos = -1;
            break;
        default:
            if (nCommand >= IDM_LINEEND_FIRST && nCommand < IDM_LINEEND_FIRST + kLineEndCount) {
                m_options.eLineEnd = static_cast<ELineEnd>(nCommand - IDM_LINEEND_FIRST);
            } else if (nCommand >= IDM_CHECKSUM_FIRST &&
                       nCommand < IDM_CHECKSUM_FIRST + kChecksumCount) {
                m_options.eChecksum = static_cast<EChecksum>(nCommand - IDM_CHECKSUM_FIRST);
            } else if (nCommand >= IDM_XFER_XMODEM_SEND && nCommand <= IDM_XFER_YMODEM_RECEIVE) {
                emit TransferCommand(nCommand);
            } else if (nCommand >= IDM_HISTORY_FIRST &&
                       nCommand < IDM_HISTORY_FIRST + static_cast<int>(CSendHistory::kMaxEntries)) {
                RecallHistory(static_cast<std::size_t>(nCommand - IDM_HISTORY_FIRST));
            } else {
                CColorEdit::OnCommand(nCommand);
            }
            break;
    }
}

std::vector<SBoxMenuItem> CSendEdit::MenuItems() const {
    const bool bSelection = textCursor().hasSelection();
    const QMimeData* pClip = QGuiApplication::clipboard()->mimeData();
    const bool bClipText = pClip != nullptr && pClip->hasText();
    return {
        {EM_UNDO, "撤销(&U)", document()->isUndoAvailable(), false},
        BoxMenuSeparator(),
        {WM_COPY, "复制(&C)", bSelection, false},
        {WM_CUT, "剪切(&T)", bSelection, false},
        {WM_CLEAR, "删除(&D)", bSelection, false},
        {WM_PASTE, "粘贴(&P)", bClipText, false},
        BoxMenuSeparator(),
        {IDM_SELECTALL, "全选(&A)", !document()->isEmpty() && !IsAllSelected(), false},
        BoxMenuSeparator(),
        {IDM_TEXTMODE, "文本模式", true, !m_bHexMode, true},
        {IDM_HEXMODE, "十六进制模式", true, m_bHexMode, true},
        BoxMenuSeparator(),
        {IDM_TEXTCOLOR, "文本颜色", true, false},
        {IDM_BKCOLOR, "背景颜色", true, false},
    };
}

std::vector<SBoxSubMenu> CSendEdit::SubMenus() const {
    SBoxSubMenu lineEnds{"行尾", {}};
    for (int i = 0; i < kLineEndCount; ++i) {
        lineEnds.arrItems.push_back({IDM_LINEEND_FIRST + i, kLineEndTexts[i], true,
                                     static_cast<int>(m_options.eLineEnd) == i, true});
    }
    SBoxSubMenu checksums{"校验", {}};
    for (int i = 0; i < kChecksumCount; ++i) {
        checksums.arrItems.push_back({IDM_CHECKSUM_FIRST + i, kChecksumTexts[i], true,
                                      static_cast<int>(m_options.eChecksum) == i, true});
    }
    const bool bByLine = m_options.eFileMode == EFileSendMode::ByLine;
    SBoxSubMenu transfers{"文件传输", {}};
    for (int i = 0; i < static_cast<int>(std::size(kTransferTexts)); ++i) {
        if (i == kTransferSends) {
            transfers.arrItems.push_back(BoxMenuSeparator());
        }
        transfers.arrItems.push_back(
            {IDM_XFER_XMODEM_SEND + i, kTransferTexts[i], m_bTransfersAllowed, false});
    }
    return {
        std::move(lineEnds),
        std::move(checksums),
        {"历史记录", HistoryItems()},
        {"文件发送",
         {{IDM_FILEMODE_WHOLE, "整块发送", true, !bByLine, true},
          {IDM_FILEMODE_BYLINE, "逐行发送", true, bByLine, true}}},
        std::move(transfers),
    };
}

std::vector<SBoxMenuItem> CSendEdit::HistoryItems() const {
    std::vector<SBoxMenuItem> arrItems;
    const std::vector<SHistoryEntry>& arrEntries = m_history.Entries();
    for (std::size_t i = 0; i < arrEntries.size(); ++i) {
        arrItems.push_back(
            {IDM_HISTORY_FIRST + static_cast<int>(i), HistoryCaption(arrEntries[i])});
    }
    if (arrEntries.empty()) {
        arrItems.push_back({IDM_HISTORY_NONE, "（无历史记录）", false});
    }
    arrItems.push_back(BoxMenuSeparator());
    arrItems.push_back({IDM_HISTORY_CLEAR, "清除历史记录", !arrEntries.empty()});
    return arrItems;
}

void LinkCodePages(CReceiveView& receiveView, CSendEdit& sendEdit) {
    sendEdit.SetCodePage(receiveView.CodePage());
}

#include "SendEdit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTextCursor>

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

}  // namespace

CSendEdit::CSendEdit(const std::string& strIniPath, QWidget* pParent)
    : CColorEdit(strIniPath, "TX", pParent) {}

std::vector<std::uint8_t> CSendEdit::GetSendBytes() const {
    const QString strText = WithLineBreaks(document()->toRawText(), QStringLiteral("\r\n"));
    const QByteArray bytes = EncodeForCodePage(CodePage()->Get(), strText);
    return TextToSendBytes(std::string_view(bytes.constData(), bytes.size()), m_bHexMode);
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
        default:
            CColorEdit::OnCommand(nCommand);
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
        {IDM_TEXTMODE, "文本模式", true, !m_bHexMode},
        {IDM_HEXMODE, "十六进制模式", true, m_bHexMode},
        BoxMenuSeparator(),
        {IDM_TEXTCOLOR, "文本颜色", true, false},
        {IDM_BKCOLOR, "背景颜色", true, false},
    };
}

void LinkCodePages(CReceiveView& receiveView, CSendEdit& sendEdit) {
    sendEdit.SetCodePage(receiveView.CodePage());
}

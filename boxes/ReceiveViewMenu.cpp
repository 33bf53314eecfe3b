// The receive box's menu: its items and submenus as the box stands, and what its commands do
// (save, clear, the line-end flip, the options).
#include <QContextMenuEvent>
#include <QFile>

#include "ReceiveView.h"

void CReceiveView::contextMenuEvent(QContextMenuEvent* pEvent) {
    // The menu's states follow what has arrived, not what the last refresh showed.
    if (m_bRefreshPending) {
        Refresh();
    }
    CColorEdit::contextMenuEvent(pEvent);
}

void CReceiveView::OnCommand(int nCommand) {
    switch (nCommand) {
        case IDM_CLEARALL:
            ClearAll();
            break;
        case IDM_SAVEFILE:
            SaveToFile();
            break;
        case IDM_LFTOCRLF:
            FlipLfToCrLf();
            break;
        case IDM_RECORD:
            emit RecordCommand();
            break;
        case IDM_TIMESTAMP: {
            SRxOptions options = m_options;
            options.bTimeStamps = !options.bTimeStamps;
            SetOptions(options);
            break;
        }
        case IDM_ECHO: {
            SRxOptions options = m_options;
            options.bEcho = !options.bEcho;
            SetOptions(options);
            break;
        }
        default:
            if (nCommand >= IDM_FRAMEGAP_FIRST &&
                nCommand < IDM_FRAMEGAP_FIRST + static_cast<int>(SRxOptions::kFrameGaps.size())) {
                SRxOptions options = m_options;
                options.nFrameGapMs = SRxOptions::kFrameGaps[nCommand - IDM_FRAMEGAP_FIRST];
                SetOptions(options);
                break;
            }
            CColorEdit::OnCommand(nCommand);
            break;
    }
}

std::vector<SBoxMenuItem> CReceiveView::MenuItems() const {
    const bool bHeld = m_ring.Length() > 0;
    const bool bShown = !document()->isEmpty();
    return {
        {IDM_SAVEFILE, "保存文件", bHeld, false},
        BoxMenuSeparator(),
        {IDM_TEXTMODE, "文本模式", true, !m_bHexMode, true},
        {IDM_HEXMODE, "十六进制模式", true, m_bHexMode, true},
        BoxMenuSeparator(),
        {IDM_LFTOCRLF, "'\\n'='\\r'+'\\n'", true, m_bLfToCrLf, true},
        BoxMenuSeparator(),
        {IDM_CLEARALL, "全部清除", bHeld, false},
        {WM_COPY, "复制(&C)", textCursor().hasSelection(), false},
        BoxMenuSeparator(),
        {IDM_SELECTALL, "全选(&A)", bShown && !IsAllSelected(), false},
        BoxMenuSeparator(),
        {IDM_TEXTCOLOR, "文本颜色", true, false},
        {IDM_BKCOLOR, "背景颜色", true, false},
    };
}

std::vector<SBoxSubMenu> CReceiveView::SubMenus() const {
    SBoxSubMenu frames{"分帧", {}};
    for (std::size_t i = 0; i < SRxOptions::kFrameGaps.size(); ++i) {
        const int nGap = SRxOptions::kFrameGaps[i];
        frames.arrItems.push_back({IDM_FRAMEGAP_FIRST + static_cast<int>(i),
                                   nGap == 0 ? "不分帧" : std::to_string(nGap) + " ms", true,
                                   m_options.nFrameGapMs == nGap, true});
    }
    return {frames};
}

std::vector<SBoxMenuItem> CReceiveView::TailItems() const {
    return {{IDM_TIMESTAMP, "时间戳", true, m_options.bTimeStamps, true},
            {IDM_ECHO, "显示发送", true, m_options.bEcho, true},
            BoxMenuSeparator(),
            {IDM_RECORD, m_bRecording ? "停止记录" : "开始记录..."}};
}

void CReceiveView::FlipLfToCrLf() {
    NoteBytesSinceFlip();
    m_bLfToCrLf = !m_bLfToCrLf;
    m_nTotalAtFlip = m_ring.Total();
    emit LfToCrLfChanged(m_bLfToCrLf);
}

void CReceiveView::SaveToFile() {
    const QString strPath = Dialogs().GetSaveFileName(this);
    if (strPath.isEmpty()) {
        return;
    }
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Dialogs().ShowMessage(this, QStringLiteral("开启文件失败"));
        return;
    }
    const std::vector<std::uint8_t> bytes = m_ring.Bytes();
    const auto nSize = static_cast<qint64>(bytes.size());
    const bool bWritten =
        file.write(reinterpret_cast<const char*>(bytes.data()), nSize) == nSize && file.flush();
    file.close();
    if (!bWritten) {
        // A full disk would otherwise leave a short file behind without a word.
        Dialogs().ShowMessage(this, QStringLiteral("写入文件失败"));
    }
}

void CReceiveView::OnCodePageChanged() {
    RenderAllNow();
}

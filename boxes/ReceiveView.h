#pragma once
// CReceiveView: the read-only box that shows every received byte, as text or as hexadecimal
// pairs ("%2.2X "), and keeps the newest 65,536 bytes raw for saving.
//
// Speed. AppendByte only stores the byte and, if none is pending, schedules a refresh: about
// 25 refreshes a second, the first one after a pause at once. A refresh appends the text of
// the bytes that arrived since the previous one and drops from the front the text of bytes that
// left the buffer (RxScreen.h), so its cost follows what arrived, not what is held; a mode or code
// page change, a new width or font, the first byte after a flip of the newline option, or more
// than a buffer's worth of bytes since the previous refresh re-render the buffer whole once.
//
// What shows. Text mode: the codec's rendering (0x00 as ".", CR before LF with the newline
// option) decoded with the code page. CR LF and CR CR LF are one line break; any other CR, a lone
// LF and the other control bytes show in caret notation (CR "^M", LF "^J", ESC "^[", DEL "^?"),
// so that nothing received is invisible and any font can draw it (the Unicode control pictures are
// missing from the usual Linux fonts); TAB advances to the next tab stop (8 blanks
// wide). Hexadecimal mode: "41 00 42 ", wrapped between pairs. Lines are wrapped by the box
// itself to the viewport's width, in text mode between words (a word longer than a line breaks at
// the edge, CJK text between characters; in text that goes on without line breaks, a screen line
// starts afresh about every 1,024 bytes, so that its wrap points stay put while the oldest bytes
// drop off), and each screen line is a block of the document; in
// hexadecimal mode the lines start at stream offsets that are multiples of the pairs per line, so
// the columns stay put while the oldest bytes drop off (the top line may be short). Copying gives
// the text without those wrap points, line breaks as "\n".
//
// Newline option. The box always shows a full rendering of its whole buffer with the current mode
// and option, except that flipping the option ("'\n'='\r'+'\n'") changes nothing on screen until
// the next received byte (or a mode or code page change): the refresh after that byte renders the
// whole buffer under the new option once. A new width or font re-wraps the text under the option
// it was rendered with.
//
// Selection and scrolling. A selection survives arriving data until its text leaves the buffer,
// so text can be copied from a live stream. Every refresh scrolls to the last line, except while
// the left mouse button is held in the box (a selection being dragged).
//
// Settings, section "RX": "COLORTXT"/"COLORBAK" (see ColorEdit.h), "MODE" (0 text, 1
// hexadecimal; anything else 0; written at each SetMode), "CR" (newline option, default 1; read
// only), and "TIMESTAMP", "FRAMEGAP", "ECHO" (RxOptions.h). The code page is shared with the send
// box: LinkCodePages (SendEdit.h).
//
// Time, frames and sends. With the time of each read (AppendBytes' tRead), the menu's "时间戳"
// begins each line (hexadecimal: each line or frame) with "[HH:MM:SS.mmm] " in a dimmer colour,
// the time of the read that brought its first byte, and "分帧" starts a new line after a silence
// between two reads. With "显示发送", each send (AppendSent) is a line of its own, "TX " and its
// bytes, in a colour of its own. None of them are bytes: "保存文件" saves the received bytes
// alone; copying gives what is shown.
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ByteRing.h"
#include "ColorEdit.h"
#include "RxOptions.h"

class CCharWidths;
class CGlyphCache;
class CRxDocumentLayout;
class CRxPainter;
class CRxScreen;
struct SRxLayout;

class CReceiveView : public CColorEdit {
    Q_OBJECT
public:
    // The refresh period while bytes stream, smooth to the eye: each refresh costs a repaint, a
    // flush and a round trip to the display however few bytes arrived, so at slow line rates
    // fewer refreshes cost less.
    static constexpr int kRefreshMs = 40;

    CReceiveView(const std::string& strIniPath, QWidget* pParent = nullptr);
    ~CReceiveView() override;

    // One received byte; a few nanoseconds, never touches the document.
    void AppendByte(std::uint8_t by) {
        m_ring.Push(by);
        if (!m_bRefreshPending) {
            ScheduleRefresh();
        }
    }

    // Received bytes in order, as AppendByte for each.
    void AppendBytes(const std::uint8_t* pBytes, std::size_t nCount) {
        m_ring.Push(pBytes, nCount);
        if (!m_bRefreshPending && nCount > 0) {
            ScheduleRefresh();
        }
    }

    // A read's bytes with the time it was read.
    void AppendBytes(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tRead) {
        if (nCount > 0) {
            m_ring.MarkRead(tRead);
        }
        AppendBytes(pBytes, nCount);
    }
    // Bytes sent at tSent: a line of their own while "显示发送" is on, else nothing.
    void AppendSent(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tSent);
    // A line of the window's own (the port lost, back), not a received byte: neither saved nor
    // counted.
    void AppendNote(const QString& strText);
    const SRxOptions& Options() const { return m_options; }
    void SetOptions(const SRxOptions& options);
    // Writes the options to the settings file (the window closes).
    void SaveOptions() const { m_options.Write(m_strIniPath); }
    // The colours of the timestamps and of the sends, from the box's text and background.
    QColor StampColor() const;
    static QColor SentColor();

    // 0 text, 1 hexadecimal: writes "MODE" in section "RX" and re-renders the buffer.
    void SetMode(int bHexMode) override;
    // The same for this run only: the settings file keeps its "MODE".
    void SetModeForRun(int bHexMode);
    int GetMode() const { return m_bHexMode ? 1 : 0; }
    int GetLfToCrLf() const { return m_bLfToCrLf ? 1 : 0; }
    // Brings the screen up to date with the buffer now (the refresh timer calls it) and scrolls
    // to the last line.
    void Refresh();
    bool IsRefreshPending() const { return m_bRefreshPending; }
    // Empties the buffer and the box.
    void ClearAll();
    // Save As dialog, then the raw bytes of the buffer, oldest first, whatever the mode.
    // "开启文件失败" when the file cannot be opened, "写入文件失败" when writing it fails.
    void SaveToFile();

    std::uint32_t GetLength() const { return m_ring.Length(); }  // bytes held, <= 65,536
    std::vector<std::uint8_t> GetBytes() const { return m_ring.Bytes(); }
    // What the box shows, as copying all of it would give (wrap points removed).
    QString ShownText() const;

    void OnCommand(int nCommand) override;
    // Whether a recording runs: the menu then offers "停止记录" instead of "开始记录...".
    void SetRecording(bool bRecording) { m_bRecording = bRecording; }

Q_SIGNALS:
    // The menu's recording item was chosen; the window starts or stops the recording.
    void RecordCommand();
    // The menu's newline item changed the option (the text log follows it).
    void LfToCrLfChanged(bool bLfToCrLf);
    // "时间戳", "分帧" or "显示发送" changed.
    void OptionsChanged();
    // A refresh brought the box up to date: what should be painted along with it can change now.
    void Refreshed();

protected:
    std::vector<SBoxMenuItem> MenuItems() const override;
    std::vector<SBoxSubMenu> SubMenus() const override;
    std::vector<SBoxMenuItem> TailItems() const override;
    void OnCodePageChanged() override;
    QMimeData* createMimeDataFromSelection() const override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void ScheduleRefresh();
    // A mode or code page change: the whole buffer anew, under the current newline option.
    void RenderAllNow();
    // The menu's newline item: what shows changes only with the next byte (NoteBytesSinceFlip).
    void FlipLfToCrLf();
    // Bytes that arrived since the last flip make the current option the one due on screen.
    void NoteBytesSinceFlip();
    // The layout changed (mode, code page, width, font): the next refresh renders everything.
    // bSameText: the change keeps the text (width, font), so the selection is carried over.
    void InvalidateLayout(bool bSameText);
    // The character widths, the tab stops and the text's font, for the box's font.
    void ApplyFont();
    // The box's font for the text, without the shaping that its text does not need.
    void SetDocumentFont();
    SRxLayout CurrentLayout();
    // Sets the selection (document positions); -1 removes it.
    void Select(int nAnchor, int nPosition);
    void ScrollToEnd();
    // The scroll bar's range and the top line, as the edit sets them, without laying out lines.
    void AdjustScrollBar();
    // Brings the screen up to date with the buffer.
    void UpdateScreen();
    // After an update of the screen and the scroll to the end: repaints what changed in view.
    void RepaintChanged(bool bWhole);

    CByteRing m_ring;  // m_buf and m_nLen of the box
    SRxOptions m_options;
    bool m_bHexMode = false;
    bool m_bLfToCrLf = true;
    // The option in force at the last byte, mode or code page change or clearing, which the
    // next refresh shows, and the option the text on screen was rendered with.
    bool m_bLfToCrLfDue = true;
    bool m_bLfToCrLfShown = true;
    std::uint64_t m_nTotalAtFlip = 0;  // m_ring.Total() when the option was last flipped
    std::string m_strIniPath;
    std::unique_ptr<CCharWidths> m_pWidths;
    std::unique_ptr<CGlyphCache> m_pGlyphs;
    std::unique_ptr<CRxPainter> m_pPainter;
    CRxDocumentLayout* m_pLayout;  // owned by the document
    std::unique_ptr<CRxScreen> m_pScreen;
    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    bool m_bRefreshPending = false;
    bool m_bLayoutStale = true;
    bool m_bKeepSelection = false;
    int m_nLaidOutWidth = -1;
    bool m_bDragging = false;
    bool m_bRecording = false;
};

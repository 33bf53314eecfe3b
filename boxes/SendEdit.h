#pragma once
// CSendEdit: the editable box whose text the window sends.
//
// The box always starts in text mode; the mode only says how GetSendBytes reads the text and is
// never stored. Typing is not filtered in either mode. Colours live in section "TX" (see
// ColorEdit.h), and so do the send options of its menu (SendOptions.h): the line end and the
// checksum that every send gets, and how a file is sent. The last 20 sends are its history
// (SendHistory.h): its menu and Alt+Up / Alt+Down bring them back. Its submenu "文件传输" hands
// the block transfers (XMODEM, YMODEM) to the window.
#include <cstdint>
#include <string>
#include <vector>

#include "ColorEdit.h"
#include "SendHistory.h"
#include "SendOptions.h"

class CReceiveView;

class CSendEdit : public CColorEdit {
    Q_OBJECT
public:
    CSendEdit(const std::string& strIniPath, QWidget* pParent = nullptr);

    // 0 text, 1 hexadecimal. Nothing else changes: not the text, not the settings file.
    void SetMode(int bHexMode) override { m_bHexMode = bHexMode != 0; }
    int GetMode() const { return m_bHexMode ? 1 : 0; }

    // The bytes to send now: the text as typed (a no-break space stays one) with its line breaks
    // as CR LF (the text of the original edit control), encoded with the code page, then read by
    // the codec (TextToSendBytes): text mode gives the whole trimmed text, however long;
    // hexadecimal mode at most 1024 bytes. Then the checksum over those bytes and, in text mode,
    // the line end (FinishSendBytes). Empty when the trimmed text is empty.
    std::vector<std::uint8_t> GetSendBytes() const;

    const SSendOptions& Options() const { return m_options; }
    void SetOptions(const SSendOptions& options) { m_options = options; }
    // Writes the options to section "TX" (the window does it when it closes).
    void SaveOptions() const;

    // The text and format now in the box become the newest history entry.
    void RememberSend();
    const CSendHistory& History() const { return m_history; }
    // Puts history entry nIndex (0: newest) into the box, text and format, as an edit that can
    // be undone.
    void RecallHistory(std::size_t nIndex);

    // Whether the items of "文件传输" are enabled: the window allows transfers while the port is
    // open and nothing else uses the line.
    void SetTransfersAllowed(bool bAllowed) { m_bTransfersAllowed = bAllowed; }

    void OnCommand(int nCommand) override;

signals:
    // An item of "文件传输" (IDM_XFER_*) was chosen; the window runs the transfer.
    void TransferCommand(int nCommand);

protected:
    std::vector<SBoxMenuItem> MenuItems() const override;
    std::vector<SBoxSubMenu> SubMenus() const override;
    // Copy and cut hand on the characters as typed (a no-break space stays one).
    QMimeData* createMimeDataFromSelection() const override;
    // Alt+Up: the next older history entry; Alt+Down: the next newer one, then the text that was
    // in the box before the walk began.
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    SHistoryEntry CurrentEntry() const;
    void ShowEntry(const SHistoryEntry& entry);
    std::vector<SBoxMenuItem> HistoryItems() const;

    bool m_bHexMode = false;
    bool m_bTransfersAllowed = false;
    SSendOptions m_options;
    CSendHistory m_history;
    // The walk through the history: the entry shown (-1: none) and the text it replaced.
    int m_nHistoryPos = -1;
    SHistoryEntry m_draft;
};

// Makes the send box share the receive box's code page, so that a choice in either menu decodes
// what arrives and encodes what is sent alike. The window calls it once after building both.
void LinkCodePages(CReceiveView& receiveView, CSendEdit& sendEdit);

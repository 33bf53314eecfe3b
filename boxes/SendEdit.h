#pragma once
// CSendEdit: the editable box whose text the window sends.
//
// The box always starts in text mode; the mode only says how GetSendBytes reads the text and is
// never stored. Typing is not filtered in either mode. Colours live in section "TX" (see
// ColorEdit.h).
#include <cstdint>
#include <string>
#include <vector>

#include "ColorEdit.h"

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
    // hexadecimal mode at most 1024 bytes. Empty when the trimmed text is empty.
    std::vector<std::uint8_t> GetSendBytes() const;

    void OnCommand(int nCommand) override;

protected:
    std::vector<SBoxMenuItem> MenuItems() const override;
    // Copy and cut hand on the characters as typed (a no-break space stays one).
    QMimeData* createMimeDataFromSelection() const override;

private:
    bool m_bHexMode = false;
};

// Makes the send box share the receive box's code page, so that a choice in either menu decodes
// what arrives and encodes what is sent alike. The window calls it once after building both.
void LinkCodePages(CReceiveView& receiveView, CSendEdit& sendEdit);

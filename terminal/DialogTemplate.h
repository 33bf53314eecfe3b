#pragma once
// The two window templates as data: every control's id, caption and rectangle in dialog units, in
// the template's order, which is also the tab order. The windows create their widgets in code and
// ApplyTemplate() puts each one in place, as the system does when it builds a dialog from a
// template; no layout manager is involved, so the resizable layout can anchor the controls later.
#include <QRect>
#include <QSize>
#include <functional>
#include <span>

class QWidget;
class CDialogUnits;

// Controls of the main window (template 102).
enum : int {
    IDC_MANUAL_SEND = 1002,
    IDC_PORT = 1003,
    IDC_BAUD = 1004,
    IDC_DATABITS = 1005,
    IDC_PARITY = 1006,
    IDC_STOPBITS = 1007,
    IDC_DTR = 1008,
    IDC_AUTO_SEND = 1009,
    IDC_RTS = 1011,
    IDC_FORMAT_TEXT = 1014,
    IDC_FORMAT_HEX = 1015,
    IDC_SETTINGS_GROUP = 1016,
    IDC_PORT_LABEL = 1017,
    IDC_BAUD_LABEL = 1018,
    IDC_DATABITS_LABEL = 1019,
    IDC_PARITY_LABEL = 1020,
    IDC_STOPBITS_LABEL = 1021,
    IDC_LAMP_CTS = 1023,
    IDC_LAMP_DSR = 1024,
    IDC_LAMP_RING = 1025,
    IDC_LAMP_CD = 1026,
    IDC_RECEIVE = 1030,
    IDC_SEND = 1031,
    IDC_OPEN = 1032,
    IDC_FORMAT_GROUP = 1034,
    IDC_LAMP_GROUP = 1035,
    IDC_RX_COUNT = 1036,
    IDC_TX_COUNT = 1037,
    IDC_CLEAR_COUNTERS = 1038,
    IDC_SEND_FILE = 1039,
    IDC_RX_LABEL = 1040,
    IDC_TX_LABEL = 1041,
    IDC_COUNTER_GROUP = 1042,
    IDC_LINES_GROUP = 1043,
    IDC_PERIOD = 1046,
    IDC_PERIOD_LABEL = 1048,
    IDC_PERIOD_GROUP = 1049,
    IDC_DEVICE_MAP = 1053,      // opens the device picker
    IDC_AUTO_RECONNECT = 1054,  // reopen a device that went away once it is back
    ID_HELP = 57664,
};

// Controls of the about box (template 100). The template gives the picture and the two fixed
// labels no id; they get private ones here so that the table can name them.
enum : int {
    IDOK = 1,
    IDC_ABOUT_TEXT = 1047,
    IDC_ABOUT_SETTINGS = 1052,  // the settings file's path, selectable
    IDC_ABOUT_PICTURE = -2,
    IDC_ABOUT_PRODUCT = -3,
    IDC_ABOUT_FOOTER = -4,
    IDC_ABOUT_SETTINGS_LABEL = -5,
};

enum : unsigned {
    DLG_HIDDEN = 0x1,    // created but never shown
    DLG_DISABLED = 0x2,  // disabled from the start
    DLG_PICTURE = 0x4,   // a button that shows a picture: its caption only names it
};

// A group frame's line lies this far below the top of its rectangle, with the caption centred on
// it, so captioned and plain frames that stand side by side line up.
constexpr int kGroupFrameTopDlu = 6;

struct SDlgItem {
    int nId;
    const char* pszCaption;  // UTF-8; nullptr: the control has no caption
    QRect rcDlu;
    unsigned uFlags;
};

struct SDlgTemplate {
    int nId;
    QSize sizeDlu;
    std::span<const SDlgItem> items;
};

extern const SDlgTemplate kMainDialogTemplate;   // template 102
extern const SDlgTemplate kAboutDialogTemplate;  // template 100

// Places every control of the template that fnControl returns for its id: geometry from dialog
// units (group frames drawn kGroupFrameTopDlu below their top), object name "IDC_<id>" and property
// "dlgId", the caption (button text, label text or group title; the accessible name of a picture
// button), the template's hidden and disabled flags, and the tab order of the table.
void ApplyTemplate(const SDlgTemplate& tmpl, const CDialogUnits& units,
                   const std::function<QWidget*(int nId)>& fnControl);

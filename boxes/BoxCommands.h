#pragma once
// Command numbers of the two box menus. The edit operations carry the number of the Win32
// message that the original box sent to itself, so the numbers stay those of the program's
// documentation.
enum : int {
    IDM_CLEARALL = 29697,
    IDM_SAVEFILE = 29698,
    IDM_HEXMODE = 29699,
    IDM_TEXTMODE = 29700,
    IDM_SELECTALL = 29701,
    IDM_TEXTCOLOR = 29702,
    IDM_BKCOLOR = 29703,
    IDM_LFTOCRLF = 29704,
    // The code-page submenu of both boxes.
    IDM_CODEPAGE_GBK = 29705,
    IDM_CODEPAGE_UTF8 = 29706,
    // The send box's submenus: line end (4), checksum (7), file send (2), history (20 and clear).
    IDM_LINEEND_FIRST = 29707,
    IDM_CHECKSUM_FIRST = 29711,
    IDM_FILEMODE_WHOLE = 29718,
    IDM_FILEMODE_BYLINE = 29719,
    IDM_HISTORY_CLEAR = 29720,
    IDM_HISTORY_FIRST = 29721,
    IDM_HISTORY_NONE = 29741,  // the grey line of an empty history
    // The receive box's recording to a file: "开始记录..." or, while recording, "停止记录".
    IDM_RECORD = 29742,
    // The receive box's "时间戳", "显示发送" and the submenu "分帧" (6 choices).
    IDM_TIMESTAMP = 29743,
    IDM_ECHO = 29744,
    IDM_FRAMEGAP_FIRST = 29745,
    // The send box's submenu "文件传输": the window runs them (XMODEM, XMODEM-1K and YMODEM
    // send, XMODEM and YMODEM receive, in this order).
    IDM_XFER_XMODEM_SEND = 29751,
    IDM_XFER_XMODEM1K_SEND = 29752,
    IDM_XFER_YMODEM_SEND = 29753,
    IDM_XFER_XMODEM_RECEIVE = 29754,
    IDM_XFER_YMODEM_RECEIVE = 29755,

    EM_UNDO = 199,
    WM_CUT = 768,
    WM_COPY = 769,
    WM_PASTE = 770,
    WM_CLEAR = 771,
};

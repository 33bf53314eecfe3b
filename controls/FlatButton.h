// CFlatButton: a push button that paints everything itself: background, border, a picture (a
// bitmap with one transparent colour, or an icon), caption and focus rectangle. In its default
// flat look it shows a raised border only while the pointer is over it and a sunken one while it
// is pressed. It can also act as a check box, drop a menu down on click and open a URL on click.
//
// Painting runs in five overridable steps, in this order: PaintBackground, PaintBorder, then
// PaintIcon when an icon is set, PaintBitmap when a bitmap is set and PaintCaption when the text
// is not empty; last comes the focus rectangle (classic look, or flat look with flat focus on).
// Pictures: slot 0 ("in") shows while the button is pressed or the pointer is over it, slot 1
// ("out") otherwise; without an out picture the in picture always shows. A check box shows its in
// picture while it is checked or held down.
//
// Colours are three pairs (background and text) for the states in (pointer over it or pressed),
// focus and out; all start as the palette's button face and button text and go back to those when
// the palette changes. Shadow, highlight, light and dark shadow are the palette's Dark, Light,
// Midlight and Shadow roles.
//
// Hover: a mouse move over a flat button starts the hover state, except while the left button is
// held and the hover had not started yet, and, with always-track off, while no window of the
// program is active. Leaving, losing the focus, deactivation and disabling end it.
//
// Enter and Return click the focused button, as they do a focused push button of a dialog.
// Commands of the drop-down menu reach their receivers through the actions' own signals. Sounds:
// the two paths are kept, but the program links no sound module, so nothing is played.
#pragma once
#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class QMenu;

class CFlatButton : public QAbstractButton {
    Q_OBJECT
public:
    // Codes for the out id of SetImages; an in id of IMAGE_NONE releases all pictures.
    enum : int { IMAGE_NONE = -1, IMAGE_GREY = -2, IMAGE_DARK = -3 };
    // Results of SetImages and SetPressOffsetStyle.
    enum : int { IMAGES_OK = 0, IMAGES_NO_SIZE = 1, IMAGES_NO_MASK = 2, PRESS_STYLE_REFUSED = 6 };
    // Where the picture stands: left of the caption, above it, right of it.
    enum : int { ALIGN_IMAGE_LEFT = 0, ALIGN_IMAGE_TOP = 1, ALIGN_IMAGE_RIGHT = 2 };
    // The six colours.
    enum : int {
        COLOR_BK_IN,
        COLOR_FG_IN,
        COLOR_BK_OUT,
        COLOR_FG_OUT,
        COLOR_BK_FOCUS,
        COLOR_FG_FOCUS
    };
    // Sound slots.
    enum : int { SOUND_HOVER = 0, SOUND_CLICK = 1 };

    explicit CFlatButton(QWidget* pParent = nullptr);
    ~CFlatButton() override;

    // Pictures from the program's resources (Resources.h) with their transparent colours. nIdOut
    // 0: no out picture; IMAGE_GREY / IMAGE_DARK: a grey / darker copy of the in picture, keyed
    // with crIn. An unknown in id leaves the button without pictures. Returns IMAGES_OK.
    int SetImages(int nIdIn, const QColor& crIn, int nIdOut = 0, const QColor& crOut = Qt::white);
    // The same with pictures at hand; a null in picture leaves the button without pictures.
    // Returns IMAGES_NO_MASK, and keeps no pictures, when a mask cannot be allocated.
    int SetImages(const QImage& imgIn, const QColor& crIn, const QImage& imgOut = QImage(),
                  const QColor& crOut = Qt::white);
    // Icons (with their own transparency) for the in and out slots; a null in icon clears both.
    void SetIcons(const QPixmap& pixIn, const QPixmap& pixOut = QPixmap());
    void ReleaseImages();

    // Copies of a picture whose pixels of the transparent colour stay as they are. Grey: each other
    // pixel becomes its luminance, int(G x 0.587 + B x 0.114 + R x 0.299). Dark: each channel c
    // becomes int(c - c x 0.25).
    static QImage MakeGreyImage(const QImage& img, const QColor& crKey);
    static QImage MakeDarkImage(const QImage& img, const QColor& crKey);

    // Style 0: pressed offset (1, 1); style 1: (0, 2); any other style: PRESS_STYLE_REFUSED.
    int SetPressOffsetStyle(int nStyle, bool bRepaint = true);
    void ResetColors(bool bRepaint = true);
    void SetColor(int nColor, const QColor& cr, bool bRepaint = true);
    QColor GetColor(int nColor) const { return m_arrColors.at(nColor); }

    // While disabled: true (the default) draws the picture embossed, false in its own colours.
    void SetGreyDisabledImage(bool bGrey) {
        m_bGreyDisabledImage = bGrey;
        update();
    }
    void SetFlat(bool bFlat) {
        m_bIsFlat = bFlat;
        update();
    }
    void SetAlign(int nAlign) {
        m_nAlign = nAlign;
        update();
    }
    void SetDrawBorder(bool bDraw) {
        m_bDrawBorder = bDraw;
        update();
    }
    void SetFlatFocus(bool bFlatFocus) {
        m_bDrawFlatFocus = bFlatFocus;
        update();
    }
    void SetAlwaysTrack(bool bAlways) { m_bAlwaysTrack = bAlways; }
    // The default button of its dialog: in the classic look framed in black.
    void SetDefault(bool bDefault) {
        m_bIsDefault = bDefault;
        update();
    }

    // Check-box behaviour: a click toggles the check state, and a checked box paints pressed.
    void SetCheckBox(bool bCheckBox);
    // For a check box: 1 and 2 check it, anything else unchecks it; ignored otherwise.
    void SetCheck(int nCheck);
    int GetCheck() const { return isChecked() ? 1 : 0; }

    // A menu that drops down below the button on each click (the button paints pressed while it
    // is open); the button owns it. fnBeforeShow runs just before it drops down.
    void SetMenu(std::unique_ptr<QMenu> pMenu, std::function<void(QMenu*)> fnBeforeShow = {});
    // A URL opened on each click (when no menu is set).
    void SetURL(const QString& strURL) { m_strURL = strURL; }
    void SetSound(int nSlot, const QString& strPath) { m_arrSounds.at(nSlot) = strPath; }

    bool IsMouseOver() const { return m_bMouseOnButton; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    // Enter and Return click the button that has the focus, as in a dialog.
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

    // The background; may shrink rc (the classic look's default frame). The border.
    virtual void PaintBackground(QPainter& painter, QRect& rc);
    virtual void PaintBorder(QPainter& painter, const QRect& rc);
    // rcItem is the whole button; rcCaption starts as the whole button and the picture placement
    // narrows it.
    virtual void PaintIcon(QPainter& painter, bool bHasCaption, const QRect& rcItem,
                           QRect& rcCaption, bool bPressed, bool bDisabled);
    virtual void PaintBitmap(QPainter& painter, bool bHasCaption, const QRect& rcItem,
                             QRect& rcCaption, bool bPressed, bool bDisabled);
    virtual void PaintCaption(QPainter& painter, const QString& strText, const QRect& rcItem,
                              QRect& rcCaption, bool bPressed, bool bDisabled);

    void EndHover();

    // State taken from each paint, and the hover state.
    bool m_bMouseOnButton = false;
    bool m_bIsPressed = false;
    bool m_bIsFocused = false;
    bool m_bIsDisabled = false;

private:
    void OnClicked();
    void DropMenu();
    // The picture to show from a pair of slots, and where it stands.
    const QPixmap& ChooseImage(const std::array<QPixmap, 2>& arrImages) const;
    QRect PlaceImage(bool bHasCaption, const QRect& rcItem, QRect& rcCaption, bool bPressed,
                     QSize size) const;
    void PaintImage(QPainter& painter, const QPixmap& pixmap, QPoint pt, bool bEmbossed) const;

    bool m_bGreyDisabledImage = true;
    QPoint m_ptImageMargin{3, 3};
    QPoint m_ptPressedOffset{1, 1};
    bool m_bIsFlat = true;
    bool m_bIsDefault = false;
    bool m_bIsCheckBox = false;
    int m_nAlign = ALIGN_IMAGE_LEFT;
    bool m_bDrawBorder = true;
    bool m_bDrawFlatFocus = false;
    std::array<QColor, 6> m_arrColors;
    bool m_bMenuShown = false;
    std::unique_ptr<QMenu> m_pMenu;
    std::function<void(QMenu*)> m_fnMenuCallback;
    bool m_bAlwaysTrack = true;
    QString m_strURL;
    std::array<QPixmap, 2> m_arrIcons;    // in, out
    std::array<QPixmap, 2> m_arrBitmaps;  // in, out; masked by their transparent colours
    std::array<QString, 2> m_arrSounds;   // hover, click
};

// The program's pictures, addressed by their numeric ids. Every picture is drawn by our own code
// (QPainter and small pixel-art tables), so it has exactly its documented size and looks the same
// on every machine: no picture depends on an installed font except the name on the about picture.
//
// Keyed pictures: 132..143 use white (RGB 255,255,255) and 144 light grey (RGB 192,192,192) as
// their transparent colour. The key colour is never used inside a picture, and edges are drawn
// without partial transparency, so masking the key leaves no pale or grey halo on dark or light
// backgrounds. The about picture 131 and the application icon are fully opaque pictures without a
// key colour. All functions need a QGuiApplication; they never fail for a known id.
#pragma once
#include <QIcon>
#include <QPixmap>
#include <map>
#include <vector>

enum : int {
    IDI_MAINFRAME = 128,   // application icon
    IDB_ABOUT_SIDE = 131,  // 102 x 350, red side picture with a 9-pin serial connector drawing
    IDB_POWER_ON = 132,    // 23 x 23 power symbol on a green square (open/close button, open)
    IDB_POWER_OFF = 133,   // 23 x 23 power symbol on a grey square (port closed)
    // Lamps: 48 x 16, a ball (grey off, red on) and the line's name, on the white key colour.
    IDB_RING_OFF = 136,
    IDB_RING_ON = 137,
    IDB_CD_OFF = 138,
    IDB_CD_ON = 139,
    IDB_CTS_OFF = 140,
    IDB_CTS_ON = 141,
    IDB_DSR_OFF = 142,
    IDB_DSR_ON = 143,
    IDB_MENU_ICONS = 144,  // 192 x 16 strip of twelve 16 x 16 icons, transparent 0xC0C0C0
};

// The picture with that id, exactly its documented size, the key colour still in place; a null
// pixmap for an unknown id. IDI_MAINFRAME gives the icon's 32 x 32 image.
QPixmap LoadBitmap(int nId);
// The same picture with its transparent colour made transparent (a mask from the key colour);
// pictures without a key colour come back unchanged; a null pixmap for an unknown id.
QPixmap LoadMaskedBitmap(int nId);
// Image nIndex (0..11) of the menu icon strip, transparent; null icon outside 0..11.
QIcon MenuIcon(int nIndex);
// The application icon in the sizes 16, 24, 32, 48, 64 and 128.
QIcon AppIcon();
// The same icon from its images (AppIconImages()).
QIcon AppIcon(const std::vector<QImage>& arrImages);
// The application icon's images, smallest first. Unlike everything else here they need no
// application and may be drawn on any thread.
std::vector<QImage> AppIconImages();
// The pictures with those ids, drawn ahead of need (on any thread, like AppIconImages()), to be
// handed to KeepPictures(); unknown ids are left out.
std::map<int, QImage> DrawPictures(const std::vector<int>& arrIds);
// From then on LoadBitmap() and LoadMaskedBitmap() give those pictures without drawing them again.
void KeepPictures(std::map<int, QImage> mapPictures);

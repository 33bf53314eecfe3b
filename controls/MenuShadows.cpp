// Whether the window system draws shadows under menus: on X11 when a compositing manager owns the
// screen's _NET_WM_CM_Sn selection; Wayland compositors always do. Kept apart because the X11
// headers define macros (None, Bool, Status) that clash with Qt's names.
#include <QGuiApplication>

#include <X11/Xlib.h>

bool WindowSystemDrawsMenuShadows() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return true;
    }
    auto* pX11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* pDisplay = pX11 ? pX11->display() : nullptr;
    if (pDisplay == nullptr) {
        return false;
    }
    const QByteArray strName = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(pDisplay));
    const Atom atom = XInternAtom(pDisplay, strName.constData(), False);
    return XGetSelectionOwner(pDisplay, atom) != None;
}

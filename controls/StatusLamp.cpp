#include "StatusLamp.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class CStatusLampAccessible : public QAccessibleWidget {
public:
    explicit CStatusLampAccessible(CStatusLamp* pLamp)
        : QAccessibleWidget(pLamp, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.readOnly = true;
        state.checked = Lamp()->IsLit();
        return state;
    }

    QString text(QAccessible::Text type) const override {
        QString str = QAccessibleWidget::text(type);
        if (type == QAccessible::Name && str.isEmpty()) {
            str = Lamp()->text();
        }
        return str;
    }

private:
    CStatusLamp* Lamp() const { return static_cast<CStatusLamp*>(widget()); }
};

QAccessibleInterface* LampFactory(const QString& strClass, QObject* pObject) {
    if (strClass == QLatin1String("CStatusLamp") && pObject->isWidgetType()) {
        return new CStatusLampAccessible(static_cast<CStatusLamp*>(pObject));
    }
    return nullptr;
}

QString Description(bool bLit) {
    return QString::fromUtf8(bLit ? "有效" : "无效");
}

}  // namespace

CStatusLamp::CStatusLamp(int nBitmapOff, int nBitmapOn, QWidget* pParent)
    : CFlatButton(pParent), m_nBitmapOff(nBitmapOff), m_nBitmapOn(nBitmapOn) {
    static const bool bFactoryInstalled = [] {
        QAccessible::installFactory(LampFactory);
        return true;
    }();
    (void)bFactoryInstalled;
    setFocusPolicy(Qt::NoFocus);
    SetGreyDisabledImage(false);
    setAccessibleDescription(Description(false));
    SetImages(m_nBitmapOff, Qt::white);
}

void CStatusLamp::SetLit(bool bLit) {
    if (bLit == m_bLit) {
        return;  // the picture is drawn already
    }
    m_bLit = bLit;
    SetImages(Bitmap(), Qt::white);
    setAccessibleDescription(Description(bLit));
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

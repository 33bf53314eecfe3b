#pragma once
// CPortCombo: the port list. Each entry's tip names the device it opens; the devices present can
// change while the program runs (an adapter plugged in), so the tips are refreshed each time the
// list drops down.
#include <QComboBox>
#include <functional>

class CPortCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void SetBeforePopup(std::function<void()> fnBeforePopup);
    void showPopup() override;

private:
    std::function<void()> m_fnBeforePopup;
};

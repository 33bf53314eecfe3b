#include "BoxDialogs.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

class CQtBoxDialogs : public IBoxDialogs {
public:
    QString GetSaveFileName(QWidget* pParent) override {
        // "*" rather than "*.*": on Linux a file name needs no dot.
        return QFileDialog::getSaveFileName(pParent, QString(), QString(),
                                            QStringLiteral("所有文件 (*)"));
    }
    std::optional<QColor> GetColor(QWidget* pParent) override {
        const QColor color = QColorDialog::getColor(QColor(), pParent);
        if (!color.isValid()) {
            return std::nullopt;
        }
        return color;
    }
    void ShowMessage(QWidget* pParent, const QString& strText) override {
        QMessageBox::warning(pParent, QCoreApplication::applicationName(), strText);
    }
};

}  // namespace

std::unique_ptr<IBoxDialogs> MakeQtBoxDialogs() {
    return std::make_unique<CQtBoxDialogs>();
}

#pragma once
// IBoxDialogs: the modal dialogs that the boxes open, behind one seam so that tests can answer
// them instead of a user. Each box owns one; the default shows Qt's own dialogs.
#include <QColor>
#include <QString>
#include <memory>
#include <optional>

class QWidget;

class IBoxDialogs {
public:
    virtual ~IBoxDialogs() = default;
    // A Save As dialog for any file; asks before overwriting. Empty when the user cancels.
    virtual QString GetSaveFileName(QWidget* pParent) = 0;
    // The standard colour dialog with no initial colour; nullopt when the user cancels.
    virtual std::optional<QColor> GetColor(QWidget* pParent) = 0;
    // A modal message with an OK button.
    virtual void ShowMessage(QWidget* pParent, const QString& strText) = 0;
};

std::unique_ptr<IBoxDialogs> MakeQtBoxDialogs();

#pragma once
// CFileDialog: the file dialogs of the window's commands (the send-file button, the block
// transfers), behind a seam so that tests can answer them instead of a user.
#include <QString>
#include <functional>

class QWidget;

class CFileDialog {
public:
    // Answers whichever dialog is asked, with the path it would give.
    using Interceptor = std::function<QString()>;

    // The path of an existing file that the user chose, or empty when the user cancelled;
    // strFolder: where the dialog starts, empty for its own choice; strCaption: its title, empty
    // for the dialog's own.
    static QString GetOpenFileName(QWidget* pParent, const QString& strFolder = {},
                                   const QString& strCaption = {});
    // A file to write to: the dialog asks before an existing one is replaced.
    static QString GetSaveFileName(QWidget* pParent, const QString& strFolder,
                                   const QString& strCaption);
    static QString GetExistingDirectory(QWidget* pParent, const QString& strFolder,
                                        const QString& strCaption);
    // Replaces the dialogs by fnInterceptor, which returns the path; an empty function shows the
    // real dialogs again.
    static void SetInterceptor(Interceptor fnInterceptor);

private:
    static Interceptor s_fnInterceptor;
};

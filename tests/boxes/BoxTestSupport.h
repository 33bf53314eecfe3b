#pragma once
// Shared pieces of the box tests: a settings file in a fresh folder, scripted dialogs, waiting.
#include <QColor>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "BoxDialogs.h"
#include "WaitHelpers.h"

class QMenu;
class QAction;

// Answers the boxes' dialogs from fields and records the messages shown.
class CScriptedDialogs : public IBoxDialogs {
public:
    struct SScript {
        QString strSavePath;          // empty: the user cancels
        std::optional<QColor> color;  // nullopt: the user cancels
        QStringList messages;
        int nSaveDialogs = 0;
        int nColorDialogs = 0;
    };
    explicit CScriptedDialogs(SScript& script) : m_script(script) {}
    QString GetSaveFileName(QWidget*) override {
        ++m_script.nSaveDialogs;
        return m_script.strSavePath;
    }
    std::optional<QColor> GetColor(QWidget*) override {
        ++m_script.nColorDialogs;
        return m_script.color;
    }
    void ShowMessage(QWidget*, const QString& strText) override { m_script.messages << strText; }

private:
    SScript& m_script;
};

// A folder of its own with the path of a settings file in it (the file does not exist yet).
class CTempIni {
public:
    CTempIni();
    const std::string& Path() const { return m_strPath; }
    QString Folder() const { return m_dir.path(); }
    // Writes the whole settings file.
    void Write(const std::string& strContent) const;
    std::string Read() const;

private:
    QTemporaryDir m_dir;
    std::string m_strPath;
};

std::vector<std::uint8_t> ReadFileBytes(const QString& strPath);

// The receive box's text-mode display rules written plainly over the whole text, as copying the
// box gives it: decode, then CR LF / CR CR LF are one line break, other CRs, lone LFs and control
// bytes show in caret notation, characters that no font has as U+FFFD; CRs at the very end wait
// for the next byte and do not show.
QString ReferenceText(const std::vector<std::uint8_t>& bytes, bool bLfToCrLf, int nCodePage);

// One row of a menu: its text ("-" for a separator), enabled, checked.
struct SMenuRow {
    QString strText;
    bool bEnabled;
    bool bChecked;
    bool operator==(const SMenuRow&) const = default;
};
std::vector<SMenuRow> MenuRows(const QMenu& menu);
// The action whose data() is nCommand, or nullptr (searches submenus).
QAction* FindCommand(const QMenu& menu, int nCommand);

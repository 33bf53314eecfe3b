#include "BoxTestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QThread>
#include <fstream>
#include <iterator>

CTempIni::CTempIni() : m_strPath((m_dir.path() + "/Vexor.ini").toStdString()) {}

void CTempIni::Write(const std::string& strContent) const {
    std::ofstream(m_strPath, std::ios::binary) << strContent;
}

std::string CTempIni::Read() const {
    std::ifstream in(m_strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WaitFor(const std::function<bool()>& fnDone, int nLimitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!fnDone()) {
        if (timer.elapsed() > nLimitMs) {
            return fnDone();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

std::vector<std::uint8_t> ReadFileBytes(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::vector<SMenuRow> MenuRows(const QMenu& menu) {
    std::vector<SMenuRow> rows;
    for (const QAction* pAction : menu.actions()) {
        if (pAction->isSeparator()) {
            rows.push_back({"-", true, false});
        } else {
            rows.push_back({pAction->text(), pAction->isEnabled(), pAction->isChecked()});
        }
    }
    return rows;
}

QAction* FindCommand(const QMenu& menu, int nCommand) {
    for (QAction* pAction : menu.actions()) {
        if (pAction->menu() != nullptr) {
            if (QAction* pFound = FindCommand(*pAction->menu(), nCommand)) {
                return pFound;
            }
        } else if (!pAction->isSeparator() && pAction->data().toInt() == nCommand) {
            return pAction;
        }
    }
    return nullptr;
}

#include "BoxTestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QMenu>
#include <QThread>
#include <fstream>
#include <iterator>

#include "CodePage.h"
#include "Codec.h"

CTempIni::CTempIni() : m_strPath((m_dir.path() + "/Vexor.ini").toStdString()) {}

void CTempIni::Write(const std::string& strContent) const {
    std::ofstream(m_strPath, std::ios::binary) << strContent;
}

std::string CTempIni::Read() const {
    std::ifstream in(m_strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

QString ReferenceText(const std::vector<std::uint8_t>& bytes, bool bLfToCrLf, int nCodePage) {
    const std::string strDisplay = BytesToDisplayText(bytes.data(), bytes.size(), bLfToCrLf);
    CStreamDecoder decoder(nCodePage);
    std::vector<QChar> decoded(CStreamDecoder::RequiredSpace(strDisplay.size()));
    const QChar* pEnd = decoder.Append(decoded.data(), strDisplay.data(), strDisplay.size());
    const QString strDecoded(decoded.data(), pEnd - decoded.data());
    QString strText;
    int nCr = 0;
    auto picture = [](char16_t ch) {
        if (ch < 0x20 || ch == 0x7F) {
            return QString(QChar(u'^')) + QChar(static_cast<char16_t>(ch ^ 0x40));
        }
        if (ch == 0x2028 || ch == 0x2029 || ch == 0xFDD0 || ch == 0xFDD1 || ch == 0xFFFC) {
            return QString(QChar(0xFFFD));
        }
        return QString(QChar(ch));
    };
    // A character that no font has (the tests' box font is "WenQuanYi Zen Hei Mono") as U+FFFD.
    const QFontMetricsF fm(QFont("WenQuanYi Zen Hei Mono", 12));
    for (qsizetype i = 0; i < strDecoded.size(); ++i) {
        const QChar ch = strDecoded[i];
        if (ch == u'\r') {
            ++nCr;
            continue;
        }
        if (ch == u'\n' && nCr > 0) {
            for (int j = 0; j < nCr - 2; ++j) {
                strText += picture(u'\r');
            }
            strText += u'\n';
            nCr = 0;
            continue;
        }
        for (; nCr > 0; --nCr) {
            strText += picture(u'\r');
        }
        if (ch.isHighSurrogate() && i + 1 < strDecoded.size() &&
            strDecoded[i + 1].isLowSurrogate()) {
            const char32_t ch32 = QChar::surrogateToUcs4(ch, strDecoded[i + 1]);
            strText += fm.inFontUcs4(ch32) ? strDecoded.mid(i, 2) : QString(QChar(0xFFFD));
            ++i;
        } else if (ch == u'\t') {
            strText += ch;
        } else {
            const QString strPicture = picture(ch.unicode());
            strText += strPicture != ch || fm.inFont(ch) ? strPicture : QString(QChar(0xFFFD));
        }
    }
    // Trailing CRs wait for the byte that tells whether they end a line.
    return strText;
}

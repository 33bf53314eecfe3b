// The receive path's GBK decoding against Qt's GBK converter, whose table it carries: the same
// text for every byte, every byte pair, every cut between pieces and long random streams.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringDecoder>
#include <random>
#include <vector>

#include "CodePage.h"

namespace {

// The bytes decoded in pieces of the given lengths (the rest is the last piece).
QString OursInPieces(const QByteArray& bytes, const std::vector<qsizetype>& pieces) {
    CStreamDecoder decoder(CP_GBK);
    std::vector<QChar> out(CStreamDecoder::RequiredSpace(bytes.size()));
    QChar* pEnd = out.data();
    qsizetype nDone = 0;
    for (qsizetype nPiece : pieces) {
        pEnd = decoder.Append(pEnd, bytes.constData() + nDone, nPiece);
        nDone += nPiece;
    }
    pEnd = decoder.Append(pEnd, bytes.constData() + nDone, bytes.size() - nDone);
    return QString(out.data(), pEnd - out.data());
}

QString QtsInPieces(const QByteArray& bytes, const std::vector<qsizetype>& pieces) {
    QStringDecoder decoder("GBK");
    QString str;
    qsizetype nDone = 0;
    for (qsizetype nPiece : pieces) {
        str += decoder.decode(QByteArrayView(bytes).sliced(nDone, nPiece));
        nDone += nPiece;
    }
    return str + decoder.decode(QByteArrayView(bytes).sliced(nDone));
}

std::string Units(const QString& str) {
    std::string strUnits;
    for (QChar ch : str) {
        strUnits += QString::number(ch.unicode(), 16).toStdString() + " ";
    }
    return strUnits;
}

}  // namespace

// A trailing '@' (0x40, a trail byte) shows whether a lead byte still waits after the pair.
TEST(GbkDecodingTest, EveryByteAndEveryPairWholeOrCutAsQtDecodesThem) {
    int nMismatches = 0;
    for (int nFirst = 0; nFirst < 256; ++nFirst) {
        for (int nSecond = -1; nSecond < 256; ++nSecond) {
            QByteArray bytes(1, static_cast<char>(nFirst));
            if (nSecond >= 0) {
                bytes += static_cast<char>(nSecond);
            }
            bytes += '@';
            for (const std::vector<qsizetype>& pieces :
                 {std::vector<qsizetype>{}, {1}, {1, 1}, {bytes.size() - 1}}) {
                const QString strOurs = OursInPieces(bytes, pieces);
                const QString strQts = QtsInPieces(bytes, pieces);
                if (strOurs != strQts && ++nMismatches <= 10) {
                    ADD_FAILURE() << std::hex << nFirst << " " << nSecond << " in "
                                  << pieces.size() + 1 << " pieces: " << Units(strOurs)
                                  << " instead of " << Units(strQts);
                }
            }
        }
    }
    EXPECT_EQ(nMismatches, 0);
}

TEST(GbkDecodingTest, RandomStreamsInRandomPiecesAsQtDecodesThem) {
    std::mt19937 rng(14);
    for (const bool bText : {false, true}) {
        // Random bytes, or mostly well-formed GBK text with some stray bytes.
        QByteArray bytes;
        while (bytes.size() < 1 << 20) {
            if (!bText || rng() % 50 == 0) {
                bytes += static_cast<char>(rng());
            } else if (rng() % 4 == 0) {
                bytes += static_cast<char>(0x20 + rng() % 0x5F);
            } else {
                bytes += static_cast<char>(0x81 + rng() % 0x7E);
                bytes += static_cast<char>(0x40 + rng() % 0xBF);
            }
        }
        std::vector<qsizetype> pieces;
        for (qsizetype nDone = 0; nDone < bytes.size();) {
            pieces.push_back(std::min<qsizetype>(1 + rng() % 64, bytes.size() - nDone));
            nDone += pieces.back();
        }
        const QString strQts = QtsInPieces(bytes, {});
        EXPECT_TRUE(OursInPieces(bytes, pieces) == strQts) << bText;
        EXPECT_TRUE(QtsInPieces(bytes, pieces) == strQts) << bText;
    }
}

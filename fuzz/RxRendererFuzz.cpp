// The receive renderer on any bytes in any layout: rendering them in pieces of any sizes gives
// the same text, sync points and positions as rendering them at once, when the wrap points that
// a piece puts into the text before it are inserted there.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <QFont>
#include <QGuiApplication>
#include <deque>
#include <memory>
#include <vector>

#include "CharWidths.h"
#include "CodePage.h"
#include "FuzzCheck.h"
#include "RxRenderer.h"

namespace {

std::unique_ptr<CCharWidths> g_pWidths;

struct SRendering {
    QString strText;
    std::deque<SRxSyncPoint> syncs;
    std::uint64_t nNextChar = 0;
};

SRendering Render(const SRxLayout& layout, const std::vector<std::uint8_t>& bytes,
                  const std::vector<std::size_t>& arrPieces) {
    CRxRenderer renderer(layout, 1000, 77);
    SRendering result;
    std::size_t nPos = 0;
    QString strPiece;
    for (std::size_t n = 0; nPos < bytes.size(); ++n) {
        const std::size_t nTake = std::min(arrPieces[n % arrPieces.size()], bytes.size() - nPos);
        // Each piece into a text of its own, as the screen appends it: a word that grew past the
        // edge puts its wrap point into the text before.
        strPiece.clear();
        const std::uint64_t nLateWrap =
            renderer.Render(bytes.data() + nPos, nTake, strPiece, result.syncs);
        if (nLateWrap != CRxRenderer::kNoLateWrap) {
            FUZZ_CHECK(nLateWrap >= 77 && nLateWrap - 77 <= std::uint64_t(result.strText.size()));
            result.strText.insert(static_cast<qsizetype>(nLateWrap - 77), u'\n');
        }
        result.strText += strPiece;
        nPos += nTake;
    }
    result.nNextChar = renderer.NextChar();
    FUZZ_CHECK(renderer.NextByte() == 1000 + bytes.size());
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*pArgc, *pArgv);
    g_pWidths = std::make_unique<CCharWidths>(QFont("WenQuanYi Zen Hei Mono", 12));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    FuzzedDataProvider input(pData, nSize);
    SRxLayout layout;
    layout.bHex = input.ConsumeBool();
    layout.bLfToCrLf = input.ConsumeBool();
    layout.nCodePage = input.ConsumeBool() ? CP_UTF8 : CP_GBK;
    layout.nHexPerLine = input.ConsumeIntegralInRange(1, 40);
    layout.pWidths = g_pWidths.get();
    layout.fLineWidth = input.ConsumeIntegralInRange(0, 400);
    std::vector<std::size_t> arrPieces(input.ConsumeIntegralInRange(1, 6));
    for (std::size_t& nPiece : arrPieces) {
        nPiece = input.ConsumeIntegralInRange(0, 9);
    }
    arrPieces.push_back(1);  // so that every rendering moves on
    const std::vector<std::uint8_t> bytes = input.ConsumeRemainingBytes<std::uint8_t>();

    const SRendering whole = Render(layout, bytes, {bytes.size() + 1});
    const SRendering pieces = Render(layout, bytes, arrPieces);
    FUZZ_CHECK(pieces.strText == whole.strText);
    FUZZ_CHECK(pieces.nNextChar == whole.nNextChar);
    FUZZ_CHECK(pieces.syncs.size() == whole.syncs.size());
    for (std::size_t n = 0; n < whole.syncs.size(); ++n) {
        FUZZ_CHECK(pieces.syncs[n].nByte == whole.syncs[n].nByte &&
                   pieces.syncs[n].nChar == whole.syncs[n].nChar);
    }
    return 0;
}

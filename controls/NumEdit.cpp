#include "NumEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QValidator>
#include <algorithm>

namespace {

constexpr int kMinDigits = 1;
constexpr int kMaxDigits = 32;

// The base of a mode; 0 for a mode that is none of the three.
int BaseOf(int nMode) {
    switch (nMode) {
        case CNumEdit::MODE_DECIMAL:
            return 10;
        case CNumEdit::MODE_HEX:
            return 16;
        case CNumEdit::MODE_OCTAL:
            return 8;
        default:
            return 0;
    }
}

// The value of an upper-case digit in base nBase, or -1.
int DigitValue(QChar ch, int nBase) {
    const char16_t c = ch.unicode();
    int nValue = -1;
    if (c >= u'0' && c <= u'9') {
        nValue = c - u'0';
    } else if (c >= u'A' && c <= u'Z') {
        nValue = c - u'A' + 10;
    }
    return nValue < nBase ? nValue : -1;
}

// Whether the upper-cased character may stand in a field of that mode.
bool IsAllowed(QChar ch, int nMode) {
    const int nBase = BaseOf(nMode);
    return nBase == 0 || DigitValue(ch, nBase) >= 0;
}

}  // namespace

// The same rules as typing, for text that arrives any other way: the line edit hands every new
// text to its validator and takes the validator's corrected text.
class CNumValidator : public QValidator {
public:
    explicit CNumValidator(CNumEdit* pEdit) : QValidator(pEdit), m_pEdit(pEdit) {}

    State validate(QString& strInput, int& nPos) const override {
        QString strKept;
        int nKeptBeforeCursor = 0;
        for (int i = 0; i < strInput.size(); ++i) {
            const QChar ch = strInput.at(i).toUpper();
            if (IsAllowed(ch, m_pEdit->Mode())) {
                strKept += ch;
                nKeptBeforeCursor += i < nPos ? 1 : 0;
            }
        }
        strKept.truncate(m_pEdit->MaxDigits());
        strInput = strKept;
        nPos = std::min(nKeptBeforeCursor, static_cast<int>(strKept.size()));
        return Acceptable;
    }

private:
    const CNumEdit* m_pEdit;
};

CNumEdit::CNumEdit(QWidget* pParent) : QLineEdit(pParent), m_pValidator(new CNumValidator(this)) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setValidator(m_pValidator);
}

void CNumEdit::Configure(int nMode, int nMaxDigits, bool bZeroPad) {
    m_nMode = nMode;
    m_nMaxDigits = std::clamp(nMaxDigits, kMinDigits, kMaxDigits);
    m_bZeroPad = bZeroPad;
    QString strText = text();
    int nPos = cursorPosition();
    m_pValidator->validate(strText, nPos);
    if (strText != text()) {
        setText(strText);
    }
}

std::uint32_t CNumEdit::GetValue() const {
    const int nBase = BaseOf(m_nMode);
    if (nBase == 0) {
        return 0;
    }
    std::uint64_t qwValue = 0;
    for (QChar ch : text()) {
        const int nDigit = DigitValue(ch.toUpper(), nBase);
        if (nDigit < 0) {
            break;
        }
        qwValue = qwValue * nBase + nDigit;
        if (qwValue > UINT32_MAX) {
            return UINT32_MAX;
        }
    }
    return static_cast<std::uint32_t>(qwValue);
}

bool CNumEdit::SetValue(std::uint32_t dwValue) {
    const int nBase = BaseOf(m_nMode);
    if (nBase == 0) {
        return false;
    }
    QString strText = QString::number(dwValue, nBase).toUpper();
    if (strText.size() > m_nMaxDigits) {
        setText(strText.right(m_nMaxDigits));
        return false;
    }
    if (m_bZeroPad) {
        strText = strText.rightJustified(m_nMaxDigits, u'0');
    }
    setText(strText);
    return true;
}

void CNumEdit::keyPressEvent(QKeyEvent* pEvent) {
    const QString strTyped = pEvent->text();
    const bool bCommand = pEvent->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (strTyped.size() != 1 || bCommand) {
        QLineEdit::keyPressEvent(pEvent);
        return;
    }
    OnChar(pEvent);
}

void CNumEdit::OnChar(QKeyEvent* pEvent) {
    const QChar ch = pEvent->text().at(0);
    // Control characters (backspace, delete, tab, the clipboard shortcuts) always pass.
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) {
        QLineEdit::keyPressEvent(pEvent);
        return;
    }
    if (!hasSelectedText() && text().size() >= m_nMaxDigits) {
        pEvent->accept();
        return;
    }
    const QChar chUpper = ch.toUpper();
    if (!IsAllowed(chUpper, m_nMode)) {
        QApplication::beep();
        pEvent->accept();
        return;
    }
    // Hand the line edit the upper-cased character, as if that key had been typed.
    QKeyEvent upper(pEvent->type(), pEvent->key(), pEvent->modifiers(), QString(chUpper),
                    pEvent->isAutoRepeat(), pEvent->count());
    QLineEdit::keyPressEvent(&upper);
    pEvent->setAccepted(upper.isAccepted());
}

// CNumEdit: a one-line, right-aligned edit for an unsigned number in decimal, hexadecimal or
// octal, with a limit on the number of characters.
//
// Typing (the OnChar filter): with nothing selected and the field already holding m_nMaxDigits
// characters, a typed character is dropped silently. Otherwise letters are taken upper-cased and a
// character that is not a digit of the mode (0-9; 0-9 A-F, so a-f arrive as A-F; 0-7) is dropped
// with a beep, as is any non-ASCII character. Control keys (backspace, delete, the clipboard and
// undo shortcuts, navigation) always work. In a mode other than the three, any character passes.
// Every other way text arrives (paste, drag and drop, an input method, setText) is filtered the
// same way: invalid characters are removed, letters upper-cased, and the text is cut to
// m_nMaxDigits, so the field never holds what typing could not put there.
//
// Values are unsigned 32-bit. GetValue reads the leading digits of the text in the mode's base
// (no digits: 0) and saturates at 0xFFFFFFFF like strtoul. SetValue shows the value unsigned
// ("%u", "%X", "%o"), never with a minus sign.
#pragma once
#include <QLineEdit>
#include <cstdint>

class CNumValidator;

class CNumEdit : public QLineEdit {
    Q_OBJECT
public:
    enum { MODE_DECIMAL = 0, MODE_HEX = 1, MODE_OCTAL = 2 };

    explicit CNumEdit(QWidget* pParent = nullptr);

    // Stores the settings and filters the shown text by them at once. nMaxDigits is clamped to
    // 1..32 (an unsigned 32-bit value has at most 11 octal digits); any nMode is stored, a mode
    // other than the three lets every character through.
    void Configure(int nMode, int nMaxDigits, bool bZeroPad);
    // The value of the text's leading digits in the mode's base; 0 when the text starts with no
    // digit or the mode is none of the three; 0xFFFFFFFF when the digits exceed 32 bits.
    std::uint32_t GetValue() const;
    // Shows dwValue in the mode's base. When that takes more than m_nMaxDigits characters, shows
    // only the last m_nMaxDigits of them and returns false; otherwise pads with leading "0" up to
    // m_nMaxDigits when m_bZeroPad is set, and returns true. In a mode other than the three the
    // text is left unchanged and the result is false.
    bool SetValue(std::uint32_t dwValue);

    int Mode() const { return m_nMode; }
    int MaxDigits() const { return m_nMaxDigits; }
    bool ZeroPad() const { return m_bZeroPad; }

protected:
    // Typed characters go through OnChar; keys without text go to the line edit unchanged.
    void keyPressEvent(QKeyEvent* pEvent) override;
    // The character filter for one key press that carries one typed character.
    void OnChar(QKeyEvent* pEvent);

private:
    int m_nMode = MODE_HEX;
    int m_nMaxDigits = 8;
    bool m_bZeroPad = false;
    CNumValidator* m_pValidator;
};

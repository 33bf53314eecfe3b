#include "AboutBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "Fonts.h"
#include "Resources.h"
#include "Version.h"

namespace {

constexpr const char* kCaption = "关于diVE";
constexpr const char* kProduct = "diVE 串口调试终端  版本 ";
constexpr const char* kFooter = "diVE 免费串口调试软件";
// Paragraphs are indented with two ideographic spaces (U+3000).
constexpr const char* kAboutText =
    "\t\t\t说明\n"
    "　　diVE 是一款免费的串口调试软件，任何人都可以自由地传播、复制和使用，"
    "但不得修改本软件，也不得删除其中的任何信息。\n"
    "特点：\n"
    "　　1. 支持标准的波特率、数据位、校验位与停止位\n"
    "　　2. 支持串口号从COM1~COM255\n"
    "　　3. 支持文本模式与十六进制模式发送\n"
    "　　4. 接收数据可以文本模式或十六进制模式显示\n"
    "　　5. 支持Modem控制线与状态线\n"
    "　　6. 支持文件发送\n"
    "　　7. 支持自动周期性发送\n"
    "　　如果您在使用中发现问题或有任何意见，欢迎通过电子邮件告诉作者。\n"
    "　　非常感谢您的使用！\n"
    "\t\t\t\tdiVE\n"
    "\t\t\t\t2024年6月\n";

// A Windows edit control stops tabs every 32 dialog units; the heading's indent depends on it.
constexpr int kTabStopDlu = 32;

}  // namespace

CAboutBox::CAboutBox(const QString& strSettingsPath, QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(DialogFont());

    auto* pPicture = new QLabel(this);
    pPicture->setPixmap(LoadBitmap(IDB_ABOUT_SIDE));
    pPicture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* pProduct = new QLabel(QString::fromUtf8(kProduct) + QString::fromLatin1(kVersion), this);
    auto* pFooter = new QLabel(QString::fromUtf8(kFooter), this);
    auto* pOk = new QPushButton(this);
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
    m_edAbout = new QPlainTextEdit(this);
    m_edAbout->setReadOnly(true);
    m_edAbout->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edAbout->setAccessibleName(QString::fromUtf8("说明"));
    auto* pSettingsLabel = new QLabel(this);
    // A read-only line without a frame: it reads like a label, yet a path of any length can be
    // selected whole and copied.
    auto* pSettings = new QLineEdit(strSettingsPath, this);
    pSettings->setReadOnly(true);
    pSettings->setFrame(false);
    QPalette palette = pSettings->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    pSettings->setPalette(palette);
    pSettings->setCursorPosition(0);
    pSettings->setToolTip(strSettingsPath);
    pSettings->setAccessibleName(QString::fromUtf8("设置文件"));
    pSettingsLabel->setBuddy(pSettings);

    const CDialogUnits units(logicalDpiY());
    ApplyTemplate(kAboutDialogTemplate, units, [&](int nId) -> QWidget* {
        switch (nId) {
            case IDC_ABOUT_PICTURE:
                return pPicture;
            case IDC_ABOUT_PRODUCT:
                return pProduct;
            case IDC_ABOUT_FOOTER:
                return pFooter;
            case IDOK:
                return pOk;
            case IDC_ABOUT_TEXT:
                return m_edAbout;
            case IDC_ABOUT_SETTINGS_LABEL:
                return pSettingsLabel;
            case IDC_ABOUT_SETTINGS:
                return pSettings;
            default:
                return nullptr;
        }
    });
    setFixedSize(units.ToPixels(kAboutDialogTemplate.sizeDlu));
    m_edAbout->setTabStopDistance(units.ToPixelsX(kTabStopDlu));

    m_strAbout = AboutText();
    m_edAbout->setPlainText(m_strAbout);
    pOk->setFocus();
}

QString CAboutBox::AboutText() {
    return QString::fromUtf8(kAboutText);
}

#include "FrmInfo.h"

#include "BrandLogo.h"
#include "KeyboardAccess.h"
#include "UiLook.h"
#include "app/ProgramInfo.h"
#include "core/Paths.h"
#include "core/RunConfig.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace
{
// Contact data of the maker and of the partner.
struct Contact {
    const char *company, *street, *town, *email, *web;
};
const Contact kMaker{"VALMOR Messtechnik GmbH", "Am Messpunkt 3", "70000 Musterstadt", "info@valmor.example",
                     "www.valmor.example"};
const Contact kPartner{"ARV Tanktechnik", nullptr, "70100 Beispielstadt", "info@partner.example", nullptr};
} // namespace

frmInfo::frmInfo(const RunConfig &config, UiServices &ui, const Texts &texts, QWidget *parent)
    : QDialog(parent), ui_(ui), texts_(texts)
{
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(texts_(198));
    const bool partner = config.partnerBranding;

    Image1 = new BrandLogo(partner ? QStringLiteral("ARV") : QStringLiteral("V"),
                           partner ? QColor(0x2e, 0x7d, 0x32) : UiLook::Accent(), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(72, 72);
    Image1->installEventFilter(this);

    lblTitel = new QLabel(ProgramTitle(config, false), this);
    lblTitel->setObjectName(QStringLiteral("lblTitel"));
    QFont tf = lblTitel->font();
    tf.setPointSizeF(tf.pointSizeF() * 1.5);
    tf.setWeight(QFont::DemiBold);
    lblTitel->setFont(tf);
    // The package's version, with the short form the program always showed.
    lblVersion = new QLabel(FormatText(texts_(921), {QStringLiteral(TANKMON_VERSION)}) +
                                QStringLiteral("  (") + ProgramVersionText() + QLatin1Char(')'),
                            this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblCopyright = new QLabel(QStringLiteral("© VALMOR. ") + texts_(922), this);
    lblCopyright->setObjectName(QStringLiteral("lblCopyright"));
    lblCopyright->setWordWrap(true);

    const Contact &c = partner ? kPartner : kMaker;
    QStringList address{QString::fromUtf8(c.company)};
    address << (partner ? texts_(193) : QString::fromUtf8(c.street)) << QString::fromUtf8(c.town);
    if (partner)
        address << texts_(194);
    else
        address << texts_(196) << texts_(197);
    txbxAdresse = new QPlainTextEdit(this);
    txbxAdresse->setObjectName(QStringLiteral("txbxAdresse"));
    txbxAdresse->setReadOnly(true);
    txbxAdresse->setPlainText(address.join(QStringLiteral("\r\n")));
    txbxAdresse->setFixedHeight(txbxAdresse->fontMetrics().lineSpacing() * (address.size() + 1) + 8);

    lblEmail = new QLabel(QString::fromUtf8(c.email), this);
    lblEmail->setObjectName(QStringLiteral("lblEmail"));
    lblEmail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QString web = partner ? texts_(195) : QString::fromUtf8(c.web);
    lblURL = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(web.toHtmlEscaped()), this);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    lblURL->setProperty("caption", web);
    lblURL->setCursor(Qt::PointingHandCursor);
    connect(lblURL, &QLabel::linkActivated, this, [this] {
        ui_.setWaitCursor(true);
        QDesktopServices::openUrl(
            QUrl(QStringLiteral("http://") + lblURL->property("caption").toString() + QLatin1Char('/')));
        ui_.setWaitCursor(false);
    });

    OK = new QPushButton(texts_(199), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setDefault(true);
    connect(OK, &QPushButton::clicked, this, &QDialog::accept);
    AssignAccessKeys(this);

    auto *text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(lblTitel);
    text->addWidget(lblVersion);
    text->addSpacing(8);
    text->addWidget(txbxAdresse);
    text->addWidget(lblEmail);
    text->addWidget(lblURL);
    text->addSpacing(8);
    text->addWidget(lblCopyright);

    auto *top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OK);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(22, 20, 22, 16);
    v->addLayout(top);
    v->addSpacing(10);
    v->addLayout(buttons);
    setMinimumWidth(440);
}

bool frmInfo::eventFilter(QObject *o, QEvent *e)
{
    if (o == Image1 && e->type() == QEvent::MouseButtonDblClick) {
        playInfoSound();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

void frmInfo::playInfoSound()
{
    // Played by the desktop's sound player, not awaited; without the file or
    // a player the system's default sound stands in.
    const QString file = Paths::ProgramFilePath(QStringLiteral("info.wav"));
    const QString player = QStandardPaths::findExecutable(QStringLiteral("paplay")).isEmpty()
                               ? QStandardPaths::findExecutable(QStringLiteral("aplay"))
                               : QStandardPaths::findExecutable(QStringLiteral("paplay"));
    if (!QFileInfo::exists(file) || player.isEmpty() || !QProcess::startDetached(player, {file}))
        QApplication::beep();
}

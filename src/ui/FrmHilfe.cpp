#include "FrmHilfe.h"

#include "KeyboardAccess.h"
#include "ScreenFit.h"

#include "core/Paths.h"
#include "core/SafeFile.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace
{
QString plainCaption(int id)
{
    return LngText(id).remove(QLatin1Char('&'));
}
} // namespace

frmHilfe::frmHilfe(const QString &helpRoot, int lngId, QWidget *parent)
    : QWidget(parent, Qt::Window), index_(HelpIndex::LanguageFolder(helpRoot, lngId))
{
    setObjectName(QStringLiteral("frmHilfe"));
    setWindowTitle(plainCaption(322));

    auto tool = [this](QStyle::StandardPixmap icon) {
        auto *b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setAutoRaise(true);
        return b;
    };
    back_ = tool(QStyle::SP_ArrowBack);
    forward_ = tool(QStyle::SP_ArrowForward);
    auto *home = tool(QStyle::SP_DirHomeIcon);
    home->setText(plainCaption(323));
    home->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    searchText_ = new QLineEdit(this);
    searchText_->setClearButtonEnabled(true);
    searchText_->setPlaceholderText(plainCaption(324));
    auto *find = new QPushButton(plainCaption(324), this);

    auto *bar = new QHBoxLayout;
    bar->addWidget(back_);
    bar->addWidget(forward_);
    bar->addWidget(home);
    bar->addStretch(1);
    bar->addWidget(searchText_, 2);
    bar->addWidget(find);
    auto *closeButton = new QPushButton(plainCaption(925), this);
    closeButton->setObjectName(QStringLiteral("cmdClose"));
    bar->addWidget(closeButton);

    contents_ = new QListWidget(this);
    contents_->setWordWrap(true);
    for (const HelpPage &p : index_.pages()) {
        auto *item = new QListWidgetItem(p.title, contents_);
        item->setData(Qt::UserRole, p.topic);
    }
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(false); // links go through our own history
    browser_->setSearchPaths({index_.folder()});
    // The rich-text engine ignores <link> style sheets; the pages' one applies to every page.
    QByteArray css;
    if (SafeFile::ReadRegular(QDir(index_.folder()).filePath(QStringLiteral("../tankmon.css")), &css, nullptr,
                              1 << 20) == SafeFile::ReadStatus::Ok)
        browser_->document()->setDefaultStyleSheet(QString::fromUtf8(css));
    auto *split = new QSplitter(this);
    split->addWidget(contents_);
    split->addWidget(browser_);
    split->setStretchFactor(1, 1);
    split->setSizes({280, 680});
    // Small screens: the contents list gives way first.
    split->setChildrenCollapsible(false);
    contents_->setMinimumWidth(120);

    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    v->addLayout(bar);
    v->addWidget(split, 1);
    FitToScreen(this, QSize(960, 680));
    AssignAccessKeys(this);

    connect(back_, &QToolButton::clicked, this, [this] {
        if (at_ > 0)
            render(history_[--at_]);
    });
    connect(forward_, &QToolButton::clicked, this, [this] {
        if (at_ + 1 < history_.size())
            render(history_[++at_]);
    });
    connect(home, &QToolButton::clicked, this, [this] { showTopic(QLatin1String(HelpTopic::Index)); });
    connect(searchText_, &QLineEdit::returnPressed, this, [this] { showSearch(searchText_->text()); });
    connect(find, &QPushButton::clicked, this, [this] { showSearch(searchText_->text()); });
    connect(contents_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { showTopic(item->data(Qt::UserRole).toString()); });
    connect(contents_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { showTopic(item->data(Qt::UserRole).toString()); });
    connect(browser_, &QTextBrowser::anchorClicked, this, &frmHilfe::openLink);
    // A window of its own, not a dialog: Escape closes it as it would one.
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

frmHilfe *frmHilfe::Open(QPointer<frmHilfe> &slot, const QString &topic, QWidget *parent)
{
    if (!slot) {
        slot = new frmHilfe(Paths::ProgramFilePath(QStringLiteral("help")), LngId(), parent);
        slot->setAttribute(Qt::WA_DeleteOnClose);
        FitToScreen(slot, QSize(900, 640));
    }
    slot->showTopic(topic);
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

void frmHilfe::showTopic(const QString &topic)
{
    QString t = index_.canonicalTopic(topic);
    if (t.isEmpty())
        t = index_.canonicalTopic(QLatin1String(HelpTopic::Index));
    if (t == QLatin1String(HelpTopic::Search)) {
        showSearch();
        return;
    }
    go({t, QString(), QString()});
}

void frmHilfe::showSearch(const QString &query)
{
    searchText_->setText(query);
    go({QLatin1String(HelpTopic::Search), query.trimmed(), QString()});
    searchText_->setFocus();
}

QString frmHilfe::currentTopic() const
{
    return at_ >= 0 ? history_[at_].topic : QString();
}

void frmHilfe::go(const Place &p)
{
    // A new place drops what lay ahead of the current one.
    while (history_.size() > at_ + 1)
        history_.removeLast();
    history_.append(p);
    at_ = int(history_.size()) - 1;
    render(p);
}

void frmHilfe::render(const Place &p)
{
    hitTopics_.clear();
    if (p.topic == QLatin1String(HelpTopic::Search)) {
        for (const HelpHit &h : index_.search(p.query))
            hitTopics_ << h.topic;
        browser_->setHtml(index_.searchPageHtml(p.query));
    } else {
        QUrl url = QUrl::fromLocalFile(index_.pagePath(p.topic));
        if (!p.anchor.isEmpty())
            url.setFragment(p.anchor);
        browser_->setSource(url);
        // Coming from a search: the first place the word stands is selected.
        if (!p.query.isEmpty())
            browser_->find(p.query.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty));
    }
    for (int i = 0; i < contents_->count(); ++i) {
        QListWidgetItem *item = contents_->item(i);
        if (item->data(Qt::UserRole).toString() == p.topic) {
            const QSignalBlocker block(contents_);
            contents_->setCurrentItem(item);
        }
    }
    updateButtons();
}

void frmHilfe::openLink(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto")) {
        QDesktopServices::openUrl(url);
        return;
    }
    const QString file = QFileInfo(url.path()).fileName();
    if (file.isEmpty()) { // "#anchor" on the same page
        browser_->scrollToAnchor(url.fragment());
        return;
    }
    const QString topic = index_.canonicalTopic(file);
    if (topic.isEmpty())
        return; // not one of our pages
    if (topic == QLatin1String(HelpTopic::Search)) {
        showSearch(searchText_->text());
        return;
    }
    const bool fromSearch = at_ >= 0 && history_[at_].topic == QLatin1String(HelpTopic::Search);
    go({topic, fromSearch ? history_[at_].query : QString(), url.fragment()});
}

void frmHilfe::updateButtons()
{
    back_->setEnabled(at_ > 0);
    forward_->setEnabled(at_ + 1 < history_.size());
}

#pragma once
#include "help/HelpIndex.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;
class QUrl;

// How a window's help button opens its page (a topic of HelpTopics.h).
using HelpFn = std::function<void(const QString &topic)>;

// The help window: contents list, the page browser and the full-text search
// over the pages of one language. Not modal; the program keeps one.
class frmHilfe : public QWidget
{
    Q_OBJECT
public:
    // helpRoot holds a folder of pages per language ("de", "en"); lngId picks one.
    frmHilfe(const QString &helpRoot, int lngId, QWidget *parent = nullptr);

    // The help window in slot, created over the installed pages of the
    // current language when there is none, shown and raised at topic (the
    // search topic opens the search page).
    static frmHilfe *Open(QPointer<frmHilfe> &slot, const QString &topic, QWidget *parent = nullptr);

    // Shows a page by its topic; an unknown topic shows the contents.
    void showTopic(const QString &topic);
    // The search page; a non-empty query is searched at once.
    void showSearch(const QString &query = QString());

    QString currentTopic() const;
    // Topics listed as hits on the search page shown (empty elsewhere).
    QStringList hitTopics() const { return hitTopics_; }

private:
    struct Place {
        QString topic; // the search page has its own topic
        QString query; // search page: the query; page: the word to find
        QString anchor;
    };
    void go(const Place &p);
    void render(const Place &p);
    void openLink(const QUrl &url);
    void updateButtons();

    HelpIndex index_;
    QList<Place> history_;
    int at_ = -1;
    QStringList hitTopics_;
    QListWidget *contents_;
    QTextBrowser *browser_;
    QLineEdit *searchText_;
    QToolButton *back_;
    QToolButton *forward_;
};

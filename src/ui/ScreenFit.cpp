#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>
#include <algorithm>

void FitToScreen(QWidget *window, QSize wanted)
{
    QScreen *screen = window->parentWidget() ? window->parentWidget()->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        window->resize(wanted);
        return;
    }
    const QRect area = screen->availableGeometry();
    // The frame is known only once the window is shown: allow for a usual one.
    const QSize frame = window->isVisible() ? window->frameGeometry().size() - window->size() : QSize(16, 40);
    const QSize room = (area.size() - frame).expandedTo(QSize(100, 100));
    const QSize size = wanted.boundedTo(room).expandedTo(window->minimumSizeHint().boundedTo(room));
    window->resize(size);
    const QSize outer = size + frame;
    const int x = area.left() + std::max(0, (area.width() - outer.width()) / 2);
    const int y = area.top() + std::max(0, (area.height() - outer.height()) / 2);
    window->move(x, y);
}

namespace
{

class BodyArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override
    {
        // All of the body with room for a scroll bar, unlike QScrollArea's
        // hint, which stops at a few dozen lines of text.
        const QSize body = widget() ? widget()->sizeHint() : QSize();
        return body + QSize(verticalScrollBar()->sizeHint().width() + 2 * frameWidth(), 2 * frameWidth());
    }
    QSize minimumSizeHint() const override { return QSize(160, 120); }
};

} // namespace

QScrollArea *ScrollingBody(QLayout *body, QWidget *parent)
{
    auto *area = new BodyArea(parent);
    area->setObjectName(QStringLiteral("body"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto *inner = new QWidget(area);
    inner->setLayout(body);
    area->setWidget(inner);
    return area;
}

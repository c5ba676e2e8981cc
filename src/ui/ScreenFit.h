#pragma once
#include <QSize>

class QWidget;

// Sizes a top-level window to wanted, but never larger than the available
// area of its screen (its frame included), and moves it fully onto that area,
// so that its buttons stay within reach on small screens.
void FitToScreen(QWidget *window, QSize wanted);

class QLayout;
class QScrollArea;

// The body of a window (everything but its button row) in a scroll area
// that asks for the body's whole size: scroll bars appear only where the
// screen leaves less room than that.
QScrollArea *ScrollingBody(QLayout *body, QWidget *parent);

#pragma once
#include <QSize>

class QWidget;

// Sizes a top-level window to wanted, but never larger than the available
// area of its screen (its frame included), and moves it fully onto that area,
// so that its buttons stay within reach on small screens.
void FitToScreen(QWidget *window, QSize wanted);

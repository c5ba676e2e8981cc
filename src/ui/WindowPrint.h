#pragma once

class QPrinter;
class QWidget;

// Prints a window as it is shown, scaled to fit the printer's page. Errors
// of the printer are not reported (false: nothing could be started).
bool PrintWidget(QWidget &w, QPrinter &printer);

#pragma once

class QMenuBar;
class QWidget;

// Access letters for the keyboard, unique within each scope, in whatever
// language the captions are: the menu bar's titles, the entries of each of
// its menus, and the buttons, check boxes and labels with a buddy of a
// dialog. Letters the captions carry already are kept where they are unique.
void AssignAccessKeys(QMenuBar *bar);
void AssignAccessKeys(QWidget *dialog);

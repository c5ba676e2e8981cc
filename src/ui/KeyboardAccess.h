#pragma once

class QWidget;

// Access letters for the keyboard, unique within each scope, in whatever
// language the captions are. Call it once on a window whose captions are
// set: its menu bar's titles, buttons, check boxes and labels with a buddy
// share one scope (buttons of an exclusive group, such as tab captions, are
// chosen with the arrow keys and left out); each menu of the menu bar, or
// the entries of a menu given itself, form a scope of their own. Letters the
// captions carry already are kept where they are unique.
void AssignAccessKeys(QWidget *window);

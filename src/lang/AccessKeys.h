#pragma once
#include <QStringList>

// Access letters ("&Datei") for a set of captions that share one keyboard
// scope (a menu bar, one menu, one dialog). Letters the texts already carry
// are kept when unique; every other text gets the first free letter, word
// beginnings first, plain A-Z before other letters; where a text finds no
// free letter, others move to letters of their own to make room. A text
// that still finds none stays as it is.
QStringList WithAccessKeys(const QStringList &texts);
// The letter a caption's '&' marks, lower case; a null QChar when none.
QChar AccessKey(const QString &text);
// The caption without its access mark ("&&" stays a literal '&').
QString WithoutAccessKey(const QString &text);

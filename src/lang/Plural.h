#pragma once
#include "Lng.h"

#include <QString>

// Plural forms of words that follow a number ("1 litr", "2284 litry",
// "5 litrów"). A plural text in the language tables holds one line per form
// of its language, in the order PluralForm counts them.

// How many forms a word has in a program language (1..10): two for most,
// three for Croatian, Romanian and Polish.
int PluralFormCount(int lngId);
// Which line of a plural text goes with a whole number n (0-based).
int PluralForm(int lngId, qint64 n);
// The form of plural text id for n, in the language of t; the last line when
// the table holds fewer lines than the language has forms.
QString PluralText(const Texts &t, int id, qint64 n);

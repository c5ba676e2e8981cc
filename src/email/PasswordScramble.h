#pragma once
#include <QString>

// The stored form of the mail login and of the settings lock: the code-page
// byte of the character at position i (from 1) is combined with i by XOR.
// Applying it twice gives the original text back, so the same call scrambles
// and unscrambles. Working on the Windows-1252 bytes keeps the stored text
// identical to what existing installations wrote.
QString ScramblePassword(const QString &text);

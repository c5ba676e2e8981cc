#pragma once
#include <QString>

// The stored form of the mail and MQTT logins and of the settings lock. It
// hides a password from a glance at the file; it is no encryption.
//
// Existing installations combine the code-page byte of the character at
// position i (from 1) with i by XOR. That form is still written whenever it
// reads back as it was meant (the settings store puts it in double quotes
// when it starts or ends with a blank or a quote). When it would hold a line break or a NUL, or the
// password holds characters outside Windows-1252 or is longer than a read
// returns, the stored form is "~" and the Base64 of the password's UTF-8
// bytes, each combined with its position the same way; read the old way,
// "~" would stand for a first character nobody can type.

// Plain password -> the text to store.
QString StoredPassword(const QString &plain);
// Stored text (read whole, Settings::readWhole) -> the plain password.
QString PasswordFromStored(const QString &stored);

#pragma once
#include <QString>

class QCoreApplication;

// Qt's own texts (the Yes, No, OK and Cancel of its boxes and dialogs) in the
// program's language, from Debian's translations of Qt.
//   The translation file's language for LngId 1..10 ("de", ..., "pt_BR").
QString QtTranslationName(int lngId);
//   Installs it on app; false when Qt has none for that language (English
//   needs none).
bool InstallQtTranslation(QCoreApplication &app, int lngId);

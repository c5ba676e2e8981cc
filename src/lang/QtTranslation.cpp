#include "QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QString QtTranslationName(int lngId)
{
    // Debian ships Brazilian Portuguese only; it is the nearer than English.
    static const char *const names[] = {"de", "en", "it", "fr", "es", "pt_BR", "nl", "hr", "ro", "pl"};
    return lngId >= 1 && lngId <= 10 ? QString::fromLatin1(names[lngId - 1]) : QString();
}

bool InstallQtTranslation(QCoreApplication &app, int lngId)
{
    const QString name = QtTranslationName(lngId);
    if (name.isEmpty() || name == QLatin1String("en"))
        return false;
    auto *t = new QTranslator(&app);
    if (!t->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    return QCoreApplication::installTranslator(t);
}

#include "Catalogue.h"

#include "Settings.h"
#include "TextHelpers.h"

#include <QHash>
#include <QMutex>

QString IniKey::read() const { return ReadIniValue(sectionName(), keyName(), defaultText()); }
QString IniKey::read(const QString &d) const { return ReadIniValue(sectionName(), keyName(), d); }
qint64 IniKey::readInt() const { return ToLongOrZero(read()); }
bool IniKey::readSwitch() const { return readInt() != 0; }
bool IniKey::readIsOne() const { return readInt() == 1; }
void IniKey::write(const std::optional<QString> &v) const { WriteIniValue(sectionName(), keyName(), v); }
void IniKey::write(qint64 v) const { WriteIniValue(sectionName(), keyName(), v); }

namespace {
// Built once per (entry, n): the returned IniKey points into this storage.
const char *intern(const QByteArray &s)
{
    static QMutex mutex;
    static QHash<QByteArray, QByteArray> pool;
    QMutexLocker lock(&mutex);
    auto it = pool.find(s);
    if (it == pool.end())
        it = pool.insert(s, s);
    return it->constData();
}
}

IniKey IniKeyN::at(int n) const
{
    const QByteArray num = QByteArray::number(n);
    if (numberedSection)
        return IniKey{intern(QByteArray(section) + num), key, def};
    return IniKey{section, intern(QByteArray(key) + num), def};
}

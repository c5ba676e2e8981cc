#include "Catalogue.h"

#include <QHash>
#include <QMutex>

namespace
{
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
} // namespace

IniKey IniKeyN::at(int n) const
{
    const QByteArray num = QByteArray::number(n);
    if (numberedSection)
        return IniKey{intern(QByteArray(section) + num), key, def};
    return IniKey{section, intern(QByteArray(key) + num), def};
}

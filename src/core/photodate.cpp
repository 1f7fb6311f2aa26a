#include "core/photodate.h"

#include <QDateTime>
#include <QFileInfo>

namespace kps {

QString kepdatum(const QString& path) {
    if (path.isEmpty()) return QString();
    const QFileInfo info(path);
    if (!info.exists()) return QString(); // the photo was removed after the list was made
    const QDateTime when = info.lastModified().toLocalTime();
    if (!when.isValid()) return QString();
    const QDate d = when.date();
    const QTime t = when.time();
    return QStringLiteral("%1.%2.%3 %4:%5")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(t.hour())
        .arg(t.minute());
}

} // namespace kps

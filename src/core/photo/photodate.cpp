#include "core/photo/photodate.h"

#include "core/files/filecallguard.h"
#include "core/files/nativepath.h"

#include <QDateTime>

namespace kps {

QString kepdatum(const QString& path) {
    if (path.isEmpty()) return QString();
    noteFileCall("kepdatum");
    const PathFacts facts = pathFacts(path);
    if (!facts.exists) return QString(); // the photo was removed after the list was made
    return photoDateText(facts.modifiedMs);
}

QString photoDateText(qint64 modifiedMs) {
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(modifiedMs).toLocalTime();
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

#include "core/settings/folderpath.h"

#include "core/files/nativepath.h"
#include "core/state/slots.h"

#ifdef Q_OS_WIN
#include <QDir>
#else
#include <sys/stat.h>
#endif

namespace kps {

QString folderPath(QString path) {
#ifdef Q_OS_WIN
    path.replace(u'/', kSep); // a hand-edited file may use either separator
#endif
    if (!path.isEmpty() && !path.endsWith(kSep)) path.append(kSep);
    return path;
}

bool makeFolder(const QString& path) {
    if (path.isEmpty()) return false;
#ifdef Q_OS_WIN
    return QDir().mkdir(path);
#else
    return ::mkdir(nativePath(path).constData(), 0777) == 0;
#endif
}

} // namespace kps

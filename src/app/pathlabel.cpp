#include "app/pathlabel.h"

#include "core/files/nativepath.h"

#include <QLabel>
#include <QVariant>

namespace kps {

namespace {
const char* const kPathProperty = "path";
} // namespace

void setPathLabel(QLabel* label, const QString& path) {
    label->setProperty(kPathProperty, path);
    label->setText(displayPath(path));
}

QString pathOfLabel(const QLabel* label) {
    const QVariant held = label->property(kPathProperty);
    if (held.isValid() && displayPath(held.toString()) == label->text()) return held.toString();
    return label->text();
}

} // namespace kps

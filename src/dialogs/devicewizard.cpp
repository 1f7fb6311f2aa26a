#include "dialogs/devicewizard.h"

namespace kps {

DeviceWizard::DeviceWizard(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Talvex photo sorter"));
    setFixedSize(450, 450);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

} // namespace kps

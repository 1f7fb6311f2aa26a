#include "dialogs/renamedialog.h"

#include <QLabel>
#include <QPushButton>

namespace kps {

RenameDialog::RenameDialog(bool& renamekerdes, QWidget* parent)
    : QDialog(parent), renamekerdes_(renamekerdes) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Átnevezés"));
    setFixedSize(243, 110);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    label1_ = new QLabel(this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->move(16, 16);

    auto* rename = new QPushButton(QStringLiteral("Átnevez"), this);
    rename->setObjectName(QStringLiteral("Button1"));
    rename->setGeometry(40, 64, 75, 25);
    auto* cancel = new QPushButton(QStringLiteral("Mégse"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    cancel->setGeometry(136, 64, 75, 25);
    setTabOrder(rename, cancel);
    connect(rename, &QPushButton::clicked, this, &RenameDialog::Button1Click);
    connect(cancel, &QPushButton::clicked, this, &RenameDialog::Button2Click);
}

QString RenameDialog::questionText() {
    return QStringLiteral("Ilyen nevü kép már van a mappában.\rÁtnevezi?");
}

bool RenameDialog::ask(QPoint topLeft) {
    // The label shows the carriage return as a line break.
    label1_->setText(questionText().replace(u'\r', u'\n'));
    label1_->adjustSize();
    move(topLeft);
    renamekerdes_ = false;
    exec();
    return renamekerdes_;
}

void RenameDialog::Button1Click() {
    renamekerdes_ = true;
    accept();
}

void RenameDialog::Button2Click() {
    reject();
}

} // namespace kps

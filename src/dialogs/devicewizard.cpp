#include "dialogs/devicewizard.h"

#include "core/sources/volumes.h"
#include "dialogs/artwork.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <initializer_list>

namespace kps {
namespace {

constexpr int kSearchIntervalMs = 300;
constexpr int kEditHeight = 21;
constexpr int kCaptionAbove = 16; // a labelled edit's caption sits this far above the edit

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect bounds, bool bold,
              bool wrap) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    l->setWordWrap(wrap);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A zero width or height means "as wide or high as the text".
    const int width = bounds.width() > 0 ? bounds.width() : l->sizeHint().width();
    const int natural = wrap ? l->heightForWidth(width) : l->sizeHint().height();
    l->setGeometry(bounds.x(), bounds.y(), width, bounds.height() > 0 ? bounds.height() : natural);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, QRect bounds) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(bounds);
    b->setAutoDefault(false);
    return b;
}

// A one-line edit with its caption above it.
QLineEdit* labeledEdit(QWidget* parent, int n, const QString& caption, QRect bounds) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("LabeledEdit%1").arg(n));
    edit->setGeometry(bounds);
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QStringLiteral("LabeledEdit%1Label").arg(n));
    l->move(bounds.x(), bounds.y() - kCaptionAbove);
    l->adjustSize();
    l->setBuddy(edit);
    return edit;
}

} // namespace

DeviceWizard::DeviceWizard(AppState& st, VolumeSource& volumes, FolderPicker pickFolder,
                           const Artwork& art, QWidget* parent)
    : QDialog(parent), st_(st), volumes_(volumes), pickFolder_(std::move(pickFolder)) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Talvex photo sorter"));
    // Closed only through its own buttons: no close, minimise or maximise button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(450, 450);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    label(this, "Label5",
          QStringLiteral("Beállíthat meghajtóval rendelkező eszközöket (fényképező, SD kártya), "
                         "amit azután szériaszám alapján fog  keresni a program."),
          QRect(25, 16, 408, 41), true, true);
    label1_ = label(this, "Label1", QStringLiteral("1. Lépés"), QRect(24, 72, 0, 0), true, false);
    label2_ = label(this, "Label2",
                    QStringLiteral("Válaszd le az eszközt a számítógépről, majd nyomd meg a "
                                   "Tovább gombot"),
                    QRect(80, 72, 353, 0), false, true);
    button1_ = button(this, "Button1", QStringLiteral("Tovább"), QRect(136, 120, 75, 25));
    button2_ = button(this, "Button2", QStringLiteral("Mégse"), QRect(240, 120, 75, 25));
    label3_ = label(this, "Label3", QStringLiteral("2. Lépés"), QRect(24, 168, 0, 0), true, false);
    label4_ = label(this, "Label4",
                    QStringLiteral("Kapcsold össze az eszközt a számítógéppel, add meg az elérési "
                                   "utat, adj nevet az eszköznek, és állíts be ikont"),
                    QRect(76, 168, 353, 33), false, true);

    labeledEdits_[0] =
        labeledEdit(this, 1, QStringLiteral("Szériaszám"), QRect(24, 240, 121, kEditHeight));
    labeledEdits_[0]->setReadOnly(true);
    labeledEdits_[1] =
        labeledEdit(this, 2, QStringLiteral("Neve"), QRect(24, 280, 121, kEditHeight));
    labeledEdits_[1]->setText(QStringLiteral("Én eszközöm"));
    labeledEdits_[2] =
        labeledEdit(this, 3, QStringLiteral("Elérési út"), QRect(24, 320, 217, kEditHeight));
    auto* button5 = button(this, "Button5", QStringLiteral("..."), QRect(247, 318, 26, 25));

    // FormCreate: the three device icons, each beside its radio button.
    static const int kIconLeft[3] = {25, 105, 187};
    static const int kRadioLeft[3] = {55, 135, 217};
    for (size_t i = 0; i < 3; ++i) {
        auto* image = new QLabel(this);
        image->setObjectName(QStringLiteral("Image%1").arg(i + 1));
        image->setGeometry(kIconLeft[i], 360, 24, 24);
        image->setPixmap(QPixmap::fromImage(art.rpng[i + 1]));
        images_[i] = image;
        auto* radio = new QRadioButton(this);
        radio->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        radio->move(kRadioLeft[i], 363);
        radio->adjustSize();
        radioButtons_[i] = radio;
    }
    radioButtons_[0]->setChecked(true);

    button3_ = button(this, "Button3", QStringLiteral("Kész"), QRect(136, 408, 75, 25));
    button4_ = button(this, "Button4", QStringLiteral("Mégse"), QRect(240, 408, 75, 25));

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(kSearchIntervalMs);

    connect(button1_, &QPushButton::clicked, this, &DeviceWizard::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &DeviceWizard::Button2Click);
    connect(button4_, &QPushButton::clicked, this, &DeviceWizard::Button2Click);
    connect(button3_, &QPushButton::clicked, this, &DeviceWizard::Button3Click);
    connect(button5, &QPushButton::clicked, this, &DeviceWizard::Button5Click);
    connect(timer1_, &QTimer::timeout, this, &DeviceWizard::Timer1Timer);

    backToStepOne(false);
}

void DeviceWizard::setDeviceName(const QString& name) {
    labeledEdits_[1]->setText(name);
}

void DeviceWizard::Button1Click() {
    scan_.step1(volumes_.volumes());
    timer1_->start();
    button1_->setEnabled(false);
    button2_->setEnabled(false);
    button4_->setEnabled(true);
    label3_->setEnabled(true);
    label4_->setEnabled(true);
}

void DeviceWizard::Timer1Timer() {
    switch (scan_.tick(volumes_.volumes())) {
    case WizardScan::Change::Found:
        showFound(true);
        break;
    case WizardScan::Change::Lost:
        showFound(false);
        break;
    case WizardScan::Change::None:
        break;
    }
}

void DeviceWizard::showFound(bool found) {
    labeledEdits_[0]->setText(found ? scan_.serial() : QString());
    labeledEdits_[2]->setText(found ? scan_.rootPath() : QString());
    for (QLineEdit* edit : labeledEdits_)
        edit->setEnabled(found);
    for (QRadioButton* radio : radioButtons_)
        radio->setEnabled(found);
    for (QLabel* image : images_)
        image->setVisible(found);
    button3_->setEnabled(found);
    button4_->setEnabled(true);
}

void DeviceWizard::Button5Click() {
    // After a device was found its root is the picker's root, so only its folders can be chosen.
    QLineEdit* path = labeledEdits_[2];
    const QString chosen = pickFolder_ ? pickFolder_(this, QStringLiteral("Select a directory"),
                                                     path->text(), path->text())
                                       : QString();
    path->setText(pickedPathField(path->text(), chosen));
}

void DeviceWizard::Button3Click() {
    const WizardFields fields{labeledEdits_[0]->text(), labeledEdits_[1]->text(),
                              labeledEdits_[2]->text(), checkedIcon()};
    wizardConfirm(st_, fields, scan_.mountPoint());
    finish(QDialog::Accepted);
}

void DeviceWizard::Button2Click() {
    finish(QDialog::Rejected);
}

void DeviceWizard::reject() {
    Button2Click();
}

void DeviceWizard::finish(QDialog::DialogCode result) {
    timer1_->stop();
    // QDialog::done, not reject(): reject() leads back here.
    QDialog::done(result);
    // A confirmed use starts the next one with empty fields; a cancelled one keeps them.
    backToStepOne(result == QDialog::Accepted);
}

void DeviceWizard::backToStepOne(bool clearFields) {
    for (QWidget* w : std::initializer_list<QWidget*>{label1_, label2_, button1_, button2_})
        w->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{label3_, label4_, button3_, button4_})
        w->setEnabled(false);
    for (QLineEdit* edit : labeledEdits_) {
        edit->setEnabled(false);
        if (clearFields) edit->clear();
    }
    for (QRadioButton* radio : radioButtons_)
        radio->setEnabled(false);
    if (clearFields) radioButtons_[0]->setChecked(true);
    for (QLabel* image : images_)
        image->hide();
}

int DeviceWizard::checkedIcon() const {
    for (size_t i = 0; i < radioButtons_.size(); ++i)
        if (radioButtons_[i]->isChecked()) return int(i) + 1;
    return 1;
}

} // namespace kps

#include "app/statusline.h"

#include "app/widgets.h"

#include <QTimer>

namespace kps {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    setFixedHeight(19);
    // The folder, last, takes the rest of the bar; the others keep their widths.
    static const int kWidths[kStatusFields] = {90, 250, 90, 100, 0};
    static const bool kCentred[kStatusFields] = {true, false, true, false, false};
    for (int i = 0; i < kStatusFields; ++i) {
        auto* field = new ElidedLabel(this);
        field->setObjectName(QStringLiteral("StatusField%1").arg(i));
        if (kWidths[i] > 0) {
            field->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
            field->setFixedWidth(kWidths[i]);
        }
        field->setAlignment((kCentred[i] ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        addWidget(field, kWidths[i] > 0 ? 0 : 1);
        fields_[size_t(i)] = field;
    }
    // Messages get a place of their own: QStatusBar's own message would cover the fields.
    message_ = new StatusMessage(this);
    message_->setObjectName(QStringLiteral("StatusMessage"));
    message_->hide();
    addWidget(message_, 1); // while it shows, it shares the rest with the folder
    pending_ = new QLabel(this);
    pending_->setObjectName(QStringLiteral("StatusPending"));
    addPermanentWidget(pending_);
    messageTimer_ = new QTimer(this);
    messageTimer_->setObjectName(QStringLiteral("StatusMessageTimer"));
    messageTimer_->setSingleShot(true);
    messageTimer_->setInterval(15000);
    connect(messageTimer_, &QTimer::timeout, this, [this] { warn({}); });
}

void StatusLine::setFields(const std::array<QString, kStatusFields>& texts) {
    for (int i = 0; i < kStatusFields; ++i)
        fields_[size_t(i)]->setFullText(texts[size_t(i)]);
}

void StatusLine::warn(const QString& text) {
    message_->setMessage(text);
    if (text.isEmpty())
        messageTimer_->stop();
    else
        messageTimer_->start();
}

void StatusLine::setPending(const QString& text) {
    pending_->setText(text);
}

QString StatusLine::pending() const {
    return pending_->text();
}

} // namespace kps

#pragma once
// Form3: asks whether a photo whose name is taken should be copied under a new name.

#include <QDialog>

class QLabel;
class QPushButton;

namespace kps {

class RenameDialog : public QDialog {
    Q_OBJECT
  public:
    explicit RenameDialog(bool& renamekerdes, QWidget* parent = nullptr);

    // Shows the question modally with its outer top-left corner at `topLeft`; true when the
    // user chose "Átnevez". Closing by the title bar counts as "Mégse".
    bool ask(QPoint topLeft);

    static QString questionText();

  private:
    void Button1Click(); // "Átnevez": confirms and closes
    void Button2Click(); // "Mégse": closes

    bool& renamekerdes_;
    QLabel* label1_ = nullptr;
};

} // namespace kps

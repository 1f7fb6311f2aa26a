#pragma once
// Small drawing widgets of the main window: panel pictures, the photo and the viewer area.

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QWidget>

namespace kps {

// A picture that fills its panel and shows an image drawn by the panel painter.
class PanelPicture : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    // The drawing, with the text and icon it shows (also given to screen readers).
    void setDrawing(const QImage& image, const QString& text, const QImage& icon);
    const QImage& image() const { return image_; }
    QString text() const { return accessibleName(); }
    const QImage& icon() const { return icon_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage image_;
    QImage icon_;
};

// Image1: the photo, stretched to fill the frame it sits in.
class PhotoView : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    void setImage(const QImage& image, QSize fullSize);
    const QImage& image() const { return image_; }
    QSize fullSize() const { return fullSize_; } // the photo's pixel size, not the decoded one

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage image_;
    QSize fullSize_;
};

// Panel2: the grey viewer area, which shows "Loading..." or "Load Error" in its middle.
class ViewerArea : public QFrame {
    Q_OBJECT
  public:
    using QFrame::QFrame;
    void setCaption(const QString& text);
    QString caption() const { return caption_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString caption_;
};

// The status bar's warning beside its five fields: as much of the message as fits, the whole of
// it as the tooltip. It never asks for more room, so a long message cannot push the fields away.
class StatusMessage : public QLabel {
    Q_OBJECT
  public:
    explicit StatusMessage(QWidget* parent = nullptr);
    void setMessage(const QString& text); // an empty text clears the warning
    QString message() const { return message_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showFitting();
    QString message_;
};

// True when the point (in the parent's coordinates) lies inside the widget's bounds: left and
// top edges inside, right and bottom edges outside.
bool panelkereso(int x, int y, const QWidget* obj);

} // namespace kps

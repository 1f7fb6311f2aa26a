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

// A one-line text that never asks for more room than it gets: as much of it as fits, shortened
// in the middle, and the whole of it as the tooltip.
class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void setFullText(const QString& text);
    QString fullText() const { return full_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showFitting();
    QString full_;
};

// The status bar's warning beside its five fields, so a long message cannot push them away.
class StatusMessage : public ElidedLabel {
    Q_OBJECT
  public:
    explicit StatusMessage(QWidget* parent = nullptr);
    void setMessage(const QString& text); // an empty text clears the warning
    QString message() const { return fullText(); }
};

// True when the point (in the parent's coordinates) lies inside the widget's bounds: left and
// top edges inside, right and bottom edges outside.
bool panelkereso(int x, int y, const QWidget* obj);

} // namespace kps

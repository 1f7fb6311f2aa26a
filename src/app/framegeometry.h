#pragma once
// The main window's place as settings.ini keeps it: the outer frame's rectangle and whether it
// was maximised. The frame's size is known only once the window manager has framed the window
// (on X11 that can come well after the first show), so the stored size is corrected then, and
// a close before that writes back what was read.

#include <QObject>
#include <QRect>
#include <optional>

class QTimer;
class QWidget;

namespace kps {

// The window's entries of settings.ini.
struct StoredFrame {
    std::optional<int> left, top; // empty: the platform's placement of a new window
    int width = 0, height = 0;    // outer size
    bool maximized = false;
};

class FrameGeometry : public QObject {
  public:
    explicit FrameGeometry(QWidget* window);

    // Applies the stored place before the first show: fitted to the screens there are now,
    // maximised when it was closed so.
    void restore(const StoredFrame& stored);
    // The place to write at close: the normal (not maximised) outer rectangle.
    StoredFrame current() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool frameIsKnown() const; // the window system has told the frame's size
    void settle();             // corrects the size for the frame once it is known
    void remember();           // takes the normal outer rectangle as it is now

    QWidget* window_;
    QTimer* watch_;   // looks for the frame's size for a while after the first show
    QTimer* restore_; // sets the normal size after a maximised start is first left
    void correct();   // sets the client size from outer_ and the frame
    QRect outer_;     // the normal outer rectangle: as applied, then as last seen
    QSize applied_;   // the client size restore() set; another size is someone's choice
    bool hasPosition_ = false;
    bool startedMaximised_ = false; // the window came up maximised
    bool settled_ = false;          // from now on outer_ follows the window
    bool corrected_ = false;        // the client size has been set from outer_ and the frame
};

} // namespace kps

#pragma once
// A main window started in a temporary program folder, with HOME pointing into it too.

#include "app/mainwindow.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace kps::test {

// Lines of a written settings.ini, trimmed, without blank lines.
QStringList iniLines(const QString& file);

// Lets events run until the viewer holds the photo it was last asked for (one not decoded in
// advance comes from the decoding thread); false when it never came.
bool waitForPhoto(MainWindow& w);

class WindowFixture {
  public:
    WindowFixture();
    ~WindowFixture();

    // The program folder (ending in "/"), where settings.ini lives.
    QString programDir() const { return programDir_; }
    // A folder inside the temporary tree, created on demand, ending in "/".
    QString folder(const QString& name) const;
    QString settingsFile() const { return programDir_ + QStringLiteral("settings.ini"); }

    // The folder of slot 0..8 when started by startWithFolders().
    QString slotFolder(int slot) const;
    // Writes settings.ini naming a temporary folder for each of the nine slots (plus `extra`
    // lines appended to [kezdo]) and starts the window.
    MainWindow& startWithFolders(const QString& extraKezdo = {}, const Environment& env = {});
    // Presses the primary folder's load button, which reads every folder, and waits until
    // the lists have arrived and the first photo shows.
    void load();
    // Waits until the load's scan has delivered its lists.
    void waitForScan();

    // Starts a main window (closing and deleting any earlier one first) and shows it.
    MainWindow& start(const Environment& extra = {});
    MainWindow& window() { return *window_; }
    // Closes the window as the user would; true when it closed.
    bool close();

    template <typename T> T* find(const QString& name) { return window_->findChild<T*>(name); }

  private:
    QTemporaryDir tmp_;
    QString programDir_;
    QByteArray oldHome_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace kps::test

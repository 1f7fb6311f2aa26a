// Starts the photo sorter: one main window whose settings live beside the executable.

#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kps::Environment env;
    env.programDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    kps::MainWindow window(env);
    window.show();
    return app.exec();
}

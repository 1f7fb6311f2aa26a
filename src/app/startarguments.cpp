#include "app/startarguments.h"

#include "app/mainwindow.h"
#include "core/files/nativepath.h"
#include "core/state/cursor.h"

#include <QLabel>

namespace kps {

QString openFromCommandLine(MainWindow& window, const CommandLine& line) {
    QString problem = line.error;
    if (problem.isEmpty() && !line.folder.isEmpty()) {
        auto* path1 = qobject_cast<QLabel*>(window.ifindcomponent(QStringLiteral("path1")));
        path1->setText(line.folder);
        // A folder that another row already names would be refused by the load button too.
        if (!window.loadpanelhibakereso()) {
            window.Panel22Click();
            problem = QStringLiteral("A mappát egy másik sor is használja, ezért nem töltöttem "
                                     "be: %1")
                          .arg(displayPath(line.folder));
        }
    }
    if (!problem.isEmpty()) {
        // Whole, where a failed drop's message shows: a start from the desktop has no terminal.
        window.showStatusMessage(problem);
        return problem;
    }
    if (line.folder.isEmpty()) return {};

    if (!line.photo.isEmpty()) {
        // The named photo is shown once the load's lists have arrived.
        QObject::connect(
            &window, &MainWindow::loaded, &window,
            [&window, photo = line.photo] {
                AppState& st = window.state();
                const PhotoList& source = st.lists[kSourceSlot];
                for (int i = 0; i < source.count(); ++i) {
                    if (source.at(i) != photo) continue;
                    st.index[kSourceSlot] = i;
                    st.s1 = listbox(st, kSourceSlot);
                    window.kepbetoltes(st.s1);
                    window.syncStatusBar();
                    window.kepszinezo();
                    break;
                }
            },
            Qt::SingleShotConnection);
    }
    window.SpeedButton1Click(1);
    return {};
}

} // namespace kps

#pragma once
// A termination request from outside (the session ending, kill, Ctrl+C in a terminal) closes
// the window as the user would, so the settings are written and the Trash is cleaned.

class QWidget;

namespace kps {

// SIGTERM, SIGINT and SIGHUP close the window from then on; call once, after it is shown.
void closeOnTerminationSignals(QWidget* window);

} // namespace kps

#pragma once
// Starts sorting from what the command line named.

#include "core/sources/commandline.h"

namespace kps {

class MainWindow;

// A named folder fills the source row and is loaded as its load button would load it; a named
// photo is then shown first, once the load's lists have arrived. A bad argument is told in the
// status bar's message field and nothing is loaded. Returns the message for the terminal, or empty
// when all went well.
QString openFromCommandLine(MainWindow& window, const CommandLine& line);

} // namespace kps

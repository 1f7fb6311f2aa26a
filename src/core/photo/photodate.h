#pragma once
// The photo's date as the status bar shows it.

#include <QString>

namespace kps {

// The file's last-modification time in local time as "2017.3.5 9:7" (no leading zeros, no
// seconds); an empty text when the entry cannot be found.
QString kepdatum(const QString& path);
// The same text for a modification time already known (milliseconds since the epoch, UTC).
QString photoDateText(qint64 modifiedMs);

} // namespace kps

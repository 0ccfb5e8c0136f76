#pragma once

#include <QString>

// Start at login through the user's XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/tavrin.desktop (~/.config when the variable is unset).
namespace AutostartEntry {

QString filePath();

// The entry is there, starts this program and is neither hidden nor switched off.
bool isEnabled();

// Writes the entry atomically; false when it could not be written, with the file and the
// reason in `failure`.
bool enable(const QString& programPath, QString* failure = nullptr);

// Removes the entry; true when none is left.
bool disable(QString* failure = nullptr);

} // namespace AutostartEntry

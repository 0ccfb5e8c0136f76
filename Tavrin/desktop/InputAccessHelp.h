#pragma once

#include <QString>

// Writes the help page on input access to the user's cache folder (when it is not there yet or
// out of date) and returns its path; empty when it could not be written. The situation, plain
// text such as what this desktop lacks, is shown at the top.
QString writeInputAccessHelp(const QString& situation = {});

// Opens the help page with the desktop's handler for local files. Failures stay silent.
void openInputAccessHelp(const QString& situation = {});

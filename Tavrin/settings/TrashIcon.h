#pragma once

#include <QColor>
#include <QIcon>

// A waste-bin symbol drawn in the given colour, sharp at any device pixel ratio up to 3.
QIcon trashIcon(const QColor& color);

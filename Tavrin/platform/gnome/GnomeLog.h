#pragma once

#include <QLoggingCategory>

namespace tavrin {

Q_DECLARE_LOGGING_CATEGORY(lcGnome)

} // namespace tavrin

#pragma once

#include <QLoggingCategory>

namespace tavrin {

Q_DECLARE_LOGGING_CATEGORY(lcX11)

} // namespace tavrin

#include "desktop/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

// The store file as a user, another tool or a half-written disk may leave it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tavrin.conf"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    tavrin::SettingsStore store(path);
    store.readBool("enabled");
    store.readInteger("assignedButton");
    store.readData("menuItems");
    return 0;
}

#include "InputAccessHelp.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// XDG_CACHE_HOME in a temporary folder while it lives.
struct TemporaryCacheHome {
    TemporaryCacheHome() { qputenv("XDG_CACHE_HOME", folder.path().toUtf8()); }
    ~TemporaryCacheHome() {
        if (saved.isNull())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", saved);
    }
    QTemporaryDir folder;
    QByteArray saved = qgetenv("XDG_CACHE_HOME");
};

} // namespace

TEST(InputAccessHelp, ThePageShippedWithTheProgramIsWrittenToTheCacheFolder) {
    TemporaryCacheHome cache;
    ASSERT_TRUE(cache.folder.isValid());

    ASSERT_TRUE(QFile::exists(":/tavrin/help/input-access.html"))
        << "the page must be compiled into tavrin_desktop as a resource";
    const QString path = writeInputAccessHelp();
    EXPECT_EQ(path, cache.folder.path() + "/tavrin/input-access.html");
    QFile page(path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.contains("XTEST"));
    EXPECT_TRUE(html.contains("Wayland"));

    // An outdated copy is replaced.
    page.close();
    ASSERT_TRUE(page.open(QIODevice::WriteOnly | QIODevice::Truncate));
    page.write("old");
    page.close();
    EXPECT_EQ(writeInputAccessHelp(), path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), html);
}

#include "desktop/AutostartEntry.h"

#include "desktop/InputAccessHelp.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// XDG_CONFIG_HOME, XDG_CACHE_HOME and HOME in a fresh temporary folder for one test.
class UserFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "HOME"})
            qputenv(name, (folder.path() + "/" + name).toUtf8());
    }
    QString entryPath() const {
        return folder.path() + "/XDG_CONFIG_HOME/autostart/tavrin.desktop";
    }
    static QString thisProgram() { return QCoreApplication::applicationFilePath(); }

    QTemporaryDir folder;
};

// Stands for the desktop's handler of file links.
struct LinkCatcher : QObject {
    QList<QUrl> opened;
    Q_OBJECT
  public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

} // namespace

TEST_F(UserFolders, AnEntryForThisProgramIsWrittenQuotedAndRemoved) {
    const QString odd = folder.path() + "/it's a \"fine\" $HOME `dir` %f \\ here";
    ASSERT_TRUE(QDir().mkpath(odd));
    ASSERT_TRUE(QFile::link(thisProgram(), odd + "/tavrin"));
    ASSERT_TRUE(AutostartEntry::enable(odd + "/tavrin"));
    // Inside the quotes " ` $ \ take a backslash and % doubles; then every backslash of the
    // value is escaped once more.
    QFile entry(entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString quoted = "/it's a \\\\\"fine\\\\\" \\\\$HOME \\\\`dir\\\\` %%f \\\\\\\\ here";
    EXPECT_TRUE(QString::fromUtf8(entry.readAll())
                    .contains("\nExec=\"" + folder.path() + quoted + "/tavrin\"\n"));
    EXPECT_TRUE(AutostartEntry::isEnabled());
    ASSERT_TRUE(AutostartEntry::disable());
    EXPECT_FALSE(QFile::exists(entryPath()));
    EXPECT_TRUE(AutostartEntry::disable()) << "nothing left to remove is not a failure";

    qputenv("XDG_CONFIG_HOME", "relative/config"); // not a valid value: ignored
    ASSERT_TRUE(AutostartEntry::enable(thisProgram()));
    EXPECT_TRUE(QFile::exists(folder.path() + "/HOME/.config/autostart/tavrin.desktop"));
}

TEST_F(UserFolders, OnlyAShownEntryForThisProgramCountsAsEnabled) {
    const QString exec = QString("Exec=\"%1\"\n").arg(thisProgram());
    const std::pair<QString, bool> cases[]{
        {"[Desktop Entry]\nType=Application\n" + exec, true},
        {"[Desktop Entry]\nType=Application\nExec=/usr/bin/env\n", false},
        {"[Desktop Entry]\n" + exec + "Hidden=true\n", false},
        {"[Desktop Entry]\n" + exec + "X-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Action other]\n" + exec, false},
    };
    QDir().mkpath(QFileInfo(entryPath()).path());
    for (const auto& [text, enabled] : cases) {
        QFile file(entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
        file.close();
        EXPECT_EQ(AutostartEntry::isEnabled(), enabled) << text.toStdString();
    }
}

TEST_F(UserFolders, UnwritableFoldersReportFailure) {
    ASSERT_TRUE(QDir().mkpath(entryPath() + "/occupied")); // a folder where the entry belongs
    QString failure;
    EXPECT_FALSE(AutostartEntry::enable(thisProgram(), &failure));
    EXPECT_TRUE(failure.startsWith("could not write " + entryPath() + " (")) << qPrintable(failure);
    EXPECT_FALSE(AutostartEntry::disable());
}

TEST_F(UserFolders, TheHelpPageIsWrittenToTheCacheOpenedAndAnOutdatedCopyReplaced) {
    LinkCatcher links;
    QDesktopServices::setUrlHandler("file", &links, "open");
    // What this desktop lacks heads the page, as text.
    openInputAccessHelp("Missing: <zwlr_layer_shell_v1> & more");
    QDesktopServices::unsetUrlHandler("file");
    const QString path = folder.path() + "/XDG_CACHE_HOME/tavrin/input-access.html";
    ASSERT_EQ(links.opened, QList{QUrl::fromLocalFile(path)});
    QFile page(path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray told = page.readAll();
    page.close();
    const qsizetype said = told.indexOf("Missing: &lt;zwlr_layer_shell_v1&gt; &amp; more");
    EXPECT_TRUE(said > 0 && said < told.indexOf("<h2>"));
    // The page told of a lack now stands outdated.
    EXPECT_EQ(writeInputAccessHelp(), path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray plain = page.readAll();
    EXPECT_TRUE(plain.contains("<h2>") && !plain.contains("Missing"));
}

// Autostart entries name the running program, and the help page opens through Qt: both need
// an application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "AutostartEntryTest.moc"

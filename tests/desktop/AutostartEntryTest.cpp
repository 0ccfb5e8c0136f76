#include "AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Points XDG_CONFIG_HOME (and HOME) into a fresh temporary folder for one test.
class AutostartEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        savedHome = qgetenv("HOME");
        qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
        qputenv("HOME", (folder.path() + "/home").toUtf8());
    }
    void TearDown() override {
        restore("XDG_CONFIG_HOME", savedConfigHome);
        restore("HOME", savedHome);
    }
    static void restore(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QString configHome() const { return folder.path() + "/config"; }
    QString entryPath() const { return configHome() + "/autostart/tavrin.desktop"; }
    static QString thisProgram() { return QCoreApplication::applicationFilePath(); }

    QStringList entryLines() const {
        QFile file(entryPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    void writeEntry(const QString& text) const {
        QDir().mkpath(configHome() + "/autostart");
        QFile file(entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QTemporaryDir folder;
    QByteArray savedConfigHome;
    QByteArray savedHome;
};

} // namespace

TEST_F(AutostartEntryTest, OnWritesAnEntryForThisProgramAndOffRemovesIt) {
    EXPECT_EQ(AutostartEntry::filePath(), entryPath());
    EXPECT_FALSE(AutostartEntry::isEnabled());

    ASSERT_TRUE(AutostartEntry::enable(thisProgram()));
    EXPECT_TRUE(AutostartEntry::isEnabled());
    const QStringList lines = entryLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    for (const QString& expected :
         {QString("Type=Application"), QString("Name=Tavrin"),
          QString("Exec=\"%1\"").arg(thisProgram()), QString("TryExec=%1").arg(thisProgram()),
          QString("X-KDE-autostart-after=panel"), QString("X-LXQt-Need-Tray=true")}) {
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString();
    }
    EXPECT_FALSE(lines.filter(QRegularExpression("^Icon=.+")).isEmpty());
    EXPECT_FALSE(lines.filter(QRegularExpression("^X-GNOME-Autostart-Delay=[0-9]+$")).isEmpty());

    ASSERT_TRUE(AutostartEntry::disable());
    EXPECT_FALSE(QFile::exists(entryPath()));
    EXPECT_FALSE(AutostartEntry::isEnabled());
    EXPECT_TRUE(AutostartEntry::disable()) << "nothing left to remove is not a failure";
}

TEST_F(AutostartEntryTest, ExecQuotesPathsWithSpacesQuotesAndPercentSigns) {
    const QString folderName = folder.path() + "/it's a \"fine\" $HOME `dir` %f \\ here";
    ASSERT_TRUE(QDir().mkpath(folderName));
    const QString link = folderName + "/tavrin";
    ASSERT_TRUE(QFile::link(thisProgram(), link));

    ASSERT_TRUE(AutostartEntry::enable(link));
    // Inside the quotes " ` $ \ take a backslash and % doubles; then every backslash of the
    // value is escaped once more.
    const QString quoted =
        folder.path() + "/it's a \\\\\"fine\\\\\" \\\\$HOME \\\\`dir\\\\` %%f \\\\\\\\ here/tavrin";
    EXPECT_TRUE(entryLines().contains("Exec=\"" + quoted + "\""));
    EXPECT_TRUE(AutostartEntry::isEnabled()) << "the quoted path reads back as this program";
}

TEST_F(AutostartEntryTest, AnEntryForAnotherProgramOrSwitchedOffIsNotEnabled) {
    ASSERT_TRUE(AutostartEntry::enable("/usr/bin/env"));
    EXPECT_FALSE(AutostartEntry::isEnabled());

    const QString exec = QString("Exec=\"%1\"\n").arg(thisProgram());
    writeEntry("[Desktop Entry]\nType=Application\n" + exec);
    EXPECT_TRUE(AutostartEntry::isEnabled());
    writeEntry("[Desktop Entry]\nType=Application\n" + exec + "Hidden=true\n");
    EXPECT_FALSE(AutostartEntry::isEnabled());
    writeEntry("[Desktop Entry]\nType=Application\n" + exec + "X-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(AutostartEntry::isEnabled());
    writeEntry("[Desktop Action other]\n" + exec);
    EXPECT_FALSE(AutostartEntry::isEnabled()) << "only the main group counts";
}

TEST_F(AutostartEntryTest, UnwritableFoldersReportFailure) {
    QDir().mkpath(configHome());
    QFile blocker(configHome() + "/autostart");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder belongs
    blocker.close();
    EXPECT_FALSE(AutostartEntry::enable(thisProgram()));
    EXPECT_FALSE(AutostartEntry::isEnabled());

    ASSERT_TRUE(QFile::remove(configHome() + "/autostart"));
    ASSERT_TRUE(QDir().mkpath(entryPath() + "/occupied")); // a folder where the entry belongs
    EXPECT_FALSE(AutostartEntry::enable(thisProgram()));
    EXPECT_FALSE(AutostartEntry::disable());
}

TEST_F(AutostartEntryTest, WithoutAnAbsoluteConfigHomeTheEntryLivesUnderHome) {
    const QString underHome = folder.path() + "/home/.config/autostart/tavrin.desktop";
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AutostartEntry::filePath(), underHome);
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(AutostartEntry::filePath(), underHome);
    ASSERT_TRUE(AutostartEntry::enable(thisProgram()));
    EXPECT_TRUE(QFile::exists(underHome));
}

#include "desktop/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavrin;

namespace {

struct Store : ::testing::Test {
    QTemporaryDir dir;
    QString path(const char* name = "tavrin.conf") const {
        return dir.filePath(QStringLiteral("tavrin/") + name);
    }
    void writeFile(const QByteArray& text) {
        QDir().mkpath(dir.filePath(QStringLiteral("tavrin")));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

// What the writer below stores in its round: long and varied, so a torn file shows.
std::string roundBytes(int round) {
    return std::to_string(round) + std::string(round % 7 * 300, '\n') +
           std::string(round % 3 * 100, '"');
}

// Stores as fast as it can until it is killed.
[[noreturn]] void writeUntilKilled(const QString& path) {
    SettingsStore store(path);
    for (int round = 1;; ++round) {
        store.writeData("menuItems", roundBytes(round));
        store.writeBool("enabled", round % 2 == 0);
    }
}

} // namespace

TEST_F(Store, ValuesWrittenAreReadBackByTheNextRunWithTheirKinds) {
    const std::string json = "[{\"label\":\"a\\/b \xC3\xA9\\n\",\"x\":\"@ByteArray(\"}]\n\\";
    {
        SettingsStore store(path());
        store.writeBool("enabled", false);
        store.writeInteger("assignedButton", -1);
        store.writeData("menuItems", json);
    }
    SettingsStore next(path());
    EXPECT_EQ(next.readBool("enabled"), false);
    EXPECT_EQ(next.readInteger("assignedButton"), -1);
    EXPECT_EQ(next.readData("menuItems"), json);
}

TEST_F(Store, OnlyExactWordsWholeNumbersAndByteArraysCount) {
    const std::pair<QByteArray, bool> cases[]{
        {"enabled=true\nassignedButton=+7\nmenuItems=@ByteArray([])\n", true},
        {"enabled=1\nassignedButton=4.5\nmenuItems=\"[]\"\n", false},
        {"enabled=TRUE\nassignedButton=99999999999999999999\nmenuItems=[]\n", false},
        {"enabled=\xff\nassignedButton=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x12x)\n", false},
    };
    for (const auto& [text, valid] : cases) {
        writeFile("[General]\n" + text);
        SettingsStore store(path());
        EXPECT_EQ(store.readBool("enabled"), valid ? std::optional(true) : std::nullopt)
            << text.toStdString();
        EXPECT_EQ(store.readInteger("assignedButton"), valid ? std::optional(7) : std::nullopt);
        EXPECT_EQ(store.readData("menuItems"), valid ? std::optional("[]") : std::nullopt);
    }
}

TEST_F(Store, AValueOfAnotherKindReadsAsItsTextInTheFile) {
    const QByteArray list = R"([{"id": "a", "label": "x"}, "b"])";
    writeFile("enabled=true\nmenuItems=" + list + "\n[Other]\nmenuItems=elsewhere\n");
    SettingsStore store(path());
    EXPECT_EQ(store.readStoredText("menuItems"), list.toStdString());
}

TEST_F(Store, UnreadableBytesAreKeptBesideWithoutReplacingEarlierOnes) {
    SettingsStore store(path());
    for (const char* bytes : {"first", "second", "third"})
        ASSERT_TRUE(store.keepUnreadable("menuItems", bytes));
    for (const auto& [name, bytes] : {std::pair{"", "first"}, {".1", "second"}, {".2", "third"}}) {
        QFile kept(path("menuItems.unreadable") + name);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes);
    }
}

TEST_F(Store, FailuresAreToldAndTheNextWriteStoresTheWholeState) {
    writeFile("[General]\nenabled=true\nassignedButton=4\nmenuItems=@ByteArray([])\n");
    SettingsStore store(path());
    // The folder goes while the utility runs, then a plain file stands in its way.
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("tavrin"))).removeRecursively());
    QFile blocker(dir.filePath(QStringLiteral("tavrin")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    store.writeBool("enabled", false);
    EXPECT_NE(store.lastFailure().value_or("").find(path().toStdString()), std::string::npos);
    EXPECT_FALSE(store.keepUnreadable("menuItems", "bytes"));

    ASSERT_TRUE(blocker.remove());
    store.writeInteger("assignedButton", 5);
    EXPECT_FALSE(store.lastFailure());
    SettingsStore next(path());
    EXPECT_EQ(next.readBool("enabled"), false);
    EXPECT_EQ(next.readInteger("assignedButton"), 5);
    EXPECT_EQ(next.readData("menuItems"), "[]");

    // The folder is there: the failure must not blame it.
    ASSERT_TRUE(QFile::remove(path()) && QDir().mkdir(path()));
    store.writeBool("enabled", true);
    EXPECT_EQ(store.lastFailure().value_or("folder").find("folder"), std::string::npos);
}

// Every kill must leave the whole value of one round, and nothing once stored may go missing.
TEST_F(Store, AKilledWriterLeavesAWholeEarlierOrLaterState) {
    writeFile("[General]\nenabled=true\nmenuItems=@ByteArray(0)\n");
    const QString lock = path("tavrin.conf.lock");
    // As a kill right after creating it leaves it.
    ASSERT_TRUE(QFile(lock).open(QIODevice::WriteOnly));
    for (int kill = 0; kill < 60; ++kill) {
        const pid_t child = fork();
        if (child == 0)
            writeUntilKilled(path());
        usleep(static_cast<useconds_t>(kill) * 800); // kills spread over many rounds
        ::kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        SettingsStore store(path());
        ASSERT_FALSE(QFileInfo(lock).exists() && QFileInfo(lock).size() == 0)
            << "an empty lock holds the next write back for 30 s";
        EXPECT_TRUE(store.readBool("enabled")) << "a stored switch was lost";
        const auto bytes = store.readData("menuItems");
        ASSERT_TRUE(bytes) << "a stored value was lost";
        ASSERT_EQ(*bytes, roundBytes(std::stoi(*bytes))) << "a torn value";
    }
}

#include "SettingsStore.h"

#include <QDir>
#include <QFile>
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
    // The folder goes while the utility runs, then a plain file stands in its way.
    void blockFolder() {
        ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("tavrin"))).removeRecursively());
        QFile blocker(dir.filePath(QStringLiteral("tavrin")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
};

// What the writer below stores in its round: long and varied, so a torn file shows.
std::string roundBytes(int round) {
    return std::to_string(round) + std::string(round % 7 * 300, '\n') + "\"\xC3\xA9 end";
}

// Stores as fast as it can until it is killed; tells the test once the first round is stored.
[[noreturn]] void writeUntilKilled(const QString& path, int ready) {
    SettingsStore store(path);
    for (int round = 1;; ++round) {
        store.writeData("menuItems", roundBytes(round));
        store.writeBool("enabled", round % 2 == 0);
        if (round == 1 && write(ready, "!", 1) != 1)
            _exit(1);
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
    EXPECT_FALSE(next.readBool("assignedButton"));
    EXPECT_FALSE(next.readInteger("menuItems"));
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
        EXPECT_EQ(store.readBool("enabled").has_value(), valid) << text.toStdString();
        EXPECT_EQ(store.readInteger("assignedButton"), valid ? std::optional(7) : std::nullopt);
        EXPECT_EQ(store.readData("menuItems"), valid ? std::optional("[]") : std::nullopt);
    }
}

TEST_F(Store, AValueOfAnotherKindReadsAsItsTextInTheFile) {
    const QByteArray list = R"([{"id": "a", "label": "x"}, "b"])";
    writeFile("enabled=true\nmenuItems=" + list + "\n[Other]\nmenuItems=elsewhere\n");
    SettingsStore store(path());
    EXPECT_FALSE(store.readData("menuItems"));
    EXPECT_EQ(store.readStoredText("menuItems"), list.toStdString());
    EXPECT_FALSE(store.readStoredText("assignedButton"));
}

TEST_F(Store, UnreadableBytesAreKeptBesideWithoutReplacingEarlierOnesOrFailQuietly) {
    SettingsStore store(path());
    for (const char* bytes : {"first", "second", "third"})
        ASSERT_TRUE(store.keepUnreadable("menuItems", bytes));
    for (const auto& [name, bytes] : {std::pair{"", "first"}, {".1", "second"}, {".2", "third"}}) {
        QFile kept(path("menuItems.unreadable") + name);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes);
    }
    blockFolder();
    EXPECT_FALSE(store.keepUnreadable("menuItems", "bytes"));
    EXPECT_TRUE(store.lastFailure());
}

TEST_F(Store, EveryWriteWritesTheWholeStateAndMakesGoodOneThatFailed) {
    writeFile("[General]\nenabled=true\nassignedButton=4\nmenuItems=@ByteArray([])\n");
    SettingsStore store(path());
    blockFolder();
    store.writeBool("enabled", false);
    ASSERT_TRUE(store.lastFailure());
    EXPECT_NE(store.lastFailure()->find(path().toStdString()), std::string::npos);

    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("tavrin"))));
    store.writeInteger("assignedButton", 5);
    EXPECT_FALSE(store.lastFailure());
    SettingsStore next(path());
    EXPECT_EQ(next.readBool("enabled"), false);
    EXPECT_EQ(next.readInteger("assignedButton"), 5);
    EXPECT_EQ(next.readData("menuItems"), "[]");
}

// Every kill must leave the whole value of one round, and nothing once stored may go missing.
TEST_F(Store, AKilledWriterLeavesAWholeEarlierOrLaterState) {
    for (int kill = 0; kill < 60; ++kill) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0)
            writeUntilKilled(path(), ready[1]);
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the writer did not store its first round";
        close(ready[0]);
        usleep(static_cast<useconds_t>(kill) * 800); // kills spread over many rounds
        ::kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        // A kill between creating Qt's lock file and filling it stalls the next write for 30 s.
        QFile::remove(path("tavrin.conf.lock"));

        SettingsStore store(path());
        EXPECT_TRUE(store.readBool("enabled")) << "a stored switch was lost";
        const auto bytes = store.readData("menuItems");
        ASSERT_TRUE(bytes) << "a stored value was lost";
        ASSERT_EQ(*bytes, roundBytes(std::stoi(*bytes))) << "a torn value";
    }
}

#include "SettingsStore.h"

#include "ItemCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
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

// Stores lists whose labels all carry the round number, as fast as it can, until it is killed;
// tells the test once the first round is stored.
[[noreturn]] void writeUntilKilled(const QString& path, int ready) {
    SettingsStore store(path);
    for (int round = 1;; ++round) {
        const std::string label =
            "round " + std::to_string(round) + std::string(round % 7 * 40, '.');
        std::vector<MenuItem> items;
        for (int i = 0; i <= round % 5; ++i)
            items.push_back({Uuid::random(), label, PopupAction::insertText("t\u00E9xt")});
        store.writeData("menuItems", *itemCodec::encode(items));
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
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("tavrin"))).removeRecursively());
    QFile blocker(dir.filePath(QStringLiteral("tavrin"))); // a file where the folder belongs
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_FALSE(store.keepUnreadable("menuItems", "bytes"));
    EXPECT_TRUE(store.lastFailure());
}

TEST_F(Store, EveryWriteWritesTheWholeStateAndMakesGoodOneThatFailed) {
    writeFile("[General]\nenabled=true\nassignedButton=4\nmenuItems=@ByteArray([])\n");
    SettingsStore store(path());
    // The folder goes while the utility runs, then a plain file stands in its way.
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("tavrin"))).removeRecursively());
    QFile blocker(dir.filePath(QStringLiteral("tavrin")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    store.writeBool("enabled", false);
    ASSERT_TRUE(store.lastFailure());
    EXPECT_NE(store.lastFailure()->find(path().toStdString()), std::string::npos);

    ASSERT_TRUE(blocker.remove());
    store.writeInteger("assignedButton", 5);
    EXPECT_FALSE(store.lastFailure());
    SettingsStore next(path());
    EXPECT_EQ(next.readBool("enabled"), false);
    EXPECT_EQ(next.readInteger("assignedButton"), 5);
    EXPECT_EQ(next.readData("menuItems"), "[]");
}

// Every kill must leave a whole list of one round, and nothing once stored may go missing.
TEST_F(Store, AKilledWriterLeavesAWholeEarlierOrLaterState) {
    std::mt19937 random(std::random_device{}());
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
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 50000));
        ::kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        // A kill between creating Qt's lock file and filling it stalls the next write for 30 s.
        QFile::remove(path("tavrin.conf.lock"));

        SettingsStore store(path());
        EXPECT_TRUE(store.readBool("enabled")) << "a stored switch was lost";
        const auto bytes = store.readData("menuItems");
        ASSERT_TRUE(bytes) << "a stored list was lost";
        const auto decoded = itemCodec::decode(*bytes);
        const auto* items = std::get_if<std::vector<MenuItem>>(&decoded);
        ASSERT_TRUE(items) << "a broken list: " << *bytes;
        for (const auto& item : *items)
            ASSERT_EQ(item.label, items->front().label) << "a torn list: " << *bytes;
    }
}

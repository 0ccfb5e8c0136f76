#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using tavrin::SettingsStore;

namespace {

struct Store : ::testing::Test {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("tavrin/tavrin.conf")); }
    void writeFile(const QByteArray& text) {
        QDir().mkpath(dir.filePath(QStringLiteral("tavrin")));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

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

TEST_F(Store, UnreadableBytesAreKeptBesideWithoutReplacingEarlierOnesOrFailQuietly) {
    SettingsStore store(path());
    for (const char* bytes : {"first", "second", "third"})
        ASSERT_TRUE(store.keepUnreadable("menuItems", bytes));
    for (const auto& [name, bytes] : {std::pair{"", "first"}, {".1", "second"}, {".2", "third"}}) {
        QFile kept(dir.filePath(QStringLiteral("tavrin/menuItems.unreadable") + name));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes);
    }

    QTemporaryDir other;
    QFile blocker(other.filePath(QStringLiteral("tavrin"))); // a file where the folder belongs
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    SettingsStore blocked(other.filePath(QStringLiteral("tavrin/tavrin.conf")));
    blocked.writeBool("enabled", true);
    EXPECT_FALSE(blocked.keepUnreadable("menuItems", "bytes"));
}

TEST_F(Store, EveryWriteWritesTheWholeStateAndMakesGoodOneThatFailed) {
    writeFile("[General]\nenabled=true\nassignedButton=4\nmenuItems=@ByteArray([])\n");
    SettingsStore store(path());
    // The folder goes while the utility runs, then a plain file stands in its way.
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("tavrin"))).removeRecursively());
    QFile blocker(dir.filePath(QStringLiteral("tavrin")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
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

TEST_F(Store, AValueOfAnotherKindReadsAsItsTextInTheFile) {
    const QByteArray list = R"([{"id": "a", "label": "x"}, "b"])";
    writeFile("enabled=true\nmenuItems=" + list + "\n[Other]\nmenuItems=elsewhere\n");
    SettingsStore store(path());
    EXPECT_FALSE(store.readData("menuItems"));
    EXPECT_EQ(store.readStoredText("menuItems"), list.toStdString());
    EXPECT_FALSE(store.readStoredText("assignedButton"));
}

#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using tavrin::SettingsStore;

namespace {

struct StoreFixture : ::testing::Test {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("tavrin/tavrin.conf")); }
    void writeFile(const QByteArray& text) {
        QDir().mkpath(dir.filePath(QStringLiteral("tavrin")));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray fileText() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(StoreFixture, ValuesWrittenAreReadBackByTheNextRunWithTheirKinds) {
    const std::string json =
        R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","label":"a\/b é","action":{"insertText":{"_0":"x\ny"}}}])";
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
    EXPECT_TRUE(fileText().contains("enabled=false"));
    EXPECT_TRUE(fileText().contains("assignedButton=-1"));
}

TEST_F(StoreFixture, ValuesOfAnotherKindReadAsAbsent) {
    writeFile("[General]\n"
              "enabled=1\n"
              "assignedButton=4.5\n"
              "menuItems=\"[]\"\n");
    SettingsStore store(path());
    EXPECT_FALSE(store.readBool("enabled"));
    EXPECT_FALSE(store.readInteger("assignedButton"));
    EXPECT_FALSE(store.readData("menuItems"));
    EXPECT_FALSE(store.readBool("missing"));
}

TEST_F(StoreFixture, OnlyExactWordsAndWholeNumbersCount) {
    writeFile("[General]\nenabled=TRUE\nassignedButton=99999999999999999999\n");
    SettingsStore store(path());
    EXPECT_FALSE(store.readBool("enabled"));
    EXPECT_FALSE(store.readInteger("assignedButton"));

    writeFile("[General]\nenabled=false\nassignedButton=+7\nmenuItems=@ByteArray([])\n");
    SettingsStore again(path());
    EXPECT_EQ(again.readBool("enabled"), false);
    EXPECT_EQ(again.readInteger("assignedButton"), 7);
    EXPECT_EQ(again.readData("menuItems"), "[]");
}

TEST_F(StoreFixture, HostileFilesNeverCrashTheReader) {
    QByteArray hostile("[General]\nmenuItems=@ByteArray(");
    hostile += QByteArray(2 * 1024 * 1024, '[');
    hostile += "\nenabled=\xff\xfe\nassignedButton=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x12garbage)\n";
    hostile += QByteArray("\0\0\0[x]\n", 8);
    writeFile(hostile);
    SettingsStore store(path());
    EXPECT_FALSE(store.readBool("enabled"));
    EXPECT_FALSE(store.readInteger("assignedButton"));
    store.readData("menuItems");
}

TEST_F(StoreFixture, UnreadableBytesAreKeptWithoutReplacingEarlierOnes) {
    SettingsStore store(path());
    ASSERT_TRUE(store.keepUnreadable("menuItems", "first"));
    ASSERT_TRUE(store.keepUnreadable("menuItems", "second"));
    QFile first(dir.filePath(QStringLiteral("tavrin/menuItems.unreadable")));
    QFile second(dir.filePath(QStringLiteral("tavrin/menuItems.unreadable.1")));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), "first");
    EXPECT_EQ(second.readAll(), "second");
}

TEST_F(StoreFixture, AFolderThatCannotBeMadeFailsQuietly) {
    // A plain file where the folder should be stops even root from writing there.
    QFile blocker(dir.filePath(QStringLiteral("tavrin")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore store(path());
    store.writeBool("enabled", true);
    EXPECT_FALSE(store.keepUnreadable("menuItems", "bytes"));
    EXPECT_FALSE(QFileInfo::exists(path()));
}

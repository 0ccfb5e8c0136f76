#include "ItemCodec.h"
#include "SettingsStore.h"

#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// The writer stores lists whose labels all carry its round number until it is killed: every
// kill must leave a whole list of one round, and nothing once stored may go missing.
TEST(StoreUnderKill, EveryKillLeavesAWholeEarlierOrLaterState) {
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("tavrin/tavrin.conf")).toLocal8Bit();
    std::mt19937 random(std::random_device{}());
    bool listStored = false, switchStored = false;
    for (int kill = 0; kill < 60; ++kill) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            dup2(ready[1], STDOUT_FILENO);
            execl(TAVRIN_STORE_WRITER, TAVRIN_STORE_WRITER, path.constData(), nullptr);
            _exit(127);
        }
        close(ready[1]);
        char line[8];
        ASSERT_GT(read(ready[0], line, sizeof line), 0) << "the writer did not start";
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 100000));
        ::kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own";

        tavrin::SettingsStore store(QString::fromLocal8Bit(path));
        EXPECT_TRUE(store.readBool("enabled") || !switchStored) << "a stored switch was lost";
        switchStored = store.readBool("enabled").has_value();
        const auto bytes = store.readData("menuItems");
        ASSERT_TRUE(bytes || !listStored) << "a stored list was lost";
        if (!bytes)
            continue;
        const auto decoded = tavrin::itemCodec::decode(*bytes);
        const auto* items = std::get_if<std::vector<tavrin::MenuItem>>(&decoded);
        ASSERT_TRUE(items && !items->empty()) << "a broken list: " << *bytes;
        const auto round = [](const std::string& label) {
            return label.substr(0, label.find('.'));
        };
        for (const auto& item : *items)
            ASSERT_EQ(round(item.label), round(items->front().label)) << "a torn list: " << *bytes;
        listStored = true;
    }
    EXPECT_TRUE(listStored) << "no kill came after a write: the test proved nothing";
}

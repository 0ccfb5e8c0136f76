#include "ItemCodec.h"
#include "SettingsStore.h"

#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Each round's labels carry its number: a list mixing numbers was torn by a kill.
int roundOf(const std::vector<tavrin::MenuItem>& items) {
    int round = -1;
    for (const auto& item : items) {
        const int mine = std::stoi(item.label.substr(std::string("round ").size()));
        if (round != -1 && mine != round)
            return -1;
        round = mine;
    }
    return round;
}

} // namespace

TEST(StoreUnderKill, EveryKillLeavesAWholeEarlierOrLaterState) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tavrin/tavrin.conf"));
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delayUs(0, 100000);
    bool everStored = false;
    bool everStoredSwitch = false;
    constexpr int kills = 60;
    for (int kill = 0; kill < kills; ++kill) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(ready[1], STDOUT_FILENO);
            execl(TAVRIN_STORE_WRITER, TAVRIN_STORE_WRITER, path.toLocal8Bit().constData(),
                  nullptr);
            _exit(127);
        }
        close(ready[1]);
        char line[8] = {};
        ASSERT_GT(read(ready[0], line, sizeof line), 0) << "the writer did not start";
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own";

        tavrin::SettingsStore store(path);
        const bool switchStored = store.readBool("enabled").has_value();
        EXPECT_TRUE(switchStored || !everStoredSwitch) << "a stored switch was lost";
        everStoredSwitch = everStoredSwitch || switchStored;
        const auto bytes = store.readData("menuItems");
        if (!bytes) {
            EXPECT_FALSE(everStored) << "a list once stored was lost";
            continue;
        }
        const auto decoded = tavrin::itemCodec::decode(*bytes);
        const auto* items = std::get_if<std::vector<tavrin::MenuItem>>(&decoded);
        ASSERT_TRUE(items) << "broken list after kill " << kill << ": " << *bytes;
        ASSERT_GT(roundOf(*items), 0) << "a list mixing two states: " << *bytes;
        everStored = true;
    }
    EXPECT_TRUE(everStored) << "no kill came after a write: the test proved nothing";
}

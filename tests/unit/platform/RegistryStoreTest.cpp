#include <gtest/gtest.h>

#include <thread>

#include "platform/RegistryStore.h"
#include "support/TempDir.h"

using platform::RegistryHive;
using platform::RegistryStore;
using testsupport::ScopedEnv;
using testsupport::TempDir;

class RegistryStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv redirect{"ZEMBRA_REGISTRY_DIR", dir.str() + "/registry"};
};

TEST_F(RegistryStoreTest, ValuesRoundTripWithCaseInsensitiveNames) {
    EXPECT_TRUE(RegistryStore::CanOpenForAllAccess(RegistryHive::LocalMachine));
    EXPECT_FALSE(RegistryStore::ReadString(RegistryHive::LocalMachine, "SOFTWARE\\Quenrick", "GA_PC"));
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, "SOFTWARE\\Quenrick", "GA_PC", "abc"));
    EXPECT_EQ(RegistryStore::ReadString(RegistryHive::LocalMachine, "software\\quenrick", "ga_pc").value_or(""), "abc");
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, "Software\\QUENRICK", "Ga_Pc", "xyz"));
    EXPECT_EQ(RegistryStore::ReadString(RegistryHive::LocalMachine, "SOFTWARE\\Quenrick", "GA_PC").value_or(""), "xyz");
    EXPECT_TRUE(RegistryStore::KeyExists(RegistryHive::LocalMachine, "SOFTWARE\\quenrick"));
}

TEST_F(RegistryStoreTest, HivesAreSeparateFiles) {
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::CurrentUser, "Key", "Value", "user"));
    EXPECT_FALSE(RegistryStore::ReadString(RegistryHive::LocalMachine, "Key", "Value"));
    EXPECT_NE(RegistryStore::FileOf(RegistryHive::CurrentUser), RegistryStore::FileOf(RegistryHive::LocalMachine));
}

TEST_F(RegistryStoreTest, DeleteRemovesOnlyThatValue) {
    RegistryStore::WriteString(RegistryHive::LocalMachine, "K", "a", "1");
    RegistryStore::WriteString(RegistryHive::LocalMachine, "K", "b", "2");
    EXPECT_TRUE(RegistryStore::DeleteValue(RegistryHive::LocalMachine, "K", "A"));
    EXPECT_FALSE(RegistryStore::DeleteValue(RegistryHive::LocalMachine, "K", "a"));
    EXPECT_FALSE(RegistryStore::ReadString(RegistryHive::LocalMachine, "K", "a"));
    EXPECT_EQ(RegistryStore::ReadString(RegistryHive::LocalMachine, "K", "b").value_or(""), "2");
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNoValue) {
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([w] {
            for (int i = 0; i < 10; ++i)
                RegistryStore::WriteString(RegistryHive::LocalMachine, "Shared",
                                           "v" + std::to_string(w) + "_" + std::to_string(i), "x");
        });
    }
    for (auto& writer : writers) writer.join();
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < 10; ++i)
            EXPECT_TRUE(RegistryStore::ReadString(RegistryHive::LocalMachine, "Shared",
                                                  "v" + std::to_string(w) + "_" + std::to_string(i)));
}

TEST_F(RegistryStoreTest, CorruptStoreReadsAsEmptyAndIsRewritten) {
    dir.WriteFile("registry/hklm.json", "{ not json");
    EXPECT_FALSE(RegistryStore::ReadString(RegistryHive::LocalMachine, "K", "v"));
    EXPECT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, "K", "v", "1"));
    EXPECT_EQ(RegistryStore::ReadString(RegistryHive::LocalMachine, "K", "v").value_or(""), "1");
}

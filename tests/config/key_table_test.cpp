#include <cstring>
#include <set>
#include <string>
#include <gtest/gtest.h>

#include "config/key_table.h"
#include "test_support.h"

class KeyTable : public ::testing::Test {
protected:
    void SetUp() override { reset_conf(); }
};

TEST_F(KeyTable, EveryDefaultKeyReachesItsOwnAction)
{
    bind_default_keys();
    int bound = 0;
    for (int action = 1; action < action_count; action++) {
        const char *key = key_table[action].default_key;
        if (key == nullptr)
            continue;
        bound++;
        EXPECT_STREQ(conf.keys[action], key) << "action " << action;
        EXPECT_EQ(action_by_key_name(key), action) << "shadowed default " << key;
    }
    EXPECT_EQ(bound, 62);
    EXPECT_EQ(action_by_key_name("q"), 1);
    EXPECT_EQ(action_by_key_name("Q"), 63);
    EXPECT_EQ(action_by_key_name("\\"), 2);
    EXPECT_EQ(action_by_key_name(")"), 50);
    EXPECT_EQ(action_by_key_name("PGDOWN"), 13);
    EXPECT_EQ(action_by_key_name("SPACE"), 0);
    EXPECT_EQ(action_by_key_name("pgdown"), 0) << "names are case-sensitive";
    EXPECT_EQ(action_by_key_name("PGDOW"), 0) << "whole text only";
    EXPECT_STREQ(conf.keys[3], "") << "Play is never bound";
}

TEST_F(KeyTable, DisplayNamesFillEveryRow)
{
    fill_display_names();
    EXPECT_STREQ(conf.key_names[0], "NULL");
    EXPECT_STREQ(conf.key_names[3], "Play");
    EXPECT_STREQ(conf.key_names[10], "Volume +");
    EXPECT_STREQ(conf.key_names[20], "Get string and load2");
    EXPECT_STREQ(conf.key_names[63], "Core quit");
    for (int action = 0; action < action_count; action++) {
        EXPECT_GT(strlen(conf.key_names[action]), 0u) << action;
        EXPECT_STREQ(conf.key_names[action], key_table[action].display_name);
    }
}

TEST_F(KeyTable, ConfigurationKeysMapBothWays)
{
    std::set<std::string> seen;
    for (int action = 1; action < action_count; action++) {
        const char *key = key_table[action].config_key;
        if (key == nullptr)
            continue;
        EXPECT_TRUE(seen.insert(key).second) << "duplicate " << key;
        EXPECT_EQ(action_by_config_key(key), action) << key;
    }
    EXPECT_EQ(seen.size(), 62u);
    EXPECT_EQ(key_table[0].config_key, nullptr);
    EXPECT_EQ(key_table[3].config_key, nullptr);
    EXPECT_EQ(key_table[3].default_key, nullptr);

    EXPECT_EQ(action_by_config_key("k_go_shortcuts"), 28);
    EXPECT_EQ(action_by_config_key("k_gorootmenu"), 28);
    EXPECT_EQ(action_by_config_key("k_corequit"), 63);
    EXPECT_EQ(action_by_config_key("K_quit"), 0);
    EXPECT_EQ(action_by_config_key("k_quit "), 0);
    EXPECT_EQ(action_by_config_key(""), 0);
    EXPECT_EQ(action_by_config_key("debug"), 0);
    EXPECT_STREQ(key_table[0].display_name, "NULL");
}

TEST_F(KeyTable, BindingKeepsAtMostSevenCharacters)
{
    bind_key(4, "ABCDEFGH");
    EXPECT_STREQ(conf.keys[4], "ABCDEFG");
    bind_key(5, "ABCDEFG");
    EXPECT_STREQ(conf.keys[5], "ABCDEFG");
    EXPECT_EQ(action_by_key_name("ABCDEFGH"), 0);
    EXPECT_EQ(action_by_key_name("ABCDEFG"), 4);

    bind_key(0, "x");
    bind_key(64, "x");
    EXPECT_STREQ(conf.keys[0], "") << "the null action takes no key";
    EXPECT_EQ(action_by_key_name("x"), 0);
}

TEST_F(KeyTable, ClearingUnbindsEverything)
{
    bind_default_keys();
    clear_bindings();
    for (int action = 0; action < action_count; action++)
        EXPECT_STREQ(conf.keys[action], "") << action;
    EXPECT_EQ(action_by_key_name("q"), 0);
    // Exact comparison: the empty name equals the key of the lowest unbound action.
    EXPECT_EQ(action_by_key_name(""), 1);
    bind_default_keys();
    EXPECT_EQ(action_by_key_name(""), 3);
}

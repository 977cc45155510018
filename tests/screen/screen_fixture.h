// Shared pieces of the screen tests: a fresh record per test, and list entries built directly in
// conf.list so that the screen is tested without the list-building code.
#pragma once

#include <deque>
#include <gtest/gtest.h>
#include <string>

#include "test_support.h"

struct screen_test : ::testing::Test {
    std::deque<list_entry> entries;
    std::deque<std::string> names;

    void SetUp() override { reset_conf(); }
    void TearDown() override
    {
        close_test_screen();
        conf.list.dmt = 0;
    }

    // Puts one entry at the next position of the list; type negative for a directory.
    list_entry &add(const std::string &name, int type = 0)
    {
        names.push_back(name);
        list_entry &e = entries.emplace_back();
        char *text = names.back().data();
        e.text[0] = e.text[1] = e.text[2] = text;
        e.type = type;
        conf.list.index[conf.list.dmt++] = &e;
        return e;
    }

    // count files named "entry <n>".
    void fill(int count)
    {
        for (int i = 0; i < count; i++)
            add("entry " + std::to_string(i));
    }
};

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "list/entry_list.h"
#include "screen/listview.h"
#include "test_support.h"

namespace {

class EntryListTest : public ::testing::Test {
protected:
    void SetUp() override { reset_conf(); }

    // Texts of the joined chain, walked both ways, checked against the index.
    static std::vector<std::string> joined_texts()
    {
        std::vector<std::string> texts;
        const entry_list &list = conf.list;
        list_entry *previous = nullptr;
        for (list_entry *e = list.dir_head; e != nullptr; e = e->next) {
            EXPECT_EQ(e->prev, previous);
            EXPECT_EQ(list.index[texts.size()], e);
            texts.emplace_back(e->text[0]);
            previous = e;
        }
        EXPECT_EQ(list.dir_tail, previous);
        EXPECT_EQ((int)texts.size(), list.dmt);
        return texts;
    }
};

using Texts = std::vector<std::string>;

TEST_F(EntryListTest, DirectoriesComeBeforeFilesInArrivalOrder)
{
    init_list();
    add_entry(0, "a");
    add_entry(-1, "X");
    add_entry(3, "b");
    add_entry(-1, "Y");
    EXPECT_EQ(conf.list.dmt, 2);
    EXPECT_EQ(conf.list.fmt, 2);
    finalize_list();
    EXPECT_EQ(joined_texts(), (Texts{"X", "Y", "a", "b"}));
    EXPECT_EQ(conf.list.dmt, 4);
    EXPECT_EQ(conf.list.fmt, 0);
    EXPECT_EQ(conf.list.file_head, nullptr);
    EXPECT_EQ(conf.list.file_tail, nullptr);
    EXPECT_EQ(conf.list.cur, 0);
    EXPECT_EQ(conf.list.index[4], nullptr);
}

TEST_F(EntryListTest, AListOfOnlyFiles)
{
    add_entry(1, "one");
    add_entry(1, "two");
    add_entry(0, "three");
    finalize_list();
    EXPECT_EQ(joined_texts(), (Texts{"one", "two", "three"}));
}

TEST_F(EntryListTest, TheIndexMatchesTheChainForEveryShortLength)
{
    for (int n = 0; n < 12; n++) {
        Texts expected_dirs, expected_files;
        for (int i = 0; i < n; i++) {
            std::string text = std::to_string(i);
            bool directory = (i * 7) % 3 == 0;
            add_entry(directory ? -1 : 1, text.c_str());
            (directory ? expected_dirs : expected_files).push_back(text);
        }
        finalize_list();
        expected_dirs.insert(expected_dirs.end(), expected_files.begin(), expected_files.end());
        EXPECT_EQ(joined_texts(), expected_dirs) << n;
        EXPECT_EQ(conf.list.index[n], nullptr) << n;
        free_list();
    }
}

// Counts that disagree with the chains (written by someone else) must not put an entry into the
// index twice, leave stale slots, or make freeing miss or repeat an entry (the sanitizer build
// reports either).
TEST_F(EntryListTest, CountsThatDisagreeWithTheChainsAreSurvived)
{
    add_entry(1, "a");
    add_entry(1, "b");
    add_entry(1, "c");
    conf.list.fmt = 5;
    finalize_list();
    EXPECT_STREQ(conf.list.index[0]->text[0], "a");
    EXPECT_STREQ(conf.list.index[1]->text[0], "b");
    EXPECT_STREQ(conf.list.index[2]->text[0], "c");
    EXPECT_EQ(conf.list.index[3], nullptr);
    EXPECT_EQ(conf.list.index[4], nullptr);
    conf.list.dmt = 2;
    free_list();
    EXPECT_EQ(conf.list.index[0], nullptr);
    EXPECT_EQ(conf.list.index[2], nullptr);

    add_entry(-1, "d");
    add_entry(1, "f");
    conf.list.dmt = 0;
    free_list();
    EXPECT_EQ(conf.list.dir_head, nullptr);
    EXPECT_EQ(conf.list.file_head, nullptr);
}

TEST_F(EntryListTest, EntriesOwnAPrivateCopySharedByThePathModes)
{
    char text[] = "Music/a, b, c.ogg";
    list_entry *e = add_entry(2, text);
    ASSERT_NE(e, nullptr);
    text[0] = 'X';
    EXPECT_STREQ(e->text[0], "Music/a, b, c.ogg");
    EXPECT_EQ(e->text[1], e->text[0]);
    EXPECT_EQ(e->text[2], e->text[0]);
    EXPECT_EQ(e->type, 2);
}

TEST_F(EntryListTest, AListEndWithoutAStartFinalizesWhatTheChainsHold)
{
    add_entry(1, "f1");
    add_entry(-1, "d1");
    finalize_list();
    add_entry(1, "f2");
    add_entry(-1, "d2");
    finalize_list();
    EXPECT_EQ(joined_texts(), (Texts{"d1", "f1", "d2", "f2"}));
}

TEST_F(EntryListTest, ANewListLeavesNoSlotPointingAtAFreedEntry)
{
    for (int i = 0; i < 5; i++)
        add_entry(i % 2 ? -1 : 1, "old");
    finalize_list();
    conf.list.cur = 3;
    conf.list.pos = 4;
    conf.list.top = 2;
    init_list();
    for (int p = 0; p < 5; p++)
        EXPECT_EQ(conf.list.index[p], nullptr) << p;
    EXPECT_EQ(conf.list.cur, 0);
    EXPECT_EQ(conf.list.pos, 0);
    EXPECT_EQ(conf.list.top, 2);
    EXPECT_EQ(conf.list.dir_head, nullptr);
    EXPECT_EQ(conf.list.file_head, nullptr);
}

// A key, a click or a resize may redraw the list between LIST_START and LIST_END; under the
// sanitizers a read of a freed entry would end the test.
TEST_F(EntryListTest, ADrawWhileANewListLoadsReadsNoFreedEntry)
{
    open_test_screen(24, 80);
    for (int i = 0; i < 30; i++)
        add_entry(i % 4 == 0 ? -1 : 1, "old entry");
    finalize_list();
    init_list();
    add_entry(-1, "new directory");
    add_entry(-1, "another directory");
    add_entry(2, "new file");
    draw_list();
    EXPECT_EQ(conf.list.index[0], nullptr);
    EXPECT_EQ(conf.list.index[1], nullptr);
    finalize_list();
    EXPECT_STREQ(conf.list.index[2]->text[0], "new file");
    close_test_screen();
}

TEST_F(EntryListTest, TheListHoldsAtMostTheIndexCapacity)
{
    for (int i = 0; i < list_capacity; i++)
        ASSERT_NE(add_entry(i % 3 == 0 ? -1 : 0, "e"), nullptr);
    EXPECT_EQ(add_entry(-1, "over"), nullptr);
    EXPECT_EQ(add_entry(0, "over"), nullptr);
    EXPECT_EQ(conf.list.dmt + conf.list.fmt, list_capacity);
    int dirs = conf.list.dmt;
    finalize_list();
    ASSERT_EQ(conf.list.dmt, list_capacity);
    int counted = 0;
    for (list_entry *e = conf.list.dir_head; e != nullptr; e = e->next)
        counted++;
    EXPECT_EQ(counted, list_capacity);
    EXPECT_EQ(conf.list.index[0], conf.list.dir_head);
    EXPECT_EQ(conf.list.index[dirs - 1]->type, -1);
    EXPECT_EQ(conf.list.index[dirs]->type, 0);
    EXPECT_EQ(conf.list.index[list_capacity - 1], conf.list.dir_tail);
    // A full list that ends again without a new start stays full.
    EXPECT_EQ(add_entry(0, "over"), nullptr);
    finalize_list();
    EXPECT_EQ(conf.list.dmt, list_capacity);
}

} // namespace

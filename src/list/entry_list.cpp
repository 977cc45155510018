#include "list/entry_list.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "base/log.h"

// Refused entries are counted up to where the count of all entries still fits an int.
static constexpr int refused_limit = INT_MAX - list_capacity;

list_entry *add_entry(int type, const char *text)
{
    entry_list &list = conf.list;
    // The index addresses list_capacity positions: what does not fit there is refused.
    if (list.dmt + list.fmt >= list_capacity) {
        if (list.refused < refused_limit)
            list.refused++;
        if (conf.debug >= 9)
            dlog(9, "add_entry: list full, dropped type: %d, path: [%s]", type, text);
        return nullptr;
    }
    bool directory = type < 0;
    list_entry *entry = directory ? baddu(&list.dir_head, &list.dir_tail, type, text)
                                  : baddu(&list.file_head, &list.file_tail, type, text);
    if (entry == nullptr)
        return nullptr;
    if (directory)
        list.dmt++;
    else
        list.fmt++;
    return entry;
}

list_entry *baddu(list_entry **head, list_entry **tail, int type, const char *text)
{
    // One line per entry: only format it when it will be written.
    if (conf.debug >= 9)
        dlog(9, "baddu: type: %d, path: [%s]", type, text);
    list_entry *entry = (list_entry *)calloc(1, sizeof *entry);
    if (entry == nullptr)
        return nullptr;
    size_t length = strlen(text);
    char *copy = (char *)malloc(length + 1);
    if (copy == nullptr) {
        free(entry);
        return nullptr;
    }
    memcpy(copy, text, length + 1);
    for (char *&slot : entry->text)
        slot = copy;
    entry->type = type;
    if (*head == nullptr)
        *head = entry;
    if (*tail != nullptr) {
        (*tail)->next = entry;
        entry->prev = *tail;
    }
    *tail = entry;
    return entry;
}

void init_list()
{
    // The line keeps its empty title field: the name of a list comes in a message of its own.
    dlog(8, "init_list: ln:[]");
    free_list();
    conf.list.cur = 0;
    conf.list.pos = 0;
}

void finalize_list()
{
    dlog(8, "finalize_list");
    sort_join_index_df();
}

namespace {

// Stores the chain from head to tail at index[from..from + count), walking in from both ends at
// once: the two series of dependent loads overlap, which halves the wait on memory for a long
// list. False when the chain does not hold exactly count entries.
bool store_chain(list_entry *head, list_entry *tail, int from, int count)
{
    if (count <= 0 || head == nullptr)
        return count == 0 && head == nullptr;
    if (from + count > list_capacity)
        return false;
    list_entry **index = conf.list.index;
    for (int low = from, high = from + count - 1; low <= high && head && tail; low++, high--) {
        index[low] = head;
        if (head == tail)
            return low == high;
        index[high] = tail;
        if (head->next == tail)
            return low + 1 == high;
        head = head->next;
        tail = tail->prev;
    }
    return false;
}

// Stores the chain from head at index from position `from`, one step at a time; returns the
// position after it.
int gather_chain(list_entry *head, int from)
{
    int p = from;
    for (list_entry *e = head; e != nullptr && p < list_capacity; e = e->next)
        conf.list.index[p++] = e;
    return p;
}

// Puts the directory chain and after it the file chain into index; returns the entry count.
int index_chains()
{
    entry_list &list = conf.list;
    if (store_chain(list.dir_head, list.dir_tail, 0, list.dmt) &&
        store_chain(list.file_head, list.file_tail, list.dmt, list.fmt))
        return list.dmt + list.fmt;
    // The counts disagree with the chains: forget what was stored and follow the links.
    int stored = std::clamp(list.dmt, 0, list_capacity) + std::clamp(list.fmt, 0, list_capacity);
    memset(list.index, 0, (size_t)std::min(stored, list_capacity) * sizeof list.index[0]);
    return gather_chain(list.file_head, gather_chain(list.dir_head, 0));
}

void free_entry(list_entry *e)
{
    free(e->text[0]);
    free(e);
}

// Frees entries[0..count), highest address first. The allocator hands freed blocks out again
// last-in first-out, so the next list gets them in rising address order: its entries lie in
// memory in arrival order, and walking a long list stays cache-friendly instead of scattering
// a little more with every list that is loaded.
void free_highest_first(list_entry **entries, int count)
{
    std::greater<list_entry *> higher;
    int second = count;
    int drops = 0;
    for (int i = 1; i < count; i++) {
        if (higher(entries[i - 1], entries[i])) {
            drops++;
            second = drops == 1 ? i : second;
        }
    }
    if (drops > 1) {
        std::sort(entries, entries + count, higher);
        for (int i = 0; i < count; i++)
            free_entry(entries[i]);
        return;
    }
    // The usual case: two rising runs, directories then files, merged from their ends.
    int a = second - 1;
    int b = count - 1;
    while (a >= 0 || b >= second) {
        bool take_a = b < second || (a >= 0 && higher(entries[a], entries[b]));
        free_entry(entries[take_a ? a-- : b--]);
    }
}

// The number of entries when index[0..dmt) already holds the whole list in chain order, as
// finalize_list leaves it; -1 otherwise. Reads the entries through the index, so the loads do
// not wait on each other as a walk along the links does.
int indexed_count()
{
    const entry_list &list = conf.list;
    int n = list.dmt;
    if (list.file_head != nullptr || list.dir_head == nullptr || n <= 0 || n > list_capacity ||
        list.index[0] != list.dir_head || list.index[n - 1] != list.dir_tail)
        return -1;
    for (int i = 0; i + 1 < n; i++)
        if (list.index[i + 1] == nullptr || list.index[i]->next != list.index[i + 1])
            return -1;
    return list.dir_tail->next == nullptr ? n : -1;
}

} // namespace

void sort_join_index_df()
{
    entry_list &list = conf.list;
    dlog(8, "sort_join_index_df");
    index_chains();
    list.cur = 0;
    dlog(8, "sjidf: dmt:%d, fmt:%d", list.dmt, list.fmt);
    if (list.file_head != nullptr) {
        if (list.dir_head == nullptr) {
            list.dir_head = list.file_head;
            list.dmt = list.fmt;
        } else {
            list.dir_tail->next = list.file_head;
            list.file_head->prev = list.dir_tail;
            list.dmt += list.fmt;
        }
        list.dir_tail = list.file_tail;
        list.file_head = nullptr;
        list.file_tail = nullptr;
        list.fmt = 0;
    }
    dlog(8, "sjidf2: dmt:%d, fmt:%d", list.dmt, list.fmt);
}

void free_list()
{
    entry_list &list = conf.list;
    int count = indexed_count();
    if (count < 0)
        count = gather_chain(list.file_head, gather_chain(list.dir_head, 0));
    free_highest_first(list.index, count);
    // Every slot ever filled held one of these entries, so this leaves no slot pointing at a
    // freed entry for a draw before the next list is finalized.
    memset(list.index, 0, (size_t)count * sizeof list.index[0]);
    list.dir_head = nullptr;
    list.dir_tail = nullptr;
    list.file_head = nullptr;
    list.file_tail = nullptr;
    list.dmt = 0;
    list.fmt = 0;
    list.refused = 0;
}

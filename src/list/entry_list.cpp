#include "list/entry_list.h"

#include <cstdlib>
#include <cstring>

#include "app/dlog.h"
#include "app/util.h"
#include "screen/listview.h"
#include "screen/panel.h"

list_entry *add_entry(int type, const char *text)
{
    entry_list &list = conf.list;
    // The index addresses list_capacity positions: what does not fit there is refused.
    if (list.dmt + list.fmt >= list_capacity) {
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
    zt_strncpy(copy, text, length);
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

void init_list(const char *title)
{
    dlog(8, "init_list: ln:[%s]", title ? title : "");
    if (title != nullptr)
        set_list_title(title);
    free_list();
    conf.list.cur = 0;
    conf.list.pos = 0;
}

void finalize_list()
{
    dlog(8, "finalize_list");
    sort_join_index_df();
}

// Fills index from position `from` with the chain from head; returns the next free position.
static int index_chain(list_entry *head, int from)
{
    int p = from;
    for (list_entry *e = head; e != nullptr && p < list_capacity; e = e->next)
        conf.list.index[p++] = e;
    return p;
}

void sort_join_index_df()
{
    entry_list &list = conf.list;
    dlog(8, "sort_join_index_df");
    index_chain(list.file_head, index_chain(list.dir_head, 0));
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
    scrollto(list.cur, 1);
}

void free_chain(list_entry **head, list_entry **tail)
{
    list_entry *next = nullptr;
    for (list_entry *e = *head; e != nullptr; e = next) {
        next = e->next;
        e->next = nullptr;
        free(e->alt_text[0]);
        free(e->text[0]);
        free(e);
    }
    *head = nullptr;
    *tail = nullptr;
}

void free_list()
{
    entry_list &list = conf.list;
    // Slots past the filled positions are always empty, so clearing the first dmt is enough and
    // leaves no slot pointing at a freed entry for a draw before the next list is finalized.
    int used = list.dmt < list_capacity ? list.dmt : list_capacity;
    if (used > 0)
        memset(list.index, 0, (size_t)used * sizeof list.index[0]);
    free_chain(&list.dir_head, &list.dir_tail);
    free_chain(&list.file_head, &list.file_tail);
    list.dmt = 0;
    list.fmt = 0;
}

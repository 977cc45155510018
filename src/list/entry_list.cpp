#include "list/entry_list.h"
// stand-in until the list is built
list_entry *add_entry(int, const char *) { return nullptr; }
list_entry *baddu(list_entry **, list_entry **, int, const char *) { return nullptr; }
void init_list(const char *) {}
void finalize_list() {}
void sort_join_index_df() {}
void free_chain(list_entry **, list_entry **) {}
void free_list() {}

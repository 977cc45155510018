#pragma once

#include "conf.h"

// Appends one list line's entry to the directory or file chain; none when refused.
list_entry *add_entry(int type, const char *text);
// Builds one entry and appends it to the chain given by head and tail.
list_entry *baddu(list_entry **head, list_entry **tail, int type, const char *text);
// Start of a new list: frees the old one, cursor and current entry to 0.
void init_list();
// End of a list: joins the chains, builds the index and makes entry 0 the current one. The list
// draws nothing: the caller scrolls to the current entry.
void finalize_list();
// Joins directories and files into one chain, builds the index, current entry to 0.
void sort_join_index_df();
void free_list();

// What a client is sent, in order: lines ready to go, a listing formatted as the socket takes it,
// and the lines that came up during the listing, held until it ends.
#pragma once

#include <cstddef>

#include "sim_core.h"

// Queues one line (a newline is added); a client that cannot take it is marked to be dropped.
void sim_emit(sim_client &client, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Queues the current list for the client: LIST_START, one line per entry, LIST_END.
void sim_begin_list(sim_client &client);
// Moves as much of the listing and the held lines into the outbox as fits.
void sim_fill(const sim_core &core, sim_client &client);
// True when anything is left to send.
bool sim_has_output(const sim_client &client);
// Drops the first n bytes of the outbox once the socket has taken them.
void sim_consume(sim_client &client, size_t n);

#pragma once

// One connection attempt and the "EHLO %d" greeting; called once at start-up.
void connectto();
// Resolves host and connects a non-blocking TCP socket within about 5 s; -1 on failure.
int mkconn(const char *host, int port);
// Sends one command line with one send(); logs it, drops it without a connection.
void say(const char *text);
// Reads once from fd and hands every complete line to parse_line; 0 when nothing was read.
int handle_data(int fd);
// Tears the connection down after the core announced that it quits.
void disconnect();
// The socket the loop waits on: -1 without a connection and once the core has ended the stream.
int watched_socket();

struct link_state;
// Receives one complete line: writable, terminated in place of its "\n", length without it.
using line_sink = void (*)(char *line, int length);
// Framing of one read: count new bytes lie in rxbuf right behind the carry_len carried ones.
// Puts the carried bytes in front, hands every complete line to sink in order, and keeps the
// unfinished tail (at most rx_fill_limit bytes, terminated) in carry. While the rest of a line
// too long for the buffer is being skipped, bytes up to its newline are dropped. No I/O.
void split_received(link_state &link, int count, line_sink sink);

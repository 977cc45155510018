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

#include "link/conn.h"
// stand-in until the connection is built
void connectto() {}
int mkconn(const char *, int) { return -1; }
void say(const char *) {}
int handle_data(int) { return 0; }
void disconnect() {}

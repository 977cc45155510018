// The keys a terminal type sends, as its terminal description defines them.
#pragma once

#include <string>
#include <vector>

struct terminal_key {
    std::string name;   // the capability ("kcuu1", "kLFT5", ...) or a description of the sequence
    std::string bytes;
};

// Every key capability of the type (extended ones included), with the bytes it sends.
std::vector<terminal_key> terminfo_keys(const std::string &type);

// A string capability of the type (extended ones included); "" where it has none.
std::string terminfo_string(const std::string &type, const char *name);

// Bytes with escape and control characters spelled out, for failure messages.
std::string spelled(const std::string &bytes);

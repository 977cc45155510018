// Apart from the other test files: the terminal description's header defines many short macros.
#include "terminfo_keys.h"

#include <cstdio>
#include <curses.h>
#include <regex>
#include <term.h>

namespace {

// The names of the key capabilities, from infocmp; the bytes come from the library itself, so
// that no escaping of infocmp's has to be undone here.
std::vector<std::string> key_capability_names(const std::string &type)
{
    std::vector<std::string> names;
    std::string command = "infocmp -1 -x '" + type + "' 2>/dev/null";
    FILE *listing = popen(command.c_str(), "r");
    if (listing == nullptr)
        return names;
    static const std::regex key_line("^\\s+(k[A-Za-z0-9]+)=");
    char line[1024];
    std::cmatch match;
    while (fgets(line, sizeof line, listing) != nullptr)
        if (std::regex_search(line, match, key_line))
            names.push_back(match[1].str());
    pclose(listing);
    return names;
}

} // namespace

std::vector<terminal_key> terminfo_keys(const std::string &type)
{
    std::vector<terminal_key> keys;
    std::vector<std::string> names = key_capability_names(type);
    int error = 0;
    if (names.empty() || setupterm(type.c_str(), 1, &error) != OK)
        return keys;
    for (const std::string &name : names) {
        const char *bytes = tigetstr(name.c_str());
        if (bytes != nullptr && bytes != (char *)-1 && bytes[0] != '\0')
            keys.push_back({name, bytes});
    }
    del_curterm(cur_term);
    return keys;
}

std::string terminfo_string(const std::string &type, const char *name)
{
    int error = 0;
    if (setupterm(type.c_str(), 1, &error) != OK)
        return "";
    const char *text = tigetstr(name);
    std::string found = text != nullptr && text != (char *)-1 ? text : "";
    del_curterm(cur_term);
    return found;
}

std::string spelled(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x1b)
            out += "\\E";
        else if (c < 0x20)
            out += "^" + std::string(1, (char)(c + '@'));
        else if (c == 0x7f)
            out += "^?";
        else
            out += (char)c;
    }
    return out;
}

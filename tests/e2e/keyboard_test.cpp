// Every key a real terminal sends, for the terminal types people use: the bytes of each key its
// terminal description defines, and xterm's modified keys that the description may not know,
// typed into the client with the default bindings. Each key must send exactly the command of the
// action it is bound to, or nothing, and only the bound movement keys may move the cursor.
#include <gtest/gtest.h>

#include "session_fixture.h"
#include "terminfo_keys.h"

namespace {

constexpr int rows = 24;
constexpr int cols = 80;
constexpr int lh = rows - 5;
constexpr int entries = 400;
constexpr int start = 200;
// Typed after every key: once the core hears it, the key before it has been handled and drawn.
constexpr const char *sentinel_key = "r";
constexpr const char *sentinel_command = "TOGGLE REPEAT";

enum class effect { nothing, up, down, page_up, page_down, top, bottom, go_parent, load };

// What the default bindings make of the keys that have a binding; every other key does nothing.
constexpr struct {
    const char *capability;
    effect what;
} bound_keys[] = {
    {"kcuu1", effect::up},       {"kcud1", effect::down},  {"kpp", effect::page_up},
    {"knp", effect::page_down},  {"khome", effect::top},   {"kend", effect::bottom},
    {"kcub1", effect::go_parent}, {"kcuf1", effect::load}, {"kent", effect::load},
};

effect effect_of(const std::string &capability)
{
    for (const auto &key : bound_keys)
        if (capability == key.capability)
            return key.what;
    return effect::nothing;
}

int position_after(effect what)
{
    switch (what) {
    case effect::up: return start - 1;
    case effect::down: return start + 1;
    case effect::page_up: return start - lh;
    case effect::page_down: return start + lh;
    case effect::top: return 0;
    case effect::bottom: return entries - 1;
    default: return start;
    }
}

std::string command_of(effect what)
{
    switch (what) {
    case effect::go_parent: return "GO_PARENT";
    case effect::load: return "LOAD " + std::to_string(start);
    default: return "";
    }
}

// Bytes the terminal driver acts on itself (interrupt, suspend, flow control): never keys.
bool driver_character(const std::string &bytes)
{
    return bytes.size() == 1 && std::string("\x03\x11\x13\x19\x1a\x1c").find(bytes[0]) !=
                                    std::string::npos;
}

// xterm's keys with Shift, Alt and Ctrl (modifier codes 2 to 8): cursor keys, Home, End and
// F1-F4 as "CSI 1 ; m X", the editing keys and F5-F12 as "CSI n ; m ~".
std::vector<terminal_key> xterm_modified_keys()
{
    std::vector<terminal_key> keys;
    for (int m = 2; m <= 8; m++) {
        for (char final : std::string("ABCDHFPQRS"))
            keys.push_back({"xterm modified", "\x1b[1;" + std::to_string(m) + final});
        for (int n : {2, 3, 5, 6, 15, 17, 18, 19, 20, 21, 23, 24})
            keys.push_back({"xterm modified",
                            "\x1b[" + std::to_string(n) + ";" + std::to_string(m) + "~"});
    }
    return keys;
}

// What tmux, screen, rxvt and the consoles send for keypad Enter, Home and End, whatever the
// terminal type says.
const std::vector<terminal_key> alternate_keys{
    {"kent", "\x1bOM"},   {"khome", "\x1b[1~"}, {"khome", "\x1b[7~"}, {"khome", "\x1b[H"},
    {"khome", "\x1bOH"}, {"kend", "\x1b[4~"},  {"kend", "\x1b[8~"},  {"kend", "\x1b[F"},
    {"kend", "\x1bOF"},
};

// The terminal's own keys first, so that a sequence it defines is judged by its capability.
std::vector<terminal_key> keys_to_try(const std::string &type)
{
    std::vector<terminal_key> keys;
    std::vector<terminal_key> all = terminfo_keys(type);
    std::vector<terminal_key> modified = xterm_modified_keys();
    all.insert(all.end(), alternate_keys.begin(), alternate_keys.end());
    all.insert(all.end(), modified.begin(), modified.end());
    for (const terminal_key &key : all) {
        bool seen = false;
        for (const terminal_key &kept : keys)
            seen = seen || kept.bytes == key.bytes;
        if (!seen && key.name != "kmous" && !driver_character(key.bytes))
            keys.push_back(key);
    }
    return keys;
}

class Keyboard : public ScriptedCore<::testing::TestWithParam<const char *>> {
protected:
    // The entry under the cursor, by the number in its text; -1 when no row shows the cursor.
    int cursor_entry()
    {
        for (int i = 0; i < lh; i++)
            if (vt_cell_at(client.term, 1 + i, 2).style.reverse)
                return atoi(list_text(client.term, i).c_str() + 6);
        return -1;
    }

    void show_list()
    {
        std::string lines = "LIST_START=" + std::to_string(entries) + "\n";
        for (int i = 0; i < entries; i++) {
            char line[64];
            snprintf(line, sizeof line, "NAM%d]=0,entry-%03d\n", i, i);
            lines += line;
        }
        ASSERT_TRUE(peer_send(peer, lines + "LIST_END\n"));
    }

    void put_cursor_on_start()
    {
        if (cursor_entry() == start)
            return;
        ASSERT_TRUE(peer_send(peer, "CUR=" + std::to_string(start) + "\n"));
        ASSERT_TRUE(wait_until(client, [&] { return cursor_entry() == start; }, 5000));
    }

    void try_key(const terminal_key &key)
    {
        ASSERT_NO_FATAL_FAILURE(put_cursor_on_start());
        effect what = effect_of(key.name);
        std::string context = key.name + " " + spelled(key.bytes);
        size_t from = peer.received.size();
        type(client, key.bytes + sentinel_key);
        ASSERT_TRUE(wait_for_command(client, peer, sentinel_command, from)) << context;
        EXPECT_EQ(peer.received.substr(from), command_of(what) + sentinel_command) << context;
        pump(client, 0);
        EXPECT_EQ(cursor_entry(), position_after(what)) << context;
    }
};

TEST_P(Keyboard, EveryKeySendsItsBoundCommandOrNothing)
{
    std::vector<terminal_key> keys = keys_to_try(GetParam());
    ASSERT_GT(keys.size(), 150u) << "no terminal description for " << GetParam();
    client.terminal_type = GetParam();
    ASSERT_NO_FATAL_FAILURE(start_and_greet(rows, cols));
    ASSERT_NO_FATAL_FAILURE(show_list());
    for (const terminal_key &key : keys)
        ASSERT_NO_FATAL_FAILURE(try_key(key));
    EXPECT_FALSE(client.exited);
}

INSTANTIATE_TEST_SUITE_P(TerminalTypes, Keyboard,
                         ::testing::Values("xterm", "xterm-256color", "screen-256color",
                                           "tmux-256color", "linux", "vt220", "rxvt-unicode"),
                         terminal_test_name);

// Pasted text, between the paste markers or in one burst where the terminal type has none, runs
// no command outside the prompt and is only text inside it; the terminal is in bracketed-paste
// mode exactly while the client runs, where its description has the switches.
class Paste : public ScriptedCore<::testing::TestWithParam<const char *>> {
protected:
    std::string sent_since(size_t from) { return peer.received.substr(from); }
};

TEST_P(Paste, PastedTextRunsNoCommand)
{
    client.terminal_type = GetParam();
    client.keep_output = true;
    ASSERT_NO_FATAL_FAILURE(start_and_greet(rows, cols));
    const std::string on = terminfo_string(GetParam(), "BE");
    const std::string off = terminfo_string(GetParam(), "BD");

    size_t from = peer.received.size();
    vt_paste(client.term, "Queen - Bohemian Rhapsody.mp3");
    ASSERT_TRUE(wait_until(client, [&] {
        return message_text(screen()) == "paste ignored: press o to paste into the prompt";
    }, 5000)) << message_text(screen());
    type(client, sentinel_key);
    ASSERT_TRUE(wait_for_command(client, peer, sentinel_command, from));
    EXPECT_EQ(sent_since(from), sentinel_command);

    from = peer.received.size();
    type(client, "o");
    ASSERT_TRUE(wait_until(client, [&] { return message_text(screen()) == "open:"; }, 5000));
    vt_paste(client.term, "first line\rQ second line");
    // Bracketed, the whole paste is the prompt's text; in a burst, its first line end sends it.
    ASSERT_TRUE(wait_until(client, [&] {
        serve_peer(peer);
        return message_text(screen()) == "open: first lineQ second line" ||
               sent_since(from).find("LOAD2") != std::string::npos;
    }, 5000)) << message_text(screen());
    if (sent_since(from).empty())
        type(client, "\r");
    ASSERT_TRUE(wait_for_command(client, peer, "LOAD2", from));
    type(client, sentinel_key);
    ASSERT_TRUE(wait_for_command(client, peer, sentinel_command, from));
    EXPECT_EQ(sent_since(from), on.empty()
                                    ? std::string("LOAD2 first line") + sentinel_command
                                    : std::string("LOAD2 first lineQ second line") + sentinel_command);

    type(client, "q");
    ASSERT_NO_FATAL_FAILURE(expect_exit(client, 0));
    if (on.empty()) {
        EXPECT_EQ(client.output.find("\x1b[?2004h"), std::string::npos);
    } else {
        size_t last_on = client.output.rfind(on);
        size_t last_off = client.output.rfind(off);
        ASSERT_NE(last_on, std::string::npos);
        ASSERT_NE(last_off, std::string::npos);
        EXPECT_GT(last_off, last_on);
    }
}

// However a paste comes, none of it runs: one byte between the markers, the end marker inside the
// pasted text, a tail that comes over a second after the rest; without the markers, three bytes
// in one burst. Each paste holds "Q", which would stop the core.
TEST_P(Paste, NoPartOfAPasteRunsAsKeys)
{
    client.terminal_type = GetParam();
    ASSERT_NO_FATAL_FAILURE(start_and_greet(rows, cols));
    const std::string start = terminfo_string(GetParam(), "PS");
    const std::string end = terminfo_string(GetParam(), "PE");
    // Each paste as the terminal writes it, the parts apart over a slow link.
    const std::vector<std::vector<std::string>> pastes =
        start.empty() ? std::vector<std::vector<std::string>>{{"Q.m"}}
                      : std::vector<std::vector<std::string>>{
                            {start + "Q" + end},
                            {start + "some text" + end + "Q" + end},
                            {start + "Bohemian Rhapsody", "Q" + end},
                        };
    for (const std::vector<std::string> &parts : pastes) {
        ASSERT_TRUE(peer_send(peer, "D=ready\n"));
        ASSERT_TRUE(wait_until(client, [&] { return message_text(screen()) == "ready"; }, 5000));
        size_t from = peer.received.size();
        for (size_t i = 0; i < parts.size(); i++) {
            if (i > 0)
                wait_until(client, [] { return false; }, 1300);
            type(client, parts[i]);
        }
        std::string context = spelled(parts[0]);
        ASSERT_TRUE(wait_until(client, [&] {
            return message_text(screen()) == "paste ignored: press o to paste into the prompt";
        }, 5000)) << context;
        type(client, sentinel_key);
        ASSERT_TRUE(wait_for_command(client, peer, sentinel_command, from)) << context;
        EXPECT_EQ(sent_since(from), sentinel_command) << context;
    }
}

INSTANTIATE_TEST_SUITE_P(TerminalTypes, Paste,
                         ::testing::Values("xterm-256color", "tmux-256color", "screen-256color"),
                         terminal_test_name);

} // namespace

// The simulated core's state machine, driven without sockets: commands in, report lines out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/protocol.h"
#include "sim_core.h"
#include "sim_library.h"
#include "sim_outbox.h"

namespace {

sim_core core; // large: outside the stack

using lines_t = std::vector<std::string>;

// Everything queued for a client, as the socket would take it.
std::string drain(int slot)
{
    std::string all;
    sim_client &client = core.clients[slot];
    while (sim_has_output(client)) {
        sim_fill(core, client);
        all.append(client.out, client.out_len);
        sim_consume(client, client.out_len);
    }
    return all;
}

lines_t split(const std::string &text)
{
    lines_t lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    EXPECT_EQ(start, text.size()) << "output ends inside a line";
    return lines;
}

lines_t send(int slot, const std::string &command)
{
    sim_command(core, slot, command.data(), command.size());
    return split(drain(slot));
}

bool has(const lines_t &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines whose key is key, with their values.
lines_t values_of(const lines_t &lines, const std::string &key)
{
    lines_t found;
    for (const std::string &line : lines)
        if (line.rfind(key + "=", 0) == 0)
            found.push_back(line.substr(key.size() + 1));
    return found;
}

// A list line as the client reads it: key "NAM", two characters, the entry number, "]";
// value type, comma, text.
struct wire_entry {
    int number;
    int type;
    std::string text;
};

bool parse_list_line(const std::string &line, wire_entry &entry)
{
    size_t eq = line.find('=');
    if (line.rfind("NAM", 0) != 0 || eq == std::string::npos)
        return false;
    std::string key = line.substr(0, eq);
    std::string value = line.substr(eq + 1);
    size_t comma = value.find(',');
    if (key.find(']') == std::string::npos || comma == std::string::npos || key.size() < 6)
        return false;
    entry.number = atoi(key.c_str() + 5);
    entry.type = atoi(value.c_str());
    entry.text = value.substr(comma + 1);
    return true;
}

// The entries of the last complete listing in lines, in arrival order.
std::vector<wire_entry> last_listing(const lines_t &lines)
{
    std::vector<wire_entry> entries;
    for (const std::string &line : lines) {
        wire_entry entry;
        if (line.rfind("LIST_START=", 0) == 0)
            entries.clear();
        else if (parse_list_line(line, entry))
            entries.push_back(entry);
    }
    return entries;
}

// The texts in the order the client shows them: directories first, each group in arrival order.
lines_t shown_order(const std::vector<wire_entry> &entries)
{
    lines_t shown;
    for (int pass = 0; pass < 2; pass++)
        for (const wire_entry &entry : entries)
            if ((entry.type < 0) == (pass == 0))
                shown.push_back(entry.text);
    return shown;
}

// Ticks until key=value shows up or limit ticks pass; the lines of all those ticks.
lines_t tick_until(int slot, const std::string &line, int limit)
{
    lines_t all;
    for (int i = 0; i < limit && !has(all, line); i++) {
        sim_tick(core);
        lines_t more = split(drain(slot));
        all.insert(all.end(), more.begin(), more.end());
    }
    return all;
}

class SimCore : public ::testing::Test {
protected:
    int slot = -1;
    void SetUp() override
    {
        sim_core_init(core, 0);
        slot = sim_client_open(core);
        ASSERT_EQ(slot, 0);
    }
    lines_t greet(int mode) { return send(slot, "EHLO " + std::to_string(mode)); }
};

TEST_F(SimCore, GreetingReportsTheWholeStateInOrder)
{
    lines_t lines = greet(0);
    ASSERT_GE(lines.size(), 20u);
    EXPECT_EQ(lines[0], "HELLO=0.1-sim");
    EXPECT_EQ(lines[1], "LISTNAME=root menu");
    EXPECT_EQ(lines[2], "LIST_START=7");
    lines_t names = {"Amiga", "C64", "Consoles", "PC", "Music", "Videos", "Unusual"};
    for (int i = 0; i < 7; i++) {
        wire_entry entry;
        ASSERT_TRUE(parse_list_line(lines[3 + i], entry)) << lines[3 + i];
        EXPECT_EQ(entry.number, i + 1);
        EXPECT_EQ(entry.type, sim_dir_type);
        EXPECT_EQ(entry.text, names[i]);
    }
    lines_t rest(lines.begin() + 10, lines.end());
    lines_t expected = {"LIST_END", "CUR=0",         "STATE=2",         "VOL=70", "SHUFFLE=0",
                        "REPEAT=0", "VIDS=0",        "CONF=EQ 0",       "CONF=EFFECTS 0",
                        "SCROB=0"};
    EXPECT_EQ(rest, expected);
    EXPECT_FALSE(sim_is_playing(core));

    // Nothing plays, so time does not move and nothing is sent.
    sim_tick(core);
    EXPECT_EQ(drain(slot), "");
}

TEST_F(SimCore, ListTextsFollowThePathModeOfTheLastGreeting)
{
    greet(0);
    send(slot, "LOAD 1"); // C64
    EXPECT_EQ(last_listing(greet(0))[0].text, "Hubbard, Rob");
    EXPECT_EQ(last_listing(greet(1))[0].text, "C64/Hubbard, Rob");
    lines_t full = greet(2);
    EXPECT_EQ(last_listing(full)[0].text, "/media/library/C64/Hubbard, Rob");
    EXPECT_TRUE(has(full, "LISTNAME=/media/library/C64"));

    // Modes outside 0..2 fall to the nearest one.
    EXPECT_EQ(last_listing(greet(7))[0].text, "/media/library/C64/Hubbard, Rob");
    EXPECT_EQ(last_listing(greet(-4))[0].text, "Hubbard, Rob");
    EXPECT_EQ(last_listing(send(slot, "EHLO junk"))[0].text, "Hubbard, Rob");
}

TEST_F(SimCore, LoadCountsPositionsDirectoriesFirst)
{
    greet(0);
    std::vector<wire_entry> amiga = last_listing(send(slot, "LOAD 0"));
    ASSERT_EQ(amiga.size(), 5u);
    // On the wire a file comes first; the client shows it after the four directories.
    EXPECT_EQ(amiga[0].text, "Blitz Intro.mod");
    EXPECT_EQ(amiga[0].type, 4);
    lines_t shown = shown_order(amiga);
    EXPECT_EQ(shown[0], "Protracker");
    EXPECT_EQ(shown[4], "Blitz Intro.mod");

    for (int pos = 0; pos < core.list.count; pos++)
        EXPECT_EQ(sim_list_position(core.list, sim_list_at(core.list, pos)), pos);
    EXPECT_EQ(sim_list_at(core.list, -1), -1);
    EXPECT_EQ(sim_list_at(core.list, 5), -1);

    lines_t playing = send(slot, "LOAD 4");
    EXPECT_TRUE(has(playing, "TITLE=Blitz Intro"));
    EXPECT_TRUE(has(playing, "CUR=4"));
    lines_t protracker = send(slot, "LOAD 0");
    EXPECT_TRUE(has(protracker, "LISTNAME=Protracker"));
}

TEST_F(SimCore, PlayingAClipReportsItAndTimeRunsToTheNextClip)
{
    greet(1);
    send(slot, "LOAD2 Amiga/Protracker");
    lines_t start = send(slot, "LOAD 0"); // 4mat - Eternity.mod
    lines_t expected = {"STATE=3",
                        "TTIME=185",
                        "TIME=0",
                        "BITRATE=0",
                        "TITLE=Eternity",
                        "ARTIST=4mat",
                        "ALBUM=Amiga Power",
                        "YEAR=1993",
                        "GENRE=Tracker",
                        "COMMENT=",
                        "FREQ=44100",
                        "CHAN=4",
                        "CUR=0",
                        "CURNAME=Eternity - 4mat"};
    EXPECT_EQ(start, expected);
    EXPECT_TRUE(sim_is_playing(core));

    sim_tick(core);
    EXPECT_EQ(drain(slot), "TIME=1\n");
    lines_t run = tick_until(slot, "TITLE=Elysium", 200);
    EXPECT_EQ(values_of(run, "TIME").front(), "2");
    EXPECT_TRUE(has(run, "TIME=184"));
    EXPECT_FALSE(has(run, "TIME=185"));
    EXPECT_TRUE(has(run, "CUR=1"));

    // The last clip of the list ends and nothing follows without repeat.
    send(slot, "LOAD 2"); // Jingle.mod, five seconds
    lines_t end = tick_until(slot, "STATE=2", 10);
    EXPECT_EQ(end, (lines_t{"TIME=1", "TIME=2", "TIME=3", "TIME=4", "STATE=2", "TIME=0"}));
    EXPECT_FALSE(sim_is_playing(core));
}

TEST_F(SimCore, SubSongsTravelInTheBitRateAndAdvanceBeforeTheNextClip)
{
    greet(0);
    lines_t start = send(slot, "LOAD2 /media/library/C64/Hubbard, Rob/Commando.sid");
    EXPECT_TRUE(has(start, "LISTNAME=Hubbard, Rob"));
    EXPECT_TRUE(has(start, "BITRATE=" + std::to_string(3 << 16)));
    lines_t second = tick_until(slot, "BITRATE=" + std::to_string((3 << 16) | 1), 300);
    EXPECT_TRUE(has(second, "TIME=0"));
    EXPECT_FALSE(has(second, "TITLE=Monty on the Run"));

    EXPECT_TRUE(has(send(slot, "NEXT"), "BITRATE=" + std::to_string((3 << 16) | 2)));
    EXPECT_TRUE(has(send(slot, "PREV"), "BITRATE=" + std::to_string((3 << 16) | 1)));
    send(slot, "NEXT");
    lines_t next = send(slot, "NEXT");
    EXPECT_TRUE(has(next, "TITLE=Monty on the Run"));
    EXPECT_TRUE(has(next, "BITRATE=0"));
}

TEST_F(SimCore, TransportCommandsStayWithinTheClip)
{
    greet(0);
    EXPECT_EQ(send(slot, "SEEK 10"), lines_t{}); // nothing loaded
    EXPECT_EQ(send(slot, "FFWD"), lines_t{});
    send(slot, "LOAD2 Amiga/Protracker/Jester - Elysium.mod"); // 212 s
    EXPECT_EQ(send(slot, "SEEK 100"), lines_t{"TIME=100"});
    EXPECT_EQ(send(slot, "SEEK -7"), lines_t{"TIME=0"});
    EXPECT_EQ(send(slot, "SEEK 99999999999"), lines_t{"TIME=211"});
    EXPECT_EQ(send(slot, "FFWD"), lines_t{"TIME=211"});
    EXPECT_EQ(send(slot, "SEEK 5"), lines_t{"TIME=5"});
    EXPECT_EQ(send(slot, "RWND"), lines_t{"TIME=0"});
    EXPECT_EQ(send(slot, "FFWD"), lines_t{"TIME=10"});

    EXPECT_EQ(send(slot, "PAUSE"), lines_t{"STATE=4"});
    sim_tick(core);
    EXPECT_EQ(drain(slot), "");
    EXPECT_EQ(send(slot, "PAUSE"), lines_t{"STATE=3"});
    EXPECT_EQ(send(slot, "STOP"), (lines_t{"STATE=2", "TIME=0"}));
    sim_tick(core);
    EXPECT_EQ(drain(slot), "");
    EXPECT_TRUE(has(send(slot, "PAUSE"), "STATE=3"));

    // NEXT and PREV wrap around the play list (Eternity, Elysium, Jingle).
    EXPECT_TRUE(has(send(slot, "NEXT"), "TITLE=Jingle"));
    EXPECT_TRUE(has(send(slot, "NEXT"), "TITLE=Eternity"));
    EXPECT_TRUE(has(send(slot, "PREV"), "TITLE=Jingle"));
}

TEST_F(SimCore, PauseOrNextWithNothingLoadedPlaysTheFirstFileOfTheList)
{
    greet(0);
    EXPECT_EQ(send(slot, "PREV"), lines_t{});
    EXPECT_EQ(send(slot, "PAUSE"), lines_t{"STATE=2"}); // the root menu has no files
    send(slot, "LOAD 0"); // Amiga
    EXPECT_TRUE(has(send(slot, "NEXT"), "TITLE=Blitz Intro"));
}

TEST_F(SimCore, VolumeIsClampedToZeroToHundred)
{
    greet(0);
    EXPECT_EQ(send(slot, "VOL+"), lines_t{"VOL=73"});
    EXPECT_EQ(send(slot, "VOL-"), lines_t{"VOL=70"});
    EXPECT_EQ(send(slot, "VOLS 250"), lines_t{"VOL=100"});
    EXPECT_EQ(send(slot, "VOL+"), lines_t{"VOL=100"});
    EXPECT_EQ(send(slot, "VOLS -12"), lines_t{"VOL=0"});
    EXPECT_EQ(send(slot, "VOL-"), lines_t{"VOL=0"});
    EXPECT_EQ(send(slot, "VOLS 55"), lines_t{"VOL=55"});
    EXPECT_EQ(send(slot, "VOLS"), lines_t{"VOL=0"});
}

TEST_F(SimCore, TogglesReportTheirNewState)
{
    greet(0);
    EXPECT_EQ(send(slot, "TOGGLE SHUFFLE"), lines_t{"SHUFFLE=1"});
    EXPECT_EQ(send(slot, "TOGGLE SHUFFLE"), lines_t{"SHUFFLE=2"});
    EXPECT_EQ(send(slot, "TOGGLE SHUFFLE"), lines_t{"SHUFFLE=0"});
    EXPECT_EQ(send(slot, "TOGGLE REPEAT"), lines_t{"REPEAT=1"});
    EXPECT_EQ(send(slot, "TOGGLE REPEAT"), lines_t{"REPEAT=2"});
    EXPECT_EQ(send(slot, "TOGGLE EQ"), lines_t{"CONF=EQ 1"});
    EXPECT_EQ(send(slot, "TOGGLE FLANGER"), lines_t{"CONF=EFFECTS 1"});
    EXPECT_EQ(send(slot, "TOGGLE KARAOKE"), lines_t{"CONF=EFFECTS 33"});
    EXPECT_EQ(send(slot, "TOGGLE REVERB"), lines_t{"CONF=EFFECTS 41"});
    EXPECT_EQ(send(slot, "TOGGLE FLANGER"), lines_t{"CONF=EFFECTS 40"});
    EXPECT_EQ(send(slot, "TOGGLE EARWAX"), lines_t{"CONF=EFFECTS 42"});
    EXPECT_EQ(send(slot, "TOGGLE CONTRAST"), lines_t{"CONF=EFFECTS 46"});
    EXPECT_EQ(send(slot, "TOGGLE OVERDRIVE"), lines_t{"CONF=EFFECTS 62"});
    EXPECT_EQ(send(slot, "SCROBBLER"), lines_t{"SCROB=1"});
    EXPECT_EQ(send(slot, "TOGGLE VIDS"), lines_t{"VIDS=1"});
    EXPECT_EQ(send(slot, "SCROBLOVE"), lines_t{"D=nothing to love: no clip loaded"});

    // Repeat of one clip plays the same clip again when it ends.
    send(slot, "LOAD2 Amiga/Protracker/Jingle.mod");
    lines_t again = tick_until(slot, "TITLE=Jingle", 10);
    EXPECT_TRUE(has(again, "TIME=4"));
    EXPECT_EQ(send(slot, "SCROBLOVE"), lines_t{"D=loved: Jingle"});
}

TEST_F(SimCore, ShuffleNeverRepeatsTheSameClipAndStaysInTheList)
{
    greet(0);
    send(slot, "LOAD2 Music/Electronic/Caf\xe9 del Mar.mp3");
    send(slot, "TOGGLE SHUFFLE");
    std::string title = values_of(send(slot, "NEXT"), "TITLE").at(0);
    std::set<std::string> seen;
    for (int i = 0; i < 20; i++) {
        std::string next = values_of(send(slot, "NEXT"), "TITLE").at(0);
        EXPECT_NE(next, title);
        title = next;
        seen.insert(next);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(SimCore, NavigationKeepsTheCursorOnTheDirectoryWeCameFrom)
{
    greet(0);
    EXPECT_EQ(send(slot, "GO_PARENT"), lines_t{}); // already at the root
    send(slot, "LOAD 4");                          // Music
    send(slot, "LOAD 1");                          // Electronic
    lines_t up = send(slot, "GO_PARENT");
    EXPECT_TRUE(has(up, "LISTNAME=Music"));
    EXPECT_EQ(values_of(up, "CUR"), lines_t{"1"});
    lines_t root = send(slot, "GO_ROOT");
    EXPECT_EQ(values_of(root, "LISTNAME"), lines_t{"root menu"});
    EXPECT_EQ(values_of(root, "CUR"), lines_t{"0"});

    // A clip playing in the shown list puts the cursor on it instead.
    send(slot, "LOAD2 C64/Galway, Martin/Wizball.sid");
    send(slot, "GO_ROOT");
    EXPECT_EQ(values_of(send(slot, "LOAD2 C64/Galway, Martin"), "CUR"), lines_t{"1"});
}

TEST_F(SimCore, FavouritesAreStoredAndLoadedAndBadSlotsDoNoHarm)
{
    greet(0);
    EXPECT_TRUE(has(send(slot, "LOADFAV 1"), "LISTNAME=C64"));
    EXPECT_EQ(send(slot, "LOADFAV 5"), lines_t{"D=favourite 5 is empty"});
    EXPECT_EQ(send(slot, "LOADFAV 9"), lines_t{"D=favourite 9 is empty"}); // no big directory
    send(slot, "LOAD 0");
    EXPECT_EQ(send(slot, "SETFAV 5"), lines_t{"D=favourite 5 set"});
    send(slot, "GO_ROOT");
    EXPECT_TRUE(has(send(slot, "LOADFAV 5"), "LISTNAME=Hubbard, Rob"));
    EXPECT_EQ(send(slot, "SETFAV 10"), lines_t{"D=no favourite slot 10"});
    EXPECT_EQ(send(slot, "SETFAV -1"), lines_t{"D=no favourite slot -1"});
    EXPECT_EQ(send(slot, "LOADFAV -2147483648"), lines_t{"D=favourite -2147483648 is empty"});

    // A search list can be a favourite too.
    send(slot, "LOAD2 galway");
    send(slot, "SETFAV 6");
    send(slot, "GO_ROOT");
    EXPECT_TRUE(has(send(slot, "LOADFAV 6"), "LISTNAME=search: galway (2 found)"));
}

TEST_F(SimCore, Load2OpensPathsAndSearchesWords)
{
    greet(1);
    lines_t search = send(slot, "LOAD2 HUBBARD");
    EXPECT_TRUE(has(search, "LISTNAME=search: HUBBARD (2 found)"));
    lines_t found = shown_order(last_listing(search));
    EXPECT_EQ(found, (lines_t{"C64/Hubbard, Rob/Commando.sid",
                              "C64/Hubbard, Rob/Monty on the Run.sid"}));
    EXPECT_EQ(last_listing(send(slot, "LOAD2 no such thing")).size(), 0u);

    lines_t dir = send(slot, "LOAD2   /media/library/Consoles/NES  ");
    EXPECT_TRUE(has(dir, "LISTNAME=Consoles/NES"));
    EXPECT_EQ(send(slot, "LOAD2 C64/Nobody"), lines_t{"D=not found: C64/Nobody"});
    EXPECT_EQ(send(slot, "LOAD2 /etc/passwd"), lines_t{"D=not found: /etc/passwd"});
    EXPECT_EQ(send(slot, "LOAD2 C64/../C64"), lines_t{"D=not found: C64/../C64"});
    EXPECT_EQ(send(slot, "LOAD2    "), lines_t{});
    EXPECT_EQ(send(slot, "LOAD2"), lines_t{});

    // Control bytes never break a report line; a long word is cut.
    lines_t odd = send(slot, std::string("LOAD2 a\tb\x01", 10));
    EXPECT_TRUE(has(odd, "LISTNAME=search: a?b? (0 found)"));
    lines_t long_word = send(slot, "LOAD2 " + std::string(300, 'x'));
    EXPECT_TRUE(has(long_word, "LISTNAME=search: " + std::string(sim_word_cap - 1, 'x') +
                                   " (0 found)"));
}

TEST_F(SimCore, RecursiveListHoldsEveryFileBelowTheDirectory)
{
    greet(1);
    send(slot, "LOAD 1"); // C64
    lines_t lines = send(slot, "MAKE_RECURSIVE_LIST");
    EXPECT_TRUE(has(lines, "LISTNAME=recursive: C64"));
    lines_t expected = {"C64/Hubbard, Rob/Commando.sid", "C64/Hubbard, Rob/Monty on the Run.sid",
                        "C64/Galway, Martin/Wizball.sid",
                        "C64/Galway, Martin/Unreleased/Demo Tune.sid"};
    EXPECT_EQ(shown_order(last_listing(lines)), expected);
    EXPECT_TRUE(has(send(slot, "GO_PARENT"), "LISTNAME=C64"));
}

TEST_F(SimCore, LibraryCoversEveryPlayerAndAwkwardTags)
{
    greet(2);
    lines_t lines = send(slot, "MAKE_RECURSIVE_LIST");
    std::set<int> types;
    bool comma_in_text = false;
    for (const wire_entry &entry : last_listing(lines)) {
        types.insert(entry.type);
        comma_in_text |= entry.text.find(',') != std::string::npos;
        EXPECT_EQ(entry.text.rfind("/media/library/", 0), 0u) << entry.text;
    }
    EXPECT_EQ(types.size(), 23u);
    EXPECT_EQ(*types.begin(), 0);
    EXPECT_EQ(*types.rbegin(), 22);
    EXPECT_TRUE(comma_in_text);

    lines_t clip = send(slot, "LOAD2 Music/Electronic/\xc3\x89tude.ogg");
    EXPECT_TRUE(has(clip, "ALBUM=Cahiers, vol. 2"));
    EXPECT_TRUE(has(clip, "ARTIST=L\xc3\xa9on"));
}

TEST_F(SimCore, ClientsShareTheCoreAndEachGetsItsPathMode)
{
    greet(0);
    int other = sim_client_open(core);
    int silent = sim_client_open(core);
    ASSERT_EQ(other, 1);
    send(other, "EHLO 2");
    send(slot, "LOAD 1");
    EXPECT_EQ(last_listing(split(drain(other)))[0].text, "/media/library/C64/Hubbard, Rob");
    // A client that has not greeted is told nothing, yet its commands act.
    EXPECT_EQ(drain(silent), "");
    send(silent, "VOLS 20");
    EXPECT_EQ(drain(silent), "");
    EXPECT_EQ(split(drain(slot)), lines_t{"VOL=20"});

    // QUIT answers and closes only the client that sent it; the rest of its chunk is ignored.
    lines_t bye = send(other, "QUIT\nVOLS 90");
    EXPECT_EQ(values_of(bye, "COREQUIT").size(), 1u);
    EXPECT_TRUE(core.clients[other].closing);
    EXPECT_EQ(core.player.vol, 20);
    send(slot, "VOL+");
    EXPECT_EQ(drain(other), "");
    sim_client_close(core, other);
    EXPECT_EQ(sim_client_open(core), other);
}

TEST_F(SimCore, GarbageAndOutOfRangeArgumentsDoNoHarm)
{
    greet(0);
    EXPECT_FALSE(sim_command(core, slot, "LOADX 1", 7));
    EXPECT_FALSE(sim_command(core, slot, "next", 4));
    EXPECT_FALSE(sim_command(core, slot, "", 0));
    EXPECT_FALSE(sim_command(core, 99, "NEXT", 4));
    EXPECT_FALSE(sim_command(core, -1, "NEXT", 4));
    EXPECT_EQ(send(slot, "LOAD -1"), lines_t{"D=nothing at position -1"});
    EXPECT_EQ(send(slot, "LOAD 99999999999"), lines_t{"D=nothing at position 2147483647"});
    EXPECT_EQ(send(slot, "LOAD 7"), lines_t{"D=nothing at position 7"});

    std::string noise;
    srand(7);
    for (int i = 0; i < 5000; i++)
        noise += (char)(rand() & 0xff);
    sim_command(core, slot, noise.data(), noise.size());
    drain(slot);
    // A NUL ends a command; a carriage return and blanks at its end are dropped.
    EXPECT_EQ(send(slot, std::string("VOLS 40\0VOLS 99", 15)), lines_t{"VOL=40"});
    EXPECT_EQ(send(slot, "VOLS 41\r\n"), lines_t{"VOL=41"});
    EXPECT_EQ(send(slot, "VOL+\nVOL+\n"), (lines_t{"VOL=44", "VOL=47"}));
    EXPECT_TRUE(has(greet(0), "HELLO=0.1-sim"));
}

TEST(SimParseInt, ReadsLikeAtoiAndClamps)
{
    EXPECT_EQ(read_decimal("42"), 42);
    EXPECT_EQ(read_decimal("  -12x"), -12);
    EXPECT_EQ(read_decimal("+7"), 7);
    EXPECT_EQ(read_decimal("abc"), 0);
    EXPECT_EQ(read_decimal(""), 0);
    EXPECT_EQ(read_decimal("99999999999999999999"), 2147483647);
    EXPECT_EQ(read_decimal("-99999999999999999999"), -2147483647 - 1);
}

class SimBig : public ::testing::Test {
protected:
    void SetUp() override { sim_core_init(core, 300000); }
};

TEST_F(SimBig, BigDirectoryStreamsThroughTheFixedOutbox)
{
    int slot = sim_client_open(core);
    send(slot, "EHLO 0");
    lines_t fav = send(slot, "LOADFAV 9");
    EXPECT_TRUE(has(fav, "LISTNAME=Big"));
    EXPECT_TRUE(has(fav, "LIST_START=300000"));
    send(slot, "GO_ROOT");
    // Time passes while the listing is still on its way: its reports wait behind LIST_END.
    sim_client &client = core.clients[slot];
    sim_command(core, slot, "LOAD2 Big/clip-0000003.mod", 26);
    sim_tick(core);
    std::string all;
    size_t most = 0;
    while (sim_has_output(client)) {
        sim_fill(core, client);
        most = std::max(most, client.out_len);
        all.append(client.out, client.out_len);
        sim_consume(client, client.out_len);
    }
    EXPECT_FALSE(client.overflow);
    EXPECT_LE(most, sim_out_cap);
    lines_t lines = split(all);
    std::vector<wire_entry> entries = last_listing(lines);
    ASSERT_EQ(entries.size(), 300000u);
    EXPECT_EQ(entries[3].text, "clip-0000003.mod");
    EXPECT_EQ(entries[3].type, 3);
    EXPECT_EQ(entries.back().number, 300000);
    auto end = std::find(lines.begin(), lines.end(), "LIST_END");
    EXPECT_NE(std::find(end, lines.end(), "CUR=3"), lines.end());
    EXPECT_NE(std::find(end, lines.end(), "TIME=1"), lines.end());
}

TEST_F(SimBig, SlowReaderIsMarkedInsteadOfGrowingWithoutBound)
{
    int slot = sim_client_open(core);
    sim_command(core, slot, "EHLO 2", 6);
    sim_client &client = core.clients[slot];
    for (int i = 0; i < 5000 && !client.overflow; i++)
        sim_command(core, slot, "VOL+", 4);
    EXPECT_TRUE(client.overflow);
    EXPECT_LE(client.hold_len, sim_hold_cap);
    EXPECT_LE(client.out_len, sim_out_cap);
}

} // namespace

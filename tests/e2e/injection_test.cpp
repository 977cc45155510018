// Texts from the core must never take over the user's terminal. A scripted core sends every byte
// value and the sequences that would retitle the window, clear the screen, move the cursor or
// switch character sets, through every text the client shows; the emulated terminal must show
// each of them as one column per byte inside its own element and nothing else may change.
// Nor may pasted text turn into commands for the core.
#include <gtest/gtest.h>

#include "session_fixture.h"

namespace {

constexpr int rows = 40;
constexpr int cols = 300;
constexpr int lh = rows - 5;
constexpr int lw = cols - 4;

// Every byte value a line can carry: 0x01 to 0xFF without the line end.
std::string every_byte()
{
    std::string bytes;
    for (int b = 1; b <= 0xFF; b++)
        if (b != '\n')
            bytes += (char)b;
    return bytes;
}

// What a terminal would act on if the text reached it unchanged.
const std::vector<std::string> &terminal_sequences()
{
    static const std::vector<std::string> sequences = {
        "\x1b]0;injected title\x07",  // window title and icon name, BEL-terminated
        "\x1b]2;injected title\x1b\\", // window title, ST-terminated
        "\x1b]1;injected icon\x07",
        "\x9d" "2;injected title\x9c", // the same with 8-bit controls
        "\x1b[2J",                     // clear the screen
        "\x9b" "2J",
        "\xc2\x9b" "2J",               // 8-bit controls as a UTF-8 terminal reads them
        "\xc2\x9d" "2;injected title\xc2\x9c",
        "\x1b" "c",                    // full reset
        "\x1b#8",                      // fill the screen with E
        "\x1b[H",                      // cursor home
        "\x1b[5;5H",
        "\r",
        "\b\b\b\b",
        "\t\t",
        "\x1b(0",                      // line drawing into G0
        "\x1b)0\x0e",                  // line drawing into G1, shift out
        "\x0e",
        "\x0f",
        "\x1b[?5h",                    // reverse the whole screen
        "\x1b[?1049l",                 // leave the alternate screen
        "\x07",
    };
    return sequences;
}

// The text as the client must show it: one column per byte, "?" for anything not printable. No
// text here holds a printable UTF-8 character, so the client's UTF-8 locale shows them so too.
std::string printable(const std::string &text)
{
    std::string shown;
    for (char c : text)
        shown += (unsigned char)c >= 0x20 && (unsigned char)c < 0x7f ? c : '?';
    return shown;
}

// A line's value as the client stores it: trailing carriage returns go with the line end.
std::string as_received(std::string value, size_t capacity)
{
    while (!value.empty() && value.back() == '\r')
        value.pop_back();
    return value.substr(0, capacity - 1);
}

// Every hostile text, each framed by visible letters so that a shift shows.
std::vector<std::string> hostile_texts()
{
    std::vector<std::string> texts{"A" + every_byte() + "Z"};
    for (const std::string &seq : terminal_sequences())
        texts.push_back("A" + seq + "Z");
    return texts;
}

// Every byte value, then every sequence: the stream that fixed-size fields receive in pieces.
std::string hostile_stream()
{
    std::string stream = every_byte();
    for (const std::string &seq : terminal_sequences())
        stream += seq + "|";
    return stream;
}

// The piece of the stream that round r gives a field of n bytes, wrapping around.
std::string stream_piece(const std::string &stream, int r, size_t n)
{
    std::string piece;
    for (size_t i = 0; i < n; i++)
        piece += stream[(r * n + i) % stream.size()];
    return piece;
}

int rounds_to_cover(const std::string &stream, size_t n)
{
    return (int)((stream.size() + n - 1) / n);
}

struct region {
    int top, left, bottom, right; // inclusive
};

bool inside(const std::vector<region> &regions, int row, int col)
{
    for (const region &r : regions)
        if (row >= r.top && row <= r.bottom && col >= r.left && col <= r.right)
            return true;
    return false;
}

// The cells outside the allowed regions that differ between two snapshots, described.
std::string changes_outside(const vt_snapshot &before, const vt_snapshot &after,
                            const std::vector<region> &allowed)
{
    std::string changes;
    int shown = 0;
    for (size_t row = 0; row < before.size() && row < after.size(); row++) {
        for (size_t col = 0; col < before[row].size() && col < after[row].size(); col++) {
            if (before[row][col] == after[row][col] || inside(allowed, (int)row, (int)col))
                continue;
            if (shown++ < 5)
                changes += "(" + std::to_string(row) + "," + std::to_string(col) + ") [" +
                           before[row][col].text + "] became [" + after[row][col].text + "]; ";
        }
    }
    return changes;
}

// The volume field and bar, which every synchronisation rewrites.
const std::vector<region> volume_regions = {
    {rows - 2, cols - 6, rows - 2, cols - 4},
    {rows - 1, cols - 21, rows - 1, cols - 9},
};

std::vector<region> with_volume(std::vector<region> regions)
{
    regions.insert(regions.end(), volume_regions.begin(), volume_regions.end());
    return regions;
}

const region list_area = {1, 1, lh, cols - 2};
const region message_area = {rows - 3, 5, rows - 3, cols - 3};
const region clock_area = {0, cols - 16, 0, cols - 3};

// The top border with a title as the client draws it: centred between two tees, or its end
// after "..." when it is wider than the border.
std::string expected_title_row(const std::string &title)
{
    std::string shown = printable(title);
    int n = (int)shown.size();
    int x = (cols - n) / 2;
    if (n > cols - 4) {
        shown = "..." + shown.substr(shown.size() - (size_t)(cols - 7));
        n = cols - 4;
        x = 2;
    }
    std::string row = vt_ulcorner;
    for (int col = 1; col < cols - 1; col++) {
        if (col == x - 1)
            row += vt_rtee;
        else if (col == x + n)
            row += vt_ltee;
        else if (col >= x && col < x + n)
            row += shown[(size_t)(col - x)];
        else
            row += vt_hline;
    }
    return row + vt_urcorner;
}

std::string cut(const std::string &text, int width)
{
    return without_trailing_blanks(text.substr(0, (size_t)width));
}

class Injection : public ScriptedCore<> {
protected:
    int volume = 40;

    // Starts the client against the scripted core and shows a small list with a playing file.
    void connect_client()
    {
        ASSERT_NO_FATAL_FAILURE(start_and_greet(rows, cols));
        send("HELLO=script core\nLISTNAME=baseline\nLIST_START=3\nNAM0]=-1,dir one\n"
             "NAM1]=4,file one\nNAM2]=4,file two\nLIST_END\nCUR=1\nSTATE=3\nTTIME=200\n"
             "TIME=50\nFREQ=44100\nBITRATE=320\nCHAN=2\nTITLE=base title\nARTIST=base artist\n");
        ASSERT_TRUE(wait_for_text(client, "file two", 3));
        sync();
    }

    void send(const std::string &lines) { ASSERT_TRUE(peer_send(peer, lines)); }

    // Everything sent before is drawn once a new volume shows: the client handles lines in order.
    void sync()
    {
        volume = volume >= 99 ? 10 : volume + 1;
        send("VOL=" + std::to_string(volume) + "\n");
        char shown[8];
        snprintf(shown, sizeof shown, "%3d", volume);
        ASSERT_TRUE(wait_until(client, [&] { return volume_field(screen()) == shown; }, 5000));
    }

    // Types keys, then "=": once the core hears "VOL+", the keys before it were handled. Keys go
    // before core lines that arrive in the same pass: sync() what was sent first.
    void type_and_sync(const std::string &keys)
    {
        size_t from = peer.received.size();
        type(client, keys + "=");
        ASSERT_TRUE(wait_for_command(client, peer, "VOL+", from));
        sync();
    }

    // Nothing of the terminal itself changed, and the frame is whole.
    void expect_terminal_untouched(const std::string &context)
    {
        EXPECT_EQ(screen().title, vt_initial_title) << context;
        EXPECT_EQ(screen().title_changes, 1) << context;
        EXPECT_EQ(screen().icon_name_changes, 0) << context;
        EXPECT_EQ(screen().bells, 0) << context;
        EXPECT_FALSE(screen().reverse_screen) << context;
        EXPECT_TRUE(screen().altscreen) << context;
        EXPECT_EQ(frame_problem(screen()), "") << context;
    }

    void expect_only_changed(const vt_snapshot &before, const std::vector<region> &allowed,
                             const std::string &context)
    {
        expect_terminal_untouched(context);
        EXPECT_EQ(changes_outside(before, vt_take_snapshot(screen()), with_volume(allowed)), "")
            << context;
    }
};

TEST_F(Injection, ListEntriesShowEveryByteInTheirRowOnly)
{
    ASSERT_NO_FATAL_FAILURE(connect_client());
    vt_snapshot before = vt_take_snapshot(screen());
    std::vector<std::string> texts = hostile_texts();
    std::string lines = "LIST_START=" + std::to_string(texts.size()) + "\n";
    for (size_t i = 0; i < texts.size(); i++)
        lines += "NAM" + std::to_string(i) + "]=" + (i % 2 ? "-1," : "4,") + texts[i] + "\n";
    send(lines + "LIST_END\n");
    sync();
    expect_only_changed(before, {list_area, message_area}, "list entries");
    // Directories come first, in arrival order, then the files.
    std::vector<std::string> shown;
    for (size_t i = 1; i < texts.size(); i += 2)
        shown.push_back(texts[i]);
    for (size_t i = 0; i < texts.size(); i += 2)
        shown.push_back(texts[i]);
    for (size_t i = 0; i < shown.size() && (int)i < lh; i++)
        EXPECT_EQ(list_text(screen(), (int)i), cut(printable(shown[i]), lw)) << "row " << i;
}

TEST_F(Injection, ListTitlesShowEveryByteInTheTopBorderOnly)
{
    ASSERT_NO_FATAL_FAILURE(connect_client());
    for (const std::string &text : hostile_texts()) {
        vt_snapshot before = vt_take_snapshot(screen());
        send("LISTNAME=" + text + "\n");
        ASSERT_NO_FATAL_FAILURE(sync());
        std::string context = "title " + printable(text);
        expect_only_changed(before, {{0, 1, 0, cols - 2}}, context);
        EXPECT_EQ(vt_row(screen(), 0), expected_title_row(as_received(text, 256))) << context;
        if (HasFailure())
            return;
    }
}

TEST_F(Injection, MessagesShowEveryByteOnTheMessageLineOnly)
{
    ASSERT_NO_FATAL_FAILURE(connect_client());
    for (const char *key : {"D", "CURNAME"}) {
        for (const std::string &text : hostile_texts()) {
            vt_snapshot before = vt_take_snapshot(screen());
            send(std::string(key) + "=" + text + "\n");
            ASSERT_NO_FATAL_FAILURE(sync());
            std::string context = std::string(key) + " " + printable(text);
            expect_only_changed(before, {message_area}, context);
            EXPECT_EQ(message_text(screen()), cut(printable(as_received(text, 256)), cols - 7))
                << context;
            if (HasFailure())
                return;
        }
    }
}

// The now-playing line as the client builds it from the stored tags.
std::string now_playing(const std::string &title, const std::string &artist,
                        const std::string &album, const std::string &year,
                        const std::string &comment)
{
    std::string text = title;
    if (!artist.empty())
        text += " - " + artist;
    std::string details;
    for (const std::string *part : {&year, &album, &comment})
        if (!part->empty())
            details += (details.empty() ? "" : ", ") + *part;
    if (!details.empty())
        text += " (" + details + ")";
    return text.substr(0, 255);
}

struct tag_round {
    std::string title, artist, album, year, genre, comment;
};

// Round r of the texts cut to the size of each tag field: the year, the shortest, takes every
// byte value; the longer fields take the terminal sequences too.
tag_round tags_of_round(int r)
{
    static const std::string bytes = every_byte();
    static const std::string stream = hostile_stream();
    return {stream_piece(stream, r, 39), stream_piece(stream, r + 1, 39),
            stream_piece(stream, r + 2, 39), stream_piece(bytes, r, 7),
            stream_piece(stream, r, 15), stream_piece(stream, r + 3, 39)};
}

// Rounds until every field has had its whole text.
int tag_rounds()
{
    return rounds_to_cover(every_byte(), 7);
}

std::string tag_lines(const tag_round &t)
{
    return "TITLE=" + t.title + "\nARTIST=" + t.artist + "\nALBUM=" + t.album + "\nYEAR=" +
           t.year + "\nGENRE=" + t.genre + "\nCOMMENT=" + t.comment + "\n";
}

TEST_F(Injection, TagsShowEveryByteOnTheNowPlayingLineOnly)
{
    ASSERT_NO_FATAL_FAILURE(connect_client());
    // A full redraw leaves the scroll-bar mark off until the cursor moves: compare redraws.
    type_and_sync("\x0c");
    vt_snapshot before = vt_take_snapshot(screen());
    for (int r = 0; r < tag_rounds(); r++) {
        tag_round t = tags_of_round(r);
        send(tag_lines(t));
        ASSERT_NO_FATAL_FAILURE(sync());
        ASSERT_NO_FATAL_FAILURE(type_and_sync("\x0c"));
        std::string context = "round " + std::to_string(r) + ": " + printable(t.title);
        expect_only_changed(before, {message_area, clock_area}, context);
        std::string text = now_playing(as_received(t.title, 40), as_received(t.artist, 40),
                                       as_received(t.album, 40), as_received(t.year, 8),
                                       as_received(t.comment, 40));
        EXPECT_EQ(message_text(screen()), cut(printable(text), cols - 7)) << context;
        if (HasFailure())
            return;
    }
}

TEST_F(Injection, TagsShowEveryByteOnTheInfoScreenOnly)
{
    ASSERT_NO_FATAL_FAILURE(connect_client());
    vt_snapshot before = vt_take_snapshot(screen());
    for (int r = 0; r < tag_rounds(); r++) {
        tag_round t = tags_of_round(r);
        send(tag_lines(t));
        ASSERT_NO_FATAL_FAILURE(sync());
        ASSERT_NO_FATAL_FAILURE(type_and_sync("i"));
        std::string context = "round " + std::to_string(r) + ": " + printable(t.title);
        expect_only_changed(before, {list_area}, context);
        const std::pair<const char *, std::string> rows_shown[] = {
            {"Title:   ", as_received(t.title, 40)},   {"Artist:  ", as_received(t.artist, 40)},
            {"Album:   ", as_received(t.album, 40)},   {"Year:    ", as_received(t.year, 8)},
            {"Genre:   ", as_received(t.genre, 16)},   {"Comment: ", as_received(t.comment, 40)},
        };
        for (int i = 0; i < 6; i++)
            EXPECT_EQ(list_text(screen(), 5 + i),
                      cut(rows_shown[i].first + printable(rows_shown[i].second), lw))
                << context;
        ASSERT_NO_FATAL_FAILURE(type_and_sync("i"));
        EXPECT_EQ(list_text(screen(), 2), "file two") << context;
        if (HasFailure())
            return;
    }
}

TEST_F(Injection, CoreVersionShowsEveryByteOnTheHelpScreenOnly)
{
    ASSERT_NO_FATAL_FAILURE(connect_client());
    vt_snapshot before = vt_take_snapshot(screen());
    std::string stream = hostile_stream();
    for (int r = 0; r < rounds_to_cover(stream, 39); r++) {
        std::string version = stream_piece(stream, r, 39);
        send("HELLO=" + version + "\n");
        ASSERT_NO_FATAL_FAILURE(sync());
        ASSERT_NO_FATAL_FAILURE(type_and_sync("h"));
        std::string context = "version " + printable(version);
        expect_only_changed(before, {list_area}, context);
        std::string shown = "vesk-core ver:" + printable(as_received(version, 40));
        EXPECT_EQ(list_text(screen(), 1), cut(shown, lw)) << context;
        ASSERT_NO_FATAL_FAILURE(type_and_sync("h"));
        if (HasFailure())
            return;
    }
}

TEST_F(Injection, CoreQuitTextsLeaveOnlyTheDisconnectedScreen)
{
    std::string sequences;
    for (const std::string &seq : terminal_sequences())
        sequences += seq + "|";
    for (const std::string &text : {every_byte(), sequences}) {
        ASSERT_NO_FATAL_FAILURE(connect_client());
        vt_snapshot before = vt_take_snapshot(screen());
        send("COREQUIT=" + text + "\n");
        ASSERT_TRUE(wait_until(
            client,
            [&] {
                return message_text(screen()) == "disconnected." && list_text(screen(), 1).empty();
            },
            5000));
        std::string context = "COREQUIT " + printable(text);
        const std::vector<region> redrawn = {
            {0, 1, 0, cols - 2}, list_area, message_area,
            {rows - 2, 2, rows - 2, 8}, {rows - 2, 11, rows - 2, 16}, // the times
            {rows - 4, 42, rows - 4, cols - 4},                       // the progress bar
        };
        expect_only_changed(before, redrawn, context);
        stop_client(client);
        stop_script_peer(peer);
    }
}

// The prompt ends by itself at its 256th character; what the paste holds beyond it ("]" is Next,
// "Q" the core's Quit) must not run as keys.
TEST_F(Injection, APasteLongerThanThePromptSendsOnlyTheLoadOfItsStart)
{
    ASSERT_NO_FATAL_FAILURE(connect_client());
    type(client, "o");
    ASSERT_TRUE(wait_until(client, [&] { return message_text(screen()) == "open:"; }, 5000));
    std::string text;
    for (int i = 0; i < 256; i++)
        text += (char)('a' + i % 26);
    size_t from = peer.received.size();
    type(client, text + "]]]Q");
    // The load line holds what its buffer takes of the text.
    std::string load = "LOAD2 " + text.substr(0, 248);
    ASSERT_TRUE(wait_for_command(client, peer, load, from));
    ASSERT_NO_FATAL_FAILURE(type_and_sync(""));
    EXPECT_EQ(peer.received.substr(from), load + "VOL+");
    EXPECT_FALSE(client.exited);
}

} // namespace

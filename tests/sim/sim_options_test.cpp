// The simulator's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_options.h"

namespace {

bool parse(std::vector<const char *> args, sim_options &opts, std::string &error)
{
    args.insert(args.begin(), "vesk-core-sim");
    char text[256] = "";
    bool ok = sim_parse_options((int)args.size(), args.data(), opts, text, sizeof text);
    error = text;
    return ok;
}

TEST(SimOptions, DefaultsAndBothValueForms)
{
    sim_options opts;
    std::string error;
    ASSERT_TRUE(parse({}, opts, error));
    EXPECT_STREQ(opts.host, "127.0.0.1");
    EXPECT_EQ(opts.port, 44322);
    EXPECT_EQ(opts.big, 0);
    EXPECT_EQ(opts.tick_ms, 1000);
    EXPECT_FALSE(opts.quiet);
    EXPECT_FALSE(opts.help);

    ASSERT_TRUE(parse({"--host", "localhost", "--port=0", "--big", "1000000", "--tick-ms=5",
                       "--quiet"},
                      opts, error));
    EXPECT_STREQ(opts.host, "localhost");
    EXPECT_EQ(opts.port, 0);
    EXPECT_EQ(opts.big, 1000000);
    EXPECT_EQ(opts.tick_ms, 5);
    EXPECT_TRUE(opts.quiet);
    ASSERT_TRUE(parse({"-h"}, opts, error));
    EXPECT_TRUE(opts.help);
}

TEST(SimOptions, RejectsWhatItCannotUse)
{
    sim_options opts;
    std::string error;
    EXPECT_FALSE(parse({"--port", "65536"}, opts, error));
    EXPECT_EQ(error, "--port needs a number from 0 to 65535, not \"65536\"");
    EXPECT_FALSE(parse({"--port", "12x"}, opts, error));
    EXPECT_FALSE(parse({"--big", "-1"}, opts, error));
    EXPECT_FALSE(parse({"--big", "1000001"}, opts, error));
    EXPECT_FALSE(parse({"--tick-ms", "0"}, opts, error));
    EXPECT_FALSE(parse({"--port"}, opts, error));
    EXPECT_EQ(error, "--port needs a number from 0 to 65535, not \"\"");
    EXPECT_FALSE(parse({"--host", ""}, opts, error));
    EXPECT_FALSE(parse({"--portable"}, opts, error));
    EXPECT_EQ(error, "unknown option \"--portable\"");
    EXPECT_FALSE(parse({"44322"}, opts, error));
}

} // namespace

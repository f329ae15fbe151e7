// The set-up a reference recording declares beside its movie.
#include "tools/cli/run_setup.h"

#include <gtest/gtest.h>

namespace {

TEST(RunSetup, ReadsQualityAndWindowFromThePlayerOptionsOnly) {
    const auto s = cli::parseRunSetup(
        "num_frames = 1\n"
        "[image_comparisons.output]\n"
        "with_renderer = { quality = \"high\" }\n"
        "viewport_dimensions = { width = 10, height = 10 }\n"
        "\n[player_options]\r\n"
        "with_renderer = { optional = false, quality = \"low\" }\r\n"
        "viewport_dimensions = { width = 800, height = 400, scale_factor = 1.0 }\n"
        "[subtests.fp9]\n"
        "with_renderer = { quality = \"high\" }\n");
    ASSERT_TRUE(s.quality);
    EXPECT_EQ(*s.quality, swf::Quality::Low);
    EXPECT_EQ(s.viewportWidth, 800);
    EXPECT_EQ(s.viewportHeight, 400);

    const auto medium =
        cli::parseRunSetup("[player_options]\nwith_renderer = {quality=\"medium\"}\n");
    ASSERT_TRUE(medium.quality);
    EXPECT_EQ(*medium.quality, swf::Quality::High);
}

TEST(RunSetup, LeavesOutWhatItCannotTrust) {
    // Broken quotes, absurd or negative sizes and keys that only end like ours are ignored.
    const auto s = cli::parseRunSetup(
        "[player_options]\n"
        "with_renderer = { quality = \"low }\n"
        "viewport_dimensions = { width = 99999, height = 400 }\n"
        "my_viewport_dimensions = { width = 20, height = 20 }\n"
        "viewport_dimensions = { mywidth = 30, height = -5 }\n");
    EXPECT_FALSE(s.quality);
    EXPECT_EQ(s.viewportWidth, 0);
    EXPECT_EQ(s.viewportHeight, 0);

    const auto empty = cli::parseRunSetup("");
    EXPECT_FALSE(empty.quality);
    EXPECT_FALSE(cli::runSetupBeside("/nonexistent/dir/movie.swf").quality);
}

}  // namespace

// The install job's arithmetic (bar, space check) and the texts it builds for 7z.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "job/listing.h"

namespace {

TEST(ExtractionPosition, MovesFromZeroToNinetyTruncating)
{
    EXPECT_EQ(extraction_position(0, 0, 1000), 0);
    EXPECT_EQ(extraction_position(11, 0, 1000), 0);    // 0.99 truncates
    EXPECT_EQ(extraction_position(12, 0, 1000), 1);
    EXPECT_EQ(extraction_position(500, 0, 1000), 45);
    EXPECT_EQ(extraction_position(100, 400, 1000), 45);  // copied bytes count too
    EXPECT_EQ(extraction_position(999, 0, 1000), 89);
    EXPECT_EQ(extraction_position(400, 600, 1000), 90);
    // Files that outgrow the listed total never push the bar past the extraction's share.
    EXPECT_EQ(extraction_position(5000, 600, 1000), 90);
}

TEST(ExtractionPosition, TotalOfZeroOrLessDoesNotDivide)
{
    EXPECT_EQ(extraction_position(0, 0, 0), 0);
    EXPECT_EQ(extraction_position(123456, 789, 0), 0);
    EXPECT_EQ(extraction_position(10, 10, -5), 0);
}

TEST(ExtractionPosition, SizesOfTwoGibibytesAndMore)
{
    const long long gib = 1LL << 30;
    EXPECT_EQ(extraction_position(gib, 2 * gib, 4 * gib), 67);  // 3/4 of 90 = 67.5
    EXPECT_EQ(extraction_position(3 * gib, 0, 6 * gib), 45);
    EXPECT_EQ(extraction_position(4 * gib + 1, 0, 9 * gib), 40);
    EXPECT_EQ(extraction_position(6 * gib, 3 * gib, 9 * gib), 90);
    // 32-bit arithmetic would wrap here: (2^31 + 2^31) * 90.
    EXPECT_EQ(extraction_position(2 * gib, 2 * gib, 8 * gib), 45);
    // Near the top of the range nothing overflows.
    EXPECT_EQ(extraction_position(LLONG_MAX / 2, 0, LLONG_MAX), 44);
    EXPECT_EQ(extraction_position(LLONG_MAX, LLONG_MAX, LLONG_MAX), 90);
}

TEST(SpaceCheck, NeedIsTotalPlusOneInWholeMegabytes)
{
    const long long mb = 1 << 20;
    EXPECT_EQ(space_needed_mb(73400319), 70);  // 70 MB minus one byte
    EXPECT_TRUE(space_is_enough(70ULL * mb, 73400319));
    EXPECT_FALSE(space_is_enough(70ULL * mb - 1, 73400319));
    EXPECT_EQ(total_megabytes(73400319), 69);  // what the "not enough space" line shows

    EXPECT_EQ(space_needed_mb(1048574), 0);  // any drive passes
    EXPECT_TRUE(space_is_enough(0, 1048574));
    EXPECT_EQ(space_needed_mb(1048575), 1);
    EXPECT_FALSE(space_is_enough(mb - 1, 1048575));
    EXPECT_EQ(space_needed_mb(0), 0);
}

TEST(SpaceCheck, TotalsOfTwoGibibytesAndMore)
{
    const long long gib = 1LL << 30;
    // A total saturated to 2^31 - 1 would ask for only 2048 MB.
    EXPECT_EQ(space_needed_mb(5 * gib), 5120);
    EXPECT_FALSE(space_is_enough(4ULL * gib, 5 * gib));
    EXPECT_FALSE(space_is_enough(5ULL * gib - 1, 5 * gib));
    EXPECT_TRUE(space_is_enough(5ULL * gib, 5 * gib));
    EXPECT_EQ(total_megabytes(5 * gib), 5120);
    EXPECT_EQ(space_needed_mb(LLONG_MAX), (LLONG_MAX >> 20) + 1);
    EXPECT_FALSE(space_is_enough(ULLONG_MAX >> 20, LLONG_MAX));
    EXPECT_EQ(total_megabytes(LLONG_MAX), INT_MAX);
}

TEST(CommandLines, AsSevenZipIsGivenThem)
{
    char buffer[1024];
    EXPECT_EQ(listing_command(buffer, "C:\\images\\zerka.iso"), 0);
    EXPECT_STREQ(buffer, "7z l \"C:\\images\\zerka.iso\" *.sfs vmlinuz initrd.gz");
    EXPECT_EQ(extraction_command(buffer, 'D', "C:\\images\\zerka.iso", "zerka_500.sfs"), 0);
    EXPECT_STREQ(buffer, "7z e -y -oD:\\zerka\\ \"C:\\images\\zerka.iso\" \"zerka_500.sfs\"");
    EXPECT_EQ(extraction_target(buffer, 'D', "boot\\x.sfs"), 0);
    EXPECT_STREQ(buffer, "D:\\zerka\\boot\\x.sfs");
}

TEST(CommandLines, TextsThatDoNotFitAreRefused)
{
    char buffer[1024];
    // "7z l \"\" *.sfs vmlinuz initrd.gz" is 31 bytes: a path of 992 fits exactly 1023.
    EXPECT_EQ(listing_command(buffer, std::string(992, 'p').c_str()), 0);
    EXPECT_EQ(strlen(buffer), 1023u);
    EXPECT_EQ(listing_command(buffer, std::string(993, 'p').c_str()), 1);

    std::string image(900, 'i');
    // "7z e -y -oD:\\zerka\\ \"\" \"\"" is 25 bytes.
    EXPECT_EQ(extraction_command(buffer, 'D', image.c_str(), std::string(98, 'n').c_str()), 0);
    EXPECT_EQ(extraction_command(buffer, 'D', image.c_str(), std::string(99, 'n').c_str()), 1);
    // "D:\\zerka\\" is 9 bytes.
    EXPECT_EQ(extraction_target(buffer, 'D', std::string(1014, 'n').c_str()), 0);
    EXPECT_EQ(extraction_target(buffer, 'D', std::string(1015, 'n').c_str()), 1);
}

}  // namespace

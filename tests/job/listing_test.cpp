// The image listing as 7z prints it: the current layout (recorded from 7-Zip 26.02 under
// Wine) and the older one (recorded from 7-Zip 9.20), plus damaged and hostile listings.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "job/listing.h"

namespace {

// Lines joined with CR LF, as 7z writes its standard output.
std::string crlf(const std::vector<std::string> &lines)
{
    std::string text;
    for (const auto &line : lines) text += line + "\r\n";
    return text;
}

const std::vector<std::string> current_header = {
    "",
    "7-Zip (z) 26.02 (x86) : Copyright (c) 1999-2026 Igor Pavlov : 2026-06-25",
    "",
    "Scanning the drive for archives:",
    "1 file, 397312 bytes (388 KiB)",
    "",
    "Listing archive: C:\\t.iso",
    "",
    "--",
    "Path = C:\\t.iso",
    "Type = Iso",
    "Physical Size = 397312",
    "Comment = ",
    "{",
    "VolumeSpaceSize: 397312",
    "}",
    "Created = 2026-12-06 21:44:02.00",
    "Modified = 2026-12-06 21:44:02.00",
    "",
    "   Date      Time    Attr         Size   Compressed  Name",
};
const std::string separator =
    "------------------- ----- ------------ ------------  ------------------------";

std::string current_listing(const std::vector<std::string> &files, const std::string &totals)
{
    std::vector<std::string> lines = current_header;
    lines.push_back(separator);
    lines.insert(lines.end(), files.begin(), files.end());
    lines.push_back(separator);
    lines.push_back(totals);
    return crlf(lines);
}

// 7-Zip 9.20 on an ISO image: blank attribute column, undated totals with folders.
std::string old_listing(const std::vector<std::string> &files, const std::string &totals)
{
    std::vector<std::string> lines = {
        "",
        "7-Zip 9.20  Copyright (c) 1999-2010 Igor Pavlov  2010-11-18",
        "",
        "Listing archive: zerka.iso",
        "",
        "--",
        "Path = zerka.iso",
        "Type = Iso",
        "",
        "   Date      Time    Attr         Size   Compressed  Name",
        separator,
    };
    lines.insert(lines.end(), files.begin(), files.end());
    lines.push_back(separator);
    lines.push_back(totals);
    return crlf(lines);
}

struct parsed {
    int total_status = -1;
    long long total = -1;
    std::vector<std::pair<std::string, long long>> files;
};

// Reads a listing the way the job does: the totals first, then the file walk.
parsed parse(std::string text)
{
    parsed result;
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    result.total_status = listing_total(buffer.data(), &result.total);
    listing_cursor cursor;
    listing_begin(&cursor, buffer.data());
    listing_file file;
    while (listing_next(&cursor, &file)) {
        EXPECT_GE(file.name, buffer.data());
        EXPECT_LT(file.name, buffer.data() + buffer.size());
        result.files.emplace_back(file.name, file.size);
    }
    return result;
}

using file_list = std::vector<std::pair<std::string, long long>>;

TEST(ListingCurrentFormat, RealOutputGivesTotalAndFilesButNoFolderNorTotals)
{
    parsed p = parse(current_listing(
        {"2026-12-06 21:44:02 D....                            dir.sfs",
         "2026-12-06 21:44:02 .....         5000         5000  initrd.gz",
         "2026-12-06 21:44:02 .....         3000         3000  vmlinuz",
         "2026-12-06 21:44:02 .....         7000         7000  zerka_100.sfs"},
        "2026-12-06 21:44:02              15000        15000  3 files, 1 folders"));
    EXPECT_EQ(p.total_status, 0);
    EXPECT_EQ(p.total, 15000);
    EXPECT_EQ(p.files, (file_list{{"initrd.gz", 5000}, {"vmlinuz", 3000}, {"zerka_100.sfs", 7000}}));
}

TEST(ListingCurrentFormat, TotalsWithoutFoldersAndInCapitals)
{
    for (const char *word : {"files", "Files", "FILES", "fiLes"}) {
        parsed p = parse(current_listing(
            {"2026-12-06 20:13:54 .....      3000000      3000000  vmlinuz"},
            std::string("2026-12-06 20:13:54            3000000      3000000  1 ") + word));
        EXPECT_EQ(p.total_status, 0) << word;
        EXPECT_EQ(p.total, 3000000) << word;
        EXPECT_EQ(p.files, (file_list{{"vmlinuz", 3000000}})) << word;
    }
    parsed p = parse(current_listing(
        {"2026-12-06 20:13:54 ....A      3000000      3000000  vmlinuz"},
        "2026-12-06 20:13:54            3000000      3000000  1 Files, 2 FOLDERS"));
    EXPECT_EQ(p.total, 3000000);
    EXPECT_EQ(p.files, (file_list{{"vmlinuz", 3000000}}));
}

TEST(ListingCurrentFormat, TotalsLineIsNeverTakenForAFile)
{
    // The dated totals line has a colon and would match a file line on its own.
    parsed p = parse(current_listing({}, "2026-12-06 20:13:54                  0            0  0 files"));
    EXPECT_EQ(p.total_status, 0);
    EXPECT_EQ(p.total, 0);
    EXPECT_TRUE(p.files.empty());
}

TEST(ListingCurrentFormat, MissingOrDamagedTotalsLine)
{
    const std::vector<std::string> one = {"2026-12-06 20:13:54 .....         3000         3000  vmlinuz"};
    // Totals line gone after the second separator.
    std::string cut = current_listing(one, "");
    EXPECT_EQ(parse(cut).total_status, 1);
    // Text after the second separator that is not a totals line.
    EXPECT_EQ(parse(current_listing(one, "ERROR: something")).total_status, 1);
    // The totals shape before the separators does not count.
    std::string early = crlf({"   3000   3000  1 files, 0 folders", separator}) + crlf(one) + crlf({separator});
    EXPECT_EQ(parse(early).total_status, 1);
    // The file lines are still read; the job stops at the missing totals before using them.
    EXPECT_EQ(parse(cut).files, (file_list{{"vmlinuz", 3000}}));
}

TEST(ListingOldFormat, RecordedListingWithSeparators)
{
    parsed p = parse(old_listing(
        {"2010-05-01 10:00:00            2345678      2345678  initrd.gz",
         "2010-05-01 10:00:00            1876543      1876543  vmlinuz",
         "2010-05-01 10:00:00           50000000     50000000  zerka_500.sfs"},
        "                               54222221     54222221  3 files, 0 folders"));
    EXPECT_EQ(p.total_status, 0);
    EXPECT_EQ(p.total, 54222221);
    EXPECT_EQ(p.files, (file_list{{"initrd.gz", 2345678}, {"vmlinuz", 1876543}, {"zerka_500.sfs", 50000000}}));
}

TEST(ListingOldFormat, WholeTextSearchWithoutSeparators)
{
    // No separator lines at all: both patterns search the whole text.
    std::string text = crlf({
        "Listing archive: zerka.iso",
        "2010-05-01 10:00:00            2345678      2345678  initrd.gz",
        "2010-05-01 10:00:00             400000       400000  zerka 1.sfs",
        "                                2745678      2745678  2 FILES, 0 Folders",
    });
    parsed p = parse(text);
    EXPECT_EQ(p.total_status, 0);
    EXPECT_EQ(p.total, 2745678);
    EXPECT_EQ(p.files, (file_list{{"initrd.gz", 2345678}, {"zerka 1.sfs", 400000}}));

    // The old totals pattern insists on the folders count.
    EXPECT_EQ(parse(crlf({"   2745678   2745678  2 files"})).total_status, 1);
    // Nothing matches at all.
    parsed none = parse(crlf({"Error:", "cannot open the file as archive"}));
    EXPECT_EQ(none.total_status, 1);
    EXPECT_TRUE(none.files.empty());
    EXPECT_EQ(parse("").total_status, 1);
}

TEST(ListingOldFormat, FileLinePartsNeverCrossALineEnd)
{
    std::string text = crlf({"12:00:00", "  500  500  split.sfs", "10:00:00  7  7  whole.sfs"});
    EXPECT_EQ(parse(text).files, (file_list{{"whole.sfs", 7}}));
}

TEST(ListingNames, KeptWholeWithBlanksFoldersAndDoubleByteText)
{
    const std::string gbk_name = "\xD6\xD0\xCE\xC4\\\xB2\xE2.sfs";  // GBK text with a folder part
    parsed p = parse(current_listing(
        {"2026-12-06 20:13:54 .....          100          100  my zerka.sfs",
         "2026-12-06 20:13:54 .....          200          200  boot\\extra.sfs",
         "2026-12-06 20:13:54 .....          300          300  " + gbk_name},
        "2026-12-06 20:13:54                600          600  3 files"));
    EXPECT_EQ(p.files, (file_list{{"my zerka.sfs", 100}, {"boot\\extra.sfs", 200}, {gbk_name, 300}}));
    for (const auto &f : p.files) EXPECT_TRUE(listing_name_is_safe(f.first.c_str())) << f.first;
}

TEST(ListingNames, NamesThatMustNotReachACommandLine)
{
    for (const char *name : {"a\"b.sfs", "\"", "-ao.sfs", "-", "@list.sfs", "*.sfs", "a?.sfs",
                             "x*", "dir\\\"q\".sfs"})
        EXPECT_FALSE(listing_name_is_safe(name)) << name;
    for (const char *name : {"a-b.sfs", "x@y.sfs", "vmlinuz", "initrd.gz", "sub\\-x.sfs"})
        EXPECT_TRUE(listing_name_is_safe(name)) << name;
    // They still come out of the listing whole, so the job can name them in its log.
    parsed p = parse(current_listing(
        {"2026-12-06 20:13:54 .....           10           10  -ao.sfs",
         "2026-12-06 20:13:54 .....           10           10  q\"uote.sfs"},
        "2026-12-06 20:13:54                 20           20  2 files"));
    EXPECT_EQ(p.files, (file_list{{"-ao.sfs", 10}, {"q\"uote.sfs", 10}}));
}

TEST(ListingSizes, TwoGibibytesAndMoreStayExact)
{
    parsed p = parse(current_listing(
        {"2026-12-06 20:13:54 .....   3000000000   3000000000  big.sfs",
         "2026-12-06 20:13:54 .....   2147483648   2147483648  edge.sfs"},
        "2026-12-06 20:13:54         5147483648   5147483648  2 files"));
    EXPECT_EQ(p.total, 5147483648LL);
    EXPECT_EQ(p.files, (file_list{{"big.sfs", 3000000000LL}, {"edge.sfs", 2147483648LL}}));
    parsed old = parse(old_listing({}, "          4294967296   4294967296  0 files, 0 folders"));
    EXPECT_EQ(old.total, 4294967296LL);

    EXPECT_EQ(parse_size("2147483647"), 2147483647LL);
    EXPECT_EQ(parse_size("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parse_size("9223372036854775808"), INT64_MAX);
    EXPECT_EQ(parse_size("99999999999999999999999 "), INT64_MAX);
    EXPECT_EQ(parse_size("12x4"), 12);
}

TEST(ListingRobustness, MutatedListingsNeverLeaveTheText)
{
    const std::string base = current_listing(
        {"2026-12-06 21:44:02 D....                            dir.sfs",
         "2026-12-06 21:44:02 .....         5000         5000  initrd.gz",
         "2026-12-06 21:44:02 .....         3000         3000  vmlinuz"},
        "2026-12-06 21:44:02               8000         8000  2 files, 1 folders");
    const std::string alphabet = "-: .\r\n0123456789DA\"files";
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; round++) {
        std::string text = round % 2 ? base : old_listing({"2010-05-01 10:00:00   1  1  a"}, "  1  1  1 files, 0 folders");
        int edits = 1 + random() % 8;
        for (int e = 0; e < edits && !text.empty(); e++) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = alphabet[random() % alphabet.size()]; break;
            case 1: text.erase(at, 1 + random() % 20); break;
            default: text.insert(at, 1 + random() % 30, alphabet[random() % alphabet.size()]); break;
            }
        }
        parsed p = parse(text);  // bounds checked inside; run under the sanitizers too
        if (p.total_status == 0) EXPECT_GE(p.total, 0);
        for (const auto &f : p.files) {
            EXPECT_FALSE(f.first.empty());
            EXPECT_EQ(f.first.find_first_of("\r\n"), std::string::npos) << testing::PrintToString(text);
            EXPECT_GE(f.second, 0);
        }
    }
}

}  // namespace

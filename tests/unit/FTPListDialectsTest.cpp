// The listing parser against the line shapes real servers send: Unix-style lines with
// numeric, ISO, day-first and foreign-language dates, odd column layouts, MS-DOS lines with a
// four-digit year and VMS listings; each line on its own and each family as one listing.
#include "ftp/IdFTPList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using Kind = TIdListEntryKind;
using Format = TIdFTPListFormat;

constexpr TIdCalendarDate kToday{2024, 6, 20};

struct DialectCase {
    std::string id;
    Format format;
    std::string line;
    Kind kind;
    std::string name;
    std::int64_t size;
    std::string modified; // "yyyy-mm-dd hh:mm:ss", local time
};

std::ostream& operator<<(std::ostream& out, const DialectCase& c) { return out << c.id; }

constexpr Kind F = Kind::ekFile;
constexpr Kind D = Kind::ekDirectory;
constexpr Kind L = Kind::ekSymLink;
constexpr Format U = Format::lfUnix;
constexpr Format W = Format::lfDos;
constexpr Format V = Format::lfVms;

// The columns before the date, as a typical server writes them.
std::string unix(const std::string& dateAndName, const std::string& size = "1000")
{
    return "-rw-r--r--   1 user     group  " + std::string(10 - std::min<std::size_t>(10, size.size()), ' ')
         + size + " " + dateAndName;
}

const std::vector<DialectCase> kDialects = {
    // --- the common shapes and their column quirks ---
    {"unix-recent", U, "-rw-r--r--    1 alice    staff        1024 Mar 15 09:30 notes.txt", F, "notes.txt", 1024, "2024-03-15 09:30:00"},
    {"unix-old-year", U, "-rw-r--r--    1 alice    staff      524288 Nov  3  2019 archive.tar", F, "archive.tar", 524288, "2019-11-03 00:00:00"},
    {"unix-later-month-is-last-year", U, "drwxr-xr-x    2 alice    staff        4096 Dec 24 18:00 xmas", D, "xmas", 4096, "2023-12-24 18:00:00"},
    {"unix-acl-mark", U, "-rw-r--r--+   1 alice    staff          42 Jun 01 08:00 acl.txt", F, "acl.txt", 42, "2024-06-01 08:00:00"},
    {"unix-mac-attribute-mark", U, "-rw-r--r--@   1 alice    staff          43 Jun 01 08:00 mac.txt", F, "mac.txt", 43, "2024-06-01 08:00:00"},
    {"unix-symlink", U, "lrwxrwxrwx    1 root     root           11 May 05 12:00 latest -> release-2.0", L, "latest", 11, "2024-05-05 12:00:00"},
    {"unix-64-bit-size", U, "-rw-r--r--    1 ftp      ftp  109951162777600 Jan 02  2024 huge.img", F, "huge.img", 109951162777600LL, "2024-01-02 00:00:00"},
    {"unix-name-two-spaces", U, "-rw-r--r--    1 ftp      ftp            10 Jan 02  2024 two  spaces", F, "two  spaces", 10, "2024-01-02 00:00:00"},
    {"unix-name-leading-blank", U, "-rw-r--r--    1 ftp      ftp            10 Jan 02 10:00  leading", F, " leading", 10, "2024-01-02 10:00:00"},
    {"unix-name-trailing-blank", U, "-rw-r--r--    1 ftp      ftp            10 Jan 02  2024 trailing ", F, "trailing ", 10, "2024-01-02 00:00:00"},
    {"unix-name-like-a-date", U, "-rw-r--r--    1 ftp      ftp            10 Jan 02  2024 Mar 15 09:30 notes", F, "Mar 15 09:30 notes", 10, "2024-01-02 00:00:00"},
    {"unix-name-like-an-iso-date", U, "-rw-r--r--    1 ftp      ftp            10 Jan 02 10:00 2020-01-01 12:00 backup.zip", F, "2020-01-01 12:00 backup.zip", 10, "2024-01-02 10:00:00"},
    {"unix-name-only-digits", U, "-rw-r--r--    1 ftp      ftp            10 Jan 02  2024 2014", F, "2014", 10, "2024-01-02 00:00:00"},
    {"unix-name-with-arrow-not-a-link", U, "-rw-r--r--    1 ftp      ftp             7 Jun 01 10:00 a -> b", F, "a -> b", 7, "2024-06-01 10:00:00"},
    {"unix-name-utf8", U, "-rw-r--r--    1 ftp      ftp             7 Jun 01 10:00 Gr\xC3\xBC\xC3\x9F" "e.txt", F, "Gr\xC3\xBC\xC3\x9F" "e.txt", 7, "2024-06-01 10:00:00"},
    {"unix-name-latin1", U, "-rw-r--r--    1 ftp      ftp             7 Jun 01 10:00 caf\xE9.txt", F, "caf\xE9.txt", 7, "2024-06-01 10:00:00"},
    {"unix-no-link-count", U, "-rw-r--r-- ftp ftp 1234 Mar 15 2020 nolink.txt", F, "nolink.txt", 1234, "2020-03-15 00:00:00"},
    {"unix-no-link-count-dir", U, "drwxr-xr-x owner group 512 Apr 02 10:00 sub", D, "sub", 512, "2024-04-02 10:00:00"},
    {"unix-no-group", U, "-rw-r--r--   1 anonymous     1234 Mar 15  2020 readme", F, "readme", 1234, "2020-03-15 00:00:00"},
    {"unix-extra-column", U, "-rw-r--r--   1 owner    group    domain      2048 Apr 01 11:11 extra.txt", F, "extra.txt", 2048, "2024-04-01 11:11:00"},
    {"unix-size-glued-to-group", U, "-rw-r--r--   1 someowner verylonggroupname123456789 Feb 10  2021 glued.bin", F, "glued.bin", 123456789, "2021-02-10 00:00:00"},
    {"unix-device-pair", U, "crw-rw-rw-   1 root     root       1,   3 Jan 01  2020 null", F, "null", 0, "2020-01-01 00:00:00"},
    {"unix-device-glued", U, "brw-rw----   1 root     disk       8,0 May 30  2023 sda", F, "sda", 0, "2023-05-30 00:00:00"},
    {"unix-busybox-numeric-accounts", U, "-rw-r--r--    1 0        0             1234 Jun  3 10:07 busybox.txt", F, "busybox.txt", 1234, "2024-06-03 10:07:00"},
    {"unix-mac-folder", U, "drwxr-xr-x   folder        0 Apr 16 10:15 Photos", D, "Photos", 0, "2024-04-16 10:15:00"},
    {"unix-link-count-glued-to-owner", U, "-rw-r--r-- 0ftpuser ftpgroup 100 Jan 05 2021 glued", F, "glued", 100, "2021-01-05 00:00:00"},
    {"unix-sticky-dir", U, "drwxrwxrwt   10 root     root         4096 Jun 20 07:00 tmp", D, "tmp", 4096, "2024-06-20 07:00:00"},
    {"unix-uppercase-month", U, unix("MAR 15  2020 upper.txt"), F, "upper.txt", 1000, "2020-03-15 00:00:00"},
    // --- dates with a comma, seconds, midnight as 24:00 ---
    {"unix-comma-after-day", U, unix("Oct 08, 2002 09:47 comma.txt", "512"), F, "comma.txt", 512, "2002-10-08 09:47:00"},
    {"unix-comma-after-day-no-time", U, unix("Oct 08, 2002 comma2.txt", "512"), F, "comma2.txt", 512, "2002-10-08 00:00:00"},
    {"unix-midnight-as-24", U, unix("Mar 14 24:00 midnight.log", "100"), F, "midnight.log", 100, "2024-03-15 00:00:00"},
    {"unix-time-with-seconds", U, unix("Jun 01 12:34:56 sec.txt", "5"), F, "sec.txt", 5, "2024-06-01 12:34:56"},
    // --- numeric dates ---
    {"unix-month-day-year", U, unix("09-26 2000 old.txt"), F, "old.txt", 1000, "2000-09-26 00:00:00"},
    {"unix-month-day-time", U, unix("05-26 13:45 new.txt"), F, "new.txt", 1000, "2024-05-26 13:45:00"},
    {"unix-month-day-time-last-year", U, unix("09-26 13:45 sept.txt"), F, "sept.txt", 1000, "2023-09-26 13:45:00"},
    {"unix-plain-month-day-time", U, unix("3 29 03:26 plain.txt"), F, "plain.txt", 1000, "2024-03-29 03:26:00"},
    {"unix-plain-month-day-year", U, unix("11 5 2011 plain2.txt"), F, "plain2.txt", 1000, "2011-11-05 00:00:00"},
    {"unix-iso-time", U, unix("2005-06-07 21:22 iso.txt"), F, "iso.txt", 1000, "2005-06-07 21:22:00"},
    {"unix-iso-no-time", U, unix("2005-06-07 isodate.txt"), F, "isodate.txt", 1000, "2005-06-07 00:00:00"},
    {"unix-iso-seconds", U, unix("2005-06-07 21:22:33 isosec.txt"), F, "isosec.txt", 1000, "2005-06-07 21:22:33"},
    {"unix-slashed", U, unix("1999/10/12 17:12 slash.txt"), F, "slash.txt", 1000, "1999-10-12 17:12:00"},
    {"unix-dotted", U, unix("2004.07.15 dotted.txt"), F, "dotted.txt", 1000, "2004-07-15 00:00:00"},
    {"unix-dotted-time", U, unix("2004.07.15 08:09 dotted2.txt"), F, "dotted2.txt", 1000, "2004-07-15 08:09:00"},
    {"unix-day-month-year", U, unix("24-04-2003 17:12 dayfirst.txt"), F, "dayfirst.txt", 1000, "2003-04-24 17:12:00"},
    {"unix-day-month-year-ambiguous", U, unix("05-04-2003 17:12 ambiguous.txt"), F, "ambiguous.txt", 1000, "2003-04-05 17:12:00"},
    {"unix-month-day-year-four-digits", U, unix("12-31-2003 23:59 mfirst.txt"), F, "mfirst.txt", 1000, "2003-12-31 23:59:00"},
    // --- day before a month name ---
    {"unix-day-first-year", U, unix("01 oct 2004 dfn.txt"), F, "dfn.txt", 1000, "2004-10-01 00:00:00"},
    {"unix-day-first-time-name-begins-with-number", U, unix("29 May 02:27 2014 Invoices"), F, "2014 Invoices", 1000, "2024-05-29 02:27:00"},
    {"unix-day-first-full-time-year", U, unix("29 Jul 02:27:00 2014 dfty.txt"), F, "dfty.txt", 1000, "2014-07-29 02:27:00"},
    {"unix-day-month-name-short-year", U, unix("01-jun-99 short.txt"), F, "short.txt", 1000, "1999-06-01 00:00:00"},
    {"unix-no-date", U, unix("undated.txt"), F, "undated.txt", 1000, "1899-12-30 00:00:00"},
    {"unix-size-unit-fraction", U, unix("Jun 01 10:00 unit.txt", "33.5k"), F, "unit.txt", 34304, "2024-06-01 10:00:00"},
    {"unix-size-unit-bytes", U, unix("Jun 01 10:00 unit2.txt", "2KB"), F, "unit2.txt", 2048, "2024-06-01 10:00:00"},
    {"unix-day-first-time", U, unix("15 Mar 09:30 dft.txt"), F, "dft.txt", 1000, "2024-03-15 09:30:00"},
    {"unix-day-with-dot-german", U, unix("15. M\xC3\xA4r 09:30 de1.txt"), F, "de1.txt", 1000, "2024-03-15 09:30:00"},
    {"unix-german-full-month-comma", U, unix("26. Juli, 20:10 de6.txt"), F, "de6.txt", 1000, "2023-07-26 20:10:00"},
    {"unix-german-month-dot-comma", U, unix("30. Jan., 12:40 de7.txt"), F, "de7.txt", 1000, "2024-01-30 12:40:00"},
    // --- month names in other languages ---
    {"unix-german-mai", U, unix("Mai 12  2019 de2.txt"), F, "de2.txt", 1000, "2019-05-12 00:00:00"},
    {"unix-german-okt", U, unix("Okt 03 11:00 de3.txt"), F, "de3.txt", 1000, "2023-10-03 11:00:00"},
    {"unix-german-dez", U, unix("Dez 24  2020 de4.txt"), F, "de4.txt", 1000, "2020-12-24 00:00:00"},
    {"unix-german-mrz", U, unix("Mrz 01  2021 de5.txt"), F, "de5.txt", 1000, "2021-03-01 00:00:00"},
    {"unix-french-fevr", U, unix("f\xC3\xA9vr. 14  2018 fr1.txt"), F, "fr1.txt", 1000, "2018-02-14 00:00:00"},
    {"unix-french-aout", U, unix("ao\xC3\xBBt 15  2017 fr2.txt"), F, "fr2.txt", 1000, "2017-08-15 00:00:00"},
    {"unix-french-day-first", U, unix("3 janv. 2020 fr3.txt"), F, "fr3.txt", 1000, "2020-01-03 00:00:00"},
    {"unix-french-dec", U, unix("d\xC3\xA9" "c. 31  2016 fr4.txt"), F, "fr4.txt", 1000, "2016-12-31 00:00:00"},
    {"unix-french-juil", U, unix("juil. 14 10:00 fr5.txt"), F, "fr5.txt", 1000, "2023-07-14 10:00:00"},
    {"unix-spanish-ene", U, unix("ene 06  2015 es1.txt"), F, "es1.txt", 1000, "2015-01-06 00:00:00"},
    {"unix-spanish-dic", U, unix("dic 25  2014 es2.txt"), F, "es2.txt", 1000, "2014-12-25 00:00:00"},
    {"unix-spanish-ago", U, unix("ago 01  2013 es3.txt"), F, "es3.txt", 1000, "2013-08-01 00:00:00"},
    {"unix-spanish-abr", U, unix("abr 23 16:00 es4.txt"), F, "es4.txt", 1000, "2024-04-23 16:00:00"},
    {"unix-italian-gen", U, unix("gen 07  2012 it1.txt"), F, "it1.txt", 1000, "2012-01-07 00:00:00"},
    {"unix-italian-mag", U, unix("mag 09  2011 it2.txt"), F, "it2.txt", 1000, "2011-05-09 00:00:00"},
    {"unix-italian-giu", U, unix("giu 02 10:00 it3.txt"), F, "it3.txt", 1000, "2024-06-02 10:00:00"},
    {"unix-italian-lug", U, unix("lug 20  2010 it4.txt"), F, "it4.txt", 1000, "2010-07-20 00:00:00"},
    {"unix-italian-set", U, unix("set 11  2009 it5.txt"), F, "it5.txt", 1000, "2009-09-11 00:00:00"},
    {"unix-italian-ott", U, unix("ott 31  2008 it6.txt"), F, "it6.txt", 1000, "2008-10-31 00:00:00"},
    {"unix-dutch-mrt", U, unix("mrt 17  2016 nl1.txt"), F, "nl1.txt", 1000, "2016-03-17 00:00:00"},
    {"unix-dutch-mei", U, unix("mei 04 12:00 nl2.txt"), F, "nl2.txt", 1000, "2024-05-04 12:00:00"},
    {"unix-dutch-day-first", U, unix("5 okt 2019 nl3.txt"), F, "nl3.txt", 1000, "2019-10-05 00:00:00"},
    {"unix-swedish-maj", U, unix("maj 17  2015 sv1.txt"), F, "sv1.txt", 1000, "2015-05-17 00:00:00"},
    {"unix-hungarian-marc", U, unix("m\xC3\xA1rc. 15  2014 hu1.txt"), F, "hu1.txt", 1000, "2014-03-15 00:00:00"},
    {"unix-hungarian-szept", U, unix("szept 01  2013 hu2.txt"), F, "hu2.txt", 1000, "2013-09-01 00:00:00"},
    {"unix-hungarian-apr", U, unix("\xC3\xA1pr. 11 08:00 hu3.txt"), F, "hu3.txt", 1000, "2024-04-11 08:00:00"},
    {"unix-portuguese-out", U, unix("out 10  2012 pt1.txt"), F, "pt1.txt", 1000, "2012-10-10 00:00:00"},
    {"unix-portuguese-fev", U, unix("fev 28  2011 pt2.txt"), F, "pt2.txt", 1000, "2011-02-28 00:00:00"},
    {"unix-polish-lis", U, unix("lis 11  2018 pl1.txt"), F, "pl1.txt", 1000, "2018-11-11 00:00:00"},
    {"unix-russian-jan", U, unix("\xD1\x8F\xD0\xBD\xD0\xB2 10  2018 ru1.txt"), F, "ru1.txt", 1000, "2018-01-10 00:00:00"},
    // --- Chinese, Japanese and Korean dates ---
    {"unix-chinese-month-time", U, unix(" 3\xE6\x9C\x88 29 03:26 cn1.txt"), F, "cn1.txt", 1000, "2024-03-29 03:26:00"},
    {"unix-chinese-day-mark-year", U, unix("10\xE6\x9C\x88 12\xE6\x97\xA5  2003 cn2.txt"), F, "cn2.txt", 1000, "2003-10-12 00:00:00"},
    {"unix-chinese-year-first", U, unix("2014\xE5\xB9\xB4 3\xE6\x9C\x88 29\xE6\x97\xA5 10:00 cn3.txt"), F, "cn3.txt", 1000, "2014-03-29 10:00:00"},
    {"unix-japanese-year", U, unix(" 3\xE6\x9C\x88 29  2014 jp1.txt"), F, "jp1.txt", 1000, "2014-03-29 00:00:00"},
    {"unix-korean-time", U, unix("3\xEC\x9B\x94 29\xEC\x9D\xBC 03:26 kr1.txt"), F, "kr1.txt", 1000, "2024-03-29 03:26:00"},
    {"unix-chinese-day-mark-time", U, unix("7\xE6\x9C\x88 26\xE6\x97\xA5 20:10 cn4.txt"), F, "cn4.txt", 1000, "2023-07-26 20:10:00"},
    {"unix-japanese-day-mark-alone", U, unix("5\xE6\x9C\x88 26\xE6\x97\xA5 jp2.txt"), F, "jp2.txt", 1000, "2024-05-26 00:00:00"},
    {"unix-korean-day-mark-alone", U, unix("7\xEC\x9B\x94 26\xEC\x9D\xBC kr3.txt"), F, "kr3.txt", 1000, "2023-07-26 00:00:00"},
    {"unix-korean-year-first", U, unix("2014\xEB\x85\x84 3\xEC\x9B\x94 29\xEC\x9D\xBC kr2.txt"), F, "kr2.txt", 1000, "2014-03-29 00:00:00"},
    // --- MS-DOS ---
    {"dos-four-digit-year-dir", W, "2002-09-02  18:48       <DIR>          Program Files", D, "Program Files", 0, "2002-09-02 18:48:00"},
    {"dos-four-digit-year-file", W, "2002-09-02  18:48               12,345 readme.txt", F, "readme.txt", 12345, "2002-09-02 18:48:00"},
    {"dos-four-digit-year-over-4gib", W, "2023-01-15  07:05        5,368,709,120 backup.vhd", F, "backup.vhd", 5368709120LL, "2023-01-15 07:05:00"},
    {"dos-four-digit-year-name-blanks", W, "2002-09-02  18:48                  100 two  spaces.txt", F, "two  spaces.txt", 100, "2002-09-02 18:48:00"},
    {"dos-us-four-digit-year-ampm", W, "09-02-2002  06:48PM       <DIR>          Docs", D, "Docs", 0, "2002-09-02 18:48:00"},
    {"dos-classic-dir", W, "01-31-02  10:15AM       <DIR>          My Folder", D, "My Folder", 0, "2002-01-31 10:15:00"},
    {"dos-classic-file", W, "06-19-24  05:45PM               18,432 Annual Report.pdf", F, "Annual Report.pdf", 18432, "2024-06-19 17:45:00"},
    // --- VMS ---
    {"vms-file", V, "README.TXT;1          2/4      12-MAR-2003 10:11:12  [GROUP,USER]  (RWED,RWED,RE,)", F, "README.TXT", 1024, "2003-03-12 10:11:12"},
    {"vms-directory", V, "SUB.DIR;1             1/3      01-JAN-2020 00:00:00  [USER]  (RWE,RWE,RE,E)", D, "SUB.DIR", 512, "2020-01-01 00:00:00"},
    {"vms-date-before-size", V, "LOGIN.COM;12   5-FEB-2019 09:30:00.50   3/6  [SYSTEM]  (RWED,RWED,RE,)", F, "LOGIN.COM", 1536, "2019-02-05 09:30:00"},
    {"vms-no-owner-no-protection", V, "DATA.BIN;3      250/252   30-JUN-2021 23:59", F, "DATA.BIN", 128000, "2021-06-30 23:59:00"},
    {"vms-used-blocks-only", V, "NOTES.TXT;7   4  15-AUG-2018 14:20:05  [ADMIN,JOE]  (RWED,RWED,R,)", F, "NOTES.TXT", 2048, "2018-08-15 14:20:05"},
    {"vms-owner-with-blank", V, "MAIL.MAI;1   10/12  02-DEC-2022 16:45:10  [STAFF, ANN]  (RW,RW,,)", F, "MAIL.MAI", 5120, "2022-12-02 16:45:10"},
};

std::string stamp(TDateTime value)
{
    const TIdCalendarDate date = DecodeDate(value);
    const long seconds = static_cast<long>(std::floor((value - std::floor(value)) * 86400.0 + 1e-4));
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02ld:%02ld:%02ld", date.year, date.month, date.day,
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

void expectEntry(const TIdFTPListItem& item, const DialectCase& c)
{
    EXPECT_EQ(item.EntryName, c.name);
    EXPECT_EQ(item.EntryKind, c.kind);
    EXPECT_EQ(item.ByteSize, c.size);
    EXPECT_EQ(stamp(item.ModTime), c.modified);
}

TIdFTPListItems loaded(const std::vector<std::string>& lines)
{
    TIdFTPListItems items;
    items.SetToday(kToday);
    items.SetLineFormat(items.DetectFormat(lines.front(), true));
    items.LoadLines(lines);
    return items;
}

class ListingDialects : public ::testing::TestWithParam<DialectCase> {};

TEST_P(ListingDialects, LineOnItsOwn)
{
    const DialectCase& c = GetParam();
    const TIdFTPListItems items = loaded({c.line});
    EXPECT_EQ(items.LineFormat(), c.format);
    ASSERT_EQ(items.Count(), 1) << c.line;
    expectEntry(items[0], c);
    EXPECT_EQ(items.SkippedLines(), 0);
}

INSTANTIATE_TEST_SUITE_P(Listing, ListingDialects, ::testing::ValuesIn(kDialects), [](const auto& info) {
    std::string name = info.param.id;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(ListingDialectsTogether, EachFamilyAsOneListingKeepsEveryEntry)
{
    std::map<Format, std::vector<DialectCase>> families;
    for (const DialectCase& c : kDialects)
        families[c.format].push_back(c);
    EXPECT_GE(kDialects.size(), 80u);
    for (const auto& [format, cases] : families) {
        std::vector<std::string> lines;
        for (const DialectCase& c : cases)
            lines.push_back(c.line);
        const TIdFTPListItems items = loaded(lines);
        ASSERT_EQ(items.Count(), static_cast<std::int64_t>(cases.size()));
        for (std::size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(cases[i].id);
            expectEntry(items[static_cast<std::int64_t>(i)], cases[i]);
        }
    }
}

TEST(ListingDialectsTogether, UnreadableLinesCostOnlyThemselves)
{
    const TIdFTPListItems items = loaded({
        "total 12",
        "-rw-r--r--   1 a  b   1 Jun 01 10:00 first",
        "ls: cannot open directory 'secret': Permission denied",
        "-rw-r--r--   1 a  b   2 Foo 01 10:00 bad-month",
        "2002-09-02  18:48       <DIR>          dos-entry",
        "-rw-r--r--   1 a  b   3 Feb 30  2020 impossible-day",
        "-rw-r--r--   1 a  b   4 Jun 02 10:00 second",
        "garbage",
        "-rw-r--r--   1 a  b   5 Jun 03 10:00",
        "-rw-r--r--   1 a  b   6 Jun 04 10:00 third",
    });
    std::vector<std::string> names;
    for (const TIdFTPListItem& item : items)
        names.push_back(item.EntryName);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "dos-entry", "second", "third"}));
    EXPECT_EQ(items.SkippedLines(), 5);
}

TEST(ListingDialectsTogether, BannerBeforeTheEntriesIsSkipped)
{
    const TIdFTPListItems items = loaded({"Welcome to the archive", "-rw-r--r-- 1 a b 1 Jun 01 10:00 x"});
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].EntryName, "x");
    EXPECT_EQ(items.SkippedLines(), 1);
}

TEST(ListingDialectsTogether, VmsListingWithFrameAndContinuedEntry)
{
    const TIdFTPListItems items = loaded({
        "",
        "Directory DISK$USER:[JOE.PROJECT]",
        "",
        "A_VERY_LONG_FILE_NAME_INDEED.DATA;1",
        "                     17/18    03-APR-2022 08:15:30  [USER]  (RWED,RWED,RE,)",
        "SHORT.TXT;2           1/3      04-APR-2022 09:00:00  [USER]  (RWED,RWED,RE,)",
        "ANOTHER_LONG_NAME_WITHOUT_INDENT.DATA;4",
        "2/3 05-APR-2022 10:00:00  [USER]  (RWED,RWED,RE,)",
        "",
        "Total of 3 files, 20/24 blocks.",
    });
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items[2].EntryName, "ANOTHER_LONG_NAME_WITHOUT_INDENT.DATA");
    EXPECT_EQ(stamp(items[2].ModTime), "2022-04-05 10:00:00");
    EXPECT_EQ(items[0].EntryName, "A_VERY_LONG_FILE_NAME_INDEED.DATA");
    EXPECT_EQ(items[0].ByteSize, 17 * 512);
    EXPECT_EQ(stamp(items[0].ModTime), "2022-04-03 08:15:30");
    EXPECT_EQ(items[0].OwnerAccount, "USER");
    EXPECT_EQ(items[1].EntryName, "SHORT.TXT");
    EXPECT_EQ(items.SkippedLines(), 0);
}

TEST(ListingDialectsTogether, NameOnlyLinesKeepTheirBlanks)
{
    TIdFTPListItems items;
    items.SetLineFormat(items.DetectFormat(" leading", false));
    items.LoadLines({" leading", "trailing ", "two  blanks", "-rw-r--r-- 1 a b 1 Jun 01 10:00 x"});
    std::vector<std::string> names;
    for (const TIdFTPListItem& item : items)
        names.push_back(item.EntryName);
    EXPECT_EQ(names, (std::vector<std::string>{" leading", "trailing ", "two  blanks",
                                               "-rw-r--r-- 1 a b 1 Jun 01 10:00 x"}));
}

} // namespace

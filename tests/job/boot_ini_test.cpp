// The boot menus, natively and on the Windows runtime: boot.ini in memory, menu.lst on real files
// in msvcrt's text mode (CR LF <-> "\n").
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "job/boot_menus.h"

// Writes the bytes, runs edit on the file opened in text mode with mode, returns the bytes.
static std::string edited(const std::string &bytes, const char *mode, int (*edit)(FILE *))
{
    const std::string path = testing::TempDir() + "zerka_boot_menu.txt";
    FILE *file = std::fopen(path.c_str(), "wb");
    std::fputs(bytes.c_str(), file);
    edit(file = std::freopen(path.c_str(), mode, file));
    file = std::freopen(path.c_str(), "rb", file);
    char buffer[4096];
    std::string result(buffer, std::fread(buffer, 1, sizeof buffer, file));
    return std::fclose(file), result;
}

TEST(BootIni, TimeoutZeroBecomesFiveOnlyAtATrueLineStartAndTheLoaderLineIsAppended)
{
    const std::string head = "[boot loader]\r\n", os = "[operating systems]\r\nmulti(0)=\"W\"\r\n", x(1022, 'x');
    const std::string lf = "[boot loader]\ntimeout=", mixed = "[boot loader]\n;\r\ntimeout=30\ntimeout=";
    const struct { std::string input, expected; } rows[] = {  // expected "": unchanged
        {head + "timeout=0\r\n" + os, head + "timeout=5\r\n" + os}, {head + "timeout=0", head + "timeout=5"},
        {head + "timeout=0 \r\n", head + "timeout=5 \r\n"}, {head + "timeout=0\t;\r\n", head + "timeout=5\t;\r\n"},
        {"timeout=30\r\ntimeout=00\r\nTIMEOUT=0\r\n timeout=0\r\n", ""}, {"", ""},
        {x + "xtimeout=0 \r\ntimeout=0\r\n", x + "xtimeout=0 \r\ntimeout=5\r\n"},
        {"timeout=0\r\ntimeout=0", "timeout=5\r\ntimeout=0"}, {lf + "0\ndefault=m\n", lf + "5\ndefault=m\n"},
        {mixed + "0\r\nmulti(0)\n", mixed + "5\r\nmulti(0)\n"}, {head + "timeout=0\x1a", head + "timeout=5"},
        {head + os + "\x1a", head + os}, {"\x1a\r\n\x1a", "\x1a\r\n"},  // a final Ctrl-Z ends the text
    };
    for (const auto &r : rows) {
        std::string text = r.input;
        text.resize(r.input.size() + boot_ini_line_size);
        text.resize(boot_ini_edit(&text[0], r.input.size()));
        EXPECT_EQ(text, (r.expected.empty() ? r.input : r.expected) + "\r\nC:\\GRLDR=\"zerka (kestrix)\"\r\n");
    }
}

TEST(MenuLst, EntryAppendedOnLinesOfItsOwn)
{
    const std::string nl = edited("", "w", [](FILE *f) { return std::fputc('\n', f); });  // the runtime's line end
    const std::string lst = "title other\r\nroot (hd0,0)", entry = "title zerka (kestrix)" + nl + "root (hd0,4)" + nl +
                              "kernel /zerka/vmlinuz PMEDIA=idehd PSUBDIR=zerka" + nl + "initrd /zerka/initrd.gz" + nl;
    const struct { std::string input, expected; } rows[] = {{"", entry}, {lst + "\r\n", lst + "\r\n" + entry},
                                                             {lst, lst + nl + entry}};
    for (const auto &r : rows)
        EXPECT_EQ(edited(r.input, "a+", [](FILE *f) { EXPECT_EQ(menu_lst_append_entry(f, "(hd0,4)"), 0); return 0; }),
                  r.expected) << r.input;
}

#ifdef ZERKA_RESOURCES  // native only
// GRUB's menu for UEFI starts what SYSLINUX's starts: the same kernel, initrd and parameters.
TEST(BootMenus, GrubStartsWhatSyslinuxStarts)
{
    std::ifstream syslinux(ZERKA_RESOURCES "syslinux.cfg"), grub(ZERKA_RESOURCES "grub.cfg");
    std::string word, kernel, initrd, parameters;
    while (syslinux >> word) {
        if (word == "kernel") syslinux >> kernel;
        if (word == "append") std::getline(syslinux >> initrd, parameters);  // initrd=FILE PARAMETERS\r
    }
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(grub), {}), "linux " + kernel +
              parameters.substr(0, parameters.find('\r')) + "\ninitrd " + initrd.substr(7) + "\nboot\n");
}
#endif

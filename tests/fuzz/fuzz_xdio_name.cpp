// libFuzzer target: the GRUB-style name grammar over arbitrary strings.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "disk/xdio.h"

static void check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "name grammar fault: %s\n", what);
        abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string name((const char *)data, size);
    name = name.c_str();  // up to the first NUL, as the C string is seen
    char device[xdio_device_path_size];
    memset(device, 0x7E, sizeof device);
    int partition = 99;
    const char *path = xdio_translate_name(name.c_str(), device, &partition);

    if (name.empty() || name[0] != '(') {
        check(path == name.c_str() && partition == -1, "plain paths pass unchanged");
        return 0;
    }
    if (path == nullptr) return 0;
    check(path == device, "a GRUB name opens a device path");
    check(name.back() == ')', "nothing follows the closing parenthesis");
    check(partition >= -1 && partition <= 29, "partition bounds");
    std::string p = path;
    bool disk = p.size() == 18 && p.compare(0, 17, "\\\\.\\PhysicalDrive") == 0 && p[17] >= '0' &&
                p[17] <= '9';
    bool floppy = p == "\\\\.\\A:" || p == "\\\\.\\B:";
    check(disk || floppy, "device path of a disk 0..9 or floppy A/B");
    check(floppy == (name.compare(0, 3, "(fd") == 0), "fd names open floppies");
    return 0;
}

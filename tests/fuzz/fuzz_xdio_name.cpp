// libFuzzer target of the name grammar: a name not beginning with "(" passes unchanged; any other is
// refused or names disk 0-9 or floppy A:/B: ("(fd"), partition -1 without "," else 0-29, ")" last.
#include <stdlib.h>
#include <string.h>

#include "disk/xdio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *name = strndup((const char *)data, size);  // up to a NUL, as a C string is seen
    char device[xdio_device_path_size] = {};
    int partition = 99;
    const char *path = xdio_translate_name(name, device, &partition);
    bool floppy = !strcmp(device, "\\\\.\\A:") || !strcmp(device, "\\\\.\\B:");
    bool disk = !strncmp(device, "\\\\.\\PhysicalDrive", 17) && device[17] - '0' < 10u && !device[18];
    if (name[0] != '(' ? path != name || partition != -1
                       : path && (path != device || (name[1] == 'f' ? !floppy : !disk) || strchr(name, ')')[1] ||
                                  (strchr(name, ',') ? partition < 0 || partition > 29 : partition != -1)))
        abort();
    free(name);
    return 0;
}

// Writes small seed disk images for the partition walk fuzzer: the shapes the walk must
// handle (extended chains, empty and extended entries 0, loops), scaled down to few sectors.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

struct image {
    std::vector<uint8_t> bytes;
    explicit image(int sectors) : bytes(sectors * 512, 0) {}
    void entry(int sector, int slot, uint8_t type, uint32_t start, uint32_t length)
    {
        uint8_t *e = &bytes[sector * 512 + 446 + slot * 16];
        e[4] = type;
        memcpy(e + 8, &start, 4);
        memcpy(e + 12, &length, 4);
        bytes[sector * 512 + 510] = 0x55;
        bytes[sector * 512 + 511] = 0xAA;
    }
    void save(const std::string &path) const
    {
        FILE *f = fopen(path.c_str(), "wb");
        if (!f) return;
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
};

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];

    image worked(100);  // primary, extended with two logical, primary below the extended
    worked.entry(0, 0, 0x07, 1, 9);
    worked.entry(0, 1, 0x05, 20, 80);
    worked.entry(0, 3, 0x83, 11, 8);
    worked.entry(20, 0, 0x83, 1, 10);
    worked.entry(20, 1, 0x05, 11, 20);
    worked.entry(31, 0, 0x0B, 1, 19);
    worked.bytes[0] = 5;
    worked.save(dir + "/worked");

    image special(64);  // type 0x0F, empty first EBR, extended entry 0, a loop at the end
    special.entry(0, 2, 0x0F, 8, 56);
    special.entry(0, 0, 0x83, 1, 7);
    special.entry(8, 1, 0x05, 4, 4);
    special.entry(12, 0, 0x05, 8, 4);
    special.entry(16, 0, 0x83, 1, 3);
    special.entry(16, 1, 0x0F, 12, 4);
    special.entry(20, 0, 0x82, 1, 3);
    special.entry(20, 1, 0x05, 4, 4);
    special.bytes[0] = 4;
    special.save(dir + "/special");

    image chain(128);  // a long chain of one-sector logical partitions
    chain.entry(0, 0, 0x05, 2, 126);
    for (int i = 0; i < 60; ++i) {
        chain.entry(2 + 2 * i, 0, 0x83, 1, 1);
        if (i < 59) chain.entry(2 + 2 * i, 1, 0x05, 2 * (i + 1), 2);
    }
    chain.bytes[0] = 50;
    chain.save(dir + "/chain");
    return 0;
}

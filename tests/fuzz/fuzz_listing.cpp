// libFuzzer target of the 7z listing parser, and of the digest read from 7z's output: on any text the total is not
// negative and the text is left as it was, and each file name is a non-empty piece of the text, cut in place, in one
// line.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "job/listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string before((const char *)data, size), text = before;
    unsigned char digest[sha256_size];
    extraction_digest(before.c_str(), digest);  // reads 7z's output: never past its end
    long long total = 0;
    if ((listing_total(text.data(), &total) == 0 && total < 0) || text != before) abort();
    listing_cursor cursor;
    listing_file file;
    for (listing_begin(&cursor, text.data()); listing_next(&cursor, &file); listing_name_is_safe(file.name))
        if ((size_t)(file.name - text.data()) >= size || !*file.name || file.size < 0 || strpbrk(file.name, "\r\n"))
            abort();
    return 0;
}

// Any bytes as a 7z listing: the parser must stay inside the text, cut names in place
// without line ends in them, and give sizes and bar positions in range.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "job/listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    char *begin = text.data();
    char *end = begin + text.size();

    long long total = -1;
    if (listing_total(begin, &total) == 0 && total < 0) abort();
    if (total < 0) total = 0;

    listing_cursor cursor;
    listing_begin(&cursor, begin);
    listing_file file;
    long long copied = 0;
    while (listing_next(&cursor, &file)) {
        if (file.name < begin || file.name >= end) abort();
        size_t length = strlen(file.name);  // must end inside the buffer
        if (file.name + length >= end || length == 0) abort();
        if (strpbrk(file.name, "\r\n") != nullptr) abort();
        if (file.size < 0) abort();
        listing_name_is_safe(file.name);
        int position = extraction_position(file.size, copied, total);
        if (position < 0 || position > 90) abort();
        copied = copied > INT64_MAX - file.size ? INT64_MAX : copied + file.size;
    }
    if (space_needed_mb(total) < 0) abort();
    return 0;
}

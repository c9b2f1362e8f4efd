#include "messages/messages.h"

#include <windows.h>

enum { message_buffer_count = 16, message_buffer_size = 1024 };

static char message_buffers[message_buffer_count][message_buffer_size];
static volatile LONG message_index;

const char *load_message(int id)
{
    // Each call claims its own slot, so two threads never share a buffer.
    LONG claimed = InterlockedIncrement(&message_index);
    char *buffer = message_buffers[(unsigned long)claimed % message_buffer_count];
    if (LoadStringA(GetModuleHandleA(NULL), (UINT)id, buffer, message_buffer_size) == 0)
        fail_api_call("LoadString");
    return buffer;
}

#include "messages/messages.h"

#include <windows.h>

enum { message_buffer_count = 16, message_buffer_size = 1024 };

static char message_buffers[message_buffer_count][message_buffer_size];
static volatile LONG message_index;

static unsigned long claim_message_slot(void)
{
    // Each claim is a distinct number, so two threads never share a buffer they just claimed.
    return (unsigned long)InterlockedIncrement(&message_index);
}

const char *load_message(int id)
{
    char *buffer = message_buffers[claim_message_slot() % message_buffer_count];
    if (LoadStringA(GetModuleHandleA(NULL), (UINT)id, buffer, message_buffer_size) == 0)
        fail_api_call("LoadString");
    return buffer;
}

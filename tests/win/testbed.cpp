#include "testbed.h"

#include <stdlib.h>

std::string testbed_env(const char *name)
{
    const char *value = getenv(name);
    return value != nullptr ? value : "";
}

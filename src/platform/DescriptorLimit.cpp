#include "platform/DescriptorLimit.h"

#include <sys/resource.h>

#include <climits>

namespace DescriptorLimit {

void raiseSoftLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

long softLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > LONG_MAX)
        return LONG_MAX;
    return long(limit.rlim_cur);
}

} // namespace DescriptorLimit

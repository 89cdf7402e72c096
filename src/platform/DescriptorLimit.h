#pragma once

// The process's limit on open descriptors (RLIMIT_NOFILE).
namespace DescriptorLimit {

// Raises the soft limit to the hard one, as servers do at start-up, so that a
// tool holding many connections does not run the whole process out; the
// hard limit itself is left alone.
void raiseSoftLimit();
// The soft limit in force now; a large number when there is none.
long softLimit();

} // namespace DescriptorLimit

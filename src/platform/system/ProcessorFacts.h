#pragma once

#include <QString>

// The processor's type number and the machine's physical memory.
namespace ProcessorFacts {

// The type number for a uname machine name: i386 386, i486 486, i586 and i686
// 586, x86_64 8664, ppc and powerpc 601, any other 0.
int processorType(const QString &machine);
// uname's machine name of this computer.
QString machine();

// Total physical memory in bytes (sysinfo); 0 when it cannot be had.
quint64 totalMemory();
// MemTotal of proc/meminfo under root, in bytes; 0 when it is not there.
quint64 totalMemory(const QString &root);

} // namespace ProcessorFacts

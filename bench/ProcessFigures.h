// Figures of the running process, from /proc/self.
#pragma once

namespace bench {

// Peak resident memory (VmHWM) in KiB.
long peakResidentKb();
// Resident memory now (VmRSS) in KiB.
long residentKb();
// Open file descriptors of the process.
int openDescriptors();

}  // namespace bench

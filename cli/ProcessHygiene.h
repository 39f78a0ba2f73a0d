// What tarvel-rebuild sets up for its own process before it reads anything.
#pragma once

namespace tarvel {

// SIGPIPE ignored: a write to a closed pipe (tarvel-rebuild ... | head -1)
// then fails with EPIPE, and the run ends on its own terms, its open group
// committed or undone as usual, instead of dying in the middle of it.
void ignoreBrokenPipes();

// The process made not dumpable: a crash leaves no core file and other
// processes of the same user cannot attach to it or read its memory, since a
// password may be held there. Returns false when the kernel refused.
bool keepOutOfCoreFiles();

// True when standard output and standard error took everything written to
// them (flushed now); false after a write failed, a closed pipe included.
bool outputsWritten();

}  // namespace tarvel

#pragma once

// Tells the C library to keep memory it is given back, for the program's next allocations,
// instead of returning it to the system at once. A million members arrive in thousands of reads
// whose buffers come and go; memory handed back in the middle of that is faulted in afresh by
// the next read, and a first touch is the dearest thing a large login does. Call it first thing
// in main, before any thread starts.
void KeepFreedMemoryForReuse();

// The string pool: the 96-byte buffers (STRING_DEFAULT_BLOCKSIZE) that BINARY hands back are
// kept for the next short text instead of going to the heap.
#pragma once

namespace textlayer {

// A buffer of size bytes; one of the default size comes from the pool while it holds any.
char* PoolAcquire(int size);
// Gives a buffer back: one of the default size to the pool while it has room, any other to
// the heap; null is ignored.
void PoolRelease(char* buffer, int size);

} // namespace textlayer

// Releases the pooled 96-byte buffers; called once at program exit.
void StringPoolShutdown();

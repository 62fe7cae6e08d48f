#include "text/stringpool.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "diag/assert.h"
#include "osys/locks.h"
#include "text/binary.h"

namespace {

constexpr int POOL_CAPACITY = 127;

// The pool of 96-byte buffers is plain static data without a destructor: strings at
// namespace scope give their buffers back after static destructors have run.
struct STRINGPOOL {
    char* items[POOL_CAPACITY];
    int count;
    std::atomic<bool> shutDown;
    // Created on first use and never destroyed, not even by StringPoolShutdown: another
    // thread may be on its way into it, and static strings use it after static destructors.
    std::atomic<CRITSECT*> lock;
};
STRINGPOOL pool;

CRITSECT& PoolLock()
{
    CRITSECT* lock = pool.lock.load(std::memory_order_acquire);
    if (!lock) {
        auto created = std::make_unique<CRITSECT>();
        if (pool.lock.compare_exchange_strong(lock, created.get(), std::memory_order_acq_rel))
            lock = created.release();
    }
    return *lock;
}

} // namespace

char* textlayer::PoolAcquire(int size)
{
    if (size == STRING_DEFAULT_BLOCKSIZE && !pool.shutDown.load()) {
        CRITSECTHOLD hold(PoolLock());
        if (!pool.shutDown.load() && pool.count > 0) {
            char* buffer = pool.items[--pool.count];
            pool.items[pool.count] = nullptr;
            TARVO_CHECK(buffer != nullptr, "ptr", nullptr);
            if (buffer)
                return buffer;
        }
    }
    return static_cast<char*>(std::malloc(size));
}

void textlayer::PoolRelease(char* buffer, int size)
{
    if (!buffer)
        return;
    if (size == STRING_DEFAULT_BLOCKSIZE && !pool.shutDown.load()) {
        CRITSECTHOLD hold(PoolLock());
        // At most 127 buffers are kept; the rest go back to the heap.
        if (!pool.shutDown.load() && pool.count < POOL_CAPACITY) {
            pool.items[pool.count++] = buffer;
            return;
        }
    }
    std::free(buffer);
}

void StringPoolShutdown()
{
    // Every buffer goes to the heap from now on; the lock stays for the threads that got
    // past their check of the flag before it was set.
    CRITSECTHOLD hold(PoolLock());
    for (int i = 0; i < pool.count; i++) {
        std::free(pool.items[i]);
        pool.items[i] = nullptr;
    }
    pool.count = 0;
    pool.shutDown.store(true);
}

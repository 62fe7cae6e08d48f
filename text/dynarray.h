// DYNARRAY<T>: growable array of owned items, guarded by its own recursive MUTEXSEM, with
// one process-wide sort context per item type.
#pragma once

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <utility>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/locks.h"
#include "text/textinternal.h"

// Sort flags. Every form honours SORTFLAG_REVERSE; the others choose the comparison of the
// forms that have one (by decimal value, else ignoring case, else by bytes).
constexpr int SORTFLAG_BYVALUE = 0x01;
constexpr int SORTFLAG_REVERSE = 0x08;
constexpr int SORTFLAG_NOCASE = 0x10;

// Holds two MUTEXSEMs for one scope. The one at the lower address is always taken first, so
// two threads that each want the same two locks (a = b against b = a) cannot wait for each
// other for ever.
class MUTEXPAIRHOLD {
public:
    MUTEXPAIRHOLD(MUTEXSEM* a, MUTEXSEM* b) : first(Lower(a, b)), second(Lower(a, b) == a ? b : a) {}
    MUTEXPAIRHOLD(const MUTEXPAIRHOLD&) = delete;
    MUTEXPAIRHOLD& operator=(const MUTEXPAIRHOLD&) = delete;

private:
    static MUTEXSEM* Lower(MUTEXSEM* a, MUTEXSEM* b) { return std::less<MUTEXSEM*>()(a, b) ? a : b; }

    MUTEXHOLD first;
    MUTEXHOLD second;
};

template <class T>
class DYNARRAY {
public:
    // growBy -1: grow by the initial size.
    explicit DYNARRAY(int initial = 64, int growBy = -1);
    DYNARRAY(const DYNARRAY& other);
    DYNARRAY& operator=(const DYNARRAY& other);

    // Order of two items for Sort: <0, 0, >0. The base cannot compare and reports it.
    virtual int Compare(const T& a, const T& b, int flags);
    virtual ~DYNARRAY();

    // The item at pos, or null (reported) when there is none.
    T* Get(int pos);
    const T* Get(int pos) const;
    void Set(int pos, const T& item);
    // Stores a copy of item before pos (pos == ItemCount appends); returns pos, or -1.
    int Insert(int pos, const T& item);
    // As above, taking over the caller's item instead of copying it.
    int Insert(int pos, T&& item);
    int Add(const T& item) { return Insert(ItemCount, item); }
    int Add(T&& item) { return Insert(ItemCount, std::move(item)); }
    // Adds copies of all of the other's items; returns their number.
    int AddAll(const DYNARRAY& other);
    void Swap(int pos1, int pos2);
    void DeleteItem(int pos);
    void DeleteAll();
    // Not stable; SORTFLAG_REVERSE reverses the order.
    void Sort(int flags);

    // Makes room for at least count items at once, for a caller that knows the final size.
    void Reserve(int count);
    // Exchanges the items (and the slot sizes) of two arrays, without copying an item.
    void SwapItems(DYNARRAY& other);

    // Hold the lock across several operations; timeout -1 waits without limit.
    bool Lock(int timeout = -1) { return pLock && pLock->Obtain(timeout); }
    // The same wait, dispatching the calling thread's window messages meanwhile.
    bool WinLock(int timeout = -1) { return pLock && pLock->WinObtain(timeout); }
    void Unlock()
    {
        if (pLock)
            pLock->Release();
    }

    // The label in reports, cut to 31 characters.
    void SetTypeName(const char* name);

    char TypeName[32] = {};
    std::unique_ptr<MUTEXSEM> pLock;
    std::unique_ptr<T*[]> ppItems; // slots 0 .. ItemCount-1 hold owned items, later slots null
    int ItemCount = 0;             // read without the lock
    int MaxItems = 0;
    int GrowBy = 0;

private:
    struct SORTCONTEXT {
        CRITSECT lock;
        DYNARRAY* SortThis = nullptr;
        int SortFlags = 0;
    };
    static SORTCONTEXT& SortContext();
    static int SortCompare(const void* a, const void* b);

    template <class Make>
    int Store(int pos, Make make);
    bool Allocate(int slots);
    void CopyItemsFrom(const DYNARRAY& other);
    void DestroyItems();
};

template <class T>
DYNARRAY<T>::DYNARRAY(int initial, int growBy)
    : pLock(new (std::nothrow) MUTEXSEM(false, nullptr)), GrowBy(growBy == -1 ? initial : growBy)
{
    TARVO_CHECK(pLock != nullptr, "pLock", nullptr);
    Allocate(initial > 0 ? initial : 0);
}

template <class T>
DYNARRAY<T>::DYNARRAY(const DYNARRAY& other) : pLock(new (std::nothrow) MUTEXSEM(false, nullptr))
{
    TARVO_CHECK(pLock != nullptr, "pLock", nullptr);
    memcpy(TypeName, other.TypeName, sizeof(TypeName));
    // The new array is not shared yet: only the source needs holding.
    MUTEXHOLD holdSource(other.pLock.get());
    CopyItemsFrom(other);
}

template <class T>
DYNARRAY<T>& DYNARRAY<T>::operator=(const DYNARRAY& other)
{
    if (this == &other)
        return *this;
    MUTEXPAIRHOLD hold(pLock.get(), other.pLock.get());
    DestroyItems();
    CopyItemsFrom(other);
    return *this;
}

template <class T>
int DYNARRAY<T>::Compare(const T&, const T&, int)
{
    TARVO_CHECK(false, "FALSE", TypeName);
    return 0;
}

template <class T>
DYNARRAY<T>::~DYNARRAY()
{
    DestroyItems();
}

template <class T>
T* DYNARRAY<T>::Get(int pos)
{
    return const_cast<T*>(static_cast<const DYNARRAY*>(this)->Get(pos));
}

template <class T>
const T* DYNARRAY<T>::Get(int pos) const
{
    MUTEXHOLD hold(pLock.get());
    if (pos >= 0 && pos < ItemCount && pos < MaxItems)
        return ppItems[pos];
    TARVO_CHECK_FORMAT(false, "FALSE", "i= %d, max= %d, count= %d, type= %s, this= %p", pos, MaxItems, ItemCount,
                       TypeName, static_cast<const void*>(this));
    return nullptr;
}

template <class T>
void DYNARRAY<T>::Set(int pos, const T& item)
{
    MUTEXHOLD hold(pLock.get());
    if (!TARVO_CHECK_FORMAT(pos >= 0 && pos < ItemCount, "pos>=0 && pos<this->ItemCount", "%d/%d", pos, ItemCount))
        return;
    *ppItems[pos] = item;
}

template <class T>
int DYNARRAY<T>::Insert(int pos, const T& item)
{
    return Store(pos, [&item] { return new T(item); });
}

template <class T>
int DYNARRAY<T>::Insert(int pos, T&& item)
{
    return Store(pos, [&item] { return new T(std::move(item)); });
}

template <class T>
template <class Make>
int DYNARRAY<T>::Store(int pos, Make make)
{
    MUTEXHOLD hold(pLock.get());
    if (!TARVO_CHECK_FORMAT(pos >= 0 && pos <= ItemCount, "pos>=0 && pos<=this->ItemCount", "%d/%d", pos, ItemCount))
        return -1;
    if (ItemCount >= MaxItems) {
        long long grown = static_cast<long long>(MaxItems) + GrowBy;
        if (!TARVO_CHECK(grown > ItemCount && grown <= INT_MAX, "this->ItemCount<this->MaxItems", TypeName))
            return -1;
        if (!Allocate(static_cast<int>(grown)))
            return -1;
    }
    // The item is made before the slots move: it may be one of this array's own items.
    T* copy = make();
    memmove(&ppItems[pos + 1], &ppItems[pos], sizeof(T*) * (ItemCount - pos));
    ppItems[pos] = copy;
    ItemCount++;
    return pos;
}

template <class T>
int DYNARRAY<T>::AddAll(const DYNARRAY& other)
{
    MUTEXPAIRHOLD hold(pLock.get(), other.pLock.get());
    int count = other.ItemCount;
    for (int i = 0; i < count; i++)
        Add(*other.ppItems[i]);
    return count;
}

template <class T>
void DYNARRAY<T>::Swap(int pos1, int pos2)
{
    MUTEXHOLD hold(pLock.get());
    bool ok1 = TARVO_CHECK(pos1 >= 0 && pos1 < ItemCount, "pos1>=0 && pos1<this->ItemCount", nullptr);
    bool ok2 = TARVO_CHECK(pos2 >= 0 && pos2 < ItemCount, "pos2>=0 && pos2<this->ItemCount", nullptr);
    if (ok1 && ok2)
        std::swap(ppItems[pos1], ppItems[pos2]);
}

template <class T>
void DYNARRAY<T>::DeleteItem(int pos)
{
    MUTEXHOLD hold(pLock.get());
    if (!TARVO_CHECK_FORMAT(pos >= 0 && pos < ItemCount, "pos>=0 && pos<this->ItemCount", "%d/%d", pos, ItemCount))
        return;
    LogPrintLevel(LOGLEVEL_DETAIL, "DYNARRAY::DeleteItem is called for pitem= %p\n", static_cast<void*>(ppItems[pos]));
    delete ppItems[pos];
    ppItems[pos] = nullptr;
    ItemCount--;
    memmove(&ppItems[pos], &ppItems[pos + 1], sizeof(T*) * (ItemCount - pos));
    ppItems[ItemCount] = nullptr;
}

template <class T>
void DYNARRAY<T>::DeleteAll()
{
    MUTEXHOLD hold(pLock.get());
    while (ItemCount > 0)
        DeleteItem(ItemCount - 1);
}

template <class T>
void DYNARRAY<T>::Sort(int flags)
{
    // The array's lock comes before the sort context: a caller may sort while it holds the
    // lock, and another thread sorting the same array must then wait for the lock, not hold
    // the context against it.
    MUTEXHOLD hold(pLock.get());
    SORTCONTEXT& context = SortContext();
    CRITSECTHOLD holdContext(context.lock);
    // The comparison finds its array through the context, so one sort of a form runs at a
    // time; a sort nested inside a comparison of the same form is refused.
    if (!TARVO_CHECK(context.SortThis == nullptr, "DYNARRAY<TYPE>::SortThis==NULL", TypeName))
        return;
    context.SortThis = this;
    context.SortFlags = flags;
    if (ItemCount > 1)
        qsort(ppItems.get(), ItemCount, sizeof(T*), &DYNARRAY::SortCompare);
    context.SortThis = nullptr;
    context.SortFlags = 0;
}

template <class T>
void DYNARRAY<T>::Reserve(int count)
{
    MUTEXHOLD hold(pLock.get());
    if (count > MaxItems)
        Allocate(count);
}

template <class T>
void DYNARRAY<T>::SwapItems(DYNARRAY& other)
{
    if (this == &other)
        return;
    MUTEXPAIRHOLD hold(pLock.get(), other.pLock.get());
    std::swap(ppItems, other.ppItems);
    std::swap(ItemCount, other.ItemCount);
    std::swap(MaxItems, other.MaxItems);
    std::swap(GrowBy, other.GrowBy);
}

template <class T>
void DYNARRAY<T>::SetTypeName(const char* name)
{
    memset(TypeName, 0, sizeof(TypeName));
    strncpy(TypeName, name, sizeof(TypeName) - 1);
}

template <class T>
typename DYNARRAY<T>::SORTCONTEXT& DYNARRAY<T>::SortContext()
{
    static SORTCONTEXT context;
    return context;
}

template <class T>
int DYNARRAY<T>::SortCompare(const void* a, const void* b)
{
    const SORTCONTEXT& context = SortContext();
    const T& left = **static_cast<T* const*>(a);
    const T& right = **static_cast<T* const*>(b);
    int order = context.SortThis->Compare(left, right, context.SortFlags);
    if (context.SortFlags & SORTFLAG_REVERSE)
        return order < 0 ? 1 : (order > 0 ? -1 : 0);
    return order;
}

// Grows the slot array to the given size, keeping the items; new slots are null.
template <class T>
bool DYNARRAY<T>::Allocate(int slots)
{
    std::unique_ptr<T*[]> grown(new (std::nothrow) T*[slots > 0 ? slots : 1]());
    if (!TARVO_CHECK(grown != nullptr, "this->ppItems", TypeName))
        return false;
    if (ppItems && ItemCount > 0)
        memcpy(grown.get(), ppItems.get(), sizeof(T*) * ItemCount);
    ppItems = std::move(grown);
    MaxItems = slots;
    return true;
}

template <class T>
void DYNARRAY<T>::CopyItemsFrom(const DYNARRAY& other)
{
    GrowBy = other.GrowBy;
    ItemCount = 0;
    if (!Allocate(other.MaxItems))
        return;
    for (int i = 0; i < other.ItemCount; i++)
        ppItems[i] = new T(*other.ppItems[i]);
    ItemCount = other.ItemCount;
}

template <class T>
void DYNARRAY<T>::DestroyItems()
{
    for (int i = 0; i < ItemCount; i++) {
        delete ppItems[i];
        ppItems[i] = nullptr;
    }
    ItemCount = 0;
}

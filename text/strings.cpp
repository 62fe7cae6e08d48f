#include "text/strings.h"

#include <io.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/locks.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "text/textinternal.h"
#include "text/unicode.h"

namespace {

using textlayer::FoldCase;
using textlayer::HexDigit;
using textlayer::CheckedSize;
using textlayer::OutOfMemory;

constexpr int POOL_CAPACITY = 127;
constexpr int FORMAT_AREA = 8192;
constexpr int FORMAT_MAX = FORMAT_AREA - 2; // characters kept of one formatted text
constexpr int WIDE_FORMAT_AREA = 8192;      // wide characters
constexpr int WIDE_BYTES = static_cast<int>(sizeof(wchar_t));
constexpr int DYNABLOCK_START = 0x8000;
constexpr int DYNABLOCK_CAP = 2097152;
constexpr int FILE_BLOCK = 32768;
constexpr long long LOAD_GRANULE = 65536;              // a loaded file's buffer is sized in these
constexpr long long LOAD_GRANULE_MAX = 1LL << 30;      // ... up to this
constexpr unsigned char UTF8_CONTINUATION_MASK = 0xC0; // continuation bytes are 10xxxxxx
constexpr unsigned char UTF8_CONTINUATION = 0x80;

bool IsContinuation(unsigned char byte)
{
    return (byte & UTF8_CONTINUATION_MASK) == UTF8_CONTINUATION;
}

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

std::atomic<int> nullGuardMode{0};

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

char* PoolAcquire(int size)
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

void PoolRelease(char* buffer, int size)
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

bool EqualNoCase(const char* a, const char* b, int n)
{
    for (int i = 0; i < n; i++)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

// Formats into the bounded area; returns the number of characters to keep.
int FormatBounded(char (&area)[FORMAT_AREA], const char* format, va_list args)
{
    format = NullGuard(format, "Format");
    if (!format)
        return 0;
    int rc = vsnprintf(area, sizeof(area), format, args);
    TARVO_CHECK(rc >= 0 && rc < static_cast<int>(sizeof(area)) - 1, "rc>=0 && rc<sizeof(buf)-1", format);
    if (rc < 0)
        return 0;
    return std::min(rc, FORMAT_MAX);
}

// Clips a part [pos, pos + n) to the text; n = -1 or beyond the end means up to the end.
int PartLength(int length, int pos, int n)
{
    if (pos >= length)
        return 0;
    if (n == -1 || n > length - pos)
        return length - pos;
    return std::max(n, 0);
}

void ConcatInto(BINARY& result, const char* left, int leftLength, const char* right, int rightLength)
{
    result.Make(leftLength + rightLength);
    if (leftLength > 0)
        memcpy(result.Buffer, left, leftLength);
    if (rightLength > 0)
        memcpy(result.Buffer + leftLength, right, rightLength);
}

// Length of an operand after the null guard: the counted length of a present buffer,
// the C length of a substitute, 0 when the guard handed back nothing.
int GuardedLength(const BINARY& operand, const char* guarded)
{
    if (operand.Buffer)
        return operand.StrLen;
    return guarded ? static_cast<int>(strlen(guarded)) : 0;
}

constexpr char BASE64_ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Reverse table from "=ABC...+/": "=" maps to 0 (the end marker) and a character of the
// alphabet to its six-bit value plus one; every other byte to 0xFF (skipped).
const unsigned char* Base64DecodeTable()
{
    // Built once, on first use; a plain array, so it stays valid to the very end of the process.
    static const std::array<unsigned char, 256> table = [] {
        static constexpr char decodeAlphabet[] = "=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::array<unsigned char, 256> entries;
        entries.fill(0xFF);
        for (int i = 0; decodeAlphabet[i]; i++)
            entries[static_cast<unsigned char>(decodeAlphabet[i])] = static_cast<unsigned char>(i);
        return entries;
    }();
    return table.data();
}

} // namespace

[[noreturn]] void textlayer::OutOfMemory(long long size)
{
    char info[48];
    snprintf(info, sizeof(info), "size= %lld", size);
    TARVO_CHECK(false, "buffer", info);
    std::abort();
}

namespace {

// Whether a missing operand is replaced by the "<NULL>" text; otherwise it is reported when
// DOREREDERAZUVAZ asks for it and stays missing.
bool NullGuardSubstitutes(const char* context)
{
    if (const char* mode = getenv("DOREREDERAZUVAZ"))
        nullGuardMode.store(atoi(mode));
    int mode = nullGuardMode.load();
    if (!(mode & 1))
        return true;
    if (mode & 2)
        TARVO_CHECK(false, "p!=NULL", context ? context : "<none>");
    return false;
}

} // namespace

const char* NullGuard(const char* p, const char* context)
{
    if (p)
        return p;
    return NullGuardSubstitutes(context) ? "<NULL>" : nullptr;
}

const wchar_t* NullGuardWide(const wchar_t* p, const char* context)
{
    if (p)
        return p;
    return NullGuardSubstitutes(context) ? L"<NULL>" : nullptr;
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

SAVEFILE::SAVEFILE(const char* path, const char* mode) : file(FILENAME::fsopen(path, mode)) {}

void SAVEFILE::Write(const void* bytes, size_t n)
{
    if (!file || failure.Length() > 0 || n == 0)
        return;
    size_t put = fwrite(bytes, 1, n, file.get());
    written += put;
    if (put < n)
        Fail("write");
}

bool SAVEFILE::Close(bool commit)
{
    if (!file)
        return false;
    if (fflush(file.get()) != 0)
        Fail("flush");
    else if (commit && _commit(_fileno(file.get())) != 0)
        Fail("commit");
    if (fclose(file.release()) != 0)
        Fail("close");
    return failure.Length() == 0;
}

void SAVEFILE::Fail(const char* step)
{
    if (failure.Length() > 0)
        return; // the first failure is the cause; later steps only follow from it
    failure.Format("%s: %s", step, OSYS::GetErrorText().c_str());
}

bool StartsWithNoCase(const char* text, const char* prefix)
{
    if (!text || !prefix)
        return false;
    for (; *prefix; text++, prefix++)
        if (!*text || FoldCase(*text) != FoldCase(*prefix))
            return false;
    return true;
}

bool EndsWithNoCase(const char* text, const char* ending)
{
    if (!text || !ending)
        return false;
    size_t length = strlen(text), endingLength = strlen(ending);
    return length >= endingLength && StartsWithNoCase(text + length - endingLength, ending);
}

int CompareNoCase(const char* a, const char* b, bool nulltolerant)
{
    if (nulltolerant) {
        if (!a || !b)
            return (!a && !b) ? 0 : 1;
    } else {
        a = NullGuard(a, "stricmp p1");
        b = NullGuard(b, "stricmp p2");
        if (!a || !b)
            return (!a && !b) ? 0 : 1;
    }
    for (;; a++, b++) {
        unsigned char ca = static_cast<unsigned char>(FoldCase(*a));
        unsigned char cb = static_cast<unsigned char>(FoldCase(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (!ca)
            return 0;
    }
}

int CompareBytes(const void* a, const void* b, int n)
{
    const char* left = NullGuard(static_cast<const char*>(a), "memcmp p1");
    const char* right = NullGuard(static_cast<const char*>(b), "memcmp p2");
    if (!left || !right || n <= 0)
        return 0;
    return memcmp(left, right, n);
}

// ---------------------------------------------------------------------------------------
// BINARY

BINARY::BINARY() = default;

BINARY::BINARY(const void* data, int length, int blocksize)
{
    BlockSize = blocksize <= 0 ? STRING_DEFAULT_BLOCKSIZE : blocksize;
    if (data)
        Make(std::max(length, 0), data);
}

BINARY::BINARY(double value, int precision)
{
    int decimals = precision == -1 ? 4 : precision;
    int length = snprintf(nullptr, 0, "%1.*lf", decimals, value);
    Make(std::max(length, 0));
    if (length > 0)
        snprintf(Buffer, BufLen, "%1.*lf", decimals, value);
    // With the automatic precision, trailing zeros go, and the point when nothing follows it.
    if (precision == -1 && length > 0 && memchr(Buffer, '.', length)) {
        int end = length;
        while (end > 0 && Buffer[end - 1] == '0')
            end--;
        if (end > 0 && Buffer[end - 1] == '.')
            end--;
        memset(Buffer + end, 0, length - end);
        StrLen = end;
    }
}

BINARY::BINARY(const BINARY& other) : BlockSize(other.BlockSize), Flags(other.Flags)
{
    if (other.Buffer)
        Make(other.StrLen, other.Buffer);
}

BINARY::BINARY(BINARY&& other) noexcept
    : Buffer(other.Buffer), StrLen(other.StrLen), BufLen(other.BufLen), BlockSize(other.BlockSize), Flags(other.Flags)
{
    other.Buffer = nullptr;
    other.StrLen = 0;
    other.BufLen = 0;
}

BINARY& BINARY::operator=(const BINARY& other)
{
    if (this == &other)
        return *this;
    BlockSize = other.BlockSize;
    if (!other.Buffer) {
        Free();
    } else {
        // The terminator width follows the content being copied.
        Flags = (Flags & ~STRINGFLAG_WIDE) | (other.Flags & STRINGFLAG_WIDE);
        Make(other.StrLen, other.Buffer);
    }
    Flags = other.Flags;
    return *this;
}

BINARY& BINARY::operator=(BINARY&& other) noexcept
{
    if (this == &other)
        return *this;
    PoolRelease(Buffer, BufLen);
    Buffer = other.Buffer;
    StrLen = other.StrLen;
    BufLen = other.BufLen;
    BlockSize = other.BlockSize;
    Flags = other.Flags;
    other.Buffer = nullptr;
    other.StrLen = 0;
    other.BufLen = 0;
    return *this;
}

BINARY::~BINARY()
{
    Free();
}

void BINARY::Free()
{
    PoolRelease(Buffer, BufLen);
    Buffer = nullptr;
    StrLen = 0;
    BufLen = 0;
}

void BINARY::Make(int n, const void* data)
{
    if (BlockSize <= 0)
        BlockSize = STRING_DEFAULT_BLOCKSIZE;
    if (n < 0)
        return;
    int extra = (Flags & STRINGFLAG_WIDE) ? 2 : 1;
    const char* oldBuffer = Buffer;
    int oldLength = StrLen;
    int oldBufLen = BufLen;
    // Data taken from this very buffer must be found again in the new one.
    const char* source = static_cast<const char*>(data);
    long long inside = (source && Buffer && source >= Buffer && source < Buffer + StrLen) ? source - Buffer : -1;
    if (BufLen < static_cast<long long>(n) + extra) {
        // Always at least one granule beyond the need.
        long long wanted = static_cast<long long>(BlockSize) * ((static_cast<long long>(n) + extra) / BlockSize + 1);
        if (wanted > INT_MAX)
            OutOfMemory(wanted);
        int newlen = static_cast<int>(wanted);
        if (Buffer && BufLen > DYNABLOCK_START && _msize(Buffer) >= static_cast<size_t>(newlen)) {
            // The block has room already (see below): grow in place. The room past BufLen was
            // zeroed by calloc and nothing writes there; what a shrink left below it is
            // cleared further down.
        } else {
            char* block;
            int kept = Buffer ? std::min(newlen, StrLen) : 0;
            if (newlen == STRING_DEFAULT_BLOCKSIZE) {
                block = PoolAcquire(newlen);
                if (!block)
                    OutOfMemory(newlen);
                memset(block + kept, 0, newlen - kept);
            } else {
                // A large text that grows is given a block with room to double, so that its
                // next growth steps (2 MiB at most each) need no copy; BufLen still follows
                // the granule rules. The heap zeroes the block.
                size_t room = newlen;
                if (Buffer && newlen > DYNABLOCK_START)
                    room = std::max(room, 2 * static_cast<size_t>(BufLen));
                block = static_cast<char*>(std::calloc(room, 1));
                if (!block)
                    OutOfMemory(newlen);
            }
            if (kept > 0)
                memcpy(block, Buffer, kept);
            if (Buffer)
                PoolRelease(Buffer, BufLen);
            Buffer = block;
        }
        BufLen = newlen;

        if (Flags & STRINGFLAG_DYNABLOCK) {
            // Large texts grow by half their size, in whole KiB, at most 2 MiB at a time.
            int oldBlockSize = BlockSize;
            if (BlockSize < newlen / 2)
                BlockSize = newlen / 2;
            if (BlockSize >= DYNABLOCK_CAP)
                BlockSize = DYNABLOCK_CAP;
            else if (BlockSize >= 4096)
                BlockSize = (BlockSize + 1023) / 1024 * 1024;
            if (BlockSize != oldBlockSize)
                LogPrint("STRING::Make STRINGFLAG_DYNABLOCK new blocksize %d\n", BlockSize);
        } else if (newlen > DYNABLOCK_START) {
            Flags |= STRINGFLAG_DYNABLOCK;
            if (BlockSize < DYNABLOCK_START) {
                BlockSize = DYNABLOCK_START;
                LogPrint("STRING::Make Upgrade String to STRINGFLAG_DYNABLOCK\n");
            }
        } else if (newlen >= 8192) {
            BlockSize = std::max(BlockSize, 4096);
        } else if (newlen >= 4096) {
            BlockSize = std::max(BlockSize, 2048);
        } else if (newlen >= 1024) {
            BlockSize = std::max(BlockSize, 1024);
        }
    }
    if (!data && oldBuffer && Buffer == oldBuffer && n > oldLength) {
        // The block stayed: the bytes now exposed may still hold text that an earlier shrink
        // cut off. Past the old end of the block the room is zero already.
        memset(Buffer + oldLength, 0, std::min(n, oldBufLen) - oldLength);
    }
    if (data) {
        TARVO_CHECK(BufLen >= n + extra, "this->BufLen>=(len+extra)", nullptr);
        if (inside >= 0)
            source = Buffer + inside;
        // The data may lie in this very buffer, so it is moved before the old tail is zeroed.
        memmove(Buffer, source, n);
        if (StrLen > n)
            memset(Buffer + n, 0, StrLen - n);
        memset(Buffer + n, 0, extra);
    }
    StrLen = n;
    if (Flags & STRINGFLAG_WIDE) {
        Buffer[n & ~1] = 0;
        Buffer[(n & ~1) + 1] = 0;
    } else {
        Buffer[n] = 0;
    }
}

void BINARY::Append(const void* bytes, int n)
{
    const char* source = static_cast<const char*>(bytes);
    if (!source || n < 0)
        n = 0;
    // Appending a part of this very buffer must survive its reallocation.
    long long inside = (source && Buffer && source >= Buffer && source < Buffer + BufLen) ? source - Buffer : -1;
    int oldLength = Buffer ? StrLen : 0;
    long long wanted = static_cast<long long>(oldLength) + n;
    if (wanted > INT_MAX)
        OutOfMemory(wanted);
    int newLength = static_cast<int>(wanted);
    if (Buffer && newLength < BufLen - 8)
        StrLen = newLength;
    else
        Make(newLength);
    if (inside >= 0)
        source = Buffer + inside;
    if (n > 0)
        memmove(Buffer + oldLength, source, n);
    Buffer[newLength] = 0;
    if (Flags & STRINGFLAG_WIDE) {
        Buffer[newLength & ~1] = 0;
        Buffer[(newLength & ~1) + 1] = 0;
    }
}

void BINARY::Append(const BINARY& other)
{
    if (other.Buffer)
        Append(other.Buffer, other.StrLen);
}

char& BINARY::At(int i)
{
    thread_local char scratch = 0;
    if (i >= 0 && i < StrLen && Buffer)
        return Buffer[i];
    TARVO_CHECK_FORMAT(false, "i>=0 && i<this->StrLen", "i= %d, len= %d, buf= %s", i, StrLen,
                       Buffer ? Buffer : "<NULL>");
    scratch = 0;
    return scratch;
}

BINARY BINARY::Mid(int pos, int n) const
{
    BINARY result;
    if (!TARVO_CHECK(pos >= 0, "pos>=0", nullptr)) {
        result.Make(0);
        return result;
    }
    int length = PartLength(Length(), pos, n);
    result.Make(length, length > 0 ? Buffer + pos : "");
    return result;
}

bool BINARY::Load(const char* path, const char* mode)
{
    long long size = path ? FILENAME(path).Size() : -1;
    LogPrint("BINARY::Load %s (%d bytes)\n", path ? path : "<NULL>", static_cast<int>(size));
    UNIQUEFILE file(FILENAME::fsopen(path, mode ? mode : "r"));
    void* handle = file.get();
    STRING status("OK");
    if (file) {
        if (size != 0) {
            // One granule for the whole file: no regrowth while it is read.
            long long granule = (size + LOAD_GRANULE - 1) / LOAD_GRANULE * LOAD_GRANULE;
            BlockSize = static_cast<int>(std::min<long long>(granule, LOAD_GRANULE_MAX));
        }
        Make(0, "");
        std::unique_ptr<char[]> block(new char[FILE_BLOCK]);
        for (;;) {
            size_t got = fread(block.get(), 1, FILE_BLOCK, file.get());
            Append(block.get(), static_cast<int>(got));
            if (got < static_cast<size_t>(FILE_BLOCK))
                break;
        }
    } else {
        status = OSYS::GetErrorText();
    }
    LogPrint("BINARY::Load returns %p, %d bytes, %s\n", handle, StrLen, status.c_str());
    return handle != nullptr;
}

bool BINARY::Save(const char* path, const char* mode) const
{
    LogPrint("BINARY::Save %s\n", path ? path : "<NULL>");
    SAVEFILE file(path, mode ? mode : "w");
    const void* handle = file.get();
    int count = -1;
    bool saved = false;
    STRING status("OK");
    if (file) {
        const char* data = NullGuard(Buffer, "STRING::Save");
        int length = Buffer ? StrLen : 0;
        if (data && length > 0)
            file.Write(data, length);
        // The data must be on the disk when the caller is told it was saved.
        saved = file.Close(true);
        count = static_cast<int>(file.Written());
        if (!saved) {
            status = file.Failure();
            LogPrint("BINARY::Save failed: %s\n", status.c_str());
        }
    } else {
        status = OSYS::GetErrorText();
    }
    LogPrint("BINARY::Save returns %p, %d bytes, %s\n", handle, count, status.c_str());
    return saved;
}

STRING BINARY::ToHex() const
{
    static constexpr char digits[] = "0123456789abcdef";
    STRING result;
    int length = Length();
    result.Make(2 * length);
    for (int i = 0; i < length; i++) {
        unsigned char byte = static_cast<unsigned char>(Buffer[i]);
        result.Buffer[2 * i] = digits[byte >> 4];
        result.Buffer[2 * i + 1] = digits[byte & 0x0F];
    }
    return result;
}

BINARY BINARY::FromHex() const
{
    BINARY result;
    int count = Length() / 2;
    result.Make(count);
    for (int i = 0; i < count; i++) {
        // Up to two digits are read; the value ends at the first character that is not a
        // hexadecimal digit, so a pair that does not start with one gives 0.
        const unsigned char* pair = reinterpret_cast<const unsigned char*>(Buffer) + 2 * i;
        int value = 0;
        for (int d = 0; d < 2 && HexDigit(pair[d]) >= 0; d++)
            value = value * 16 + HexDigit(pair[d]);
        result.Buffer[i] = static_cast<char>(value);
    }
    return result;
}

STRING BINARY::ToBase64(bool linebreaks) const
{
    constexpr int GROUPS_PER_LINE = 19; // 76 characters
    int n = Length();
    STRING result;
    result.BlockSize = n / 3 * 4 + (n / 3 * 4) / 76 * 2 + 5;
    int groups = (n + 2) / 3;
    int lines = (groups + GROUPS_PER_LINE - 1) / GROUPS_PER_LINE;
    long long total = 4LL * groups + (linebreaks ? 2LL * lines : 0);
    if (total > INT_MAX)
        OutOfMemory(total);
    result.Make(static_cast<int>(total));
    const unsigned char* in = reinterpret_cast<const unsigned char*>(Buffer);
    char* out = result.Buffer;
    for (int g = 0; g < groups; g++) {
        int i = 3 * g;
        unsigned int bits = in[i] << 16;
        if (i + 1 < n)
            bits |= in[i + 1] << 8;
        if (i + 2 < n)
            bits |= in[i + 2];
        *out++ = BASE64_ALPHABET[(bits >> 18) & 0x3F];
        *out++ = BASE64_ALPHABET[(bits >> 12) & 0x3F];
        *out++ = i + 1 < n ? BASE64_ALPHABET[(bits >> 6) & 0x3F] : '=';
        *out++ = i + 2 < n ? BASE64_ALPHABET[bits & 0x3F] : '=';
        // Every closed line ends with CR LF when breaks are asked for, the last one too.
        if (linebreaks && ((g + 1) % GROUPS_PER_LINE == 0 || g + 1 == groups)) {
            *out++ = '\r';
            *out++ = '\n';
        }
    }
    return result;
}

STRING BINARY::FromBase64() const
{
    const unsigned char* table = Base64DecodeTable();
    int n = Length();
    STRING result;
    result.BlockSize = n / 4 * 3 + 3;
    result.Make(n / 4 * 3 + 3);
    int produced = 0;
    int values[4];
    int collected = 0;
    for (int i = 0; i < n; i++) {
        unsigned char entry = table[static_cast<unsigned char>(Buffer[i])];
        if (entry == 0xFF)
            continue; // line breaks, blanks, anything outside the alphabet
        bool end = entry == 0;
        if (!end)
            values[collected++] = entry - 1;
        if (collected == 4 || end) {
            if (collected >= 2)
                result.Buffer[produced++] = static_cast<char>((values[0] << 2) | (values[1] >> 4));
            if (collected >= 3)
                result.Buffer[produced++] = static_cast<char>(((values[1] & 0x0F) << 4) | (values[2] >> 2));
            if (collected == 4)
                result.Buffer[produced++] = static_cast<char>(((values[2] & 0x03) << 6) | values[3]);
            collected = 0;
        }
        if (end)
            break; // "=" ends the data; whatever follows is ignored
    }
    result.Truncate(produced);
    return result;
}

STRING BINARY::FromQuotedPrintable() const
{
    int n = Length();
    STRING result;
    result.Make(n);
    int produced = 0;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(Buffer);
    for (int i = 0; i < n; i++) {
        if (in[i] == '=') {
            if (i + 1 < n && in[i + 1] == '\n') {
                i += 1; // soft line break
                continue;
            }
            if (i + 2 < n && in[i + 1] == '\r' && in[i + 2] == '\n') {
                i += 2;
                continue;
            }
            if (i + 2 < n && HexDigit(in[i + 1]) >= 0 && HexDigit(in[i + 2]) >= 0) {
                result.Buffer[produced++] = static_cast<char>(HexDigit(in[i + 1]) * 16 + HexDigit(in[i + 2]));
                i += 2;
                continue;
            }
        }
        result.Buffer[produced++] = static_cast<char>(in[i]);
    }
    result.Truncate(produced);
    return result;
}

STRING BINARY::Latin1ToUtf8() const
{
    int n = Length();
    STRING result;
    result.Make(2 * n);
    int produced = 0;
    for (int i = 0; i < n; i++) {
        unsigned char byte = static_cast<unsigned char>(Buffer[i]);
        if (byte < 0x80) {
            result.Buffer[produced++] = static_cast<char>(byte);
        } else {
            result.Buffer[produced++] = static_cast<char>(0xC0 + (byte >> 6));
            result.Buffer[produced++] = static_cast<char>(0x80 + (byte & 0x3F));
        }
    }
    result.Truncate(produced);
    return result;
}

STRING BINARY::Utf8ToLatin1() const
{
    int n = Length();
    STRING result;
    result.Make(n);
    int produced = 0;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(Buffer);
    for (int i = 0; i < n;) {
        unsigned char lead = in[i];
        if (lead < 0x80) {
            result.Buffer[produced++] = static_cast<char>(lead);
            i++;
        } else if (lead >= 0xC0 && lead <= 0xDF) {
            int count = i + 2;
            if (!TARVO_CHECK(count <= StrLen, "count<=this->StrLen", nullptr)) {
                i++;
                continue;
            }
            unsigned char char2 = in[i + 1];
            if (!TARVO_CHECK(IsContinuation(char2), "!((char2 & 0xC0) != 0x80)", nullptr)) {
                i++;
                continue;
            }
            result.Buffer[produced++] = static_cast<char>((lead << 6) | (char2 & 0x3F));
            i += 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            int count = i + 3;
            if (!TARVO_CHECK(count <= StrLen, "count<=this->StrLen", nullptr)) {
                i++;
                continue;
            }
            // A broken sequence is reported once and gives nothing; a byte in it that is no
            // continuation byte is not taken, but read as the next character.
            unsigned char char2 = in[i + 1];
            unsigned char char3 = in[i + 2];
            if (!IsContinuation(char2)) {
                if (IsContinuation(char3))
                    TARVO_CHECK(false, "!((char2 & 0xC0) != 0x80) || ((char3 & 0xC0) !=0x80)", nullptr);
                else
                    TARVO_CHECK(false, "!((char2 & 0xC0) != 0x80)", nullptr);
                i++;
                continue;
            }
            if (!TARVO_CHECK(IsContinuation(char3), "!((char3 & 0xC0) != 0x80)", nullptr)) {
                i += 2;
                continue;
            }
            result.Buffer[produced++] = static_cast<char>((char2 << 6) | (char3 & 0x3F));
            i += 3;
        } else {
            TARVO_CHECK(false, "FALSE", nullptr);
            i++;
        }
    }
    result.Truncate(produced);
    return result;
}

BINARY operator+(const BINARY& a, const BINARY& b)
{
    const char* left = NullGuard(a.Buffer, "BIN::op1||");
    const char* right = NullGuard(b.Buffer, "BIN::op2||");
    BINARY result;
    ConcatInto(result, left, GuardedLength(a, left), right, GuardedLength(b, right));
    return result;
}

// ---------------------------------------------------------------------------------------
// STRING

STRING::STRING() = default;

STRING::STRING(const char* text, int codepage) : CodePage(codepage)
{
    if (text)
        Make(static_cast<int>(strlen(text)), text);
}

STRING::STRING(const char* text, int blocksize, int codepage) : CodePage(codepage)
{
    BlockSize = blocksize;
    Make(text ? static_cast<int>(strlen(text)) : -1, text);
}

STRING::STRING(int value)
{
    BlockSize = 16;
    char digits[16];
    int length = snprintf(digits, sizeof(digits), "%d", value);
    Make(length, digits);
}

STRING::STRING(unsigned long value)
{
    BlockSize = 16;
    char digits[24];
    int length = snprintf(digits, sizeof(digits), "%lu", value);
    Make(length, digits);
}

STRING::STRING(const STRING& other) : BINARY(other), CodePage(other.CodePage) {}

STRING::STRING(STRING&& other) noexcept : BINARY(std::move(other)), CodePage(other.CodePage) {}

STRING::STRING(const BINARY& bytes)
{
    if (bytes.Buffer)
        Make(bytes.StrLen, bytes.Buffer);
}

STRING& STRING::operator=(const STRING& other)
{
    if (this == &other)
        return *this;
    BINARY::operator=(other);
    CodePage = other.CodePage;
    return *this;
}

STRING& STRING::operator=(STRING&& other) noexcept
{
    if (this == &other)
        return *this;
    BINARY::operator=(std::move(other));
    CodePage = other.CodePage;
    return *this;
}

STRING& STRING::operator=(const char* text)
{
    return *this = STRING(text);
}

char& STRING::operator[](int i)
{
    thread_local char scratch = 0;
    if (i >= 0 && i < StrLen && Buffer)
        return Buffer[i];
    TARVO_CHECK_FORMAT(false, "i>=0 && i<this->StrLen", "i= %d, len= %d, buf= %s", i, StrLen,
                       Buffer ? Buffer : "<NULL>");
    scratch = 0;
    return scratch;
}

char* STRING::Ptr(int i)
{
    thread_local char scratch = 0;
    if (i >= 0 && i <= StrLen && Buffer)
        return Buffer + i;
    if (!Buffer && i == 0) {
        scratch = 0;
        return &scratch; // the terminator of a text without a buffer
    }
    TARVO_CHECK_FORMAT(false, "i>=0 && i<=this->StrLen", "i= %d, len= %d, buf= %s", i, StrLen,
                       Buffer ? Buffer : "<NULL>");
    scratch = 0;
    return &scratch;
}

int STRING::ToInt() const
{
    const char* text = NullGuard(Buffer, "ToInt");
    return text ? atoi(text) : 0;
}

bool STRING::EqualsNoCase(const char* text) const
{
    return CompareNoCase(Buffer, text, true) == 0;
}

bool STRING::Equals(const char* text) const
{
    if (!Buffer || !text)
        return !Buffer && !text;
    return strcmp(Buffer, text) == 0;
}

void STRING::ToUpper()
{
    if (!Buffer) {
        NullGuard(Buffer, "ToUpper");
        return;
    }
    for (char* p = Buffer; *p; p++)
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');
}

void STRING::ToLower()
{
    if (!Buffer) {
        NullGuard(Buffer, "ToLower");
        return;
    }
    for (char* p = Buffer; *p; p++)
        *p = FoldCase(*p);
}

int STRING::Pos(const char* needle, int start) const
{
    const char* text = NullGuard(Buffer, "Pos Buffer");
    needle = NullGuard(needle, "Pos str");
    if (!text || !needle || !Buffer)
        return -1;
    start = std::max(start, 0);
    if (start >= StrLen)
        return -1;
    const char* found = strstr(Buffer + start, needle);
    return found ? static_cast<int>(found - Buffer) : -1;
}

int STRING::iPos(const char* needle, int start) const
{
    const char* text = NullGuard(Buffer, "iPos Buffer");
    needle = NullGuard(needle, "iPos str");
    if (!text || !needle || !Buffer)
        return -1;
    start = std::max(start, 0);
    if (start >= StrLen)
        return -1;
    int length = static_cast<int>(strlen(needle));
    if (length == 0)
        return start;
    char first = FoldCase(needle[0]);
    for (int i = start; i <= StrLen - length; i++)
        if (FoldCase(Buffer[i]) == first && EqualNoCase(Buffer + i, needle, length))
            return i;
    return -1;
}

bool STRING::Find(const char* needle, int* pos, int start) const
{
    int found = Pos(needle, start);
    if (pos)
        *pos = found;
    return found != -1;
}

bool STRING::iFind(const char* needle, int* pos, int start) const
{
    int found = iPos(needle, start);
    if (pos)
        *pos = found;
    return found != -1;
}

void STRING::Append(const char* text, int n)
{
    text = NullGuard(text, "STRING::Append op1");
    if (!text)
        return;
    if (n == -1)
        n = static_cast<int>(strlen(text));
    BINARY::Append(text, std::max(n, 0));
}

void STRING::Append(const STRING& other)
{
    BINARY::Append(other);
}

void STRING::Append(char c)
{
    BINARY::Append(&c, 1);
}

void STRING::AppendFormat(const char* format, ...)
{
    char area[FORMAT_AREA];
    va_list args;
    va_start(args, format);
    int length = FormatBounded(area, format, args);
    va_end(args);
    BINARY::Append(area, length);
}

void STRING::Format(const char* format, ...)
{
    char area[FORMAT_AREA];
    va_list args;
    va_start(args, format);
    int length = FormatBounded(area, format, args);
    va_end(args);
    Make(length, area);
    CodePage = 1252;
}

void STRING::Insert(const char* text, int pos)
{
    if (text && text == Buffer) {
        TARVO_CHECK(false, "text!=this->Buffer", nullptr);
        return;
    }
    text = NullGuard(text, "Insert");
    if (!text || pos < 0 || pos > StrLen)
        return;
    if (pos == StrLen) {
        Append(text);
        return;
    }
    // A part of this very text is copied before the buffer moves.
    STRING copy;
    if (Buffer && text > Buffer && text < Buffer + BufLen) {
        copy = STRING(text);
        text = copy.Buffer;
    }
    int length = static_cast<int>(strlen(text));
    int oldLength = StrLen;
    Make(oldLength + length);
    memmove(Buffer + pos + length, Buffer + pos, oldLength - pos);
    memcpy(Buffer + pos, text, length);
}

void STRING::Replace(const char* oldtext, const char* newtext, int casesensitive)
{
    if (!oldtext)
        return;
    if (!newtext)
        newtext = "<NULL>";
    if (!*oldtext || strcmp(oldtext, newtext) == 0)
        return;
    int oldLength = static_cast<int>(strlen(oldtext));
    int newLength = static_cast<int>(strlen(newtext));
    // One pass over the original text: the search goes on behind each inserted text, so what
    // was inserted is never searched again.
    int found = casesensitive ? Pos(oldtext, 0) : iPos(oldtext, 0);
    if (found < 0)
        return;
    BINARY result;
    int copied = 0;
    while (found >= 0) {
        result.Append(Buffer + copied, found - copied);
        result.Append(newtext, newLength);
        copied = found + oldLength;
        found = casesensitive ? Pos(oldtext, copied) : iPos(oldtext, copied);
    }
    result.Append(Buffer + copied, StrLen - copied);
    Make(result.StrLen, result.Buffer);
}

void STRING::Trim(char how, const char* chars)
{
    char mode = (how >= 'a' && how <= 'z') ? static_cast<char>(how - 'a' + 'A') : how;
    if (!TARVO_CHECK(mode == 'L' || mode == 'R' || mode == 'B', "how=='L' || how=='R' || how=='B'", nullptr))
        return;
    if (!IsFilled() || !chars)
        return;
    // A zero byte is never in the set, so trimming stops there from either side.
    auto inSet = [&](int i) { return Buffer[i] != 0 && strchr(chars, Buffer[i]) != nullptr; };
    int begin = 0, end = 0;
    textlayer::TrimBounds(StrLen, mode, inSet, begin, end);
    if (begin == 0 && end == StrLen)
        return;
    int length = end - begin;
    memmove(Buffer, Buffer + begin, length);
    memset(Buffer + length, 0, StrLen - length);
    StrLen = length;
}

void STRING::Truncate(int n)
{
    if (!TARVO_CHECK(n >= 0, "newlength>=0", nullptr))
        return;
    if (Buffer && n < StrLen) {
        memset(Buffer + n, 0, StrLen - n);
        StrLen = n;
    }
}

void STRING::DeleteLeft(int n)
{
    if (!TARVO_CHECK(n >= 0, "howmany>=0", nullptr) || n == 0)
        return;
    if (n < StrLen) {
        memmove(Buffer, Buffer + n, StrLen - n);
        memset(Buffer + StrLen - n, 0, n);
        StrLen -= n;
    } else {
        Truncate(0);
    }
}

void STRING::DeleteRight(int n)
{
    if (!TARVO_CHECK(n >= 0, "howmany>=0", nullptr))
        return;
    Truncate(n >= StrLen ? 0 : StrLen - n);
}

void STRING::MakeNotNull()
{
    if (!Buffer)
        Make(0);
}

STRING STRING::Mid(int pos, int n) const
{
    STRING result;
    if (!TARVO_CHECK(pos >= 0, "pos>=0", nullptr)) {
        result.Make(0);
        return result;
    }
    int length = PartLength(Length(), pos, n);
    result.Make(length, length > 0 ? Buffer + pos : "");
    return result;
}

STRING STRING::Left(int n) const
{
    return Mid(0, n);
}

STRING STRING::Right(int n) const
{
    // A negative n starts past the end (the empty text); computed without Length() - n,
    // which overflows for the most negative numbers.
    int start = n < 0 ? Length() : std::max(Length() - n, 0);
    return Mid(start, n);
}

STRING STRING::Field(int n, const char* delims, int flags) const
{
    STRING result;
    if (Buffer && n >= 0) {
        bool isDelimiter[256] = {};
        for (const char* d = delims ? delims : ""; *d; d++)
            isDelimiter[static_cast<unsigned char>(*d)] = true;
        auto delimiterAt = [&](int i) { return isDelimiter[static_cast<unsigned char>(Buffer[i])]; };
        int start = 0, end = 0;
        if (textlayer::FieldBounds(StrLen, n, (flags & FIELD_REST_MASK) != 0, delimiterAt, start, end))
            result = Mid(start, end - start);
    }
    if (!result.Buffer && (flags & FIELD_NOTNULL))
        result.Make(0);
    return result;
}

STRING operator+(const STRING& a, const char* b)
{
    const char* left = NullGuard(a.Buffer, "STR::op1||");
    const char* right = NullGuard(b, "STR::op2||");
    STRING result;
    ConcatInto(result, left, GuardedLength(a, left), right, right ? static_cast<int>(strlen(right)) : 0);
    return result;
}

STRING operator+(const STRING& a, const STRING& b)
{
    const char* left = NullGuard(a.Buffer, "STR::op1||");
    const char* right = NullGuard(b.Buffer, "STR::op2||");
    STRING result;
    ConcatInto(result, left, GuardedLength(a, left), right, GuardedLength(b, right));
    return result;
}

STRING operator+(const char* a, const STRING& b)
{
    const char* left = NullGuard(a, "STR::op1||");
    const char* right = NullGuard(b.Buffer, "STR::op2||");
    STRING result;
    ConcatInto(result, left, left ? static_cast<int>(strlen(left)) : 0, right, GuardedLength(b, right));
    return result;
}

// ---------------------------------------------------------------------------------------
// Conversions between 8-bit text and UTF-16

namespace {

// -2 and -3 are the values of two code-page markers: a caller that passes one as a length
// has the arguments mixed up. It is reported and the whole text is taken.
int CheckedLength(int length, const char* condition)
{
    TARVO_CHECK(length != UNICODE_CPSYSTEM && length != UNICODE_CPFLAT, condition, nullptr);
    return length < 0 ? -1 : length;
}

int WideLength(const wchar_t* text, int length)
{
    return length < 0 ? static_cast<int>(wcslen(text)) : length;
}

} // namespace

void STRING::FromWide(const wchar_t* text, int length, int codepage)
{
    CodePage = codepage;
    length = CheckedLength(length, "length!=UNICODE_CPSYSTEM && length!=UNICODE_CPFLAT");
    if (!text)
        return;
    length = WideLength(text, length);
    if (codepage == UNICODE_CPUTF8) {
        Make(0);
        UNICODE::Instance().WideToUtf8Text(text, length, *this);
        return;
    }
    Make(length);
    UNICODE::Instance().WideToBytes(text, length, codepage, Buffer);
}

STRING::STRING(const WSTRING& text, int codepage)
{
    FromWide(text.IsNull() ? nullptr : text.c_str(), text.Length(), codepage);
}

// ---------------------------------------------------------------------------------------
// WSTRING

WSTRING::WSTRING()
{
    Data.Flags = STRINGFLAG_WIDE;
}

WSTRING::WSTRING(const wchar_t* text, int length) : WSTRING()
{
    length = CheckedLength(length, "len!=UNICODE_CPSYSTEM && len!=UNICODE_CPFLAT");
    if (text)
        Assign(text, WideLength(text, length));
}

WSTRING::WSTRING(const char* text, int codepage) : WSTRING(text, -1, codepage) {}

WSTRING::WSTRING(const char* text, int length, int codepage) : WSTRING()
{
    if (!text)
        return;
    if (length < 0)
        length = static_cast<int>(strlen(text));
    if (codepage == UNICODE_CPUTF8) {
        // A fresh state, and a sequence still open at the end is dropped.
        UTF8STATE state;
        Data.Make(0);
        UNICODE::Instance().Utf8ToWide(text, length, *this, state);
        return;
    }
    Data.Make(CheckedSize(static_cast<long long>(length) * WIDE_BYTES));
    UNICODE::Instance().BytesToWide(text, length, codepage, Chars());
}

WSTRING::WSTRING(const STRING& text) : WSTRING(text.Buffer, text.Length(), text.CodePage) {}

WSTRING::WSTRING(const WSTRING& other) = default;

WSTRING::WSTRING(WSTRING&& other) noexcept : Data(std::move(other.Data))
{
    other.Data.Flags = STRINGFLAG_WIDE;
}

WSTRING& WSTRING::operator=(const WSTRING& other) = default;

WSTRING& WSTRING::operator=(WSTRING&& other) noexcept
{
    Data = std::move(other.Data);
    other.Data.Flags = STRINGFLAG_WIDE;
    return *this;
}

WSTRING& WSTRING::operator=(const wchar_t* text)
{
    return *this = WSTRING(text);
}

WSTRING::~WSTRING() = default;

void WSTRING::Assign(const wchar_t* text, int length)
{
    Data.Make(length * WIDE_BYTES, text);
}

const wchar_t* WSTRING::c_str() const
{
    return Data.Buffer ? Chars() : L"";
}

int WSTRING::ToInt() const
{
    const wchar_t* text = NullGuardWide(Data.Buffer ? Chars() : nullptr, "wtoi");
    return text ? static_cast<int>(wcstol(text, nullptr, 10)) : 0;
}

void WSTRING::Append(const wchar_t* text, int n)
{
    text = NullGuardWide(text, "WSTRING::Append");
    if (!text)
        return;
    Data.Append(text, std::max(WideLength(text, n), 0) * WIDE_BYTES);
}

void WSTRING::Append(const WSTRING& other)
{
    Data.Append(other.Data);
}

void WSTRING::Format(const wchar_t* format, ...)
{
    const int nwbufmax = WIDE_FORMAT_AREA;
    wchar_t area[WIDE_FORMAT_AREA];
    area[0] = 0;
    format = NullGuardWide(format, "WSTRING::Format");
    if (!format) {
        Data.Make(0);
        return;
    }
    va_list args;
    va_start(args, format);
    int rc = vswprintf(area, nwbufmax, format, args);
    va_end(args);
    TARVO_CHECK(rc >= 0 && rc < nwbufmax - 1, "rc>=0 && rc<nwbufmax-1", nullptr);
    // An overlong result is cut to the area; what the formatter left there is kept.
    area[nwbufmax - 2] = 0;
    Assign(area, static_cast<int>(wcslen(area)));
}

void WSTRING::Insert(const wchar_t* text, int pos)
{
    const wchar_t* wbuf = Data.Buffer ? Chars() : nullptr;
    if (text && text == wbuf) {
        TARVO_CHECK(false, "wtext!=wbuf", nullptr);
        return;
    }
    text = NullGuardWide(text, "WSTRING::Insert");
    int length = Length();
    if (!text || pos < 0 || pos > length)
        return;
    // A part of this very text is copied before the buffer moves.
    WSTRING copy(text);
    int added = copy.Length();
    Data.Make((length + added) * WIDE_BYTES);
    wchar_t* chars = Chars();
    wmemmove(chars + pos + added, chars + pos, length - pos);
    wmemcpy(chars + pos, copy.c_str(), added);
}

void WSTRING::Trim(char how, const wchar_t* chars)
{
    char mode = (how >= 'a' && how <= 'z') ? static_cast<char>(how - 'a' + 'A') : how;
    if (!TARVO_CHECK(mode == 'L' || mode == 'R' || mode == 'B', "how=='L' || how=='R' || how=='B'", nullptr))
        return;
    int length = Length();
    if (length == 0 || !chars)
        return;
    const wchar_t* text = Chars();
    // A zero character is never in the set, so trimming stops there from either side.
    auto inSet = [&](int i) { return text[i] != 0 && wcschr(chars, text[i]) != nullptr; };
    int begin = 0, end = 0;
    textlayer::TrimBounds(length, mode, inSet, begin, end);
    if (begin == 0 && end == length)
        return;
    Data.Make((end - begin) * WIDE_BYTES, text + begin);
}

void WSTRING::MakeNotNull()
{
    if (!Data.Buffer)
        Data.Make(0);
}

int WSTRING::Pos(const wchar_t* needle, int start) const
{
    needle = NullGuardWide(needle, "WSTRING::Pos");
    if (!needle || !Data.Buffer)
        return -1;
    start = std::max(start, 0);
    if (start >= Length())
        return -1;
    const wchar_t* found = wcsstr(Chars() + start, needle);
    return found ? static_cast<int>(found - Chars()) : -1;
}

WSTRING WSTRING::Mid(int pos, int n) const
{
    WSTRING result;
    if (!TARVO_CHECK(pos >= 0, "pos>=0", nullptr)) {
        result.MakeNotNull();
        return result;
    }
    int length = PartLength(Length(), pos, n);
    result.Assign(length > 0 ? Chars() + pos : L"", length);
    return result;
}

WSTRING WSTRING::Field(int n, const wchar_t* delims, int flags) const
{
    WSTRING result;
    int length = Length();
    if (Data.Buffer && n >= 0) {
        const wchar_t* text = Chars();
        const wchar_t* set = delims ? delims : L"";
        auto delimiterAt = [&](int i) { return text[i] != 0 && wcschr(set, text[i]) != nullptr; };
        int start = 0, end = 0;
        if (textlayer::FieldBounds(length, n, (flags & FIELD_REST_MASK) != 0, delimiterAt, start, end))
            result = Mid(start, end - start);
    }
    if (result.IsNull() && (flags & FIELD_NOTNULL))
        result.MakeNotNull();
    return result;
}

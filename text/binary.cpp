#include "text/binary.h"

#include <malloc.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "text/savefile.h"
#include "text/stringpool.h"
#include "text/strings.h"
#include "text/textinternal.h"

namespace {

using textlayer::ConcatBuffers;
using textlayer::HexDigit;
using textlayer::OutOfMemory;
using textlayer::PartLength;
using textlayer::PoolAcquire;
using textlayer::PoolRelease;

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

void BINARY::CopyPart(BINARY& result, int pos, int n) const
{
    if (!TARVO_CHECK(pos >= 0, "pos>=0", nullptr)) {
        result.Make(0);
        return;
    }
    int length = PartLength(Length(), pos, n);
    result.Make(length, length > 0 ? Buffer + pos : "");
}

BINARY BINARY::Mid(int pos, int n) const
{
    BINARY result;
    CopyPart(result, pos, n);
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
    return ConcatBuffers(a, b, "BIN::op1||", "BIN::op2||");
}

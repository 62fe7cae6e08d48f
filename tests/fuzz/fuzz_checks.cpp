#include "fuzz_checks.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "approot/approot.h"
#include "osys/osysfile.h"
#include "text/binary.h"
#include "text/stringarray.h"

namespace {

std::string Bytes(const BINARY& value)
{
    return value.Buffer ? std::string(value.Buffer, value.StrLen) : std::string();
}

STRING TextOf(const std::string& bytes)
{
    STRING text;
    text.Make(static_cast<int>(bytes.size()), bytes.data());
    return text;
}

std::string Fail(const std::string& what, const std::string& detail)
{
    return what + ": " + detail;
}

// ---------------------------------------------------------------------------------------
// HASH and HASHLIST

// A key written raw that would read back as something else: a line end, the text-mode end
// byte, "=", a comment or table line start, or in a list a section header.
bool RawKeyBreaksFormat(const std::string& key, bool inList)
{
    return key.find_first_of(std::string("\n\r\x1a=", 4)) != std::string::npos || key.rfind("#", 0) == 0 ||
           key.rfind("//", 0) == 0 || (inList && key.rfind("[", 0) == 0);
}

bool AnyKeyBreaksFormat(const HASH& table, bool inList)
{
    for (int i = 0; i < table.Keys.ItemCount; i++)
        if (RawKeyBreaksFormat(Bytes(*table.Keys.ppItems[i]), inList))
            return true;
    return false;
}

std::string CompareTables(const HASH& original, const HASH& reread, bool reported, bool inList)
{
    if (original.Handle != reread.Handle)
        return Fail("Handle", std::to_string(original.Handle) + " read back as " + std::to_string(reread.Handle));
    if (original.Key.IsNull() != reread.Key.IsNull() || Bytes(original.Key) != Bytes(reread.Key))
        return Fail("Key", Printable(Bytes(original.Key)) + " read back as " +
                               (reread.Key.IsNull() ? "NULL" : Printable(Bytes(reread.Key))));
    int matched = 0;
    for (int i = 0; i < original.Keys.ItemCount; i++) {
        std::string key = Bytes(*original.Keys.ppItems[i]);
        const STRING& value = *original.Values.ppItems[i];
        int found = -1;
        for (int j = 0; j < reread.Keys.ItemCount && found < 0; j++)
            if (Bytes(*reread.Keys.ppItems[j]) == key)
                found = j;
        if (found < 0) {
            if (reported && RawKeyBreaksFormat(key, inList))
                continue; // refused with a report
            return Fail("entry lost", Printable(key));
        }
        matched++;
        const STRING& back = *reread.Values.ppItems[found];
        bool binary = !value.IsNull() && (value.Flags & STRINGFLAG_BINARY);
        if (Bytes(value) != Bytes(back) || binary != ((back.Flags & STRINGFLAG_BINARY) != 0))
            return Fail("value of " + Printable(key), Printable(Bytes(value)) + (binary ? " (binary)" : "") +
                                                          " read back as " + Printable(Bytes(back)));
    }
    if (matched != reread.Keys.ItemCount)
        return Fail("entries", std::to_string(reread.Keys.ItemCount - matched) + " appeared, first keys read back: " +
                                   Printable(reread.Keys.ItemCount ? Bytes(*reread.Keys.ppItems[0]) : ""));
    for (int j = 1; j < reread.Keys.ItemCount; j++)
        if (CompareNoCase(reread.Keys.ppItems[j - 1]->c_str(), reread.Keys.ppItems[j]->c_str(), false) > 0)
            return Fail("keys out of order", Printable(Bytes(*reread.Keys.ppItems[j])));
    return "";
}

std::string HashText(const HASH& table)
{
    STRING text;
    table.ToText(text);
    return Bytes(text);
}

std::string ListText(const HASHLIST& list)
{
    STRING text;
    list.ToText(text);
    return Bytes(text);
}

} // namespace

std::string CheckHashRoundTrip(const HASH& table, const char* file)
{
    long long before = FuzzReports();
    HASH reread;
    if (file) {
        // A table the format cannot hold may be refused whole, with a report.
        if (!table.Save(file))
            return FuzzReports() != before && AnyKeyBreaksFormat(table, false) ? "" : Fail("HASH::Save", file);
        if (!reread.Load(file))
            return Fail("HASH::Load", file);
    } else {
        reread.FromString(TextOf(HashText(table)));
    }
    return CompareTables(table, reread, FuzzReports() != before, false);
}

std::string CheckHashListRoundTrip(const HASHLIST& list, const char* file)
{
    long long before = FuzzReports();
    HASHLIST reread;
    if (file) {
        if (list.Save(file) == 0) {
            bool refusable = false;
            for (int i = 0; i < list.ItemCount; i++)
                refusable = refusable || AnyKeyBreaksFormat(*list.ppItems[i], true);
            return FuzzReports() != before && refusable ? "" : Fail("HASHLIST::Save", file);
        }
        reread.Load(file);
    } else {
        reread.FromString(TextOf(ListText(list)));
    }
    if (reread.ItemCount != list.ItemCount)
        return Fail("records", std::to_string(list.ItemCount) + " read back as " + std::to_string(reread.ItemCount));
    bool reported = FuzzReports() != before;
    for (int i = 0; i < list.ItemCount; i++) {
        std::string problem = CompareTables(*list.ppItems[i], *reread.ppItems[i], reported, true);
        if (!problem.empty())
            return "record " + std::to_string(i) + ": " + problem;
    }
    return "";
}

std::string CheckHashText(const std::string& text)
{
    HASH first;
    first.FromString(TextOf(text));
    std::string written = HashText(first);
    HASH second;
    second.FromString(TextOf(written));
    std::string again = HashText(second);
    if (again != written)
        return Fail("written text changed on a second round", Printable(written) + " became " + Printable(again));
    return "";
}

std::string CheckHashListText(const std::string& text)
{
    HASHLIST first;
    first.FromString(TextOf(text));
    std::string written = ListText(first);
    HASHLIST second;
    second.FromString(TextOf(written));
    std::string again = ListText(second);
    if (again != written)
        return Fail("written text changed on a second round", Printable(written) + " became " + Printable(again));
    return "";
}

std::string CheckNoRecords(const std::string& text)
{
    HASHLIST list;
    if (list.FromString(TextOf(text)) != 0 || list.ItemCount != 0)
        return Fail("HASHLIST::FromString", std::to_string(list.ItemCount) + " records");
    std::string file = ScratchFile("records.txt");
    if (!TextOf(text).Save(file.c_str(), "wb"))
        return Fail("BINARY::Save", file);
    if (list.Load(file.c_str()) != 0)
        return Fail("HASHLIST::Load", std::to_string(list.ItemCount) + " records");
    return "";
}

// ---------------------------------------------------------------------------------------
// SplitCommandLine

namespace {

// The splitting rule, on a copy: blanks separate, a leading quote runs to the next quote,
// and what is left when the slots run short is one last argument.
std::vector<std::string> ReferenceSplit(std::string line, int slotCount, bool withProgramPath)
{
    std::vector<std::string> arguments;
    if (slotCount < 1)
        return arguments;
    if (withProgramPath && slotCount > 1)
        arguments.push_back("<self>");
    size_t p = line.find_first_not_of(' ');
    if (p == std::string::npos)
        return arguments;
    line.erase(line.find_last_not_of(' ') + 1);
    auto count = [&] { return static_cast<int>(arguments.size()); };
    while (p < line.size() && count() < slotCount - 2) {
        size_t start = p;
        size_t stop;
        if (line[p] == '"') {
            start = p + 1;
            stop = line.find('"', start);
            if (stop == std::string::npos) {
                p = start;
                break;
            }
        } else {
            stop = line.find(' ', p);
            if (stop == std::string::npos)
                break;
        }
        arguments.push_back(line.substr(start, stop - start));
        p = line.find_first_not_of(' ', stop + 1);
        if (p == std::string::npos)
            p = line.size();
    }
    if (p < line.size() && count() < slotCount - 1)
        arguments.push_back(line.substr(p));
    return arguments;
}

} // namespace

std::string CheckSplit(const std::string& line, int slotCount, bool withProgramPath)
{
    constexpr int GUARD = 8;
    constexpr char CANARY = '\xa5';
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    buffer.insert(buffer.end(), GUARD, CANARY);
    char programPath[PROGRAM_PATH_MAX + GUARD];
    memset(programPath, CANARY, sizeof(programPath));
    char* const slotCanary = programPath + 1; // a pointer no split stores
    std::vector<char*> slots(std::max(slotCount, 0) + GUARD, slotCanary);

    int count = SplitCommandLine(buffer.data(), withProgramPath ? programPath : nullptr, slots.data(), slotCount);

    for (size_t i = std::max(slotCount, 0); i < slots.size(); i++)
        if (slots[i] != slotCanary)
            return Fail("slot written past the array", std::to_string(i) + " of " + std::to_string(slotCount));
    for (int i = 0; i < GUARD; i++)
        if (buffer[line.size() + 1 + i] != CANARY || programPath[PROGRAM_PATH_MAX + i] != CANARY)
            return Fail("written past a buffer", "canary " + std::to_string(i));
    std::vector<std::string> expected = ReferenceSplit(line, slotCount, withProgramPath);
    if (count != static_cast<int>(expected.size()))
        return Fail("count", std::to_string(count) + " instead of " + std::to_string(expected.size()));
    if (slotCount >= 1 && slots[count] != nullptr)
        return Fail("no null after the arguments", std::to_string(count));
    for (int i = 0; i < count; i++) {
        bool isProgramPath = expected[i] == "<self>" && i == 0 && withProgramPath;
        const char* lineStart = buffer.data();
        if (!isProgramPath && (slots[i] < lineStart || slots[i] > lineStart + line.size()))
            return Fail("argument outside the line", std::to_string(i));
        std::string argument = isProgramPath ? std::string(programPath) : std::string(slots[i]);
        if (!isProgramPath && argument != expected[i])
            return Fail("argument " + std::to_string(i), Printable(argument) + " instead of " + Printable(expected[i]));
    }
    return "";
}

// ---------------------------------------------------------------------------------------
// Encodings

namespace {

bool IsAsciiSubsequence(const std::string& input, const std::string& output)
{
    size_t at = 0;
    for (char c : input) {
        if (static_cast<unsigned char>(c) >= 0x80)
            continue;
        at = output.find(c, at);
        if (at == std::string::npos)
            return false;
        at++;
    }
    return true;
}

// Quoted-printable with every form the decoder knows: literal bytes, "=XX" in either case and
// soft line breaks.
std::string QuotedPrintable(const std::string& bytes)
{
    static constexpr char upper[] = "0123456789ABCDEF";
    static constexpr char lower[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        const char* digits = (i % 2) ? upper : lower;
        if (c >= 0x21 && c <= 0x7E && c != '=')
            text += static_cast<char>(c);
        else
            text += std::string("=") + digits[c >> 4] + digits[c & 0x0F];
        if (i % 7 == 3)
            text += (i % 2) ? "=\r\n" : "=\n";
    }
    return text;
}

} // namespace

std::string CheckEncodings(const std::string& bytes)
{
    STRING text = TextOf(bytes);
    BINARY binary(bytes.data(), static_cast<int>(bytes.size()));

    std::string escaped = Bytes(Escape(text, "={}"));
    for (char c : escaped)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7F || strchr("={}", c))
            return Fail("Escape left a byte the format cannot hold", Printable(escaped));
    if (Bytes(Unescape(TextOf(escaped), false)) != bytes)
        return Fail("Unescape(Escape(x))", Printable(Bytes(Unescape(TextOf(escaped), false))));

    std::string hex = Bytes(binary.ToHex());
    if (hex.size() != 2 * bytes.size() || hex.find_first_not_of("0123456789abcdef") != std::string::npos)
        return Fail("ToHex", Printable(hex));
    if (Bytes(BINARY(hex.data(), static_cast<int>(hex.size())).FromHex()) != bytes)
        return Fail("FromHex(ToHex(x))", Printable(hex));

    for (bool linebreaks : {false, true}) {
        std::string base64 = Bytes(binary.ToBase64(linebreaks));
        if (!linebreaks && base64.find_first_of("\r\n") != std::string::npos)
            return Fail("ToBase64 without line breaks", Printable(base64));
        if (Bytes(TextOf(base64).FromBase64()) != bytes)
            return Fail("FromBase64(ToBase64(x))", Printable(base64));
    }

    std::string qp = QuotedPrintable(bytes);
    if (Bytes(TextOf(qp).FromQuotedPrintable()) != bytes)
        return Fail("FromQuotedPrintable", Printable(qp));

    if (Bytes(text.Latin1ToUtf8().Utf8ToLatin1()) != bytes)
        return Fail("Utf8ToLatin1(Latin1ToUtf8(x))", Printable(Bytes(text.Latin1ToUtf8())));

    // Any bytes into the decoders: bounded results, and no ASCII byte swallowed by UTF-8.
    if (text.FromBase64().Length() > static_cast<int>(bytes.size()) / 4 * 3 + 3)
        return Fail("FromBase64 longer than its input allows", "");
    if (binary.FromHex().Length() != static_cast<int>(bytes.size()) / 2)
        return Fail("FromHex length", "");
    if (text.FromQuotedPrintable().Length() > static_cast<int>(bytes.size()))
        return Fail("FromQuotedPrintable longer than its input", "");
    if (Unescape(text, true).Length() > static_cast<int>(bytes.size()))
        return Fail("Unescape longer than its input", "");
    std::string reduced = Bytes(text.Utf8ToLatin1());
    if (reduced.size() > bytes.size() || !IsAsciiSubsequence(bytes, reduced))
        return Fail("Utf8ToLatin1 dropped ASCII", Printable(reduced));
    return "";
}

// ---------------------------------------------------------------------------------------
// FILENAME

namespace {

std::string NormalFormProblem(const std::string& path)
{
    if (path.find('/') != std::string::npos)
        return Fail("a '/' is left", Printable(path));
    if (path.size() == 2 && path[1] == ':')
        return Fail("a drive without its root backslash", Printable(path));
    bool driveRoot = path.size() == 3 && path[1] == ':' && path[2] == '\\';
    if (!path.empty() && path.back() == '\\' && !driveRoot)
        return Fail("trailing backslash", Printable(path));
    return "";
}

// A "<tmp>" name makes a file; the run keeps no file behind.
void DeleteIfTemporary(const std::string& path)
{
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA("TEMP", folder, MAX_PATH);
    if (*folder && _strnicmp(path.c_str(), folder, strlen(folder)) == 0 && path.find("\\tvo") != std::string::npos)
        DeleteFileA(path.c_str());
}

} // namespace

std::string CheckFilename(const std::string& text)
{
    FILENAME name(text.c_str());
    std::string path = name.c_str();
    std::string again = FILENAME(path.c_str()).c_str();
    DeleteIfTemporary(path);
    DeleteIfTemporary(again);
    if (again != path)
        return Fail("not idempotent", Printable(path) + " became " + Printable(again));
    std::string problem = NormalFormProblem(path);
    if (!problem.empty())
        return problem;
    name.GetName();
    name.GetPath();
    std::string tokens = name.AsShellStrings(false).c_str();
    std::string expanded = FILENAME(tokens.c_str()).c_str();
    if (_stricmp(expanded.c_str(), path.c_str()) != 0)
        return Fail("AsShellStrings does not expand back", Printable(tokens) + " gives " + Printable(expanded));
    return "";
}

std::string CheckFilename(const std::string& folder, const std::string& name)
{
    return NormalFormProblem(FILENAME(folder.c_str(), name.c_str()).c_str());
}

std::string CheckFilename(const std::string& folder1, const std::string& folder2, const std::string& name)
{
    std::string path = FILENAME(folder1.c_str(), folder2.c_str(), name.c_str()).c_str();
    if (path.find("\\.\\") != std::string::npos)
        return Fail("a \"\\.\\\" is left", Printable(path));
    return NormalFormProblem(path);
}

// ---------------------------------------------------------------------------------------
// STRING operations against a model

namespace {

const char* const OP_NAMES[] = {"Append", "AppendChar", "Insert", "Replace",      "Truncate",    "DeleteLeft", "DeleteRight",
                                "Trim",   "ShrinkRegrow", "Assign", "AssignNull", "MakeNotNull", "Mid",        "Left",
                                "Right",  "Field",      "Pos",    "iPos",         "At",          "Concat"};
static_assert(sizeof(OP_NAMES) / sizeof(OP_NAMES[0]) == StringOp::KindCount);

struct Model {
    bool null = true;
    std::string text;
};

std::string Fold(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

size_t ModelFind(const std::string& text, const std::string& needle, size_t start, bool caseSensitive)
{
    return caseSensitive ? text.find(needle, start) : Fold(text).find(Fold(needle), start);
}

std::string Compare(const STRING& actual, const Model& model)
{
    if (actual.IsNull() != model.null)
        return Fail("NULL state", model.null ? "expected NULL" : "unexpected NULL");
    if (actual.IsNull())
        return actual.StrLen == 0 ? "" : Fail("NULL with a length", std::to_string(actual.StrLen));
    if (Bytes(actual) != model.text)
        return Fail("content", Printable(Bytes(actual)) + " instead of " + Printable(model.text));
    if (actual.BufLen < actual.StrLen + 1 || actual.Buffer[actual.StrLen] != 0)
        return Fail("terminator", std::to_string(actual.StrLen) + "/" + std::to_string(actual.BufLen));
    return "";
}

// The model's field n, or NULL (as nullopt-like: null true).
Model ModelField(const Model& model, int n, const std::string& delims, int flags)
{
    Model result;
    if (!model.null) {
        size_t start = 0;
        bool exists = true;
        for (int k = 0; k < n && exists; k++) {
            size_t d = model.text.find_first_of(delims, start);
            exists = d != std::string::npos;
            start = exists ? d + 1 : start;
        }
        if (exists) {
            size_t end = (flags & 0xFFFF) ? model.text.size() : model.text.find_first_of(delims, start);
            result.null = false;
            result.text = model.text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
    }
    if (result.null && (flags & 0x10000))
        result.null = false;
    return result;
}

// Applies a query (an operation that builds a new value) and checks its result.
std::string Query(STRING& value, const Model& model, const StringOp& op)
{
    int length = static_cast<int>(model.text.size());
    switch (op.kind) {
    case StringOp::Mid:
    case StringOp::Left:
    case StringOp::Right: {
        STRING part = op.kind == StringOp::Mid ? value.Mid(op.a, op.b) : op.kind == StringOp::Left ? value.Left(op.a) : value.Right(op.a);
        if (part.IsNull())
            return Fail("a part is NULL", "");
        std::string got = Bytes(part);
        int pos = op.kind == StringOp::Mid ? op.a : 0;
        int n = op.kind == StringOp::Mid ? op.b : op.a;
        if (op.kind == StringOp::Right)
            pos = n >= 0 ? std::max(length - n, 0) : -1; // a negative count has no defined part
        std::string expected;
        if (pos >= 0 && pos < length && n >= -1)
            expected = model.text.substr(pos, (n == -1 || n > length - pos) ? std::string::npos : n);
        bool exact = pos >= 0 && n >= -1;
        if (exact ? got != expected : (model.text.find(got) == std::string::npos))
            return Fail("part", Printable(got) + (exact ? " instead of " + Printable(expected) : " is no part"));
        return "";
    }
    case StringOp::Field: {
        STRING field = value.Field(op.a, op.text.c_str(), op.b);
        if (op.a < 0)
            return "";
        Model expected = ModelField(model, op.a, op.text, op.b);
        return Compare(field, expected);
    }
    case StringOp::Pos:
    case StringOp::IPos: {
        int found = op.kind == StringOp::Pos ? value.Pos(op.text.c_str(), op.a) : value.iPos(op.text.c_str(), op.a);
        int expected = -1;
        if (op.a < 0)
            return (found >= -1 && found < std::max(length, 1)) ? "" : Fail("position out of the text", std::to_string(found));
        if (!model.null && op.a < length) {
            size_t at = ModelFind(model.text, op.text, op.a, op.kind == StringOp::Pos);
            expected = at == std::string::npos ? -1 : static_cast<int>(at);
        }
        return found == expected ? "" : Fail("position", std::to_string(found) + " instead of " + std::to_string(expected));
    }
    case StringOp::At: {
        char c = value.At(op.a);
        char expected = (op.a >= 0 && op.a < length) ? model.text[op.a] : 0;
        return c == expected ? "" : Fail("byte", std::to_string(c) + " instead of " + std::to_string(expected));
    }
    case StringOp::Concat: {
        Model expected{false, (model.null ? std::string("<NULL>") : model.text) + op.text};
        return Compare(value + op.text.c_str(), expected);
    }
    default:
        return "";
    }
}

} // namespace

std::string StringOp::Describe() const
{
    return std::string(OP_NAMES[kind]) + "(" + Printable(text, 60) + ", " + Printable(other, 60) + ", " +
           std::to_string(a) + ", " + std::to_string(b) + ")";
}

std::vector<StringOp> RandomStringOps(Rng& rng, int count)
{
    static constexpr const char* DELIMS[] = {"|", "=", " \t", "\\/", ".", "|=;"};
    std::vector<StringOp> ops;
    int length = 8; // a guess of the text's length, enough to aim indexes near its end
    for (int i = 0; i < count; i++) {
        StringOp op;
        op.kind = static_cast<StringOp::Kind>(rng.Below(StringOp::KindCount));
        op.text = RandomBytes(rng, rng.Chance(80) ? 6 : 40, false);
        op.other = RandomBytes(rng, 6, false);
        // Mostly fair numbers; a quarter hostile (each negative one costs a check report).
        op.a = rng.Chance(25) ? HostileIndex(rng, length) : rng.Below(length + 3);
        op.b = rng.Chance(25) ? HostileIndex(rng, length) : rng.Below(length + 3) - 1;
        if (op.kind == StringOp::Field) {
            op.text = rng.Pick(DELIMS);
            op.b = rng.Pick({0, 1, 0x10000, 0x10001});
        }
        if (op.kind == StringOp::Trim)
            op.b = rng.Pick({'L', 'R', 'B', 'l', 'b', 'X'});
        if (op.kind == StringOp::AppendChar)
            op.b = 1 + rng.Below(255);
        if (op.kind == StringOp::Replace && rng.Chance(30) && length > 0)
            op.text = op.text.substr(0, 1); // short needles find something
        length = std::max(0, length + static_cast<int>(op.text.size()) - rng.Below(4));
        ops.push_back(op);
    }
    return ops;
}

std::string CheckStringOps(const std::string& start, bool startNull, const std::vector<StringOp>& ops)
{
    STRING value = startNull ? STRING() : TextOf(start);
    Model model{startNull, startNull ? std::string() : start};
    for (size_t i = 0; i < ops.size(); i++) {
        const StringOp& op = ops[i];
        int length = static_cast<int>(model.text.size());
        switch (op.kind) {
        case StringOp::Append:
            value.Append(op.text.c_str());
            model = {false, model.text + op.text};
            break;
        case StringOp::AppendChar:
            value.Append(static_cast<char>(op.b));
            model = {false, model.text + static_cast<char>(op.b)};
            break;
        case StringOp::Insert:
            value.Insert(op.text.c_str(), op.a);
            if (op.a >= 0 && op.a <= length) {
                model.text.insert(op.a, op.text);
                model.null = false;
            }
            break;
        case StringOp::Replace: {
            bool caseSensitive = op.a % 2 == 0;
            value.Replace(op.text.c_str(), op.other.c_str(), caseSensitive);
            if (model.null || op.text.empty() || op.text == op.other)
                break;
            std::string out;
            size_t copied = 0;
            for (size_t at; (at = ModelFind(model.text, op.text, copied, caseSensitive)) != std::string::npos;) {
                out += model.text.substr(copied, at - copied) + op.other;
                copied = at + op.text.size();
            }
            model.text = out + model.text.substr(copied);
            break;
        }
        case StringOp::Truncate:
            value.Truncate(op.a);
            if (op.a >= 0 && op.a < length)
                model.text.resize(op.a);
            break;
        case StringOp::DeleteLeft:
            value.DeleteLeft(op.a);
            if (op.a > 0)
                model.text.erase(0, op.a);
            break;
        case StringOp::DeleteRight:
            value.DeleteRight(op.a);
            if (op.a >= 0)
                model.text.resize(op.a >= length ? 0 : length - op.a);
            break;
        case StringOp::Trim: {
            value.Trim(static_cast<char>(op.b), op.other.c_str());
            char how = static_cast<char>(op.b & ~0x20);
            if (how != 'L' && how != 'R' && how != 'B')
                break;
            size_t begin = how == 'R' ? 0 : model.text.find_first_not_of(op.other);
            if (begin == std::string::npos) {
                model.text.clear();
                break;
            }
            size_t end = how == 'L' ? model.text.size() : model.text.find_last_not_of(op.other) + 1;
            model.text = model.text.substr(begin, end - begin);
            break;
        }
        case StringOp::ShrinkRegrow: {
            // Bytes a shrink cut off must come back as zeros when the text grows again.
            if (model.null)
                break;
            int keep = length ? std::abs(op.a % (length + 1)) : 0;
            int grow = keep + std::abs(op.b % 48);
            value.Make(keep);
            value.Make(grow);
            std::string expected = model.text.substr(0, keep) + std::string(grow - keep, '\0');
            if (Bytes(value) != expected)
                return "after " + op.Describe() + ": " + Fail("regrown", Printable(Bytes(value)) + " instead of " + Printable(expected));
            value.Truncate(keep);
            model.text.resize(keep);
            break;
        }
        case StringOp::Assign:
            value = op.text.c_str();
            model = {false, op.text};
            break;
        case StringOp::AssignNull:
            value = STRING();
            model = {true, ""};
            break;
        case StringOp::MakeNotNull:
            value.MakeNotNull();
            model.null = false;
            break;
        default: {
            std::string problem = Query(value, model, op);
            if (!problem.empty())
                return "at " + op.Describe() + ": " + problem;
            break;
        }
        }
        std::string problem = Compare(value, model);
        if (!problem.empty())
            return "after " + op.Describe() + " (step " + std::to_string(i) + "): " + problem;
    }
    return "";
}

namespace {

unsigned TemplateWord(const std::vector<unsigned char>& bytes, size_t offset)
{
    return bytes[offset] | (bytes[offset + 1] << 8);
}

} // namespace

std::vector<unsigned char> RandomDialogTemplate(Rng& rng)
{
    std::vector<unsigned char> bytes;
    auto word = [&bytes](unsigned value) {
        bytes.push_back(static_cast<unsigned char>(value & 0xFF));
        bytes.push_back(static_cast<unsigned char>(value >> 8));
    };
    word(1);
    word(0xFFFF);
    for (int i = 0; i < 4; i++)
        word(0); // help id, extended style
    word(rng.Chance(90) ? DS_SETFONT : 0);
    word(0x8000); // WS_POPUP
    word(static_cast<unsigned>(rng.Below(5)));
    for (int i = 0; i < 4; i++)
        word(static_cast<unsigned>(rng.Below(300)));
    word(rng.Chance(95) ? 0 : 1); // menu
    word(0);                      // class
    for (int i = rng.Below(12); i > 0; i--)
        word('A' + static_cast<unsigned>(rng.Below(26)));
    word(0);
    word(rng.Chance(85) ? 8 : static_cast<unsigned>(rng.Below(20)));
    word(400);
    word(0x100);
    const char* face = rng.Chance(85) ? "MS Shell Dlg" : "MS Shell Dlg 2";
    for (const char* c = face; *c; c++)
        word(static_cast<unsigned char>(*c));
    word(0);
    while (bytes.size() % 4)
        bytes.push_back(0);
    for (int i = rng.Below(80); i > 0; i--)
        bytes.push_back(static_cast<unsigned char>(rng.Below(256)));
    if (rng.Chance(30))
        bytes.resize(static_cast<size_t>(rng.Below(static_cast<int>(bytes.size()) + 1)));
    for (int i = rng.Chance(30) ? rng.Below(4) : 0; i > 0 && !bytes.empty(); i--)
        bytes[static_cast<size_t>(rng.Below(static_cast<int>(bytes.size())))] = static_cast<unsigned char>(rng.Below(256));
    return bytes;
}

std::string CheckDialogTemplate(const std::vector<unsigned char>& bytes, int points, const std::string& face)
{
    std::vector<unsigned char> result = RewriteDialogTemplate(bytes.data(), bytes.size(), 6, points, face.c_str());
    if (result == bytes)
        return "";
    // Rewritten: the header up to the font, the new size and face, the items after it unchanged.
    size_t font = 30;
    while (font + 1 < bytes.size() && TemplateWord(bytes, font) != 0)
        font += 2;
    font += 2;
    size_t oldItems = std::min(bytes.size(), (font + 6 + 26 + 3) & ~size_t{3});
    size_t length = std::min(face.size(), size_t{31});
    size_t newItems = (font + 6 + 2 * (length + 1) + 3) & ~size_t{3};
    if (points <= 0 || face.empty())
        return Fail("rewritten", "without a size or face");
    if (result.size() != newItems + bytes.size() - oldItems)
        return Fail("size", std::to_string(result.size()) + " for " + std::to_string(bytes.size()));
    if (!std::equal(bytes.begin(), bytes.begin() + static_cast<long>(font), result.begin()))
        return Fail("header", "changed");
    if (TemplateWord(result, font) != static_cast<unsigned>(points))
        return Fail("point size", std::to_string(TemplateWord(result, font)));
    for (size_t i = 0; i <= length; i++) {
        if (TemplateWord(result, font + 6 + 2 * i) != (i < length ? static_cast<unsigned char>(face[i]) : 0u))
            return Fail("face", "character " + std::to_string(i));
    }
    if (!std::equal(bytes.begin() + static_cast<long>(oldItems), bytes.end(), result.begin() + static_cast<long>(newItems)))
        return Fail("items", "moved wrong");
    return "";
}

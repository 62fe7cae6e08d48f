// The invariants the fuzz program checks. Each check returns "" when they hold, otherwise
// what broke; nothing may crash or hang on the way.
#pragma once

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/hash.h"
#include "ui/dialog.h"

// Write then read gives the same table: Handle, Key, and every entry with its bytes and its
// binary flag. A key the format cannot hold raw may be left out only with a check report.
// With a file name the round trip goes through Save and Load, else through the text form.
std::string CheckHashRoundTrip(const HASH& table, const char* file = nullptr);
std::string CheckHashListRoundTrip(const HASHLIST& list, const char* file = nullptr);
// A parsed text, written and parsed again, writes the same text (any input).
std::string CheckHashText(const std::string& text);
std::string CheckHashListText(const std::string& text);
// Texts that hold no record read back as an empty list, from a text and from a file.
std::string CheckNoRecords(const std::string& text);

// The split matches the splitting rule, stores at most slotCount - 1 arguments and a null,
// and writes nothing past its slots, its line or the program-path buffer.
std::string CheckSplit(const std::string& line, int slotCount, bool withProgramPath);

// decode(encode(x)) == x for the escapes, hex, base64, quoted-printable and UTF-8; the
// decoders take any bytes, and the UTF-8 reduction never drops an ASCII byte.
std::string CheckEncodings(const std::string& bytes);

// The normal form: idempotent, no '/', no trailing '\' but on a drive root; the three-part
// form has no "\.\" left.
std::string CheckFilename(const std::string& text);
std::string CheckFilename(const std::string& folder, const std::string& name);
std::string CheckFilename(const std::string& folder1, const std::string& folder2, const std::string& name);

// One operation on a STRING, with hostile numbers; applied to the STRING and to a model.
struct StringOp {
    enum Kind {
        Append, AppendChar, Insert, Replace, Truncate, DeleteLeft, DeleteRight, Trim, ShrinkRegrow,
        Assign, AssignNull, MakeNotNull, Mid, Left, Right, Field, Pos, IPos, At, Concat, KindCount
    };
    Kind kind;
    std::string text;  // operand text (no zero byte)
    std::string other; // second operand text
    int a = 0;
    int b = 0;
    std::string Describe() const;
};
std::vector<StringOp> RandomStringOps(Rng& rng, int count);
std::string CheckStringOps(const std::string& start, bool startNull, const std::vector<StringOp>& ops);

// An extended dialog template in 8-point "MS Shell Dlg" or near it, sometimes cut short or
// with changed bytes.
std::vector<unsigned char> RandomDialogTemplate(Rng& rng);
// The rewrite to (points, face) leaves the template as it was, or changes exactly its point
// size and face and moves its items unchanged; it reads and writes nothing past the bytes.
std::string CheckDialogTemplate(const std::vector<unsigned char>& bytes, int points, const std::string& face);

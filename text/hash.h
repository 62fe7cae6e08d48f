// Key/value tables and their line-oriented text form.
//   HASH     - case-insensitive keys kept sorted, values as STRING; the format of service.cfg
//   HASHLIST - ordered list of HASH records with a sectioned text form
//   METAHASH - a HASHLIST whose records are addressed (and added) by name
#pragma once

#include "text/dynarray.h"
#include "text/stringarray.h"
#include "text/strings.h"

class HASH {
public:
    HASH();
    explicit HASH(const STRING& text); // parses the text form
    HASH(const HASH& other);
    HASH& operator=(const HASH& other);
    virtual ~HASH();

    // True when the file could be read; the table then holds exactly its content.
    bool Load(const char* path);
    // True when every byte reached the file and it closed cleanly. A table holding a key the
    // text form cannot hold is reported and not written (the file stays as it was).
    bool Save(const char* path) const;
    // The text form: "#Handle=" and "#Key=" lines, then one key=value line per entry. Keys are
    // written raw, so a key with a line end, 0x1A, a zero byte or "=", or one that begins with
    // "#" or "//", is left out (reported once).
    void ToText(STRING& text) const;
    // Adds the entries of a text in the file form and sorts; returns the number of entries.
    int FromString(const STRING& text);

    int IndexOfKey(const char* key) const; // -1 when absent
    bool HasKey(const char* key) const { return IndexOfKey(key) != -1; }
    // The writable value of a key; a missing key is added (reported when LockTable is set).
    STRING& Lookup(const char* key);
    // The value of a key that must exist; a missing key is reported and a NULL text returned.
    const STRING& Value(const char* key) const;
    int RemoveKey(const char* key);
    int RenameKey(const char* oldkey, const char* newkey);
    void Merge(const HASH& other);
    void SetKey(const char* text) { Key = text; }
    // Sets LockTable to the opposite of allow; returns the previous state in allow's sense.
    int AllowNewKeys(int allow);

    int Handle = 0;
    int Spare = 0; // carried with the table; nothing reads it
    STRINGARRAY Keys;
    STRINGARRAY Values;
    int LockTable = 0;
    STRING Key; // the table's own name; NULL when absent

private:
    // First position whose key is not less than key (ItemCount when none); keys are sorted.
    int LowerBound(const char* key) const;
    void SortEntries();
};

class HASHLIST : public DYNARRAY<HASH> {
public:
    HASHLIST();
    // Parses a text in the sectioned form; a text that reads as a non-zero number is refused.
    explicit HASHLIST(const STRING& data);

    // Orders two records by the values of SortKeyNames, name by name; SORTFLAG_BYVALUE: by
    // decimal value, else by bytes.
    int Compare(const HASH& a, const HASH& b, int flags) override;

    int IndexOfKey(const char* name) const;
    // The record of that name; a missing one is appended (reported unless NewKeysAllowed).
    HASH& Record(const char* name);
    int RemoveRecord(const char* name);
    // First record whose value for key equals value (exact) or begins with it, ignoring case.
    int IndexOfValue(const char* key, const char* value, bool exact) const;
    STRINGARRAY Names() const;

    // Returns the number of records read.
    int Load(const char* path);
    // Returns the number of records written (1 for an empty list); 0 when the file cannot be
    // opened or written, or when a record holds a key the form cannot hold (see below).
    int Save(const char* path) const;
    // Returns the number of records read. Each well-formed header "[#n]" opens a record;
    // without any header, a text that holds anything is one record.
    int FromString(const STRING& text);
    // "[#i]", the record's text form, an empty line, for each record. Besides what a table
    // leaves out, a key that begins with "[" is left out (it would read as a header).
    void ToText(STRING& text) const;
    // Sorts by the values of count key names; SORTFLAG_REVERSE reverses the order.
    void SortByKeys(const char* const* names, int count, int flags);

    const char* const* SortKeyNames = nullptr;
    int SortKeyCount = 0;
    int NewKeysAllowed = 0;

protected:
    HASHLIST(const char* typeName, int newKeysAllowed);
};

class METAHASH : public HASHLIST {
public:
    METAHASH();
};

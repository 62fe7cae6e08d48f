// DYNARRAY, STRINGARRAY and the lock types under them.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "osys/locks.h"
#include "text/dynarray.h"
#include "text/stringarray.h"
#include "text_support.h"

namespace {

std::vector<std::string> Items(const STRINGARRAY& array)
{
    std::vector<std::string> items;
    for (int i = 0; i < array.ItemCount; i++)
        items.push_back(array.Get(i)->c_str());
    return items;
}

STRINGARRAY ArrayOf(std::initializer_list<const char*> texts)
{
    STRINGARRAY array(4);
    for (const char* text : texts)
        array.Add(STRING(text));
    return array;
}

using Lines = std::vector<std::string>;

TEST(DynArray, InsertBoundsAndGrowth)
{
    CheckRecorder checks;
    STRINGARRAY array(1);
    EXPECT_EQ(1, array.MaxItems);
    EXPECT_EQ(0, array.Insert(0, STRING("a")));
    EXPECT_EQ(-1, array.Insert(2, STRING("x")));
    EXPECT_EQ("2/1", checks.InfoOf("pos>=0 && pos<=this->ItemCount"));
    EXPECT_EQ(1, array.ItemCount);
    EXPECT_EQ(1, array.Insert(1, STRING("b")));
    EXPECT_EQ(65, array.MaxItems) << "the second item grows by 64";
    for (int i = 2; i < 65; i++)
        array.Add(STRING(i));
    EXPECT_EQ(65, array.MaxItems);
    array.Add(STRING("66th"));
    EXPECT_EQ(129, array.MaxItems);
    EXPECT_EQ(66, array.ItemCount);
    Lines items = Items(array);
    EXPECT_EQ(Lines({"a", "b", "2"}), Lines(items.begin(), items.begin() + 3));
}

TEST(DynArray, GrowByZeroRefusesToGrow)
{
    CheckRecorder checks;
    DYNARRAY<int> array(1, 0);
    EXPECT_EQ(0, array.Add(5));
    EXPECT_EQ(-1, array.Add(6));
    EXPECT_EQ(1, checks.Count("this->ItemCount<this->MaxItems"));
    EXPECT_EQ(1, array.ItemCount);
}

TEST(DynArray, DeleteMovesLaterItemsDown)
{
    STRINGARRAY array = ArrayOf({"zero", "one", "two"});
    array.DeleteItem(0);
    EXPECT_EQ(Lines({"one", "two"}), Items(array));
    EXPECT_EQ(nullptr, array.ppItems[2]);
    CheckRecorder checks;
    array.DeleteItem(2);
    EXPECT_EQ(1, checks.Count("pos>=0 && pos<this->ItemCount"));
    int maxItems = array.MaxItems;
    array.DeleteAll();
    EXPECT_EQ(0, array.ItemCount);
    EXPECT_EQ(maxItems, array.MaxItems);
}

TEST(DynArray, GetSetSwapReportBadPositions)
{
    CheckRecorder checks;
    STRINGARRAY array = ArrayOf({"a", "b", "c"});
    EXPECT_EQ(nullptr, array.Get(3));
    EXPECT_EQ(1, checks.Count("FALSE"));
    EXPECT_NE(std::string::npos, checks.InfoOf("FALSE").find("i= 3, max= 4, count= 3, type= STRINGARRAY"));
    array.Set(5, STRING("x"));
    EXPECT_EQ("5/3", checks.InfoOf("pos>=0 && pos<this->ItemCount"));
    array.Set(1, STRING("B"));
    array.Swap(0, 2);
    EXPECT_EQ(Lines({"c", "B", "a"}), Items(array));
    array.Swap(0, 3);
    array.Swap(-1, 1);
    EXPECT_EQ(1, checks.Count("pos2>=0 && pos2<this->ItemCount"));
    EXPECT_EQ(1, checks.Count("pos1>=0 && pos1<this->ItemCount"));
    EXPECT_EQ(Lines({"c", "B", "a"}), Items(array));
}

TEST(DynArray, CopiesAreDeep)
{
    STRINGARRAY source = ArrayOf({"a", "b"});
    STRINGARRAY copy(source);
    copy.Set(0, STRING("changed"));
    EXPECT_EQ(Lines({"a", "b"}), Items(source));
    STRINGARRAY assigned(1);
    assigned.Add(STRING("old"));
    assigned = source;
    EXPECT_EQ(Lines({"a", "b"}), Items(assigned));
    EXPECT_EQ(2, assigned.AddAll(source));
    EXPECT_EQ(Lines({"a", "b", "a", "b"}), Items(assigned));
    EXPECT_STREQ("STRINGARRAY", copy.TypeName);
}

TEST(DynArray, BaseCannotCompare)
{
    CheckRecorder checks;
    DYNARRAY<int> array(4);
    array.Add(2);
    array.Add(1);
    array.Sort(0);
    EXPECT_TRUE(checks.Saw("FALSE"));
}

TEST(StringArraySort, FlagsChooseTheOrder)
{
    struct Case {
        int flags;
        Lines expected;
    } cases[] = {
        {1, {"9", "10", "100"}},
        {9, {"100", "10", "9"}},
        {0, {"10", "100", "9"}},
        {0x10, {"10", "100", "9"}},
    };
    for (const Case& c : cases) {
        STRINGARRAY array = ArrayOf({"10", "9", "100"});
        array.Sort(c.flags);
        EXPECT_EQ(c.expected, Items(array)) << "flags " << c.flags;
    }
    STRINGARRAY letters = ArrayOf({"b", "B", "a", "C"});
    letters.Sort(0x10);
    EXPECT_EQ("a", Items(letters)[0]);
    EXPECT_EQ("C", Items(letters)[3]);
    letters.Sort(0);
    EXPECT_EQ(Lines({"B", "C", "a", "b"}), Items(letters));
    STRINGARRAY big = ArrayOf({"2147483647", "-2147483647", "0"});
    big.Sort(1);
    EXPECT_EQ(Lines({"-2147483647", "0", "2147483647"}), Items(big)) << "no overflow in the difference";
}

// A comparison that sorts another list of the same form while a sort runs.
class NESTINGARRAY : public STRINGARRAY {
public:
    using STRINGARRAY::STRINGARRAY;
    int Compare(const STRING& a, const STRING& b, int flags) override
    {
        STRINGARRAY inner(2);
        inner.Sort(0);
        return STRINGARRAY::Compare(a, b, flags);
    }
};

TEST(StringArraySort, NestedSortOfTheSameFormIsRefused)
{
    CheckRecorder checks;
    NESTINGARRAY array(4);
    array.Add(STRING("b"));
    array.Add(STRING("a"));
    array.Sort(0);
    EXPECT_TRUE(checks.Saw("DYNARRAY<TYPE>::SortThis==NULL"));
    EXPECT_EQ(Lines({"a", "b"}), Items(array));
    checks.Clear();
    STRINGARRAY after = ArrayOf({"y", "x"});
    after.Sort(0);
    EXPECT_EQ(0u, checks.Total()) << "the context is free again";
}

TEST(StringArraySplit, FieldsBetweenTokens)
{
    struct Case {
        const char* source;
        const char* token;
        Lines items;
    } cases[] = {
        {"x", ",;", {"x"}},     {"a;b,c", ",;", {"a", "b", "c"}},
        {"", ",", {""}},        {"a,,b", ",", {"a", "", "b"}},
        {"a,", ",", {"a", ""}}, {"l1\nl2\r\n", "\n", {"l1", "l2\r", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.items, Items(STRINGARRAY(STRING(c.source), c.token))) << c.source;
    EXPECT_EQ(0, STRINGARRAY(STRING(), ",").ItemCount);
    EXPECT_EQ(64, STRINGARRAY(STRING("a"), ",", 3).GrowBy);
}

TEST(StringArrayQueries, IndexOfAndJoin)
{
    STRINGARRAY array = ArrayOf({"ABC", "x12", "0042", "tail"});
    struct Case {
        const char* text;
        int mode;
        int index;
    } cases[] = {
        {"abc", 0, 0}, {"ab", 0, -1}, {"ab", 1, 0},   {"12", 2, 1},    {"42", 3, 2},
        {"AIL", 2, 3}, {"zz", 2, -1}, {"TAIL", 0, 3}, {"abcd", 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.index, array.IndexOf(c.text, c.mode)) << c.text << " mode " << c.mode;

    EXPECT_STREQ("a,b", ArrayOf({"a", "b"}).Join(",").c_str());
    EXPECT_STREQ("a,b", ArrayOf({"a", "b,"}).Join(",").c_str());
    EXPECT_EQ(1024, ArrayOf({"a"}).Join(",").BlockSize);
    EXPECT_STREQ("", STRINGARRAY(2).Join(",").c_str());
}

TEST(StringArrayFile, LoadLines)
{
    struct Case {
        std::string content;
        Lines lines;
    } cases[] = {
        {"one\r\ntwo", {"one", "two"}}, {"\n\n", {"", ""}}, {"a\nb\n", {"a", "b"}}, {"", {}},
        {"\r\n\r\n\r\n", {"", "", ""}},
    };
    std::string path = TempPath("lines.txt");
    for (const Case& c : cases) {
        WriteFileBytes(path, c.content);
        STRINGARRAY array(4);
        EXPECT_EQ(static_cast<int>(c.lines.size()), array.Load(path.c_str(), false));
        EXPECT_EQ(c.lines, Items(array));
    }

    WriteFileBytes(path, "first\nsecond\n");
    STRINGARRAY existing = ArrayOf({"old"});
    existing.Load(path.c_str(), false);
    EXPECT_EQ(Lines({"first", "second", "old"}), Items(existing)) << "lines go before present items";

    std::string longLine(100000, 'L');
    WriteFileBytes(path, "short\n" + longLine + "\nend");
    STRINGARRAY joined(4);
    EXPECT_EQ(3, joined.Load(path.c_str(), false));
    EXPECT_EQ(longLine, Items(joined)[1]);

    STRINGARRAY none(4);
    EXPECT_EQ(0, none.Load(TempPath("missing_lines.txt").c_str(), false));
}

TEST(StringArrayFile, SaveWithEscapingRoundTrips)
{
    std::string path = TempPath("escaped.txt");
    STRINGARRAY array(4);
    array.Add(TextOf("tab\there"));
    array.Add(TextOf("back\\slash"));
    array.Add(TextOf("line\nbreak \xFF"));
    EXPECT_EQ(3, array.Save(path.c_str(), true));
    EXPECT_EQ("tab\\there\r\nback\\\\slash\r\nline\\nbreak \\xff\r\n", ReadFileBytes(path));
    STRINGARRAY loaded(4);
    EXPECT_EQ(3, loaded.Load(path.c_str(), true));
    EXPECT_EQ(Items(array), Items(loaded));

    EXPECT_EQ(1, STRINGARRAY(2).Save(path.c_str(), false)) << "an empty array counts as one line";
    EXPECT_EQ("", ReadFileBytes(path));
    EXPECT_EQ(0, array.Save(TempPath("no_folder\\x.txt").c_str(), false));
}

TEST(Locks, MutexIsRecursiveAndExclusive)
{
    MUTEXSEM mutex;
    ASSERT_TRUE(mutex.Obtain(-1));
    EXPECT_TRUE(mutex.Obtain(0)) << "the owner obtains it again at once";
    std::atomic<int> otherGot{-1};
    std::thread([&] { otherGot = mutex.Obtain(0) ? 1 : 0; }).join();
    EXPECT_EQ(0, otherGot.load());
    mutex.Release();
    std::thread([&] { otherGot = mutex.Obtain(0) ? 1 : 0; }).join();
    EXPECT_EQ(0, otherGot.load()) << "still held once";
    mutex.Release();
    std::thread([&] {
        otherGot = mutex.Obtain(0) ? 1 : 0;
        if (otherGot)
            mutex.Release();
    }).join();
    EXPECT_EQ(1, otherGot.load());

    CheckRecorder checks;
    mutex.Release();
    EXPECT_EQ(1, checks.Count("ok")) << "releasing a mutex that is not held";
}

TEST(Locks, InitiallyOwnedMutex)
{
    MUTEXSEM mutex(true);
    std::atomic<int> otherGot{-1};
    std::thread([&] { otherGot = mutex.Obtain(0) ? 1 : 0; }).join();
    EXPECT_EQ(0, otherGot.load());
    mutex.Release();
    std::thread([&] {
        otherGot = mutex.Obtain(50) ? 1 : 0;
        if (otherGot)
            mutex.Release();
    }).join();
    EXPECT_EQ(1, otherGot.load());
}

TEST(Locks, EventAndCriticalSection)
{
    CheckRecorder checks;
    EVENTSEM event(false);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0)) << "manual reset: stays set";
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
    EXPECT_TRUE(EVENTSEM(true).Wait(0));
    EXPECT_EQ(0u, checks.Total());

    CRITSECT section;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; i++) {
                CRITSECTHOLD outer(section);
                CRITSECTHOLD inner(section); // recursive for its owner
                counter++;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(40000, counter);
}

TEST(Locks, ArrayOperationsFromSeveralThreads)
{
    STRINGARRAY array(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&array, t] {
            for (int i = 0; i < 500; i++)
                array.Add(STRING(t * 1000 + i));
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(2000, array.ItemCount);
    array.Sort(1);
    for (int i = 1; i < array.ItemCount; i++)
        ASSERT_LT(array.Get(i - 1)->ToInt(), array.Get(i)->ToInt());
}

// Two arrays copied into each other from two threads: each operation holds both locks, so
// both threads must take them in the same order or they wait for each other for ever.
TEST(Locks, CrossCopiesBetweenTwoArraysFinish)
{
    auto a = std::make_shared<STRINGARRAY>(4);
    auto b = std::make_shared<STRINGARRAY>(4);
    a->Add(STRING("a"));
    b->Add(STRING("b"));
    auto cross = [](std::shared_ptr<STRINGARRAY> target, std::shared_ptr<STRINGARRAY> source) {
        return [target, source] {
            for (int i = 0; i < 3000; i++) {
                if (i % 3 == 0)
                    *target = *source;
                else if (i % 3 == 1)
                    target->SwapItems(*source);
                else if (target->ItemCount < 64)
                    target->AddAll(*source);
            }
        };
    };
    ASSERT_TRUE(FinishWithin(60000, {cross(a, b), cross(b, a)}));
}

// A caller that holds an array's lock may sort it while another thread sorts the same array.
TEST(Locks, SortUnderTheCallersLockFinishes)
{
    auto array = std::make_shared<STRINGARRAY>(4);
    for (const char* text : {"3", "1", "2"})
        array->Add(STRING(text));
    auto sortHeld = [array] {
        for (int i = 0; i < 3000; i++) {
            array->Lock();
            array->Sort(SORTFLAG_BYVALUE);
            array->Unlock();
        }
    };
    auto sortPlain = [array] {
        for (int i = 0; i < 3000; i++)
            array->Sort(SORTFLAG_BYVALUE | SORTFLAG_REVERSE);
    };
    ASSERT_TRUE(FinishWithin(60000, {sortHeld, sortPlain}));
}

} // namespace

#include "platform/ini_document.h"
#include "platform/profile_journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <string>
#include <vector>

namespace {

// One write: a null key removes the section, a null value removes the key, a key that begins with
// "+" is appended.
struct Write
{
    const char* section;
    const char* key;
    const char* value;
};

void apply(platform::IniDocument& doc, const std::vector<Write>& writes)
{
    for (const Write& w : writes) {
        if (!w.key)
            doc.removeSection(w.section);
        else if (!w.value)
            doc.removeKey(w.section, w.key);
        else if (w.key[0] == '+')
            doc.appendValue(w.section, w.key + 1, w.value);
        else
            doc.setValue(w.section, w.key, w.value);
    }
}

struct WriteCase
{
    const char* name;
    const char* before;
    std::vector<Write> writes;
    const char* after;
    bool changed;
};

const WriteCase kWriteCases[] = {
    {"new file", "", {{"sec", "key", "value"}}, "[sec]\r\nkey=value\r\n", true},
    {"key keeps its spelling", "[a]\r\n  X  = 1 \r\n", {{"A", "x", "9"}}, "[a]\r\nX=9\r\n", true},
    {"only the first duplicate changes",
     "[s]\r\nk=1\r\nK=2\r\n",
     {{"s", "k", "3"}},
     "[s]\r\nk=3\r\nK=2\r\n",
     true},
    {"new keys after the last key line, in call order",
     "[a]\r\nx=1\r\n\r\n; tail\r\n[b]\r\n",
     {{"a", "n1", "1"}, {"a", "n2", "2"}},
     "[a]\r\nx=1\r\nn1=1\r\nn2=2\r\n\r\n; tail\r\n[b]\r\n",
     true},
    {"new section at the end, after a last line without line end",
     "[a]\r\nk=v",
     {{"b", "x", "1"}},
     "[a]\r\nk=v\r\n[b]\r\nx=1\r\n",
     true},
    {"names trimmed, value written as given",
     "[s]\r\nk=1\r\n",
     {{" S ", "\tK ", " v "}},
     "[s]\r\nk= v \r\n",
     true},
    {"removed section keeps its comments",
     "; top\r\n[a]\r\n;c\r\nk=v\r\nno equals\r\n[b]\r\ny=2\r\n",
     {{"a", nullptr, nullptr}},
     "; top\r\n;c\r\nno equals\r\n[b]\r\ny=2\r\n",
     true},
    {"removed key lets a later duplicate be found",
     "[s]\r\nk=1\r\nk=2\r\n",
     {{"s", "k", nullptr}, {"s", "k", "3"}},
     "[s]\r\nk=3\r\n",
     true},
    {"removed first section lets the second be found",
     "[s]\r\nk=1\r\n[s]\r\nj=2\r\n",
     {{"s", nullptr, nullptr}, {"s", "j", "3"}},
     "[s]\r\nj=3\r\n",
     true},
    {"erased and written again moves to the end",
     "[t]\r\nCount=1\r\nItem0=a\r\n[u]\r\nk=v\r\n",
     {{"t", nullptr, nullptr}, {"t", "Count", "1"}, {"t", "Item0", "b"}},
     "[u]\r\nk=v\r\n[t]\r\nCount=1\r\nItem0=b\r\n",
     true},
    {"a section made anew takes appended lines in order",
     "[t]\r\nItem0=a\r\n[u]\r\n",
     {{"t", nullptr, nullptr}, {"t", "+Count", "2"}, {"t", "+Item0", "x"}, {"t", "+Item1", "y"}},
     "[u]\r\n[t]\r\nCount=2\r\nItem0=x\r\nItem1=y\r\n",
     true},
    {"an append to a section of the file is a write",
     "[t]\r\nk=1\r\n",
     {{"t", "+K", "2"}},
     "[t]\r\nk=2\r\n",
     true},
    {"removing what is not there",
     "[s]\r\nk=v\r\n",
     {{"s", "x", nullptr}, {"t", nullptr, nullptr}},
     "[s]\r\nk=v\r\n",
     false},
    {"same value again", "[s]\r\nk=v\r\n", {{"s", "k", "v"}}, "[s]\r\nk=v\r\n", false},
    {"line ends become CR LF", "[s]\nk=v\rj=w", {{"s", "j", "x"}}, "[s]\r\nk=v\r\nj=x\r\n", true},
    {"untouched lines stay byte for byte",
     "\xEF\xBB\xBF; mark\r\n   [ s ] tail\r\n #k = v ;x \r\n[no bracket\r\nk=\"'q'\"\r\n",
     {{"no bracket", "n", "1"}},
     "\xEF\xBB\xBF; mark\r\n   [ s ] tail\r\n #k = v ;x \r\n[no bracket\r\nk=\"'q'\"\r\nn=1\r\n",
     true},
};

// Each case twice: with the sections searched line by line, and with their keys in a map (a section
// gets one once it has been looked up often).
TEST(IniDocument, WritesGiveExactBytes)
{
    for (const bool mapped : {false, true})
        for (const WriteCase& c : kWriteCases) {
            platform::IniDocument doc{std::string(c.before)};
            for (int i = 0; mapped && i < 10; ++i)
                for (const Write& w : c.writes)
                    doc.value(w.section, "no such key");
            apply(doc, c.writes);
            EXPECT_EQ(doc.text(), c.after) << c.name << (mapped ? " (mapped)" : "");
            EXPECT_EQ(doc.changed(), c.changed) << c.name;
        }
}

TEST(IniDocument, ReadsFollowWrites)
{
    platform::IniDocument doc{std::string("[S]\r\nk = \"  v  \"\r\nq='a\"\r\n")};
    EXPECT_EQ(doc.value(" s ", "K"), "  v  ");
    EXPECT_EQ(doc.value("s", "q"), "'a\"");
    EXPECT_FALSE(doc.value("s", "missing"));
    doc.setValue("s", "k", "new");
    doc.setValue("t", "Item0", "CimE=c:\\x.exe");
    EXPECT_EQ(doc.value("s", "k"), "new");
    EXPECT_EQ(doc.value("T", "ITEM0"), "CimE=c:\\x.exe");
    doc.removeSection("t");
    EXPECT_FALSE(doc.value("t", "Item0"));

    doc = platform::IniDocument{
        std::string("[a]\r\nx=1\r\n;c=0\r\n X = ' 2 '\r\n[b]\r\ny=3\r\n[A]\r\nz=4\r\n")};
    std::string seen;
    doc.forEachKey(" A ", [&](std::string_view key, std::string_view value) {
        seen.append(key).append(":").append(value).append(";");
    });
    EXPECT_EQ(seen, "x:1;X: 2 ;");
}

// Random writes to two copies of one file, one with its sections searched line by line and one with
// their keys in maps: both give the same bytes and the same reads, and so does the file read anew.
TEST(IniDocument, KeyMapsAgreeWithTheLines)
{
    const std::string file = "; c\r\n[a]\r\nk=1\r\nK=2\r\n;k=3\r\n[B]\r\nx=4\r\n[a]\r\nk=5\r\n\r\n";
    const char* const sections[] = {"a", "A", "b", "c"};
    const char* const keys[] = {"k", "K", "x", "Item1", "item1"};
    std::srand(7);
    for (int run = 0; run < 200; ++run) {
        platform::IniDocument scanned{std::string(file)};
        platform::IniDocument mapped{std::string(file)};
        for (int step = 0; step < 30; ++step) {
            const char* section = sections[std::rand() % 4];
            const char* key = keys[std::rand() % 5];
            const std::string value = std::to_string(std::rand() % 100);
            for (int i = 0; i < 10; ++i)
                mapped.value(section, "no such key");
            const int op = std::rand() % 8;
            for (platform::IniDocument* doc : {&scanned, &mapped}) {
                if (op == 0)
                    doc->removeSection(section);
                else if (op == 1)
                    doc->removeKey(section, key);
                else if (op == 2)
                    doc->appendValue(section, key, value);
                else
                    doc->setValue(section, key, value);
            }
            ASSERT_EQ(mapped.text(), scanned.text()) << "run " << run << " step " << step;
        }
        const platform::IniDocument reread{scanned.text()};
        for (const char* section : sections)
            for (const char* key : keys) {
                EXPECT_EQ(mapped.value(section, key), scanned.value(section, key)) << section << " " << key;
                EXPECT_EQ(reread.value(section, key), scanned.value(section, key)) << section << " " << key;
            }
    }
}

// A save that writes through the file and is killed at any step leaves bytes that still mean the
// old or the new content, whichever step it reached.
TEST(ProfileJournal, KilledWriteThroughMeansOldOrNew)
{
    const std::string old = "[a]\r\nx=1\r\n";
    const std::string next = "[a]\r\nx=22222\r\n";
    const std::uint64_t at = std::max(old.size(), next.size());
    const std::string record = platform::JournalRecord(next, old.size(), at);
    const std::string gap(at - old.size(), '\0');
    const struct
    {
        const char* step;
        std::string bytes;
        platform::JournalState::Kind kind;
        std::string meaning;
    } cases[] = {
        {"a plain file", old, platform::JournalState::None, old},
        {"the record half written", old + gap + record.substr(0, record.size() / 2),
         platform::JournalState::Started, old},
        {"the record written", old + gap + record, platform::JournalState::Written, next},
        {"the new content half written", next.substr(0, 7) + old.substr(7) + gap + record,
         platform::JournalState::Written, next},
        {"the record's hash damaged", old + gap + record.substr(0, record.size() - 1) + "?",
         platform::JournalState::Started, old},
    };
    for (const auto& c : cases) {
        const platform::JournalState state = platform::DecodeJournal(c.bytes);
        EXPECT_EQ(state.kind, c.kind) << c.step;
        EXPECT_EQ(state.content, c.meaning) << c.step;
    }
}

TEST(IniDocument, StreamsInPiecesAndStopsWhenRefused)
{
    platform::IniDocument doc;
    const std::string big(200000, 'v');
    for (int i = 0; i < 3000; ++i)
        doc.setValue("s", "Item" + std::to_string(i), i == 1500 ? big : "x");
    std::string joined;
    int pieces = 0;
    EXPECT_TRUE(doc.writeTo([&](std::string_view piece) {
        joined.append(piece);
        ++pieces;
        return true;
    }));
    EXPECT_EQ(joined, doc.text());
    EXPECT_GT(pieces, 2);
    EXPECT_NE(joined.find("Item1500=" + big + "\r\nItem1501=x\r\n"), std::string::npos);
    int offered = 0;
    EXPECT_FALSE(doc.writeTo([&](std::string_view) { return ++offered < 2; }));
    EXPECT_EQ(offered, 2);
}

} // namespace

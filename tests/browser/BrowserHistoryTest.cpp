#include "browser/BrowserHistory.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using List = std::vector<std::string>;

BrowserHistory HistoryOf(const List& mostRecentFirst) {
    // The file lists the oldest first; parsing it is the one way to fill a history at once.
    std::string text;
    for (auto it = mostRecentFirst.rbegin(); it != mostRecentFirst.rend(); ++it) {
        text += *it + '\n';
    }
    BrowserHistory history;
    history.Parse(text);
    EXPECT_EQ(history.Entries(), mostRecentFirst);
    return history;
}

TEST(BrowserHistory, TypedAddressesTakeTheirHistoryForm) {
    struct Case {
        const char* typed;
        const char* form;
        bool schemeAdded;
    };
    const Case cases[] = {
        // A bare host gets "http://" in front and keeps its case.
        {"example.com", "http://example.com", true},
        {"Example.COM/Path", "http://Example.COM/Path", true},
        {"about:blank", "http://about:blank", true},
        // With a scheme, the whole address is stored in lower case.
        {"HTTP://Example.COM/Some/PATH", "http://example.com/some/path", false},
        {"HTTPS://A.b/C", "https://a.b/c", false},
        {"Ftp://Files.Example/X", "ftp://files.example/x", false},
        {"FILE:///Tmp/Page.HTML", "file:///tmp/page.html", false},
        {"res://Engine/Error", "res://engine/error", false},
        // A scheme anywhere counts, not only at the start.
        {"Example.com/?go=HTTP://Other.org/X", "example.com/?go=http://other.org/x", false},
        // Non-ASCII bytes pass through untouched.
        {"\xC3\x89T\xC3\x89.example", "http://\xC3\x89T\xC3\x89.example", true},
        {"http://\xC3\x89T\xC3\x89.Example", "http://\xC3\x89t\xC3\x89.example", false},
    };
    for (const Case& c : cases) {
        bool added = !c.schemeAdded;
        EXPECT_EQ(HistoryForm(c.typed, &added), c.form) << c.typed;
        EXPECT_EQ(added, c.schemeAdded) << c.typed;
    }
}

TEST(BrowserHistory, AddressBarHidesTheEnginesResourcePages) {
    EXPECT_TRUE(HiddenFromAddressBar("res://ieframe.dll/navcancl.htm"));
    EXPECT_TRUE(HiddenFromAddressBar("http://a/?r=res://x"));
    EXPECT_FALSE(HiddenFromAddressBar("RES://x")) << "compared with case";
    EXPECT_FALSE(HiddenFromAddressBar("http://example.com/"));
}

TEST(BrowserHistory, TypedAddressReplacesAtMostOneMatchingEntry) {
    struct Case {
        const char* name;
        List before;
        const char* form;
        List after;
        ptrdiff_t removed;
    };
    const Case cases[] = {
        {"first entry", {}, "http://a", {"http://a"}, -1},
        {"new address", {"b"}, "http://a", {"http://a", "b"}, -1},
        {"same address moves up", {"b", "x", "c"}, "x", {"x", "b", "c"}, 1},
        {"X/ replaces X", {"b", "x"}, "x/", {"x/", "b"}, 1},
        {"X replaces X/", {"x/", "b"}, "x", {"x", "b"}, 0},
        {"several slashes replace X/", {"b", "x/"}, "x///", {"x///", "b"}, 1},
        {"case-only difference",
         {"http://A.com/P", "b"},
         "http://a.com/p",
         {"http://a.com/p", "b"},
         0},
        {"X is looked for before X/", {"x/", "x"}, "x/", {"x/", "x/"}, 1},
        {"no entry without the slash rule", {"x//"}, "x/", {"x/", "x//"}, -1},
    };
    for (const Case& c : cases) {
        BrowserHistory history = HistoryOf(c.before);
        const BrowserHistory::Change change = history.AddTyped(c.form);
        EXPECT_EQ(history.Entries(), c.after) << c.name;
        EXPECT_EQ(change.removed, c.removed) << c.name;
    }
}

TEST(BrowserHistory, ChosenAddressMovesToTheTop) {
    BrowserHistory history = HistoryOf({"a", "B", "c"});
    EXPECT_EQ(history.AddChosen("b").removed, 1);
    EXPECT_EQ(history.Entries(), (List{"b", "a", "c"}));
    EXPECT_EQ(history.AddChosen("d").removed, -1);
    EXPECT_EQ(history.Entries(), (List{"d", "b", "a", "c"}));
    // The trailing-slash rule belongs to typed addresses only.
    EXPECT_EQ(history.AddChosen("a/").removed, -1);
    EXPECT_EQ(history.Size(), 5u);
}

TEST(BrowserHistory, FileListsTheOldestFirstWithLfAfterEveryLine) {
    BrowserHistory history;
    history.AddChosen("A");
    history.AddChosen("B");
    history.AddChosen("C");
    EXPECT_EQ(history.Entries(), (List{"C", "B", "A"}));
    EXPECT_EQ(history.Serialize(), "A\nB\nC\n");
    BrowserHistory read;
    read.Parse(history.Serialize());
    EXPECT_EQ(read.Entries(), history.Entries());
    EXPECT_EQ(BrowserHistory().Serialize(), "");
}

TEST(BrowserHistory, ReadingStripsBlanksAndSplitsLongLines) {
    const std::string piece(kHistoryPieceLength, 'p');
    struct Case {
        const char* name;
        std::string text;
        List entries;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"blanks and CR LF around an address", "  http://a.com \r\nb\n", {"b", "http://a.com"}},
        {"line of blanks skipped", "a\n   \n\r\n\n", {"a"}},
        {"blanks inside removed", "http://a b/c d\n", {"http://ab/cd"}},
        {"last line without LF", "a\nb", {"b", "a"}},
        {"lone CR is no line end", "a\rb\n", {"ab"}},
        {"NUL ends the piece", std::string("a\0b\nc\n", 6), {"c", "a"}},
        {"line of exactly one piece", piece + "\n", {piece}},
        {"one character more", piece + "q\n", {"q", piece}},
        {"three pieces", piece + piece + "xyz\n", {"xyz", piece, piece}},
        // The blank that fills a piece is removed, and its line end comes as an empty piece.
        {"blank at the piece's end", piece.substr(1) + " \r\nz\n", {"z", piece.substr(1)}},
    };
    for (const Case& c : cases) {
        BrowserHistory history;
        history.Parse(c.text);
        EXPECT_EQ(history.Entries(), c.entries) << c.name;
    }
}

class BrowserHistoryFile : public ::testing::Test {
protected:
    ScratchDir dir_;
};

TEST_F(BrowserHistoryFile, SavesOwnerOnlyInTheCommonFolderAndReadsBack) {
    const std::string common = dir_ / "common/nested";
    const std::string path = HistoryFileIn(common);
    EXPECT_EQ(path, common + "/h.dat");

    BrowserHistory history = HistoryOf({"http://c/", "http://b/", "http://a/"});
    ASSERT_TRUE(history.Save(path)) << "the missing folder is created";
    EXPECT_EQ(ReadFileBytes(path), "http://a/\nhttp://b/\nhttp://c/\n");
    struct stat st {};
    ASSERT_EQ(::stat(common.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the folder is the user's own";
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A file someone left readable by others is owner-only after the next save.
    ::chmod(path.c_str(), 0644);
    ASSERT_TRUE(history.Save(path));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    BrowserHistory read = HistoryOf({"stale"});
    read.Load(path);
    EXPECT_EQ(read.Entries(), history.Entries());

    // Nothing but the file itself is left in the folder.
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(common)) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(BrowserHistoryFile, MissingFileGivesAnEmptyListAndAFailedSaveKeepsTheOldFile) {
    BrowserHistory history = HistoryOf({"old"});
    history.Load(dir_ / "missing.dat");
    EXPECT_TRUE(history.Empty());

    const std::string path = dir_ / "h.dat";
    WriteFileBytes(path, "kept\n");
    history.AddChosen("new");
    // A folder where the common folder should be.
    EXPECT_FALSE(history.Save(path + "/h.dat"));
    fs::create_directory(dir_ / "busy");
    EXPECT_FALSE(history.Save(dir_ / "busy"));
    EXPECT_EQ(ReadFileBytes(path), "kept\n");
}

} // namespace

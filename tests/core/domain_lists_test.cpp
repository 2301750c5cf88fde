#include <gtest/gtest.h>

#include "common/error.h"
#include "common/text.h"
#include "engine/domain_lists.h"
#include "platform/sim/sim_file_system.h"

using vantrel::DomainList;
using vantrel::DomainLists;
using vantrel::ListView;
using vantrel::parseListFile;
using vantrel::sim::SimFileSystem;

namespace {

const std::string kFolder = "/opt/vantrel/";
const std::string kAllowed = kFolder + "allowed.lis";
const std::string kBlack = kFolder + "blacklist.lis";

std::vector<std::string> rowTexts(const ListView& view) {
    std::vector<std::string> texts;
    for (const auto& row : view.rows()) texts.push_back(row.at(0));
    return texts;
}

std::vector<std::string> domainParts(const DomainList& list) {
    std::vector<std::string> parts;
    for (const auto& entry : list.entries()) parts.emplace_back(vantrel::domainPart(entry));
    return parts;
}

class DomainListsTest : public ::testing::Test {
  protected:
    SimFileSystem files;
    DomainLists lists{files, kFolder};
};

}  // namespace

TEST(ListFileFormat, WritesCrLfAfterEveryEntryAndReadsEveryLineBreak) {
    EXPECT_EQ(vantrel::formatListFile({}), "");
    EXPECT_EQ(vantrel::formatListFile({"a.com", "", "b.com:1"}), "a.com\r\n\r\nb.com:1\r\n");
    EXPECT_EQ(parseListFile(""), std::vector<std::string>{});
    EXPECT_EQ(parseListFile("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(parseListFile("a\r\n\r\n\n\rb\r\n"),
              (std::vector<std::string>{"a", "", "", "", "b"}));
    EXPECT_EQ(parseListFile("\r\n"), std::vector<std::string>{""});
}

TEST_F(DomainListsTest, AddStoresTheDomainInListViewAndItsFileOnly) {
    EXPECT_TRUE(lists.AddURLToList(lists.BlackList, "http://www.Ads.Example.com:81/x"));
    EXPECT_EQ(lists.BlackList.entries(), std::vector<std::string>{"Ads.Example.com"});
    EXPECT_EQ(rowTexts(lists.BlackLV), std::vector<std::string>{"Ads.Example.com"});
    EXPECT_EQ(files.files.at(kBlack), "Ads.Example.com\r\n");
    EXPECT_FALSE(files.exists(kAllowed));
    EXPECT_FALSE(files.exists(kBlack + ".new"));
}

TEST_F(DomainListsTest, DuplicatesInAnyCaseAndShortDomainsAreRefused) {
    files.files[kAllowed] = "Good.com:1\r\nplain.org\r\n";
    lists.LoadLists();
    const int writes = files.writeCount;
    for (const char* text :
         {"GOOD.COM", "http://www.good.com/", "PLAIN.ORG", "ab", "http://x/", ""}) {
        EXPECT_FALSE(lists.AddURLToList(lists.CleanList, text)) << text;
    }
    EXPECT_EQ(lists.CleanList.size(), 2u);
    EXPECT_EQ(lists.CleanLV.rowCount(), 2u);
    EXPECT_EQ(files.writeCount, writes);

    EXPECT_TRUE(lists.AddURLToList(lists.CleanList, "abc"));  // three characters are stored...
    EXPECT_FALSE(lists.CleanList.matches("HTTP://ABC.COM/"));  // ...but do not match
    const size_t at = 0;                                            // "abc" sorts first
    ASSERT_EQ(lists.CleanList.at(at), "abc");
    lists.CleanList.replaceAt(at, "abc:1");
    EXPECT_TRUE(lists.CleanList.matches("HTTP://ABC.COM/"));
    EXPECT_FALSE(lists.AddURLToList(lists.CleanList, "ABC"));
}

TEST_F(DomainListsTest, AllowedEntryMatchesAnotherHostsQueryString) {
    lists.AddURLToList(lists.CleanList, "http://friend.net/");
    EXPECT_TRUE(lists.CleanList.matches(
        vantrel::toUpperAscii("http://ads.other.com/click?to=http://Friend.net/home")));
}

TEST_F(DomainListsTest, LineBreakInsideADomainIsRefusedSoTheFileReadsBackTheSame) {
    EXPECT_FALSE(lists.AddURLToList(lists.BlackList, "evil.com\r\nother.com"));
    EXPECT_FALSE(lists.AddURLToList(lists.BlackList, "a.com\nb.com"));
    EXPECT_EQ(lists.BlackList.size(), 0u);
}

TEST_F(DomainListsTest, EditBoxesAddOnButtonAndEnterAndAlwaysClear) {
    lists.EditDomain = "http://www.friend.net/page";
    lists.IBtnAddClick();
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"friend.net"});
    EXPECT_EQ(lists.EditDomain, "");

    lists.EditBDomain = "ab";  // refused, cleared all the same
    lists.EditDomainKeyPress(true, DomainLists::kEnterKey);
    EXPECT_EQ(lists.EditBDomain, "");
    EXPECT_EQ(lists.BlackList.size(), 0u);

    lists.EditBDomain = "bad.net";
    lists.EditDomainKeyPress(true, 'x');  // other keys belong to the edit box
    EXPECT_EQ(lists.EditBDomain, "bad.net");
    lists.EditDomainKeyPress(true, DomainLists::kEnterKey);
    EXPECT_EQ(lists.BlackList.entries(), std::vector<std::string>{"bad.net"});
    EXPECT_EQ(lists.CleanList.size(), 1u);
    EXPECT_EQ(files.files.at(kBlack), "bad.net\r\n");
}

TEST_F(DomainListsTest, DeleteRemovesExactlyTheSelectedEntryAndCancelBringsItBack) {
    files.files[kBlack] = "c.com\r\nA.com:1\r\nb.com\r\n";
    lists.LoadLists();
    EXPECT_EQ(rowTexts(lists.BlackLV), (std::vector<std::string>{"A.com", "b.com", "c.com"}));

    lists.LVKeyDown(lists.BlackLV, DomainLists::kDeleteKey);  // no selection: nothing
    lists.BlackLV.select(1);
    lists.LVKeyDown(lists.BlackLV, 45);                       // not the Delete key
    lists.LVKeyDown(lists.CleanLV, DomainLists::kDeleteKey);  // the other view has no selection
    EXPECT_EQ(lists.BlackList.size(), 3u);
    lists.LVKeyDown(lists.BlackLV, DomainLists::kDeleteKey);
    EXPECT_EQ(lists.BlackList.entries(), (std::vector<std::string>{"A.com:1", "c.com"}));
    EXPECT_EQ(rowTexts(lists.BlackLV), (std::vector<std::string>{"A.com", "c.com"}));
    lists.BlackLV.select(0);
    lists.BlackListDeleteClick();
    lists.BlackListDeleteClick();  // the selection went with the row
    EXPECT_EQ(lists.BlackList.entries(), std::vector<std::string>{"c.com"});
    EXPECT_FALSE(lists.BlackList.matches("HTTP://A.COM/"));

    lists.AddURLToList(lists.BlackList, "new.org");  // saved at once, so it survives Cancel
    for (int cancel = 0; cancel < 3; ++cancel) lists.LoadLists();
    EXPECT_EQ(lists.BlackList.entries(), (std::vector<std::string>{"c.com", "new.org"}));
    EXPECT_EQ(rowTexts(lists.BlackLV), domainParts(lists.BlackList));
}

TEST_F(DomainListsTest, AddedRowSitsAtItsEntrysIndexSoDeleteHitsTheRightEntry) {
    files.files[kBlack] = "m.com\r\nz.com\r\n";
    lists.LoadLists();
    lists.BlackLV.select(1);  // "z.com"
    lists.AddURLToList(lists.BlackList, "a.com:1");
    lists.AddURLToList(lists.BlackList, "p.org");
    EXPECT_EQ(rowTexts(lists.BlackLV), domainParts(lists.BlackList));
    EXPECT_EQ(rowTexts(lists.BlackLV),
              (std::vector<std::string>{"a.com", "m.com", "p.org", "z.com"}));
    lists.LVKeyDown(lists.BlackLV, DomainLists::kDeleteKey);
    EXPECT_EQ(lists.BlackList.entries(), (std::vector<std::string>{"a.com", "m.com", "p.org"}));
}

TEST_F(DomainListsTest, AllowedDeleteUsesTheAllowedList) {
    files.files[kAllowed] = "a.com\r\nb.com\r\n";
    files.files[kBlack] = "a.com\r\nb.com\r\n";
    lists.LoadLists();
    lists.CleanLV.select(0);
    lists.ExceptionListDeleteClick();
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"b.com"});
    EXPECT_EQ(lists.BlackList.size(), 2u);
}

TEST_F(DomainListsTest, ReloadsKeepOneRowPerEntryAndShowEmptyLines) {
    files.files[kAllowed] = "x.org\r\n\r\nhost.net:1\r\n";
    for (int i = 0; i < 3; ++i) lists.LoadLists();
    EXPECT_EQ(lists.CleanList.entries(), (std::vector<std::string>{"", "host.net:1", "x.org"}));
    EXPECT_EQ(rowTexts(lists.CleanLV), (std::vector<std::string>{"", "host.net", "x.org"}));
    EXPECT_FALSE(lists.CleanList.matches("HTTP://ANYTHING/"));
    EXPECT_TRUE(lists.CleanList.matches("HTTP://HOST.NET/"));
}

TEST_F(DomainListsTest, MissingOrUnreadableFilesLeaveListAndViewAsTheyAre) {
    lists.AddURLToList(lists.CleanList, "kept.com");
    files.unreadable.insert(kAllowed);
    EXPECT_THROW(lists.LoadLists(), vantrel::Error);
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"kept.com"});
    EXPECT_EQ(lists.CleanLV.rowCount(), 1u);
    EXPECT_EQ(lists.BlackList.size(), 0u);  // no blacklist file at all
}

TEST_F(DomainListsTest, SaveWritesBothFilesAndAnEmptyListAsAnEmptyFile) {
    lists.AddURLToList(lists.CleanList, "b.com");
    lists.AddURLToList(lists.CleanList, "A.com");
    lists.CleanList.replaceAt(0, "A.com:1");
    lists.SaveLists();
    EXPECT_EQ(files.files.at(kAllowed), "A.com:1\r\nb.com\r\n");
    EXPECT_EQ(files.files.at(kBlack), "");
}

TEST_F(DomainListsTest, FailedAddSaveNamesTheFileAndKeepsEntryAndOldFile) {
    files.files[kBlack] = "old.com\r\n";
    lists.LoadLists();
    files.failRename.insert(kBlack);
    try {
        lists.AddURLToList(lists.BlackList, "new.com");
        FAIL() << "no error";
    } catch (const vantrel::Error& e) {
        EXPECT_NE(std::string(e.what()).find(kBlack), std::string::npos) << e.what();
    }
    EXPECT_EQ(files.files.at(kBlack), "old.com\r\n");
    EXPECT_FALSE(files.exists(kBlack + ".new"));
    EXPECT_EQ(lists.BlackList.entries(), (std::vector<std::string>{"new.com", "old.com"}));
    EXPECT_EQ(lists.BlackLV.rowCount(), 2u);

    files.failRename.clear();
    files.failWrite.insert(kBlack + ".new");
    lists.EditBDomain = "third.com";
    EXPECT_THROW(lists.IBtnBAddClick(), vantrel::Error);
    EXPECT_EQ(lists.EditBDomain, "");
    EXPECT_EQ(files.files.at(kBlack), "old.com\r\n");
}

TEST_F(DomainListsTest, SaveListsWritesTheSecondFileWhenTheFirstFails) {
    files.files[kAllowed] = "old.com\r\n";
    lists.CleanList.insertSorted("a.com");
    lists.BlackList.insertSorted("b.com");
    files.failWrite.insert(kAllowed + ".new");
    try {
        lists.SaveLists();
        FAIL() << "no error";
    } catch (const vantrel::Error& e) {
        EXPECT_NE(std::string(e.what()).find(kAllowed), std::string::npos) << e.what();
    }
    EXPECT_EQ(files.files.at(kAllowed), "old.com\r\n");
    EXPECT_EQ(files.files.at(kBlack), "b.com\r\n");
}

TEST_F(DomainListsTest, OddBytesLoadAndSaveUnchanged) {
    const std::string nul("nul\0byte.com", 12);
    const std::string high = "caf\xe9\xff.fr";
    const std::string longLine(1 << 20, 'x');
    const std::string data = high + "\r\n" + nul + "\r\n" + longLine + "\r\n";  // sorted
    files.files[kBlack] = data;
    lists.LoadLists();
    ASSERT_EQ(lists.BlackList.size(), 3u);
    EXPECT_EQ(lists.BlackList.at(0), high);
    EXPECT_EQ(lists.BlackList.at(1), nul);
    EXPECT_TRUE(lists.BlackList.at(2) == longLine);
    EXPECT_TRUE(lists.BlackList.matches(std::string("HTTP://NUL\0BYTE.COM/", 20)));
    EXPECT_TRUE(lists.BlackList.matches("HTTP://CAF\xe9\xff.FR/"));
    lists.SaveLists();
    EXPECT_TRUE(files.files.at(kBlack) == data);
}

TEST_F(DomainListsTest, AMillionLinesLoadSortedWithOneRowEach) {
    std::string data;
    const int count = 1000000;
    for (int i = count - 1; i >= 0; --i) data += "d" + std::to_string(i) + ".example\r\n";
    files.files[kBlack] = data;
    lists.LoadLists();
    ASSERT_EQ(lists.BlackList.size(), size_t(count));
    EXPECT_EQ(lists.BlackLV.rowCount(), size_t(count));
    EXPECT_EQ(lists.BlackList.at(0), "d0.example");
    EXPECT_EQ(lists.BlackList.at(1), "d1.example");
    EXPECT_TRUE(lists.BlackList.matches("HTTP://D999999.EXAMPLE/"));
    EXPECT_FALSE(lists.BlackList.matches("HTTP://D1000000.EXAMPL/"));
}

TEST_F(DomainListsTest, AFileThatExistsButCannotBeReadIsReportedAndKeptUntilItReadsAgain) {
    files.files[kBlack] = "mine.example\r\n";
    files.files[kAllowed] = "ok.example\r\n";
    files.unreadable.insert(kBlack);
    try {
        lists.LoadLists();
        FAIL() << "no error";
    } catch (const vantrel::Error& e) {
        EXPECT_NE(std::string(e.what()).find("\"" + kBlack + "\""), std::string::npos);
    }
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"ok.example"});
    EXPECT_THROW(lists.AddURLToList(lists.BlackList, "ads.example"), vantrel::Error);
    EXPECT_THROW(lists.saveList(lists.BlackList), vantrel::Error);
    lists.SaveLists();  // the readable one is saved, the other left alone without a second word
    EXPECT_EQ(files.files.at(kBlack), "mine.example\r\n");

    // A missing file is no failure; a file that reads again is used and saved again.
    files.unreadable.clear();
    files.files.erase(kAllowed);
    lists.LoadLists();
    EXPECT_EQ(lists.BlackList.entries(), std::vector<std::string>{"mine.example"});
    EXPECT_TRUE(lists.AddURLToList(lists.BlackList, "ads.example"));
    EXPECT_EQ(files.files.at(kBlack), "ads.example\r\nmine.example\r\n");
}

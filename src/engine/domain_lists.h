#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/domain_list.h"
#include "engine/list_view.h"
#include "platform/file_system.h"

namespace vantrel {

// One list together with its view and its file: what is loaded, added to and saved as a unit.
struct ListFile {
    FileSystem& files;
    std::string path;
    DomainList& list;
    ListView& view;

    // Replaces the list by the file's lines and refills the view. A missing or unreadable file
    // changes nothing and gives false.
    bool load();
    void save() const;
    // Adds the domain of `text` to the list, the view and the file; false when it was refused
    // (a duplicate, too short, or holding a line break). Throws Error naming the file when it
    // cannot be written (the entry stays in the list and the view).
    bool addUrl(std::string_view text);
};

// The allowed list and the blacklist with their files in the program's folder, their list views
// and the edit boxes and handlers of the two list pages.
class DomainLists {
  public:
    static constexpr const char* kAllowedFile = "allowed.lis";
    static constexpr const char* kBlacklistFile = "blacklist.lis";
    static constexpr int kDeleteKey = 46;
    static constexpr char kEnterKey = 13;

    // `programFolder` ends with "/".
    DomainLists(FileSystem& files, std::string programFolder);

    DomainList CleanList;
    DomainList BlackList;
    ListView CleanLV;
    ListView BlackLV;
    std::string EditDomain;   // edit box of the Allowed List page
    std::string EditBDomain;  // edit box of the Blacklist page

    // Adds the domain of `text` to the list, its view and its file (see ListFile::addUrl).
    bool AddURLToList(DomainList& list, std::string_view text);
    // Each list whose file can be read is replaced by the file's lines, and its view refilled.
    // A file that exists but cannot be read keeps its list as it was and is not written until it
    // reads again; throws Error naming such files (after loading the others).
    void LoadLists();
    // Writes both files (the second also when the first fails), leaving out a file that could not
    // be read. Throws Error naming the file(s) that could not be written.
    void SaveLists();
    // Throws Error naming the file when it cannot be written, or could not be read.
    void saveList(const DomainList& list);
    // Appends a row for the entry: only for filling a view in list order (use insertEntry to add).
    static void LVAddString(ListView& view, std::string_view entry);

    ListView& viewOf(const DomainList& list);
    std::string pathOf(const DomainList& list) const;
    const std::string& programFolder() const { return programFolder_; }

    // Page handlers. The edit box is cleared also when its text is refused.
    void IBtnAddClick();
    void IBtnBAddClick();
    // `inBlacklistBox`: the key went to EditBDomain, else to EditDomain.
    void EditDomainKeyPress(bool inBlacklistBox, char key);
    void LVKeyDown(ListView& view, int keyCode);
    void ExceptionListDeleteClick();
    void BlackListDeleteClick();

  private:
    ListFile fileOf(DomainList& list);
    void refuseUnreadable(const DomainList& list) const;
    void addFromEditBox(std::string& editBox, DomainList& list);
    void deleteSelected(ListView& view);

    FileSystem& files_;
    std::string programFolder_;
    // Lists whose file exists but could not be read at the last load: their files are kept.
    std::set<const DomainList*> unreadable_;
};

// Inserts the entry at its sorted place in the list and its row at the same index of the view, so
// that a row's index stays its entry's index (appending the row would break that).
size_t insertEntry(DomainList& list, ListView& view, std::string entry);

// Replaces the file by the list so that a failure leaves the old file whole. Throws Error naming
// it.
void saveListFile(FileSystem& files, const std::string& path, const DomainList& list);

// List file format: one entry per line, CR LF after each, in list order.
std::string formatListFile(const std::vector<std::string>& entries);
// Lines end at CR, LF or CR LF; a missing break after the last line is accepted.
std::vector<std::string> parseListFile(std::string_view data);

}  // namespace vantrel

#pragma once

#include <string>
#include <string_view>

#include "engine/domain_list.h"
#include "engine/list_view.h"
#include "platform/file_system.h"

namespace vantrel {

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

    // Adds the domain of `text` to the list, its view and its file. Throws Error naming the file
    // when the file cannot be written (the entry stays in memory).
    void AddURLToList(DomainList& list, std::string_view text);
    // Each list whose file exists is replaced by the file's lines, and its view refilled.
    void LoadLists();
    // Writes both files. Throws Error naming the file that could not be written.
    void SaveLists();
    void saveList(const DomainList& list);
    static void LVAddString(ListView& view, std::string_view entry);

    ListView& viewOf(const DomainList& list);
    std::string pathOf(const DomainList& list) const;
    const std::string& programFolder() const { return programFolder_; }

    // Page handlers.
    void IBtnAddClick();
    void IBtnBAddClick();
    // `inBlacklistBox`: the key went to EditBDomain, else to EditDomain.
    void EditDomainKeyPress(bool inBlacklistBox, char key);
    void LVKeyDown(ListView& view, int keyCode);
    void ExceptionListDeleteClick();
    void BlackListDeleteClick();

private:
    void deleteSelected(ListView& view);

    FileSystem& files_;
    std::string programFolder_;
};

// List file format: one entry per line, CR LF after each, in list order.
std::string formatListFile(const std::vector<std::string>& entries);
// Lines end at CR, LF or CR LF; a missing break after the last line is accepted.
std::vector<std::string> parseListFile(std::string_view data);

}  // namespace vantrel

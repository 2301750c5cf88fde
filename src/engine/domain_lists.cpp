#include "engine/domain_lists.h"

#include "common/error.h"

namespace vantrel {
namespace {

// A row shows the entry's domain part, without the synced mark.
ListView::Row rowOf(std::string_view entry) {
    return {std::string(domainPart(entry))};
}

}  // namespace

bool ListFile::load() {
    const std::optional<std::string> data = files.readFile(path);
    if (!data) return false;
    list.assign(parseListFile(*data));
    view.clear();
    for (const auto& entry : list.entries()) DomainLists::LVAddString(view, entry);
    return true;
}

void ListFile::save() const {
    saveListFile(files, path, list);
}

bool ListFile::addUrl(std::string_view text) {
    std::string domain = DomainOfUrl(text);
    if (domain.size() <= 2 || list.containsDomain(domain)) return false;
    // A line break would split the entry in two when the file is read back.
    if (domain.find_first_of("\r\n") != std::string::npos) return false;
    insertEntry(list, view, std::move(domain));
    save();
    return true;
}

DomainLists::DomainLists(FileSystem& files, std::string programFolder)
    : files_(files), programFolder_(std::move(programFolder)) {}

ListFile DomainLists::fileOf(DomainList& list) {
    return ListFile{files_, pathOf(list), list, viewOf(list)};
}

bool DomainLists::AddURLToList(DomainList& list, std::string_view text) {
    refuseUnreadable(list);
    return fileOf(list).addUrl(text);
}

void DomainLists::LoadLists() {
    std::string failures;
    for (DomainList* list : {&CleanList, &BlackList}) {
        ListFile file = fileOf(*list);
        // Missing is an empty list; a file that is there but cannot be read holds the user's
        // entries all the same, and writing the list out would wipe them.
        if (file.load() || !files_.exists(file.path)) {
            unreadable_.erase(list);
            continue;
        }
        unreadable_.insert(list);
        failures += (failures.empty() ? "" : "; ") + std::string("Cannot read file \"") +
                    file.path + "\": it is left unchanged and not used";
    }
    if (!failures.empty()) throw Error(failures);
}

void DomainLists::refuseUnreadable(const DomainList& list) const {
    if (unreadable_.count(&list)) {
        throw Error("Cannot write file \"" + pathOf(list) +
                    "\": it could not be read, and is left unchanged");
    }
}

void DomainLists::SaveLists() {
    std::string failures;
    for (DomainList* list : {&CleanList, &BlackList}) {
        // The user was told at the load; the file stays as it is.
        if (unreadable_.count(list)) continue;
        try {
            saveList(*list);
        } catch (const Error& e) {
            failures += (failures.empty() ? "" : "; ") + std::string(e.what());
        }
    }
    if (!failures.empty()) throw Error(failures);
}

void DomainLists::saveList(const DomainList& list) {
    refuseUnreadable(list);
    saveListFile(files_, pathOf(list), list);
}

void DomainLists::LVAddString(ListView& view, std::string_view entry) {
    view.addRow(rowOf(entry));
}

ListView& DomainLists::viewOf(const DomainList& list) {
    return &list == &CleanList ? CleanLV : BlackLV;
}

std::string DomainLists::pathOf(const DomainList& list) const {
    return programFolder_ + (&list == &CleanList ? kAllowedFile : kBlacklistFile);
}

void DomainLists::addFromEditBox(std::string& editBox, DomainList& list) {
    if (editBox.empty()) return;
    // Cleared first: the box empties whether the text is taken, refused or cannot be saved.
    const std::string text = std::move(editBox);
    editBox.clear();
    AddURLToList(list, text);
}

void DomainLists::IBtnAddClick() {
    addFromEditBox(EditDomain, CleanList);
}

void DomainLists::IBtnBAddClick() {
    addFromEditBox(EditBDomain, BlackList);
}

void DomainLists::EditDomainKeyPress(bool inBlacklistBox, char key) {
    if (key != kEnterKey) return;
    if (inBlacklistBox) {
        IBtnBAddClick();
    } else {
        IBtnAddClick();
    }
}

void DomainLists::LVKeyDown(ListView& view, int keyCode) {
    if (keyCode == kDeleteKey) deleteSelected(view);
}

void DomainLists::ExceptionListDeleteClick() {
    deleteSelected(CleanLV);
}

void DomainLists::BlackListDeleteClick() {
    deleteSelected(BlackLV);
}

void DomainLists::deleteSelected(ListView& view) {
    DomainList* list = &view == &CleanLV ? &CleanList : &view == &BlackLV ? &BlackList : nullptr;
    const int selected = view.selected();
    if (!list || selected < 0 || size_t(selected) >= list->size()) return;
    list->removeAt(size_t(selected));
    view.removeRow(size_t(selected));
}

size_t insertEntry(DomainList& list, ListView& view, std::string entry) {
    ListView::Row row = rowOf(entry);
    const size_t index = list.insertSorted(std::move(entry));
    view.insertRow(index, std::move(row));
    return index;
}

void saveListFile(FileSystem& files, const std::string& path, const DomainList& list) {
    replaceFileContents(files, path, formatListFile(list.entries()));
}

std::string formatListFile(const std::vector<std::string>& entries) {
    size_t total = 0;
    for (const auto& entry : entries) total += entry.size() + 2;
    std::string data;
    data.reserve(total);
    for (const auto& entry : entries) {
        data += entry;
        data += "\r\n";
    }
    return data;
}

std::vector<std::string> parseListFile(std::string_view data) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < data.size()) {
        const size_t end = data.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(data.substr(start));
            break;
        }
        lines.emplace_back(data.substr(start, end - start));
        start = end + 1;
        if (data[end] == '\r' && start < data.size() && data[start] == '\n') ++start;
    }
    return lines;
}

}  // namespace vantrel

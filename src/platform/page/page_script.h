#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/page/document_snapshot.h"

namespace vantrel::page {

// The page scripts (resources/page/page_scripts.js) that both browser adapters run in an
// isolated world of a frame: `vantrelSnapshot(engineAttribute, cap, load)` reads a snapshot and
// keeps the elements, `vantrelWrite(ops, engineAttribute, load)` writes to them.

// The attribute that keeps the address the engine wrote on an image shown from a data URL.
inline constexpr const char* kEngineSrcAttribute = "data-vantrel-src";
// Body markup beyond this is cut: the engine only looks for file names in it.
inline constexpr size_t kBodyMarkupCap = 8u << 20;

// The text of the script file.
std::string_view pageScriptsSource();

// Parses the value the snapshot function returned. Missing or odd fields read as empty; a
// place outside the markup reads as none.
DocumentSnapshot parseSnapshot(const nlohmann::json& value);
// An attribute value as the browser writes it in markup.
std::string escapeAttribute(const std::string& value);

// One change to the page, applied to the elements the snapshot kept.
struct PageWrite {
    enum class Kind { ImageSrc, ImageWidth, ImageHeight, ImageAlt, LinkHref };
    Kind kind;
    size_t index;
    std::string text;       // src (as shown), alt, href
    int number = 0;         // width, height
    std::string engineSrc;  // for ImageSrc: the address the engine wrote, when it differs
};
// The writes as the write function takes them.
nlohmann::json writeOps(const std::vector<PageWrite>& writes);

}  // namespace vantrel::page

// The window titles a simulated network draws from: documents in office programs, mail, web
// pages, chat, development tools and system dialogs, under invented application names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TitleCatalog {

// Titles every machine sees (system dialogs, mail folders); "Inbox - Mail" comes first.
const std::vector<std::string>& commonTitles();

// count distinct titles (no two differ only in letter case): the common ones first, then
// generated document, page, message and file titles.
std::vector<std::string> build(std::uint64_t seed, int count);

// Titles that real networks hold and naive code mishandles: quotes, apostrophes, markup
// characters and characters outside Windows-1252.
const std::vector<std::string>& awkwardTitles();

// The title that differs from "Inbox - Mail" only in letter case.
inline const char* const kShoutedInbox = "INBOX - Mail";
// A title recorded in a usage row but missing from the title table.
inline const char* const kUnlistedTitle = "Expense claim (unsaved).xlsx - Spreadsheet";

} // namespace TitleCatalog

// Realistic, varied window titles built from invented applications and everyday documents.
#include "sim/TitleCatalog.h"

#include "sim/Rng.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_set>

namespace {

using List = std::vector<std::string_view>;

const List kDocumentStems = {
    "Budget",          "Project plan",     "Meeting minutes", "Quarterly report", "Letter to supplier",
    "Offer",           "Contract draft",   "Travel expenses", "Job description",  "Staff handbook",
    "Proposal",        "Invoice",          "Price list",      "Staff rota",       "Agenda",
    "Press release",   "Newsletter",       "Security policy", "Checklist",        "Training notes",
    "Sales forecast",  "Inventory",        "Timesheet",       "Customer list",    "Order form",
    "Risk register",   "Board minutes",    "Annual review",   "Cover letter",     "Requirements",
    "Floor plan",      "Holiday requests", "Mileage log",     "Cash flow",        "Stock count",
    "Supplier survey", "Service levels",   "Visitor log",     "Shift pattern",    "Product sheet",
    "Tender response", "Audit findings",   "Marketing plan",  "Event checklist",  "Safety report",
};

const List kQualifiers = {
    "",        "",     "",        " 2025", " 2026", " v2",        " v3",    " final",   " draft",
    " (copy)", " Q1",  " Q2",     " Q3",   " Q4",   " - revised", " March", " October", " for review",
    " old",    " (2)", " signed", " EN",
};

struct DocumentKind {
    std::string_view application;
    List extensions;
};

const std::array<DocumentKind, 5> kDocumentKinds = {{
    {"Word Processor", {".docx", ".docx", ".doc", ".odt", ".rtf"}},
    {"Spreadsheet", {".xlsx", ".xlsx", ".xls", ".csv"}},
    {"Slides", {".pptx", ".pptx", ".ppt"}},
    {"Document Viewer", {".pdf"}},
    {"Text Editor", {".txt"}},
}};

const List kMailSubjects = {
    "Lunch on Friday",      "Server maintenance tonight",
    "Holiday schedule",     "Invoice 4471",
    "Team meeting",         "Welcome aboard",
    "Password expiry",      "Parking spaces",
    "Quarterly numbers",    "Office move",
    "Training dates",       "Customer complaint",
    "Shipment delayed",     "Budget approval",
    "Printer on 2nd floor", "Fire drill",
    "New starter",          "Expenses deadline",
    "Site visit",           "Weekly update",
};
const List kMailPrefixes = {"", "RE: ", "RE: ", "FW: "};

const List kWebPages = {
    "Release notes",      "Weather forecast",       "News headlines",    "Online banking",
    "Search results",     "Intranet - Home",        "Timesheet portal",  "Travel booking",
    "Supplier catalogue", "Train timetable",        "Map - Directions",  "Training video",
    "Parcel tracking",    "Exchange rates",         "Job vacancies",     "Recipe ideas",
    "Football scores",    "Online shop - Basket",   "Wiki - Onboarding", "Benefits portal",
    "HR self-service",    "Help desk - My tickets", "Conference agenda", "Tax office - Forms",
    "Public holidays",    "Flight status",          "Company blog",      "Product reviews",
};

const List kPeople = {
    "Anna Berg",  "Tom Hale",  "Priya Nair",  "Marco Russo", "Jade Okoro",  "Lena Vogel",
    "Sam Porter", "Nina Lund", "Omar Haddad", "Eve Marsh",   "Piet Kramer", "Rosa Diaz",
};

const List kChannels = {"General",        "Sales team", "Help desk", "Random",
                        "Project Falcon", "Warehouse",  "Finance",   "Announcements"};

const List kSourceFiles = {
    "main.cpp",   "Network.h",    "report.py",    "build.sh",    "index.html", "styles.css",
    "README.md",  "schema.sql",   "Makefile",     "config.json", "utils.js",   "test_merge.py",
    "Program.cs", "app.ts",       "query.sql",    "Dockerfile",  "deploy.yml", "Settings.cpp",
    "parser.c",   "Invoice.java", "CHANGELOG.md", "notes.md",    "backup.ps1", "crontab",
};

const List kMisc = {
    "Playlist - Media Player",
    "Invoices - Accounts",
    "Ledger 2026 - Accounts",
    "Payroll - Accounts",
    "Customers - Contacts",
    "Orders - Order Desk",
    "Timeline - Project Planner",
    "Scanned image - Scanner",
    "Terminal",
    "Build output - Code Editor",
    "Remote session - Remote Viewer",
    "Backlog - Task Board",
    "Sprint 14 - Task Board",
    "Address book - Mail",
    "Tasks - Mail",
    "Junk Mail - Mail",
    "Drafts - Mail",
};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

template <typename T> const T& pick(Rng& rng, const std::vector<T>& from) {
    return from[rng.below(static_cast<std::uint32_t>(from.size()))];
}

std::string joined(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (const std::string_view p : parts)
        out += p;
    return out;
}

std::string generatedTitle(Rng& rng) {
    const std::uint32_t kind = rng.below(100);
    if (kind < 45) {
        const DocumentKind& doc =
            kDocumentKinds[rng.below(static_cast<std::uint32_t>(kDocumentKinds.size()))];
        return joined({pick(rng, kDocumentStems), pick(rng, kQualifiers), pick(rng, doc.extensions), " - ",
                       doc.application});
    }
    if (kind < 58)
        return joined({pick(rng, kMailPrefixes), pick(rng, kMailSubjects), " - Message"});
    if (kind < 76)
        return joined({pick(rng, kWebPages), " - Web Browser"});
    if (kind < 84) {
        if (rng.chance(1, 2))
            return joined({pick(rng, kPeople), " - Chat"});
        return joined({pick(rng, kChannels), " - Chat"});
    }
    if (kind < 94)
        return joined({pick(rng, kSourceFiles), " - Code Editor"});
    if (kind < 97) {
        const std::string number = std::to_string(1000 + rng.below(9000));
        return joined({"photo_", number, ".jpg - Image Editor"});
    }
    return std::string(pick(rng, kMisc));
}

} // namespace

namespace TitleCatalog {

const std::vector<std::string>& commonTitles() {
    static const std::vector<std::string> titles = {
        "Inbox - Mail",
        "Calendar - Mail",
        "Sent Items - Mail",
        "Run",
        "Task Manager",
        "Control Panel",
        "Save As",
        "Open",
        "Print",
        "Calculator",
        "Documents - File Manager",
        "Downloads - File Manager",
        "Command Prompt",
        "Settings",
        "Date and Time",
        "System Properties",
        "Untitled - Text Editor",
        "Untitled - Drawing",
        "Intranet - Home - Web Browser",
        "New Tab - Web Browser",
        "General - Chat",
        "Help Topics",
    };
    return titles;
}

std::vector<std::string> build(std::uint64_t seed, int count) {
    std::vector<std::string> titles;
    if (count <= 0)
        return titles;
    const auto wanted = static_cast<std::size_t>(count);
    std::unordered_set<std::string> seen;
    auto add = [&](std::string title) {
        if (titles.size() < wanted && seen.insert(lower(title)).second)
            titles.push_back(std::move(title));
    };
    for (const std::string& t : commonTitles())
        add(t);
    Rng rng(Rng::mix(seed, 0x7469746C6573ULL));
    // The combinations run out long before a huge count; numbered documents fill the rest.
    for (std::size_t attempts = 0; titles.size() < wanted && attempts < wanted * 20 + 2000; ++attempts)
        add(generatedTitle(rng));
    for (int n = 1; titles.size() < wanted; ++n)
        add(joined({"Document ", std::to_string(n), ".docx - Word Processor"}));
    return titles;
}

const std::vector<std::string>& awkwardTitles() {
    static const std::vector<std::string> titles = {
        "Search results for \"budget 2026\" - Web Browser",
        "Tom's timesheet.xlsx - Spreadsheet",
        "\"Final\" offer for O'Brien & Sons.docx - Word Processor",
        "R&D budget.xlsx - Spreadsheet",
        "<untitled> - Code Editor",
        "if a < b && b > c.txt - Text Editor",
        "\xCE\xA3\xCE\xB7\xCE\xBC\xCE\xB5\xCE\xB9\xCF\x8E\xCF\x83\xCE\xB5\xCE\xB9\xCF\x82 "
        "\xCF\x83\xCF\x85\xCE\xBD\xCE\xAC\xCE\xBD\xCF\x84\xCE\xB7\xCF\x83\xCE\xB7\xCF\x82.docx - Word "
        "Processor",
        "\xE4\xBC\x9A\xE8\xAE\xAE\xE8\xAE\xB0\xE5\xBD\x95.xlsx - Spreadsheet",
        "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xD0\xB7\xD0\xB0 "
        "\xD0\xBA\xD0\xB2\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0\xD0"
        "\xBB.pdf - Document Viewer",
        "Launch party \xF0\x9F\x9A\x80 - Chat",
    };
    return titles;
}

} // namespace TitleCatalog

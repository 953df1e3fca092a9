// Publishes complete days as the workstation database the console reads: a new
// file written beside the published one and then put in its place, so a reader
// only ever sees whole files.
#pragma once

#include "agent/core/WorkingStore.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vcagent {

enum class ReplaceOutcome { Done, InUse, Failed };

class Publisher {
public:
    // Puts `from` in the place of `to` in one step. Windows answers "in use"
    // while a reader holds the published file open; that is worth a later retry,
    // not an error.
    using ReplaceFile = std::function<ReplaceOutcome(const std::filesystem::path& from,
                                                     const std::filesystem::path& to, std::string& error)>;

    explicit Publisher(std::filesystem::path publishedFile, ReplaceFile replace = renameReplace);

    enum class Result { Published, InUse, Failed };
    // Writes the rows (all complete days) and replaces the published file. On any
    // failure the published file is left as it was and no partial file stays
    // behind.
    Result publish(const std::vector<UsageRow>& rows, std::string& error);

    const std::filesystem::path& publishedFile() const { return m_published; }
    std::filesystem::path pendingFile() const;

    // Called after each row is written to the new file: lets tests fail a write
    // part-way.
    void setRowWritten(std::function<void(std::size_t row)> hook) { m_rowWritten = std::move(hook); }

    // std::filesystem::rename, which replaces in one step on POSIX systems.
    static ReplaceOutcome renameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                                        std::string& error);

private:
    void write(const std::filesystem::path& file, const std::vector<UsageRow>& rows);
    void removePending();

    std::filesystem::path m_published;
    ReplaceFile m_replace;
    std::function<void(std::size_t)> m_rowWritten;
};

// Whole seconds of a time in milliseconds, as the console's Duration field
// counts them.
std::int64_t wholeSeconds(Millis time);

} // namespace vcagent

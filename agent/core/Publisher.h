// Publishes complete days as the workstation database the console reads: a new
// file written beside the published one and then put in its place, so a reader
// only ever sees whole files.
#pragma once

#include "agent/core/WorkingStore.h"

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
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
    // Hands every row to the sink, in day, user, title order.
    using RowSource = std::function<void(const std::function<void(const UsageRow&)>& sink)>;
    // Name and value pairs of the extra table PCAgentInfo (agent version and the
    // like); the console reads what it knows and ignores the rest.
    using Info = std::vector<std::pair<std::string, std::string>>;

    explicit Publisher(std::filesystem::path publishedFile, ReplaceFile replace = renameReplace);

    enum class Result { Published, InUse, Failed };
    // Writes the rows into a new file and replaces the published file. On a
    // failure the published file is left as it was and no partial file stays
    // behind; when only the replacement was refused (in use) the complete new
    // file is kept for replaceAgain().
    Result publish(const RowSource& rows, const Info& info, std::string& error);
    Result publish(const std::vector<UsageRow>& rows, std::string& error);
    // Tries once more to put the kept new file in place.
    Result replaceAgain(std::string& error);
    bool hasPending() const { return m_pendingComplete; }
    // Forgets a kept new file (the rows it holds are out of date).
    void discardPending();

    const std::filesystem::path& publishedFile() const { return m_published; }
    std::filesystem::path pendingFile() const;

    // Called after each row is written to the new file: lets tests fail a write
    // part-way.
    void setRowWritten(std::function<void(std::size_t row)> hook) { m_rowWritten = std::move(hook); }

    // std::filesystem::rename, which replaces in one step on POSIX systems.
    static ReplaceOutcome renameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                                        std::string& error);

private:
    void write(const std::filesystem::path& file, const RowSource& rows, const Info& info);
    void removePending();
    Result replace(std::string& error);

    std::filesystem::path m_published;
    ReplaceFile m_replace;
    std::function<void(std::size_t)> m_rowWritten;
    bool m_pendingComplete = false;
};

// Whole seconds of a time in milliseconds, as the console's Duration field
// counts them.
std::int64_t wholeSeconds(Millis time);

} // namespace vcagent

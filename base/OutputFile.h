// Files written for the operator (reports, charts, exports): which targets may be replaced, and a
// write that never leaves a half-written file, a foreign file replaced or a temporary behind.
#pragma once

#include <functional>
#include <QByteArray>
#include <QString>

// One rule for every format, the console's save dialogs and the commands alike:
// - a target that does not exist yet is created; an existing one must be a regular file, and is
//   replaced whole by a new file of the writer's own (readable by its owner only);
// - a symbolic link is refused, whatever it points to (name the file itself), so a link planted
//   where a report goes can never send it over another file;
// - devices, pipes, sockets and folders are refused and left as they are;
// - the manager database and its -wal, -shm, -journal and -writers files are refused under any name that
//   reaches them (a hard link included), and so are those names in its folder;
// - the file is written under a temporary name beside the target and renamed over it only when
//   complete and on disk; temporaries a killed run left beside a target are removed by the next
//   write into that folder.
class OutputFile {
public:
    // Guards the manager database at path (and its journals) against every output of this process.
    static void protect(const QString& databasePath);

    // Why target must not be written, or empty when it may be.
    static QString refusal(const QString& target);

    // The reason path is no complete PDF file ("%PDF-" first, "%%EOF" last), or empty.
    static QString pdfProblem(const QString& path);

    // Temporaries of runs that no longer hold them, beside the files of folder; returns how many
    // were removed. Called by open(); public for the console's start-up folder.
    static int removeStaleTemporaries(const QString& folder);

    explicit OutputFile(QString target);
    ~OutputFile(); // an uncommitted temporary is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks the target and creates the temporary beside it. False with errorString() set.
    bool open();
    // Where the content goes, for writers that open the file themselves (printer, engine).
    const QString& temporaryPath() const { return m_temporary; }
    bool write(const QByteArray& bytes);
    // Puts the temporary on disk, lets verify judge it (an error text, or empty), checks the
    // target again and renames the temporary over it. False with errorString() set; the target
    // is then as it was.
    bool commit(const std::function<QString(const QString& path)>& verify = {});
    const QString& errorString() const { return m_error; }

    // The whole write of bytes to target; the error text, or empty.
    static QString writeWhole(const QString& target, const QByteArray& bytes);

private:
    bool fail(const QString& error);
    void discard();

    QString m_target;
    QString m_temporary;
    QString m_error;
    int m_fd = -1;
    bool m_committed = false;
};

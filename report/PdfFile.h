// Writing a PDF file through a printer, never leaving a half-written target.
#pragma once

#include <functional>
#include <QString>

class QPrinter;

// Lets print() paint on a PDF printer whose output is a temporary file beside target (OutputFile:
// its rule for what may be replaced), checks that print() succeeded, the printer reported no
// error and the file is a whole PDF, then renames it over target. Returns the error text, or nothing when the
// file was written; on an error the target and its folder are as they were.
QString writePdfFile(const QString& target, const std::function<bool(QPrinter&)>& print);

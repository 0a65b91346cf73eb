#pragma once

#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <memory>

// A text stream to the standard output or error. A Windows console is handed the UTF-16
// text itself (WriteConsoleW), so that it shows every character whatever its code page;
// a file or a pipe gets UTF-8 bytes, as on every other system.
class StandardStream
{
public:
    explicit StandardStream(FILE *file);
    QTextStream &text() { return m_text; }

private:
    QFile m_file;
    std::unique_ptr<QIODevice> m_console;
    QTextStream m_text;
};

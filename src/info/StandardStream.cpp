#include "info/StandardStream.h"

#include "fs/FileSystem.h"

StandardStream::StandardStream(FILE *file) : m_console(consoleDevice(file))
{
    if (m_console) {
        m_text.setDevice(m_console.get());
        m_text.setEncoding(QStringConverter::Utf16LE);
        return;
    }
    m_file.open(file, QIODevice::WriteOnly);
    m_text.setDevice(&m_file);
}

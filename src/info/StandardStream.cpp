#include "info/StandardStream.h"

#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>

namespace
{

// Writes the UTF-16 code units that QTextStream encodes to a console.
class ConsoleDevice final : public QIODevice
{
public:
    explicit ConsoleDevice(HANDLE console) : m_console(console) { open(WriteOnly | Unbuffered); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        const auto *units = reinterpret_cast<const wchar_t *>(data);
        const qint64 count = size / 2;
        for (qint64 done = 0; done < count;) {
            DWORD chunk = DWORD(qMin<qint64>(count - done, 4096));
            if (chunk > 1 && QChar::isHighSurrogate(units[done + chunk - 1]))
                --chunk; // a character is not split
            DWORD written = 0;
            if (!WriteConsoleW(m_console, units + done, chunk, &written, nullptr) || !written)
                return -1;
            done += written;
        }
        return size;
    }

private:
    HANDLE m_console;
};

} // namespace
#endif

StandardStream::StandardStream(FILE *file)
{
#ifdef Q_OS_WIN
    const HANDLE handle = HANDLE(_get_osfhandle(_fileno(file)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        m_console = std::make_unique<ConsoleDevice>(handle);
        m_text.setDevice(m_console.get());
        m_text.setEncoding(QStringConverter::Utf16LE);
        return;
    }
#endif
    m_file.open(file, QIODevice::WriteOnly);
    m_text.setDevice(&m_file);
}

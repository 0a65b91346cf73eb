#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Lossless conversion between paths as the program holds them and as the system takes them.
//
// On Unix a path is bytes, most often UTF-8 but not always (names unpacked from archives
// carry Shift-JIS and other bytes). decodePath turns valid UTF-8 into characters and each
// byte that is not part of valid UTF-8 into the lone surrogate U+DC80..U+DCFF; encodePath
// turns those surrogates back into their bytes, so encodePath(decodePath(b)) == b for any b.
// On Windows a path is UTF-16, as a QString holds it, and the system is handed the
// QString itself; there the two functions convert plainly to and from UTF-8.
//
// Every path handed to the system goes through systemPath; every path read from the
// system goes through decodePath; paths that come in go through PathInput.h.

QByteArray encodePath(const QString &path);
QString decodePath(QByteArrayView bytes);

// The text of a file in the system's 8-bit encoding (the ANSI code page on Windows; on Unix
// UTF-8, bytes that are not UTF-8 kept as decodePath keeps them) or, with utf8, in UTF-8.
// Decoding loses nothing: a byte that is no part of a character becomes U+DC00 + byte.
// Encoding writes what the encoding holds; check it by decoding again.
QByteArray encodeSystemText(const QString &text, bool utf8);
QString decodeSystemText(QByteArrayView bytes, bool utf8);

// path encoded for a system call; nothing when it is empty or holds NUL, which would end
// the name early and so name another file. A lone surrogate outside U+DC80..U+DCFF, which
// no file name holds, is encoded as NUL and so refused too.
std::optional<QByteArray> systemPath(const QString &path);

// The reason given for a path that systemPath refuses.
QString refusedPathReason();

// text for display: lone surrogates become U+FFFD. Returns text itself when it has none.
QString displayPath(const QString &text);

// The folder of the running executable with native separators, read losslessly (on
// Linux from /proc/self/exe); empty when it cannot be told.
QString executableFolder();

// The folder of the file that the link at linkPath points to; empty when it is no link.
QString linkTargetFolder(const QString &linkPath);

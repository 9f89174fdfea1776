#pragma once

#include "core/TClock.h"
#include "core/TextFormats.h"

#include <QDateTime>
#include <QString>

// The event log: one line per event, "timestamp -> tag -> message", CR LF
// ended, Windows-1251. The file is opened and closed for every line.

// The text of a message, tag or first line as the log holds it: a line break
// (CR LF or LF) inside it continues on the next line of the file, line breaks
// at its end are dropped, and every other control character is written as a
// visible escape ("\x00", "\x0D"), so each entry stays readable text. A
// character that Windows-1251 cannot hold is written as "?".
QString LogText(const QString& text);

// Appends one event line. When there is no log yet, a new one is started with
// its "NEW LOG" line and the event follows it. An existing log that cannot be
// appended to is left as it is. Throws Exception when the line could not be
// written anywhere.
void WriteLog(const QString& Message, const QString& Tag, const QString& FileName,
              const QDateTime& now = TClock::program().now(), const TFormats& formats = TFormats());

// WriteLog for a fault that has been shown already: a log that cannot take
// the line either changes nothing. False when the line was not written.
bool TryWriteLog(const QString& Message, const QString& Tag, const QString& FileName);

// Creates the file (an existing one is emptied) and writes its first line,
// "timestamp -> Text". Throws Exception when the file cannot be written.
void NewLog(const QString& FileName, const QString& Text,
            const QDateTime& now = TClock::program().now(), const TFormats& formats = TFormats());

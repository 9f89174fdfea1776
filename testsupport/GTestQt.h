#pragma once

// Readable GoogleTest output for Qt's text types.
#include <QByteArray>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"';
    for (char c : b) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            *os << "\\r";
        else if (c == '\n')
            *os << "\\n";
        else if (u < 0x20 || u >= 0x7f) {
            static const char* hex = "0123456789ABCDEF";
            *os << "\\x" << hex[u >> 4] << hex[u & 15];
        } else
            *os << c;
    }
    *os << '"';
}

#pragma once

#include <QString>

// eD2k file links as the tests write them: ed2k://|file|NAME|SIZE|HASH|/ (the closing slash may
// be left off, as some pages do).
inline QString ed2kLink(const QString& name, const QString& size, const QString& hash,
                        bool slash = true) {
    return QStringLiteral("ed2k://|file|%1|%2|%3|%4")
        .arg(name, size, hash, slash ? QStringLiteral("/") : QString());
}

// A well-formed link of `size` bytes with a hash of the right length.
inline QString ed2kLink(const QString& name, const char* size = "734003200", bool slash = true) {
    return ed2kLink(name, QString::fromLatin1(size),
                    QStringLiteral("0123456789ABCDEF0123456789ABCDEF"), slash);
}

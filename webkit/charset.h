#pragma once

#include <QByteArray>
#include <QString>

namespace webkit {

// Decodes bytes in the charset named by `encoding` (an ICU converter name such as "gbk" or
// "utf-8"). Returns the empty text when the name is unknown or empty. When the charset is UTF-8,
// a leading UTF-8 byte-order mark is skipped; in any other charset (GBK among them) the same
// three bytes are decoded as that charset reads them. Invalid byte sequences become
// replacement characters.
QString EncodingConvertor(const QByteArray& content, const QString& encoding);

// The same text as EncodingConvertor gives, as UTF-8 bytes: for callers that only search a page
// with patterns and make text of what they find, so that a large page never exists as UTF-16.
// GBK is decoded straight into UTF-8, long runs of ASCII bytes copied as they are.
QByteArray EncodingConvertorUtf8(const QByteArray& content, const QString& encoding);

// How many two-byte GBK sequences EncodingConvertorUtf8 writes from its table, filled from ICU
// at first use, rather than through ICU: a pair it does not hold is decoded right, only slower.
int gbkPairsInTable();

// GBK (Windows code page 936) bytes of one UTF-16 code unit: one or two bytes. A unit that GBK
// cannot represent (a lone surrogate, a character outside the code page) gives "?".
class GbkCodec {
public:
    GbkCodec();
    ~GbkCodec();
    GbkCodec(const GbkCodec&) = delete;
    GbkCodec& operator=(const GbkCodec&) = delete;

    QByteArray encode(QChar c);
    // The character of a two-byte GBK code (lead byte times 256 plus trail byte); "?" when the
    // code is no GBK character, a code below 0x100 or above 0xFFFF included.
    QString decode(int code);

private:
    struct Impl;
    Impl* d;
};

} // namespace webkit

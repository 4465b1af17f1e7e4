#pragma once

#include <QString>

namespace webkit {

// Query-value encoders. Every escape is "%" and two upper-case hexadecimal digits.

namespace portal {
// GBK bytes escaped; letters, digits and "-,./" pass unchanged.
QString URLEncode(const QString& strURL);
} // namespace portal

namespace player {
// GBK bytes escaped; only the 52 ASCII letters pass unchanged.
QString URLEncode(const QString& strURL);
} // namespace player

// UTF-8 bytes of every code unit from 0x80 up escaped (surrogates one by one); ASCII passes.
QString UTF8_URLEncoding(const QString& szInput);

} // namespace webkit

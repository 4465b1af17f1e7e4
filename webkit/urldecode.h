#pragma once

#include <QString>

namespace webkit {

// The value of a two-character hexadecimal pair (after trimming blanks), 0 to 255, or -1.
int URLDecode_Hex(const QString& h);

// Decodes "+" and percent escapes. Whether the escaped bytes are UTF-8 or GBK is decided from
// the first escapes that settle it; a lone two-byte UTF-8 form is read as GBK until a later
// escape proves UTF-8, and then the whole text is decoded again. Never fails.
QString URLDecode(const QString& urlcode);
// The same, appended to `out`, which is never null afterwards: one buffer serves for many
// texts.
void URLDecodeAppend(QStringView urlcode, QString& out);

} // namespace webkit

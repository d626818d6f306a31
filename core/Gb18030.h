#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// GB18030, the program's own codec, so the result log and list files give
// the same bytes and the same readings on every system, with or without a
// GB18030 codec of the system's. ASCII is one byte, GBK's characters two
// bytes (GBK files read as GBK), every other character four bytes.
namespace Gb18030 {

// Decodes bytes. Every byte that does not start a GB18030 character, every
// four-byte code that maps to nothing and a character cut off at the end
// become U+FFFD, and hadErrors is then set.
QString decode(QByteArrayView bytes, bool *hadErrors = nullptr);

// Encodes text. Every character has a GB18030 code; only a surrogate
// without its partner cannot be written: then ok is false and the result is
// empty.
QByteArray encode(const QString &text, bool *ok = nullptr);

// The character the two-byte code (lead, trail) stands for, or 0 when the
// bytes are not a two-byte code.
char16_t twoByte(unsigned char lead, unsigned char trail);

} // namespace Gb18030

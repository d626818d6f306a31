#include "Gb18030.h"

#include <array>
#include <cstdint>
#include <memory>

namespace Gb18030 {

namespace {

constexpr int Leads = 0xFE - 0x81 + 1; // 126
constexpr int Trails = 190;            // 0x40..0x7E, 0x80..0xFE
constexpr int Pairs = Leads * Trails;  // 23,940

// The two-byte part, as read by the Linux build's GB18030 decoder
// (tools/gen_gb18030_table.cpp).
constexpr std::array<char16_t, Pairs> TwoByteTable = {
#include "Gb18030Table.inc"
};

// Four-byte codes b1 b2 b3 b4 (b1, b3 in 0x81..0xFE; b2, b4 in 0x30..0x39)
// are numbered in order; 0x81308130 is 0 and 0x8431A439 (U+FFFF) the last of
// the BMP. They stand, in order, for the BMP characters above ASCII that
// have no two-byte code, surrogates left out. From 0x90308130 on they stand
// for U+10000..U+10FFFF in order.
constexpr std::uint32_t BmpFourByteCodes = 39420;
constexpr std::uint32_t SupplementaryFirst = 189000; // 0x90308130
// GB18030-2005 gave U+1E3F the two-byte code A8BC, which had stood for
// U+E7C7, and U+E7C7 the four-byte code U+1E3F had held: the one place
// where the four-byte order is not the order of the characters.
constexpr char16_t SwappedTwoByte = 0x1E3F;
constexpr char16_t SwappedFourByte = 0xE7C7;

int pairIndex(unsigned lead, unsigned trail)
{
    if (lead < 0x81 || lead > 0xFE)
        return -1;
    int t;
    if (trail >= 0x40 && trail <= 0x7E)
        t = int(trail) - 0x40;
    else if (trail >= 0x80 && trail <= 0xFE)
        t = int(trail) - 0x41;
    else
        return -1;
    return int(lead - 0x81) * Trails + t;
}

struct Tables
{
    // BMP character -> two-byte code (lead << 8 | trail), or 0.
    std::array<std::uint16_t, 0x10000> twoByteCode{};
    // BMP character -> four-byte code number + 1, or 0.
    std::array<std::uint16_t, 0x10000> fourByteNumber{};
    // Four-byte code number -> BMP character.
    std::array<char16_t, BmpFourByteCodes> fourByteChar{};

    Tables()
    {
        for (int i = 0; i < Pairs; ++i) {
            const int lead = 0x81 + i / Trails;
            int trail = i % Trails + 0x40;
            if (trail >= 0x7F)
                ++trail;
            twoByteCode[TwoByteTable[std::size_t(i)]] = std::uint16_t(lead << 8 | trail);
        }
        std::uint32_t n = 0;
        for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const bool hasTwoByte = twoByteCode[c] != 0;
            char16_t held = char16_t(c);
            if (c == SwappedTwoByte)
                held = SwappedFourByte; // the four-byte code U+1E3F had
            else if (c == SwappedFourByte || hasTwoByte)
                continue;
            if (n < BmpFourByteCodes) {
                fourByteChar[n] = held;
                fourByteNumber[held] = std::uint16_t(n + 1);
            }
            ++n;
        }
    }
};

const Tables &tables()
{
    static const auto t = std::make_unique<Tables>();
    return *t;
}

bool isDigit(std::uint8_t b)
{
    return b >= 0x30 && b <= 0x39;
}
bool isHigh(std::uint8_t b)
{
    return b >= 0x81 && b <= 0xFE;
}

void appendFourByte(QByteArray &out, std::uint32_t n)
{
    const char b4 = char(0x30 + n % 10);
    n /= 10;
    const char b3 = char(0x81 + n % 126);
    n /= 126;
    const char b2 = char(0x30 + n % 10);
    n /= 10;
    const char b1 = char(0x81 + n);
    out.append(b1).append(b2).append(b3).append(b4);
}

} // namespace

char16_t twoByte(unsigned char lead, unsigned char trail)
{
    const int i = pairIndex(lead, trail);
    return i < 0 ? 0 : TwoByteTable[std::size_t(i)];
}

QString decode(QByteArrayView bytes, bool *hadErrors)
{
    const Tables &t = tables();
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const qsizetype size = bytes.size();
    QString out;
    out.reserve(size);
    bool errors = false;
    auto bad = [&out, &errors] {
        out.append(QChar::ReplacementCharacter);
        errors = true;
    };
    qsizetype i = 0;
    while (i < size) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            out.append(QChar(b));
            ++i;
            continue;
        }
        if (!isHigh(b)) { // 0x80, 0xFF
            bad();
            ++i;
            continue;
        }
        if (i + 1 >= size) { // cut off at the end
            bad();
            break;
        }
        const std::uint8_t b2 = p[i + 1];
        const int pair = pairIndex(b, b2);
        if (pair >= 0) {
            out.append(QChar(TwoByteTable[std::size_t(pair)]));
            i += 2;
            continue;
        }
        if (!isDigit(b2)) {
            // Not a second byte: the lead alone is bad, and the byte after it
            // is read afresh, unless it can start nothing either (0xFF).
            bad();
            i += b2 == 0xFF ? 2 : 1;
            continue;
        }
        if (i + 3 >= size) {
            if (i + 2 >= size || isHigh(p[i + 2])) { // cut off at the end
                bad();
                break;
            }
            bad();
            ++i;
            continue;
        }
        if (!isHigh(p[i + 2]) || !isDigit(p[i + 3])) {
            bad();
            ++i;
            continue;
        }
        const std::uint32_t n =
            ((std::uint32_t(b - 0x81) * 10 + (b2 - 0x30)) * 126 + (p[i + 2] - 0x81)) * 10 + (p[i + 3] - 0x30);
        if (n < BmpFourByteCodes) {
            out.append(QChar(t.fourByteChar[n]));
        } else if (n >= SupplementaryFirst && n - SupplementaryFirst <= 0x10FFFF - 0x10000) {
            out.append(QChar::fromUcs4(char32_t(0x10000 + (n - SupplementaryFirst))));
        } else {
            bad(); // a four-byte code that stands for nothing
        }
        i += 4;
    }
    if (hadErrors)
        *hadErrors = errors;
    return out;
}

QByteArray encode(const QString &text, bool *ok)
{
    const Tables &t = tables();
    QByteArray out;
    out.reserve(text.size() * 2);
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            out.append(char(c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
                   QChar::isLowSurrogate(text[i + 1].unicode())) {
            const char32_t u = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            appendFourByte(out, SupplementaryFirst + std::uint32_t(u - 0x10000));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            if (ok)
                *ok = false;
            return QByteArray();
        } else if (const std::uint16_t code = t.twoByteCode[c]) {
            out.append(char(code >> 8)).append(char(code & 0xFF));
        } else if (const std::uint16_t number = t.fourByteNumber[c]) {
            appendFourByte(out, std::uint32_t(number - 1));
        } else { // cannot happen with a sound table; never write a wrong code
            if (ok)
                *ok = false;
            return QByteArray();
        }
    }
    if (ok)
        *ok = true;
    return out;
}

} // namespace Gb18030

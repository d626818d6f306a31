#include "EncodingGuess.h"

#include "Gb18030.h"

#include <QChar>
#include <QString>

#include <array>
#include <climits>
#include <cstdint>

namespace EncodingGuess {

namespace {

// What one character of a reading is, as far as plausibility goes.
enum class Kind : std::uint8_t {
    Ascii,     // ASCII other than letters
    Letter,    // a letter of an alphabet (ASCII letters included)
    Combining, // a combining accent
    Hanzi1,    // a Chinese character of the 3,755 most common (GB2312 level 1)
    Hanzi2,    // a Chinese character of GB2312 level 2
    HanziRare, // any other Chinese character
    Symbol,    // CJK and full-width punctuation, the middle dot of names
    Kana,      // Japanese kana, Korean hangul
    Neutral,   // allowed, says nothing either way
    Other,     // unlikely in a list of names
    Junk,      // very unlikely: controls, private use, stray symbols
};

enum class Script : std::uint8_t { None, Latin, Greek, Cyrillic, Armenian, Hebrew, Arabic };

struct Char
{
    Kind kind = Kind::Ascii;
    Script script = Script::None;
    bool ascii = false;
    bool upper = false;
    bool lower = false;
};

// Marks each CJK unified ideograph U+4E00..U+9FFF with its GB2312 level
// (1 or 2), or 0 when GB2312 lacks it.
class Gb2312Levels
{
public:
    Gb2312Levels()
    {
        for (int lead = 0xB0; lead <= 0xF7; ++lead) {
            for (int trail = 0xA1; trail <= 0xFE; ++trail) {
                const char16_t c = Gb18030::twoByte(std::uint8_t(lead), std::uint8_t(trail));
                if (c >= First && c <= Last)
                    m_level[c - First] = lead <= 0xD7 ? 1 : 2;
            }
        }
    }
    int level(char32_t c) const { return (c >= First && c <= Last) ? m_level[c - First] : 0; }

private:
    static constexpr char32_t First = 0x4E00;
    static constexpr char32_t Last = 0x9FFF;
    std::array<std::uint8_t, Last - First + 1> m_level{};
};

const Gb2312Levels &gb2312()
{
    static const Gb2312Levels table;
    return table;
}

Char letter(Script script, char32_t c)
{
    Char out;
    out.kind = Kind::Letter;
    out.script = script;
    out.upper = QChar::isUpper(c);
    out.lower = QChar::isLower(c);
    return out;
}

Char classifyAscii(std::uint8_t b)
{
    Char out;
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
        out.kind = Kind::Letter;
        out.script = Script::Latin;
        out.upper = b <= 'Z';
        out.lower = !out.upper;
    }
    out.ascii = true;
    return out;
}

Char ofKind(Kind kind)
{
    Char out;
    out.kind = kind;
    return out;
}

// Classifies a code point of the UTF-8 reading.
Char classify(char32_t c)
{
    if (c >= 0x4E00 && c <= 0x9FFF) {
        switch (gb2312().level(c)) {
        case 1:
            return ofKind(Kind::Hanzi1);
        case 2:
            return ofKind(Kind::Hanzi2);
        default:
            return ofKind(Kind::HanziRare);
        }
    }
    if (c == 0x00B7)
        return ofKind(Kind::Symbol);
    if (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7)
        return letter(Script::Latin, c);
    if (c >= 0x0300 && c <= 0x036F)
        return ofKind(Kind::Combining);
    if ((c >= 0x0386 && c <= 0x03CE) && c != 0x0387 && c != 0x038B && c != 0x038D && c != 0x03A2)
        return letter(Script::Greek, c);
    if (c >= 0x0400 && c <= 0x045F)
        return letter(Script::Cyrillic, c);
    if ((c >= 0x0531 && c <= 0x0556) || (c >= 0x0561 && c <= 0x0587))
        return letter(Script::Armenian, c);
    if (c >= 0x05D0 && c <= 0x05EA)
        return letter(Script::Hebrew, c);
    if (c >= 0x0620 && c <= 0x064A)
        return letter(Script::Arabic, c);
    if (c < 0x0800)
        return ofKind(Kind::Junk); // C1 controls, Latin-1 symbols, IPA, accents, rare letters
    if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF))
        return ofKind(Kind::HanziRare);
    if ((c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF5E))
        return ofKind(Kind::Symbol);
    if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0xAC00 && c <= 0xD7A3))
        return ofKind(Kind::Kana);
    if (c >= 0x2000 && c <= 0x206F)
        return ofKind(Kind::Neutral);
    if ((c >= 0xE000 && c <= 0xF8FF) || c == 0xFFFD || c > 0x3FFFF)
        return ofKind(Kind::Junk);
    return ofKind(Kind::Other);
}

// Classifies a two-byte character of the GBK reading by its bytes.
Kind classifyGbk(std::uint8_t lead, std::uint8_t trail)
{
    if (trail >= 0xA1) {
        if (lead >= 0xB0 && lead <= 0xD7)
            return (lead == 0xD7 && trail >= 0xFA) ? Kind::Junk : Kind::Hanzi1;
        if (lead >= 0xD8 && lead <= 0xF7)
            return Kind::Hanzi2;
        if (lead >= 0xA1 && lead <= 0xA3)
            return Kind::Symbol;
        if (lead >= 0xA4 && lead <= 0xA9)
            return Kind::Neutral; // kana, Greek, Cyrillic, pinyin, box drawing
        return Kind::Junk;        // user-defined areas
    }
    if (lead >= 0xA1 && lead <= 0xA7)
        return Kind::Junk; // user-defined area
    return Kind::HanziRare;
}

// Roughly how unlikely each character is in a list of names, in bits: a
// reading that needs more characters, or rarer ones, for the same bytes
// costs more. UTF-8 Chinese read as GBK makes three characters out of two,
// and many of them rare; GBK read as UTF-8 makes symbols, accents and
// letters of several scripts jumbled together.
namespace Cost {
constexpr int Hanzi1 = 8;
constexpr int Hanzi2 = 11;
constexpr int HanziRare = 14;
constexpr int BesideAsciiLetter = 8; // a Chinese character glued to Latin letters
constexpr int Symbol = 10;
constexpr int Kana = 14;
constexpr int Neutral = 13;
constexpr int Other = 15;
constexpr int Junk = 20;
constexpr int LetterInWord = 5;   // a letter of a word of its own script
constexpr int LetterInRun = 8;    // an accented letter among accented letters only
constexpr int LoneLetter = 16;    // a letter on its own, in a short run or wrongly cased
constexpr int AccentOnLetter = 6; // a combining accent after a letter
} // namespace Cost

bool isAsciiLetter(const Char &c)
{
    return c.ascii && c.kind == Kind::Letter;
}

int kindCost(Kind kind)
{
    switch (kind) {
    case Kind::Hanzi1:
        return Cost::Hanzi1;
    case Kind::Hanzi2:
        return Cost::Hanzi2;
    case Kind::HanziRare:
        return Cost::HanziRare;
    case Kind::Symbol:
        return Cost::Symbol;
    case Kind::Kana:
        return Cost::Kana;
    case Kind::Neutral:
        return Cost::Neutral;
    case Kind::Other:
        return Cost::Other;
    case Kind::Combining: // an accent with no letter before it
    case Kind::Junk:
        return Cost::Junk;
    case Kind::Ascii:
    case Kind::Letter:
        break;
    }
    return 0;
}

bool isHanzi(Kind kind)
{
    return kind == Kind::Hanzi1 || kind == Kind::Hanzi2 || kind == Kind::HanziRare;
}

// Adds up the cost of one reading of a line, character by character.
//
// Letters of an alphabet count only as words: a run of letters of one
// script, cased like a word (no capital after a small letter). Latin
// letters need an ASCII letter in the run or a run of three; the other
// scripts need a run of three. Chinese characters next to an ASCII letter
// cost more.
class CostCounter
{
public:
    // Counting may stop once the cost passes limit.
    explicit CostCounter(int limit) : m_limit(limit) {}

    bool full() const { return m_total > m_limit; }

    Q_ALWAYS_INLINE void add(const Char &c)
    {
        // Most characters of a line are ASCII digits, blanks and signs,
        // which only end what came before.
        if (c.kind == Kind::Ascii && !m_pendingHanzi && m_runScript == Script::None) {
            m_prevAsciiLetter = false;
            return;
        }
        addInContext(c);
    }

    int finish()
    {
        if (m_pendingHanzi)
            m_total += kindCost(m_pending) + (m_pendingGlued ? Cost::BesideAsciiLetter : 0);
        m_pendingHanzi = false;
        closeRun();
        return m_total;
    }

private:
    void addInContext(const Char &c)
    {
        if (m_pendingHanzi) {
            m_total +=
                kindCost(m_pending) + ((m_pendingGlued || isAsciiLetter(c)) ? Cost::BesideAsciiLetter : 0);
            m_pendingHanzi = false;
        }
        if (c.kind == Kind::Letter) {
            if (m_runScript != c.script) {
                closeRun();
                m_runScript = c.script;
            }
            ++m_runLetters;
            m_runNonAscii += c.ascii ? 0 : 1;
            m_runHasAscii = m_runHasAscii || c.ascii;
            m_runMixedCase = m_runMixedCase || (c.upper && m_runSeenLower);
            m_runSeenLower = m_runSeenLower || c.lower;
        } else if (c.kind == Kind::Combining && m_runScript != Script::None) {
            m_total += Cost::AccentOnLetter;
        } else {
            closeRun();
            if (isHanzi(c.kind)) {
                m_pendingHanzi = true;
                m_pending = c.kind;
                m_pendingGlued = m_prevAsciiLetter;
            } else {
                m_total += kindCost(c.kind);
            }
        }
        m_prevAsciiLetter = isAsciiLetter(c);
    }

    void closeRun()
    {
        if (m_runScript == Script::None)
            return;
        int perLetter = Cost::LoneLetter;
        if (!m_runMixedCase && m_runLetters >= 2) {
            if (m_runScript != Script::Latin)
                perLetter = m_runLetters >= 3 ? Cost::LetterInWord : Cost::LoneLetter;
            else if (m_runHasAscii)
                perLetter = Cost::LetterInWord;
            else if (m_runLetters >= 3)
                perLetter = Cost::LetterInRun;
        }
        m_total += perLetter * m_runNonAscii;
        m_runScript = Script::None;
        m_runLetters = m_runNonAscii = 0;
        m_runHasAscii = m_runMixedCase = m_runSeenLower = false;
    }

    int m_limit;
    int m_total = 0;
    bool m_prevAsciiLetter = false;
    // A Chinese character waiting for its right-hand neighbour.
    bool m_pendingHanzi = false;
    bool m_pendingGlued = false;
    Kind m_pending = Kind::Ascii;
    // The run of letters being read.
    Script m_runScript = Script::None;
    int m_runLetters = 0;
    int m_runNonAscii = 0;
    bool m_runHasAscii = false;
    bool m_runMixedCase = false;
    bool m_runSeenLower = false;
};

bool isContinuation(std::uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// Strict UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
// A byte that does not decode becomes a junk character and reading goes on
// with the next byte, until the counter is full; the result says whether
// every byte was read and decoded.
bool readUtf8(QByteArrayView line, CostCounter &counter)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(line.data());
    const qsizetype n = line.size();
    bool valid = true;
    qsizetype i = 0;
    while (i < n && !counter.full()) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            counter.add(classifyAscii(b));
            ++i;
            continue;
        }
        int length = 0;
        char32_t c = 0;
        std::uint8_t low = 0x80, high = 0xBF; // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            c = b & 0x0F;
            if (b == 0xE0)
                low = 0xA0;
            else if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            c = b & 0x07;
            if (b == 0xF0)
                low = 0x90;
            else if (b == 0xF4)
                high = 0x8F;
        }
        bool ok = length > 0 && i + length <= n && p[i + 1] >= low && p[i + 1] <= high;
        for (int k = 1; ok && k < length; ++k) {
            ok = isContinuation(p[i + k]);
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (!ok) {
            counter.add(ofKind(Kind::Junk));
            valid = false;
            ++i;
            continue;
        }
        counter.add(classify(c));
        i += length;
    }
    return valid && i >= n;
}

// GB18030: ASCII, two-byte characters and four-byte sequences. Bytes that do
// not decode, and a full counter, are handled as in readUtf8().
bool readGbk(QByteArrayView line, CostCounter &counter)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(line.data());
    const qsizetype n = line.size();
    bool valid = true;
    qsizetype i = 0;
    while (i < n && !counter.full()) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            counter.add(classifyAscii(b));
            ++i;
            continue;
        }
        const std::uint8_t t = i + 1 < n ? p[i + 1] : 0;
        if (b != 0x80 && b != 0xFF && ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE))) {
            counter.add(ofKind(classifyGbk(b, t)));
            i += 2;
            continue;
        }
        // Four-byte sequences, in the ranges in use.
        if (b != 0x80 && b != 0xFF && t >= 0x30 && t <= 0x39 && i + 3 < n && p[i + 2] >= 0x81 &&
            p[i + 2] <= 0xFE && p[i + 3] >= 0x30 && p[i + 3] <= 0x39 &&
            ((b >= 0x81 && b <= 0x84) || (b >= 0x90 && b <= 0xE3))) {
            counter.add(ofKind(Kind::Other));
            i += 4;
            continue;
        }
        counter.add(ofKind(Kind::Junk));
        valid = false;
        ++i;
    }
    return valid && i >= n;
}

bool isAscii(QByteArrayView line)
{
    for (char b : line) {
        if (std::uint8_t(b) >= 0x80)
            return false;
    }
    return true;
}

// No line weighs more than this in the choice for the whole file, so a few
// lines of another encoding, or with stray bytes, do not outvote the rest.
constexpr int LineVote = 30;
// A line leaves the file's reading when the other one costs this much less.
constexpr int ClearlyBetter = 12;
// Readings of a whole file closer than this are a close call.
constexpr int CloseCall = 10;

// One reading of one line: its cost, bytes that do not decode included.
struct LineCost
{
    int cost = 0;
    bool valid = true;
};

// A reading whose cost passes limit is not read to its end: it counts as
// not decoding, with a cost past limit.
LineCost utf8Line(QByteArrayView line, int limit = INT_MAX)
{
    CostCounter counter(limit);
    LineCost out;
    out.valid = readUtf8(line, counter);
    out.cost = counter.finish();
    return out;
}

LineCost gbkLine(QByteArrayView line, int limit = INT_MAX)
{
    CostCounter counter(limit);
    LineCost out;
    out.valid = readGbk(line, counter);
    out.cost = counter.finish();
    return out;
}

} // namespace

std::optional<int> utf8Cost(QByteArrayView line)
{
    const LineCost c = utf8Line(line);
    return c.valid ? std::optional<int>(c.cost) : std::nullopt;
}

std::optional<int> gbkCost(QByteArrayView line)
{
    const LineCost c = gbkLine(line);
    return c.valid ? std::optional<int>(c.cost) : std::nullopt;
}

Guess guess(QByteArrayView bytes)
{
    struct Costs
    {
        LineCost utf8, gbk;
        bool ascii = true;
    };
    Guess out;
    QList<Costs> costs;
    const qsizetype n = bytes.size();
    // Names are short: a line every eight bytes or so.
    out.lines.reserve(n / 8 + 1);
    costs.reserve(n / 8 + 1);
    qsizetype start = 0;
    int balance = 0; // what UTF-8 costs more than GBK, line by line

    bool allUtf8 = true, allGbk = true, anyNonAscii = false, utf8First = true;
    auto takeLine = [&](qsizetype contentEnd, qsizetype lineEnd) {
        const QByteArrayView content = bytes.sliced(start, contentEnd - start);
        Costs c;
        c.ascii = isAscii(content);
        if (!c.ascii) {
            anyNonAscii = true;
            // The reading the last line preferred is read first; the other
            // one only as far as it could still matter: past LineVote more,
            // its vote is full and it cannot win this line.
            if (utf8First) {
                c.utf8 = utf8Line(content);
                c.gbk = gbkLine(content, c.utf8.cost + LineVote);
            } else {
                c.gbk = gbkLine(content);
                c.utf8 = utf8Line(content, c.gbk.cost + LineVote);
            }
            utf8First = c.utf8.cost <= c.gbk.cost;
            balance += qBound(-LineVote, c.utf8.cost - c.gbk.cost, LineVote);
            allUtf8 = allUtf8 && c.utf8.valid;
            allGbk = allGbk && c.gbk.valid;
        }
        Line line;
        line.begin = start;
        line.end = lineEnd;
        out.lines.append(line);
        costs.append(c);
        start = lineEnd;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char b = bytes.at(i);
        if (b == '\r') {
            const qsizetype end = (i + 1 < n && bytes.at(i + 1) == '\n') ? i + 2 : i + 1;
            takeLine(i, end);
            i = end - 1;
        } else if (b == '\n') {
            takeLine(i, i + 1);
        }
    }
    if (start < n)
        takeLine(n, n);

    if (!anyNonAscii) {
        out.reading = Reading::Utf8;
    } else if (balance != 0) {
        out.reading = balance < 0 ? Reading::Utf8 : Reading::Gbk;
    } else {
        // A tie: a reading that decodes everything wins, else the
        // system's own encoding.
        out.reading = (allUtf8 && !allGbk) ? Reading::Utf8 : Reading::Gbk;
    }
    out.closeCall = anyNonAscii && allUtf8 && allGbk && qAbs(balance) < CloseCall;

    const bool fileIsUtf8 = out.reading == Reading::Utf8;
    // A file read as UTF-8 that is valid UTF-8 from start to end is read so
    // to its end: no line of it is read as GBK on its own (the Greek "αβ"
    // makes two common Chinese characters in GBK).
    const bool keepUtf8 = fileIsUtf8 && anyNonAscii && bytes.isValidUtf8();
    for (qsizetype i = 0; i < out.lines.size(); ++i) {
        Line &line = out.lines[i];
        const Costs &c = costs.at(i);
        const LineCost &own = fileIsUtf8 ? c.utf8 : c.gbk;
        const LineCost &other = fileIsUtf8 ? c.gbk : c.utf8;
        // A line the file's reading cannot decode keeps its replacement
        // characters, which are reported, unless the other reading makes
        // clearly better sense of it.
        line.switched = !keepUtf8 && !c.ascii && other.valid && own.cost - other.cost >= ClearlyBetter;
        line.reading = (fileIsUtf8 != line.switched) ? Reading::Utf8 : Reading::Gbk;
    }
    return out;
}

} // namespace EncodingGuess

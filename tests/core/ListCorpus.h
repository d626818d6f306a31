#pragma once

// Generated list files for the encoding tests: random Chinese name lists
// written in GBK and in UTF-8, foreign-script lists in UTF-8, UTF-8 lists
// with one stray Latin-1 byte, and each common name character alone.
// Everything comes from a fixed seed, so every run sees the same files.

#include "Gb18030.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <random>

namespace ListCorpus {

enum class Kind { GbkNames, Utf8Names, Foreign, StrayByte, OneCharacter };

struct File
{
    QString name;
    Kind kind;
    QByteArray bytes;
    QStringList entries; // what the file holds, line by line
    int strayLine = 0;   // 1-based line with the stray byte, if any
};

inline QByteArray toGbk(const QString &text)
{
    return Gb18030::encode(text);
}

// The 3,755 characters of GB2312 level 1: lead bytes 0xB0..0xD7, trail
// bytes 0xA1..0xFE, without the unassigned 0xD7FA..0xD7FE.
inline QString level1Characters()
{
    QByteArray bytes;
    for (int lead = 0xB0; lead <= 0xD7; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            if (lead == 0xD7 && trail >= 0xFA)
                continue;
            bytes.append(char(lead)).append(char(trail));
        }
    }
    return Gb18030::decode(bytes);
}

// 142 characters common in Chinese surnames and given names.
inline QString commonNameCharacters()
{
    return QStringLiteral(
        "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶"
        "程苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛段雷侯龙史陶黎贺顾"
        "毛郝龚邵万钱严武戴莫孔向汤伟英强霞平萍一十芳娜敏静丽军杰涛明超秀华勇艳磊洋刚辉玲燕鹏"
        "飞红梅兰文斌波宇浩凯琴春建国峰");
}

inline const QList<QStringList> &foreignNames()
{
    static const QList<QStringList> pools = {
        {QStringLiteral("Иван"),     QStringLiteral("Анна"),    QStringLiteral("Дмитрий"),
         QStringLiteral("Ольга"),    QStringLiteral("Сергей"),  QStringLiteral("Наталья"),
         QStringLiteral("Алексей"),  QStringLiteral("Елена"),   QStringLiteral("Михаил"),
         QStringLiteral("Юрий"),     QStringLiteral("Петров"),  QStringLiteral("Смирнова"),
         QStringLiteral("Кузнецов"), QStringLiteral("Иванова"), QStringLiteral("Соколов"),
         QStringLiteral("Попова"),   QStringLiteral("Лебедев"), QStringLiteral("Козлова"),
         QStringLiteral("Фёдоров"),  QStringLiteral("Егорова")},
        {QStringLiteral("Νίκος"), QStringLiteral("Μαρία"), QStringLiteral("Γιώργος"), QStringLiteral("Ελένη"),
         QStringLiteral("Κώστας"), QStringLiteral("Σοφία"), QStringLiteral("Δημήτρης"),
         QStringLiteral("Άννα"), QStringLiteral("Γιάννης"), QStringLiteral("Αικατερίνη"),
         QStringLiteral("Παπαδόπουλος"), QStringLiteral("Γεωργίου"), QStringLiteral("Νικολάου"),
         QStringLiteral("Δημητρίου"), QStringLiteral("Ιωάννου"), QStringLiteral("Αλεξίου"),
         QStringLiteral("Βασιλείου"), QStringLiteral("Πετρίδου")},
        {QStringLiteral("José"),    QStringLiteral("François"),  QStringLiteral("Zoë"),
         QStringLiteral("Łukasz"),  QStringLiteral("Søren"),     QStringLiteral("Hélène"),
         QStringLiteral("Björn"),   QStringLiteral("Jürgen"),    QStringLiteral("João"),
         QStringLiteral("Çağla"),   QStringLiteral("René"),      QStringLiteral("Antonín"),
         QStringLiteral("García"),  QStringLiteral("Müller"),    QStringLiteral("Brontë"),
         QStringLiteral("Wójcik"),  QStringLiteral("Åström"),    QStringLiteral("Dvořák"),
         QStringLiteral("Groß"),    QStringLiteral("Gonçalves"), QStringLiteral("Öztürk"),
         QStringLiteral("Lefèvre"), QStringLiteral("Núñez"),     QStringLiteral("Żak")},
    };
    return pools;
}

// Latin-1 words, each with one byte that is not UTF-8.
inline const QList<QByteArray> &latin1Words()
{
    static const QList<QByteArray> words = {"caf\xE9",
                                            "Jos\xE9",
                                            "M\xFCller",
                                            "Fran\xE7ois",
                                            "Ren\xE9"
                                            " Roy",
                                            "\xC5str\xF6m",
                                            "na\xEFve",
                                            "Z\xF6"
                                            "e"};
    return words;
}

inline QList<File> generate(int filesPerSize = 300, std::uint32_t seed = 20240613)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](qsizetype n) { return qsizetype(rng() % std::uint32_t(n)); };
    const QString level1 = level1Characters();
    auto chineseName = [&] {
        QString name;
        const int length = 2 + int(rng() % 2);
        for (int i = 0; i < length; ++i)
            name += level1.at(pick(level1.size()));
        return name;
    };
    QList<File> files;
    const int sizes[] = {1, 2, 3, 5, 8, 20, 50};
    for (int size : sizes) {
        for (int f = 0; f < filesPerSize; ++f) {
            QStringList names;
            for (int i = 0; i < size; ++i)
                names << chineseName();
            const bool finalEnd = f % 2 == 0;
            const QString crlf =
                names.join(QStringLiteral("\r\n")) + (finalEnd ? QStringLiteral("\r\n") : QString());
            const QString lf = names.join(u'\n') + (finalEnd ? QStringLiteral("\n") : QString());
            files.append(
                {QStringLiteral("gbk %1 names #%2").arg(size).arg(f), Kind::GbkNames, toGbk(crlf), names});
            files.append(
                {QStringLiteral("utf8 %1 names #%2").arg(size).arg(f), Kind::Utf8Names, lf.toUtf8(), names});
        }
    }
    const QStringList scripts = {QStringLiteral("cyrillic"), QStringLiteral("greek"),
                                 QStringLiteral("latin")};
    for (qsizetype s = 0; s < scripts.size(); ++s) {
        const QStringList &pool = foreignNames().at(s);
        for (int size : {1, 2, 3, 5, 8, 20}) {
            for (int f = 0; f < 20; ++f) {
                QStringList names;
                for (int i = 0; i < size; ++i) {
                    // A lone name now and then, mostly "first last".
                    QString name = pool.at(pick(pool.size()));
                    if (rng() % 4 != 0)
                        name += u' ' + pool.at(pick(pool.size()));
                    names << name;
                }
                files.append({QStringLiteral("%1 %2 names #%3").arg(scripts.at(s)).arg(size).arg(f),
                              Kind::Foreign, (names.join(u'\n') + u'\n').toUtf8(), names});
            }
        }
    }
    for (int size : {2, 3, 5, 8, 20, 50}) {
        for (int f = 0; f < 40; ++f) {
            QStringList names;
            for (int i = 0; i < size; ++i)
                names << chineseName();
            const int stray = 1 + int(pick(size));
            QByteArray bytes;
            for (int i = 0; i < size; ++i) {
                bytes += i + 1 == stray ? latin1Words().at(pick(latin1Words().size())) : names.at(i).toUtf8();
                bytes += '\n';
            }
            names[stray - 1].clear(); // unknown: only the other lines are checked
            files.append({QStringLiteral("stray byte %1 names #%2").arg(size).arg(f), Kind::StrayByte, bytes,
                          names, stray});
        }
    }
    const QString common = commonNameCharacters();
    for (QChar c : common) {
        files.append(
            {QStringLiteral("alone %1").arg(c), Kind::OneCharacter, toGbk(QString(c)), {QString(c)}});
        files.append({QStringLiteral("alone %1 CR LF").arg(c),
                      Kind::OneCharacter,
                      toGbk(QString(c) + QStringLiteral("\r\n")),
                      {QString(c)}});
    }
    return files;
}

} // namespace ListCorpus

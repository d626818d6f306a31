#pragma once

#include <QRandomGenerator>

#include <random>

// Maps a generator's output to a position in 0 .. n-1, every position
// exactly equally likely (the standard distribution rejects the uneven tail).
template <typename Generator> qint32 uniformPosition(Generator &generator, qint32 n)
{
    if (n <= 1)
        return 0;
    std::uniform_int_distribution<qint32> distribution(0, n - 1);
    return distribution(generator);
}

// Where the draw's positions come from.
class PositionSource
{
public:
    virtual ~PositionSource() = default;
    // A position in 0 .. n-1 for n >= 1; 0 for n < 1.
    virtual qint32 pick(qint32 n) = 0;
};

// The operating system's secure generator: what the program draws with.
class SystemPositionSource final : public PositionSource
{
public:
    qint32 pick(qint32 n) override;
};

// A seeded generator through the same mapping, for repeatable runs.
class SeededPositionSource final : public PositionSource
{
public:
    explicit SeededPositionSource(quint32 seed) : m_generator(seed) {}
    qint32 pick(qint32 n) override { return uniformPosition(m_generator, n); }

private:
    QRandomGenerator m_generator;
};

#pragma once

#include <QString>

#include <optional>
#include <random>

// A one-switch user's timing: the reaction from seeing the wanted item lit to the switch going
// down, how long it is held, and how often a press lands one item late. Reactions and holds
// are lognormal between the model's 5th and 95th percentiles, drawn from a seeded generator so
// that a run can be repeated.
class Person
{
public:
    struct Model
    {
        QString name;
        double reactionLow = 0, reactionHigh = 0; // ms, 5th and 95th percentiles
        double holdLow = 40, holdHigh = 40; // ms
        double lateRate = 0; // of presses, one item late
    };
    // ideal, quick, typical or slow; none for another name.
    static std::optional<Model> named(const QString &name);

    Person(const Model &model, unsigned seed);
    const Model &model() const { return m; }
    qint64 reaction() { return draw(m.reactionLow, m.reactionHigh); }
    // A poll every 32 ms must see the switch down, as it must for a person.
    qint64 hold() { return std::max<qint64>(40, draw(m.holdLow, m.holdHigh)); }
    bool late() { return m.lateRate > 0 && std::bernoulli_distribution(m.lateRate)(random); }

private:
    qint64 draw(double low, double high);

    Model m;
    std::mt19937 random;
};

#include "person.h"

#include <cmath>

using namespace Qt::StringLiterals;

std::optional<Person::Model> Person::named(const QString &name)
{
    // Holds of a key switch tapped on purpose; 3 % of presses one item late.
    static const Model models[] = {
        { u"ideal"_s, 0, 0, 40, 40, 0 },
        { u"quick"_s, 150, 300, 80, 160, 0.03 },
        { u"typical"_s, 250, 550, 100, 220, 0.03 },
        { u"slow"_s, 400, 900, 150, 350, 0.03 },
    };
    for (const Model &m : models) {
        if (m.name == name)
            return m;
    }
    return std::nullopt;
}

Person::Person(const Model &model, unsigned seed)
    : m(model)
    , random(seed)
{
}

qint64 Person::draw(double low, double high)
{
    if (high <= low)
        return qint64(low);
    // 1.645 standard deviations either side of the median hold 90 % of the draws.
    const double mu = (std::log(low) + std::log(high)) / 2,
                 sigma = (std::log(high) - std::log(low)) / (2 * 1.645);
    return qint64(std::lognormal_distribution(mu, sigma)(random));
}

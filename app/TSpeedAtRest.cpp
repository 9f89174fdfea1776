#include "app/TSpeedAtRest.h"

#include <algorithm>

bool TSpeedAtRest::atRest(const QStringList& history, const TFormats& formats) {
    if (history.isEmpty())
        return true;
    double lo = 0, hi = 0;
    bool first = true;
    for (const QString& text : history) {
        const auto v = formats.controllerNumber(text);
        if (!v)
            return false; // nothing known of it: shown as computed
        lo = first ? *v : std::min(lo, *v);
        hi = first ? *v : std::max(hi, *v);
        first = false;
    }
    return hi - lo <= kNoiseKn;
}

#include "acquisition/TPressSettings.h"

#include "acquisition/TReplyForm.h"
#include "core/ProfileFile.h"

#include <QFile>

#include <cmath>

#include <sys/stat.h>

namespace {

const QString kSection = QStringLiteral("dev");

// "inf", "nan" or a number too large for a double: a value that would turn
// every load into nonsense rather than a text that is simply no number.
bool notFinite(const QString& t) {
    return t.contains(QLatin1String("inf"), Qt::CaseInsensitive) ||
           t.contains(QLatin1String("nan"), Qt::CaseInsensitive) ||
           t.contains(QLatin1Char('e'), Qt::CaseInsensitive);
}

} // namespace

TPressSettings::TPressSettings(QString path, QChar decimalSeparator)
    : m_path(std::move(path)), m_separator(decimalSeparator) {}

TPressSettings::Stamp TPressSettings::stamp() const {
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return {};
    return {true, std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            std::int64_t(st.st_size)};
}

std::optional<TPressSettings::Constants> TPressSettings::current() {
    const Stamp now = stamp();
    if (!m_stamp || !(*m_stamp == now)) {
        m_stamp = now;
        load();
    }
    return m_constants;
}

QString TPressSettings::bad(const QString& key, const QString& value) const {
    return QStringLiteral("Ключът \"%1\" в раздел [%2] на %3 съдържа \"%4\", с което не може да "
                          "се работи; пресата не се записва, докато не бъде поправен")
        .arg(key, kSection, m_path, value);
}

// A missing key takes its default. "upp" and "maxstart" that are no number
// take theirs as well; a value that is not finite, and a "downn" that is
// empty, no number or zero, stop the channel instead of recording nonsense.
void TPressSettings::load() {
    ++m_reads;
    m_constants.reset();
    m_problem.clear();
    m_defaulted.clear();
    const TProfileFile file(m_path);
    Constants c{kDefaultUpp, kDefaultDownn, kDefaultMaxStart};
    const struct {
        const char* key;
        double* target;
        bool strict;
    } keys[] = {
        {"upp", &c.upp, false}, {"downn", &c.downn, true}, {"maxstart", &c.maxstart, false}};
    for (const auto& k : keys) {
        const QString key = QLatin1String(k.key);
        const auto text = file.value(kSection, key);
        if (!text) {
            m_defaulted.append(key);
            continue;
        }
        const QString t = text->trimmed();
        const auto v = TReplyForm::plainNumber(t, m_separator);
        if (v)
            *k.target = *v;
        else
            m_defaulted.append(key);
        if ((!v && (k.strict || notFinite(t))) || (k.strict && *k.target == 0)) {
            m_problem = bad(key, *text);
            return;
        }
    }
    m_constants = c;
}

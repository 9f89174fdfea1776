#include "core/TRunContext.h"

#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

TRunContextSource::TRunContextSource(QString version)
    : m_operator(loginName()), m_workstation(hostName()), m_version(std::move(version)) {}

QString TRunContextSource::loginName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QString::number(geteuid()) : user;
}

QString TRunContextSource::hostName() {
    return QSysInfo::machineHostName();
}

void TRunContextSource::setPress(const QDateTime& at, const Press& press) {
    const std::lock_guard lock(m_mutex);
    if (!m_press.empty() && m_press.back().second == press)
        return;
    // A clock set back keeps the history ordered: the change counts from the
    // last moment already known.
    const QDateTime from =
        m_press.empty() || m_press.back().first <= at ? at : m_press.back().first;
    m_press.emplace_back(from, press);
    if (m_press.size() > kHistory)
        m_press.erase(m_press.begin());
}

TRunContext TRunContextSource::forRun(int deviceId, const QDateTime& start) const {
    TRunContext c{m_operator, m_workstation, m_version, QString(), {}, {}, {}, {}};
    if (deviceId != kPressDevice)
        return c;
    const std::lock_guard lock(m_mutex);
    if (m_press.empty())
        return c;
    // The last change at or before the start; a start older than the whole
    // history takes its oldest entry.
    auto it = m_press.rbegin();
    while (it != m_press.rend() && it->first > start)
        ++it;
    const Press& p = it == m_press.rend() ? m_press.front().second : it->second;
    c.upp = p.upp;
    c.downn = p.downn;
    c.maxstart = p.maxstart;
    c.zeroOffset = p.zeroOffset;
    return c;
}

#include "core/TClock.h"

namespace {

const TSystemClock kSystem;
std::atomic<const TClock*> g_program{&kSystem};

} // namespace

const TClock& TClock::program() {
    return *g_program.load();
}

TClock::Replacement::Replacement(const TClock& clock) : m_previous(g_program.exchange(&clock)) {}

TClock::Replacement::~Replacement() {
    g_program = m_previous;
}

#pragma once

// Raises a flag for the life of a scope and gives it back as it found it,
// also when the scope is left by an exception. A row-change handler reads the
// flag to tell the program's own moves from the operator's; a nested scope
// leaves the flag raised for the one around it.
class TScopedFlag {
public:
    explicit TScopedFlag(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~TScopedFlag() { m_flag = m_was; }
    TScopedFlag(const TScopedFlag&) = delete;
    TScopedFlag& operator=(const TScopedFlag&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

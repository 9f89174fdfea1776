#pragma once

#include "core/Exception.h"

// A failure of nuv-report with the exit code it ends with.
class ToolError : public Exception {
public:
    ToolError(int code, QString message) : Exception(std::move(message)), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

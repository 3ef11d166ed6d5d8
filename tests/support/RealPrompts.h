#pragma once

#include "QtPrompts.h"
#include "Services.h"

namespace zk::testing {

// The real Qt message boxes and dialogs in place of the scripted ones, for
// as long as it lives (made after the test's services are set up).
class RealPrompts {
public:
    RealPrompts() : m_saved(services().prompts) { services().prompts = &m_real; }
    ~RealPrompts() { services().prompts = m_saved; }
    RealPrompts(const RealPrompts &) = delete;
    RealPrompts &operator=(const RealPrompts &) = delete;

private:
    QtPrompts m_real;
    Prompts *m_saved;
};

} // namespace zk::testing

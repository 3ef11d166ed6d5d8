#pragma once

#include <functional>

class QWidget;

namespace zk::testing {

// Runs `act` on the next modal dialog once it is shown (the test then calls
// the command that opens it); fails the test if none appears.
void whenModal(std::function<void(QWidget *dialog)> act);

} // namespace zk::testing

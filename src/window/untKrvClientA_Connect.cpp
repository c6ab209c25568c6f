#include "window/untKrvClientA.hpp"

bool TfrmKrvClientA::RunConnectDialog() {
    return false;
}

#include "window/untKrvClientA.hpp"

// Until the settings file is read, the link keeps its defaults.
void TfrmKrvClientA::LoadSettings() {
    link_->SetAutoReconnect(true);
    timerPeriod_ = 10;
}

void TfrmKrvClientA::SaveSettings() {}

#include "window/untKrvClientA.hpp"

void TfrmKrvClientA::CreateAboutBox() {}
void TfrmKrvClientA::mnuHelpAboutClick() {}

#include "window/untKrvClientA.hpp"

void TfrmKrvClientA::mnuAddClientClick() {}
void TfrmKrvClientA::mnuEditClientClick() {}
void TfrmKrvClientA::mnuDeleteClientClick() {}
void TfrmKrvClientA::mnuExpelClientClick() {}
void TfrmKrvClientA::mnuRequestClientLogoffClick() {}
void TfrmKrvClientA::mnuRequestAllLogoffExclClick() {}
void TfrmKrvClientA::mnuRequestAllLogoffIncClick() {}
void TfrmKrvClientA::mnuRequestClientReconnectClick() {}
void TfrmKrvClientA::mnuRequestAllReconnecteExcClick() {}
void TfrmKrvClientA::mnuRequestAllReconnectInclClick() {}
